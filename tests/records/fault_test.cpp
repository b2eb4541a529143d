// The record store under the faults users meet: a journal entry of any size, an over-long memo,
// something other than a file in the workbook's place, read-only workbook or folder, a save
// killed beside a link's target, the journal deleted while running, the workbook changed by
// another program, a dangling link, a journal write that fails.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "store/records/journal.h"
#include "tests/records/store_fixture.h"

namespace pondera::testing {
namespace {

using store::CellValue;
namespace fs = std::filesystem;

std::vector<std::string> listing(const std::string &folder) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool anyNoticeHas(const std::vector<std::string> &notices, const std::string &part) {
    return std::any_of(notices.begin(), notices.end(),
                       [&](const std::string &n) { return n.find(part) != std::string::npos; });
}

using FaultTest = StoreTest;

// An entry far larger than any cell does not hide the entries after it.
TEST_P(FaultTest, JournalEntryOfAnySizeKeepsLaterEntries) {
    open()->Close();
    std::string bytes(store::kJournalMagic);
    store::encodeJournalEntry({0, 7, 1, CellValue::integer(4)}, bytes);
    store::encodeJournalEntry({0, 7, 4, CellValue::str(std::string(1048560, 'm'))}, bytes);
    store::encodeJournalEntry({store::kCommandMark, 4, 0, CellValue::empty()}, bytes);
    store::encodeJournalEntry({2, 7, 2, CellValue::single(99.5f)}, bytes);
    store::encodeJournalEntry({store::kCommandMark, 4, 0, CellValue::empty()}, bytes);
    EXPECT_EQ(store::decodeJournal(bytes).entries.size(), 5u);
    { std::ofstream(dir + "/.PONDERA2D_2010.xls.journal", std::ios::binary) << bytes; }
    auto store = open();
    EXPECT_EQ(store->RecoveredChangeCount(), 2);
    store->SetCurCode(4);
    EXPECT_EQ(store->GetLandMarkX(0), 99.5f);
}

TEST_P(FaultTest, MemoBeyondWhatACellHoldsIsRefusedUnchanged) {
    auto store = open();
    store->AddCode();
    const std::string full(32767, 'a');
    EXPECT_EQ(store->PutMemo(full), 1);
    const std::string msg = expectError(5, [&] { store->PutMemo(full + "a"); });
    EXPECT_NE(msg.find("32767"), std::string::npos) << msg;
    EXPECT_EQ(store->GetCurMemo(), full);
    // Characters count as the cell counts them: one beyond the BMP takes two.
    expectError(5, [&] { store->PutMemo(std::string(32766, 'a') + "𝄞"); });
    store->Close();
    store = open();
    store->SetCurCode(4);
    EXPECT_EQ(store->GetCurMemo(), full);
}

// A memo longer than a cell holds, put there by another program (here through the test engine,
// which holds any length), reaches the caller cut to what a cell holds, on a whole character, in
// every record that has one, with one notice per record.
class LongMemoTest : public StoreTest {};

TEST_P(LongMemoTest, MemoBeyondACellIsShownCutAndTold) {
    open()->Close();
    const std::string huge = std::string(32766, 'm') + "𝄞" + std::string(3 << 20, 'x');
    editWorkbook([&](store::Workbook &book) {
        for (int code : {4, 5}) {
            book.sheet("ID").setCell(code + 3, 1, CellValue::real(code));
            book.sheet("ID").setCell(code + 3, 4, CellValue::str(huge));
        }
    });
    auto store = open();
    for (int round = 0; round < 2; ++round) {
        for (int16_t code : {4, 5}) {
            store->SetCurCode(code);
            EXPECT_EQ(store->GetCurMemo(), std::string(32766, 'm')) << code;
        }
        const std::vector<std::string> notices = store->TakeNotices();
        EXPECT_EQ(notices.size(), round == 0 ? 2u : 0u) << "told once per record";
        if (round == 0) {
            EXPECT_TRUE(anyNoticeHas(notices, "記録 5 のメモは"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TestEngine, LongMemoTest, ::testing::Values(EngineKind::Fake), engineName);

// Refused before anything is created or opened (a FIFO would block an open).
TEST_P(FaultTest, NonRegularFileInTheWorkbooksPlaceIsRefused) {
    const std::string wb = path();
    for (const char *kind : {"fifo", "folder", "link to a folder"}) {
        SCOPED_TRACE(kind);
        const std::string k = kind;
        if (k == "fifo") {
            ASSERT_EQ(::mkfifo(wb.c_str(), 0644), 0);
        }
        if (k == "folder") fs::create_directory(wb);
        if (k == "link to a folder") {
            fs::create_directory(dir + "/elsewhere");
            fs::create_directory_symlink(dir + "/elsewhere", wb);
        }
        const auto before = listing(dir);
        const std::string msg = expectError(75, [&] { open(); });
        EXPECT_NE(msg.find(wb), std::string::npos) << msg;
        EXPECT_EQ(listing(dir), before) << "a refused start leaves nothing behind";
        fs::remove(wb);
        fs::remove_all(dir + "/elsewhere");
    }
}

// As an ordinary user: a sentence that says what is not writable, and nothing left behind.
TEST_P(FaultTest, ReadOnlyWorkbookOrFolderIsRefusedInOneSentence) {
    open()->Close();
    const std::string problem = runUnprivileged(
        [&]() -> std::string {
            for (bool folderReadOnly : {false, true}) {
                ::chmod(path().c_str(), folderReadOnly ? 0644 : 0444);
                ::chmod(dir.c_str(), folderReadOnly ? 0555 : 0755);
                const auto before = listing(dir);
                try {
                    open();
                    return "started";
                } catch (const Error &e) {
                    const std::string msg = e.what();
                    const std::string want = folderReadOnly ? "フォルダー「" : "読み取り専用";
                    if (e.number() != 75 || msg.find(want) == std::string::npos)
                        return "error " + std::to_string(e.number()) + ": " + msg;
                }
                ::chmod(dir.c_str(), 0755);
                if (listing(dir) != before) return "files left behind";
            }
            return "";
        },
        {dir});
    EXPECT_EQ(problem, "");
}

// A save killed half-way leaves its temporary file where the engine writes: beside the target
// of a link in the workbook's place.
TEST_P(FaultTest, InterruptedSaveBesideALinksTargetIsRemoved) {
    if (GetParam() != EngineKind::Embedded) GTEST_SKIP() << "the temporary files are the engine's";
    fs::create_directory(dir + "/real");
    open()->Close();
    fs::rename(path(), dir + "/real/book.xls");
    fs::create_symlink(dir + "/real/book.xls", path());
    const std::string leftover = dir + "/real/.book.xls.tmp-Ab12Cd";
    { std::ofstream(leftover) << "half a save"; }
    open()->Close();
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_TRUE(fs::is_symlink(path()));
}

TEST_P(FaultTest, DeletedJournalNeitherLetsASecondStoreInNorLosesChanges) {
    auto store = open();
    store->AddCode();
    store->Commit();
    fs::remove(dir + "/.PONDERA2D_2010.xls.journal");
    expectError(75, [&] { open(); });
    store->PutMemo("after the journal went");
    store->Commit();
    EXPECT_TRUE(exists(".PONDERA2D_2010.xls.journal"));
    EXPECT_TRUE(anyNoticeHas(store->TakeNotices(), "ジャーナル"));
    // Everything so far is in the workbook file, the rest in the new journal.
    EXPECT_EQ(cellOnDisk("ID", 7, 4), CellValue::str("after the journal went"));
    store->PutLandMarkX(0, 12.5f);
    store->Commit();
    store.reset();
    store = open();
    store->SetCurCode(4);
    EXPECT_EQ(store->GetLandMarkX(0), 12.5f);
}

TEST_P(FaultTest, WorkbookChangedElsewhereIsReportedWhenSeenOrAtTheNextStart) {
    auto store = open();
    editWorkbook(
        [](store::Workbook &book) { book.sheet("ID").setCell(3, 4, CellValue::str("x")); });
    store->CheckWorkbook();
    const std::vector<std::string> seen = store->TakeNotices();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].find(".changed-"), std::string::npos) << seen[0];
    store->CheckWorkbook();
    EXPECT_TRUE(store->TakeNotices().empty()) << "reported once";
    // Seen only by the close: told at the next start.
    editWorkbook(
        [](store::Workbook &book) { book.sheet("ID").setCell(3, 4, CellValue::str("y")); });
    store->Close();
    store = open();
    EXPECT_TRUE(anyNoticeHas(store->TakeNotices(), ".changed-"));
    store->Close();
    EXPECT_FALSE(anyNoticeHas(open()->TakeNotices(), ".changed-")) << "told once";
}

TEST_P(FaultTest, DanglingLinkInTheWorkbooksPlaceIsReplacedAndReported) {
    fs::create_symlink(dir + "/gone.xls", path());
    auto store = open();
    EXPECT_TRUE(anyNoticeHas(store->TakeNotices(), "存在しないファイル「" + dir + "/gone.xls」"))
        << "the notice names the missing target";
    EXPECT_FALSE(fs::is_symlink(path()));
    EXPECT_TRUE(fs::is_regular_file(path()));
}

// A journal that cannot grow (a full disk; here a file size limit): the change is not durable,
// the store says so and keeps it for the next Commit.
TEST_P(FaultTest, FailedJournalWriteIsKnownAndRetried) {
    auto store = open();
    store->AddCode();
    store->Commit();
    const auto journalSize = fs::file_size(dir + "/.PONDERA2D_2010.xls.journal");
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = journalSize + 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    store->PutMemo("does not fit yet");
    expectError(75, [&] { store->Commit(); });
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_TRUE(store->HasUncommittedChanges());
    EXPECT_EQ(fs::file_size(dir + "/.PONDERA2D_2010.xls.journal"), journalSize)
        << "a failed write leaves whole entries only";
    store->Commit();
    EXPECT_FALSE(store->HasUncommittedChanges());
    store.reset();
    store = open();
    store->SetCurCode(4);
    EXPECT_EQ(store->GetCurMemo(), "does not fit yet");
}

// A start refused for a full disk (a file size limit: nothing can be written, files can still be
// created empty) leaves the folder as it found it: no lock file a spreadsheet would call damaged,
// no journal, no temporary file, the workbook as it was.
class FullDiskStartTest : public StoreTest {};

TEST_P(FullDiskStartTest, RefusedStartLeavesNothingBehind) {
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "existing workbook" : "first start");
        if (existing) open()->Close();
        const std::vector<std::string> before = listing(dir);
        const std::string workbook = existing ? store::readSmallFile(path()) : "";
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit none = old;
        none.rlim_cur = 0;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &none), 0);
        expectError(75, [&] { open(); });
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
        EXPECT_EQ(listing(dir), before);
        if (existing) {
            EXPECT_EQ(store::readSmallFile(path()), workbook);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, FullDiskStartTest,
                         ::testing::Values(EngineKind::Fake, EngineKind::Embedded), engineName);

INSTANTIATE_TEST_SUITE_P(Engines, FaultTest,
                         ::testing::Values(EngineKind::Fake, EngineKind::Embedded), engineName);

}  // namespace
}  // namespace pondera::testing
