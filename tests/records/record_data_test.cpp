// The program's own values per record (check marks and the like): kept with their record in a
// sheet of the program's own, journalled, and leaving the three record sheets as they were.
#include <filesystem>
#include <map>

#include "store/records/check_marks.h"
#include "store/records/record_layout.h"
#include "tests/records/store_fixture.h"

namespace pondera::testing {
namespace {

namespace fs = std::filesystem;

class RecordDataTest : public StoreTest {
  protected:
    // Every cell of the three record sheets of the workbook on disk.
    std::map<std::tuple<std::string, int32_t, int32_t>, std::string> recordSheets() {
        std::map<std::tuple<std::string, int32_t, int32_t>, std::string> cells;
        auto book = engine->open(path());
        for (const char *name : {"ID", "COGS", "LANDMARK"}) {
            book->sheet(name).forEachCell([&](int32_t r, int32_t c, const store::CellValue &v) {
                cells[{name, r, c}] =
                    std::to_string(int(v.kind)) + ":" + std::to_string(v.number) + ":" + v.text;
            });
        }
        return cells;
    }
};

TEST_P(RecordDataTest, ValuesStayWithTheirRecordAcrossRecordsAndRestarts) {
    auto store = open();
    const int16_t first = store->AddCode();
    store->SetCurCode(first);
    EXPECT_EQ(store->GetRecordValue("check"), "") << "a workbook without the data sheet";
    store->PutRecordValue("check", "11 16 21");
    store->PutRecordValue("video", "/home/u/ジャンプ.mp4");
    const int16_t second = store->AddCode();
    store->SetCurCode(second);
    EXPECT_EQ(store->GetRecordValue("check"), "");
    store->PutRecordValue("check", "3");
    store->SetCurCode(first);
    EXPECT_EQ(store->GetRecordValue("check"), "11 16 21");
    store->PutRecordValue("check", "16");
    store->PutRecordValue("video", "");     // removed
    store->PutRecordValue("frame", "120");  // takes the freed slot
    store->Commit();
    store->Close();

    store = open();
    store->SetCurCode(first);
    EXPECT_EQ(store->GetRecordValue("check"), "16");
    EXPECT_EQ(store->GetRecordValue("video"), "");
    EXPECT_EQ(store->GetRecordValue("frame"), "120");
    store->SetCurCode(second);
    EXPECT_EQ(store->GetRecordValue("check"), "3");
    store->Close();
    EXPECT_EQ(cellOnDisk(store::layout::kSheetNames[store::layout::kSheetRecordData], first + 3, 1)
                  .number,
              first)
        << "the row names its record";
}

TEST_P(RecordDataTest, ValuesSurviveACrashThroughTheJournal) {
    auto store = open();
    const int16_t code = store->AddCode();
    store->SetCurCode(code);
    store::CheckMarks marks{};
    marks[16] = marks[21] = true;
    store::PutCheckMarks(*store, marks);
    store->Commit();
    if (GetParam() == EngineKind::Fake) {
        store->Close();
        return;  // the test engine keeps no files to copy
    }
    // The folder as a kill would leave it now.
    TempDir crash("records-data-crash");
    for (const char *name : {"PONDERA2D_2010.xls", ".PONDERA2D_2010.xls.journal"})
        fs::copy_file(dir + "/" + name, crash.path() / name);
    ClassEXCEL again(landMark, segment, ClassEXCEL::Options{crash.path().string(), engine});
    EXPECT_EQ(again.RecoveredChangeCount(), 1) << "the new record and its marks, one command";
    again.SetCurCode(code);
    EXPECT_EQ(store::GetCheckMarks(again), marks);
    again.Close();
    store->Close();
}

// The same session with and without values of the record's own leaves the three record sheets
// cell for cell alike.
TEST_P(RecordDataTest, RecordSheetsKeepTheirLayout) {
    auto session = [&](bool withValues) {
        auto store = open();
        const int16_t code = store->AddCode();
        store->SetCurCode(code);
        store->PutLandMarkX(5, 120.5f);
        if (withValues) store->PutRecordValue("check", "5");
        store->Commit();
        store->Close();
        auto cells = recordSheets();
        fs::remove(path());
        return cells;
    };
    const auto plain = session(false);
    EXPECT_EQ(session(true), plain);
}

TEST_P(RecordDataTest, BadKeysValuesAndAFullRecordAreRefusedUnchanged) {
    auto store = open();
    store->SetCurCode(store->AddCode());
    for (const std::string &key : {std::string(), std::string(256, 'k')}) {
        expectError(kErrInvalidCall, [&] { store->PutRecordValue(key, "x"); });
    }
    expectError(kErrInvalidCall, [&] { store->PutRecordValue("memo", std::string(32768, 'v')); });
    for (int k = 0; k < store::layout::kDataMaxPairs; ++k)
        store->PutRecordValue("key" + std::to_string(k), "v");
    expectError(kErrInvalidCall, [&] { store->PutRecordValue("one more", "v"); });
    EXPECT_EQ(store->GetRecordValue("one more"), "");
    store->PutRecordValue("key7", "w");  // an existing key still changes
    EXPECT_EQ(store->GetRecordValue("key7"), "w");
    store->Close();
}

TEST(CheckMarks, TextHoldsTheMarkedNumbersAndIgnoresWhatIsNoLandmark) {
    store::CheckMarks marks{};
    EXPECT_EQ(store::encodeCheckMarks(marks), "");
    marks[0] = marks[11] = marks[21] = true;
    EXPECT_EQ(store::encodeCheckMarks(marks), "0 11 21");
    EXPECT_EQ(store::decodeCheckMarks("0 11 21"), marks);
    EXPECT_EQ(store::decodeCheckMarks("  21 0  11 22 -1 x 3a 11"), marks);
    EXPECT_EQ(store::decodeCheckMarks(""), store::CheckMarks{});
}

INSTANTIATE_TEST_SUITE_P(Engines, RecordDataTest,
                         ::testing::Values(EngineKind::Fake, EngineKind::Embedded), engineName);

}  // namespace
}  // namespace pondera::testing
