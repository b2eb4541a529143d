// Saving in the background: the workbook file follows the session without the caller waiting,
// the journal stays the guarantee, a failed save is told once, and a crash after a background
// save replays (and counts) only what came after it.
#include <signal.h>
#include <sys/resource.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "store/records/journal.h"
#include "tests/records/store_fixture.h"

namespace pondera::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char *kJournal = ".PONDERA2D_2010.xls.journal";
constexpr const char *kFailedNotice = "自動で保存できませんでした";

int noticesWith(const std::vector<std::string> &notices, const std::string &part) {
    return static_cast<int>(std::count_if(notices.begin(), notices.end(), [&](const auto &n) {
        return n.find(part) != std::string::npos;
    }));
}

class BackgroundSaveTest : public StoreTest {
  protected:
    // The folder as a crash would leave it now (workbook and journal as they are on disk),
    // opened by a new store in a folder of its own.
    std::unique_ptr<ClassEXCEL> openCrashCopy() {
        crashDir = std::make_unique<TempDir>("records-crash-copy");
        copyFiles(dir, crashDir->path().string());
        return std::make_unique<ClassEXCEL>(landMark, segment,
                                            ClassEXCEL::Options{crashDir->path().string(), engine});
    }
    static void copyFiles(const std::string &from, const std::string &to) {
        for (const char *name : {"PONDERA2D_2010.xls", kJournal})
            fs::copy_file(from + "/" + name, to + "/" + name, fs::copy_options::overwrite_existing);
    }

    // A record with landmark 0 at x = value, committed as one command.
    int16_t addRecord(ClassEXCEL &store, float value) {
        const int16_t code = store.AddCode();
        store.SetCurCode(code);
        store.PutLandMarkX(0, value);
        store.Commit();
        return code;
    }

    double landmarkXOnDisk(int16_t code) { return numberOnDisk("LANDMARK", code + 3, 2); }

    std::unique_ptr<TempDir> crashDir;
};

TEST_P(BackgroundSaveTest, FileFollowsTheSessionAndCrashReplaysOnlyWhatCameAfter) {
    auto store = open();
    EXPECT_FALSE(store->HasUnsavedChanges());
    EXPECT_FALSE(store->SaveInBackground()) << "nothing to save yet";
    const int16_t first = addRecord(*store, 11);
    EXPECT_TRUE(store->HasUnsavedChanges());
    bool told = false;
    ASSERT_TRUE(store->SaveInBackground([&] { told = true; }));
    EXPECT_FALSE(store->SaveInBackground()) << "one background save at a time";
    // A command while the save runs: not in its snapshot, so still unsaved afterwards.
    const int16_t second = addRecord(*store, 22);
    store->FinishBackgroundSave();
    EXPECT_TRUE(told);
    EXPECT_FALSE(store->BackgroundSaveRunning());
    EXPECT_EQ(landmarkXOnDisk(first), 11);
    EXPECT_TRUE(cellOnDisk("ID", second + 3, 1).isEmpty()) << "the snapshot predates it";
    EXPECT_TRUE(store->HasUnsavedChanges());
    // Our own save is not a change made elsewhere.
    store->CheckWorkbook();
    EXPECT_TRUE(store->TakeNotices().empty());

    {
        auto recovered = openCrashCopy();
        EXPECT_EQ(recovered->RecoveredChangeCount(), 1) << "only the command after the save";
        recovered->SetCurCode(first);
        EXPECT_EQ(recovered->GetLandMarkX(0), 11);
        recovered->SetCurCode(second);
        EXPECT_EQ(recovered->GetLandMarkX(0), 22);
    }

    ASSERT_TRUE(store->SaveInBackground());
    store->FinishBackgroundSave();
    EXPECT_FALSE(store->HasUnsavedChanges());
    EXPECT_EQ(landmarkXOnDisk(second), 22);
    EXPECT_EQ(openCrashCopy()->RecoveredChangeCount(), 0) << "the file holds every command";
    store->CheckWorkbook();
    EXPECT_TRUE(store->TakeNotices().empty());
}

TEST_P(BackgroundSaveTest, ChangeMadeElsewhereBeforeABackgroundSaveIsKept) {
    auto store = open();
    addRecord(*store, 5);
    editWorkbook([](store::Workbook &book) {
        book.sheet("ID").setCell(1, 20, store::CellValue::str("typed in a spreadsheet"));
    });
    ASSERT_TRUE(store->SaveInBackground());
    store->FinishBackgroundSave();
    const std::vector<std::string> notices = store->TakeNotices();
    ASSERT_EQ(noticesWith(notices, "このプログラムの外で変更されていたため"), 1);
    const std::string &notice = notices.front();
    const size_t from = notice.rfind("「") + 3, to = notice.rfind("」");
    ASSERT_LT(from, to);
    EXPECT_EQ(engine->open(notice.substr(from, to - from))->sheet("ID").cell(1, 20).text,
              "typed in a spreadsheet");
}

// A save's mark names the file it wrote. An older copy renamed over that file before a crash is
// not it: every command is replayed onto it, and it is kept beside first, with the notice.
TEST_P(BackgroundSaveTest, OlderCopyRenamedOverTheSavedFileGetsEveryCommandAndIsKept) {
    auto store = open();
    fs::copy_file(path(), dir + "/older.xls");
    const int16_t code = addRecord(*store, 11);
    for (int16_t lm : {1, 2}) {
        store->PutLandMarkX(lm, 11 + lm);
        store->Commit();
    }
    ASSERT_TRUE(store->SaveInBackground());
    store->FinishBackgroundSave();
    ASSERT_EQ(landmarkXOnDisk(code), 11);
    fs::rename(dir + "/older.xls", path());

    auto recovered = openCrashCopy();
    EXPECT_EQ(recovered->RecoveredChangeCount(), 3) << "the record and its two clicks";
    recovered->SetCurCode(code);
    EXPECT_EQ(recovered->GetLandMarkX(0), 11);
    EXPECT_EQ(recovered->GetLandMarkX(1), 12);
    EXPECT_EQ(recovered->GetLandMarkX(2), 13);
    const std::vector<std::string> notices = recovered->TakeNotices();
    ASSERT_EQ(noticesWith(notices, "このプログラムの外で変更されていたため"), 1);
    const std::string &notice = *std::find_if(notices.begin(), notices.end(), [](auto &n) {
        return n.find("外で変更") != std::string::npos;
    });
    const size_t from = notice.rfind("「") + 3, to = notice.rfind("」");
    ASSERT_LT(from, to);
    EXPECT_TRUE(
        engine->open(notice.substr(from, to - from))->sheet("ID").cell(code + 3, 1).isEmpty())
        << "the kept file is the older copy";
}

// A crash after a background save replaced the file but before its mark reached the journal
// leaves our own new file: every command is replayed onto it, and nothing calls it foreign.
TEST_P(BackgroundSaveTest, CrashBetweenASaveAndItsMarkReplaysEverythingWithoutAFalseNotice) {
    auto store = open();
    const int16_t code = addRecord(*store, 21);
    TempDir atCrash("records-at-crash");
    ASSERT_TRUE(store->SaveInBackground([&] { copyFiles(dir, atCrash.path().string()); }));
    store->FinishBackgroundSave();
    store->Close();
    copyFiles(atCrash.path().string(), dir);
    ASSERT_EQ(landmarkXOnDisk(code), 21) << "the copy holds the saved file";

    auto recovered = open();
    EXPECT_EQ(recovered->RecoveredChangeCount(), 1);
    recovered->SetCurCode(code);
    EXPECT_EQ(recovered->GetLandMarkX(0), 21);
    EXPECT_EQ(noticesWith(recovered->TakeNotices(), "外で変更"), 0);
}

// The failure is injected where the save writes: the test engine refuses, the embedded engine
// meets a file-size limit (as a full disk stops it).
TEST_P(BackgroundSaveTest, FailedBackgroundSaveKeepsTheJournalAndIsToldOnce) {
    auto store = open();
    const int16_t code = addRecord(*store, 7);
    const auto workbookSize = fs::file_size(path());
    const auto journalSize = fs::file_size(dir + "/" + kJournal);
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto failSaves = [&](bool fail) {
        if (GetParam() == EngineKind::Fake) {
            fake->switches->saveError = fail ? 75 : 0;
            return;
        }
        rlimit limit = old;
        if (fail) limit.rlim_cur = journalSize + 512;
        ASSERT_LT(journalSize + 512, workbookSize);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        failSaves(true);
        ASSERT_TRUE(store->SaveInBackground());
        store->FinishBackgroundSave();
        failSaves(false);
        EXPECT_EQ(noticesWith(store->TakeNotices(), kFailedNotice), attempt == 0 ? 1 : 0)
            << "attempt " << attempt;
        EXPECT_TRUE(store->HasUnsavedChanges());
        EXPECT_TRUE(cellOnDisk("ID", code + 3, 1).isEmpty()) << "the previous file stays";
    }
    EXPECT_EQ(openCrashCopy()->RecoveredChangeCount(), 1) << "the journal still holds it";

    ASSERT_TRUE(store->SaveInBackground());
    store->FinishBackgroundSave();
    EXPECT_EQ(landmarkXOnDisk(code), 7);
    // After a save that worked, the next failure is news again.
    store->PutMemo("later");
    store->Commit();
    failSaves(true);
    ASSERT_TRUE(store->SaveInBackground());
    store->FinishBackgroundSave();
    failSaves(false);
    EXPECT_EQ(noticesWith(store->TakeNotices(), kFailedNotice), 1);
    store->Close();
    store = open();
    store->SetCurCode(code);
    EXPECT_EQ(store->GetCurMemo(), "later");
}

// The test engine holds the save where it writes.
using HeldBackgroundSaveTest = BackgroundSaveTest;

// Close waits for a background save still writing, then saves what came after it.
TEST_P(HeldBackgroundSaveTest, CloseWaitsForARunningSave) {
    auto store = open();
    addRecord(*store, 1);
    std::mutex m;
    std::condition_variable cv;
    bool writing = false, release = false;
    fake->switches->beforeWrite = [&] {
        std::unique_lock lock(m);
        if (writing) return;  // the close save
        writing = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    };
    ASSERT_TRUE(store->SaveInBackground());
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return writing; });
    }
    const int16_t later = addRecord(*store, 2);
    EXPECT_TRUE(store->BackgroundSaveRunning());
    store->CheckWorkbook();  // must not wait, nor take our save for another program's
    EXPECT_TRUE(store->BackgroundSaveRunning());
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    store->Close();
    EXPECT_TRUE(store->TakeNotices().empty());
    fake->switches->beforeWrite = nullptr;
    EXPECT_EQ(landmarkXOnDisk(later), 2);
    EXPECT_FALSE(fs::exists(dir + "/" + kJournal));
}

INSTANTIATE_TEST_SUITE_P(TestEngine, HeldBackgroundSaveTest, ::testing::Values(EngineKind::Fake),
                         engineName);
INSTANTIATE_TEST_SUITE_P(Engines, BackgroundSaveTest,
                         ::testing::Values(EngineKind::Fake, EngineKind::Embedded), engineName);

}  // namespace
}  // namespace pondera::testing
