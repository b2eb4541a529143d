// The record store over a workbook engine: layout and start-up, the 16-bit record arithmetic,
// reading conversions, and the mended faults (unreadable file kept, journal, full list, locks,
// external changes, memo). Each test runs on the test engine and on the embedded one.
#include <cctype>
#include <fstream>

#include "base/error.h"
#include "model/demo_landmarks.h"
#include "store/records/journal.h"
#include "store/records/record_paths.h"
#include "tests/records/store_fixture.h"

namespace pondera::testing {
namespace {

using store::CellValue;

std::string readFile(const std::string &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The file a notice names in 「」 as kept under "<dir>/PONDERA2D_2010.<tag>-YYYYMMDD-HHMMSS.xls";
// empty when the notice names none of that form.
std::string keptFileIn(const std::string &notice, const std::string &dir, const std::string &tag) {
    const std::string head = "「" + dir + "/PONDERA2D_2010." + tag + "-";
    const size_t b = notice.find(head);
    if (b == std::string::npos) return {};
    const size_t e = notice.find("」", b);
    if (e == std::string::npos) return {};
    const std::string stamp = notice.substr(b + head.size(), e - b - head.size());
    if (stamp.size() != 19 || stamp.substr(15) != ".xls" || stamp[8] != '-') return {};
    for (size_t i : {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14})
        if (!std::isdigit(static_cast<unsigned char>(stamp[i]))) return {};
    return notice.substr(b + std::string("「").size(), e - b - std::string("「").size());
}

// ---- start-up, layout, demonstration records ----

TEST_P(StoreTest, FirstStartCreatesTheWorkbookSecondStartOpensIt) {
    {
        auto store = open();
        EXPECT_EQ(store->GetNewExlFileFlag(), 1);
        EXPECT_EQ(store->GetCodeMinNum(), 0);
        EXPECT_EQ(store->GetCodeMaxNum(), 3);
        EXPECT_TRUE(exists("PONDERA2D_2010.xls")) << "saved at start-up, before any close";
        EXPECT_EQ(store->GetExlFileName(), path());
        EXPECT_TRUE(store->TakeNotices().empty());
        store->Close();
    }
    auto store = open();
    EXPECT_EQ(store->GetNewExlFileFlag(), 0);
    EXPECT_EQ(store->GetCodeMaxNum(), 3);
}

TEST_P(StoreTest, NewWorkbookHoldsHeadersAndDemonstrationRecords) {
    open()->Close();
    auto book = engine->open(path());
    store::Worksheet &id = book->sheet("ID");
    const std::vector<std::tuple<int, int, std::string>> idText = {
        {1, 1, "Code"},
        {1, 2, "Picture Name"},
        {1, 3, "性別(0:男／1:女)"},
        {1, 4, "Memo"},
        {1, 5, "Center of Gravity of Body"},
        {2, 5, "x"},
        {2, 6, "z"},
        {3, 2, dir + "/DEMO/demo001.bmp"},
        {4, 2, dir + "/DEMO/demo001.bmp"},
        {5, 2, dir + "/DEMO/demo003.bmp"},
        {6, 2, dir + "/DEMO/demo003.bmp"},
        {3, 4, "demo0"},
        {4, 4, "demo1"},
        {5, 4, "demo2"},
        {6, 4, "demo3"}};
    for (const auto &[r, c, text] : idText)
        EXPECT_EQ(id.cell(r, c), CellValue::str(text)) << r << c;
    for (int c = 1; c <= 4; ++c)
        EXPECT_TRUE(id.cell(2, c).isEmpty()) << c;
    for (int code = 0; code < 4; ++code) {
        EXPECT_EQ(id.cell(code + 3, 1).number, code);
        EXPECT_EQ(id.cell(code + 3, 3).number, code % 2);
        EXPECT_TRUE(id.cell(code + 3, 5).isEmpty()) << "centres of gravity are not written";
    }
    store::Worksheet &cogs = book->sheet("COGS");
    EXPECT_EQ(cogs.cell(1, 1), CellValue::str("Code"));
    for (int16_t s = 0; s <= 14; ++s) {
        EXPECT_EQ(cogs.cell(1, 2 * s + 2), CellValue::str(segment.GetCOGSName(s)));
        EXPECT_EQ(cogs.cell(2, 2 * s + 2), CellValue::str("x"));
        EXPECT_EQ(cogs.cell(2, 2 * s + 3), CellValue::str("z"));
    }
    EXPECT_TRUE(cogs.cell(1, 32).isEmpty());
    store::Worksheet &lm = book->sheet("LANDMARK");
    for (int16_t i = 0; i <= 21; ++i)
        EXPECT_EQ(lm.cell(1, 2 * i + 2), CellValue::str(landMark.GetLandMarkName(i)));
    for (int code = 0; code < 4; ++code) {
        EXPECT_EQ(cogs.cell(code + 3, 1).number, code);
        EXPECT_TRUE(cogs.cell(code + 3, 2).isEmpty());
        EXPECT_EQ(lm.cell(code + 3, 1).number, code);
        const DemoLandmarkSet &set = code < 2 ? kDemoSetA : kDemoSetB;
        for (int i = 0; i < 22; ++i) {
            EXPECT_EQ(lm.cell(code + 3, 2 * i + 2).number, set[i].x);
            EXPECT_EQ(lm.cell(code + 3, 2 * i + 3).number, set[i].z);
        }
    }
}

TEST_P(StoreTest, DeletedCogsSheetIsAddedAgainAndOtherRecordsStay) {
    editWorkbook([](store::Workbook &book) {
        store::Worksheet &id = book.addSheet();
        id.setName("ID");
        store::Worksheet &lm = book.addSheet();
        lm.setName("LANDMARK");
        for (int code = 0; code <= 5; ++code) {
            id.setCell(code + 3, 1, CellValue::real(code));
            lm.setCell(code + 3, 1, CellValue::real(code));
        }
        id.setCell(8, 4, CellValue::str("keep me"));
        lm.setCell(8, 2, CellValue::real(123.5));
    });
    auto store = open();
    EXPECT_EQ(store->GetNewExlFileFlag(), 0);
    EXPECT_EQ(store->GetCodeMaxNum(), 5);
    store->Close();
    EXPECT_EQ(cellOnDisk("COGS", 1, 1), CellValue::str("Code"));
    EXPECT_EQ(cellOnDisk("COGS", 1, 2), CellValue::str(segment.GetCOGSName(0)));
    EXPECT_EQ(numberOnDisk("COGS", 6, 1), 3);
    EXPECT_TRUE(cellOnDisk("COGS", 7, 1).isEmpty()) << "rows 7+ are never written by the set-up";
    EXPECT_EQ(cellOnDisk("ID", 8, 4), CellValue::str("keep me"));
    EXPECT_EQ(numberOnDisk("LANDMARK", 8, 2), 123.5);
}

TEST_P(StoreTest, OverwrittenHeadersAndDemonstrationRowsAreRestoredRecordRowsStay) {
    open()->Close();
    editWorkbook([](store::Workbook &book) {
        store::Worksheet &id = book.sheet("id");  // sheet names compare case-insensitively
        id.setCell(1, 3, CellValue::str("sex"));
        id.setCell(3, 4, CellValue::str("changed memo"));
        id.setCell(4, 3, CellValue::real(0));
        id.setCell(5, 5, CellValue::real(77));  // a demo record's centre of gravity is kept
        id.setCell(7, 1, CellValue::real(4));
        id.setCell(7, 4, CellValue::str("mine"));
        book.sheet("LANDMARK").setCell(1, 2, CellValue::str("?"));
        book.sheet("LANDMARK").setCell(6, 45, CellValue::real(1));
        book.sheet("LANDMARK").setCell(7, 45, CellValue::real(2.5));
        book.sheet("COGS").setCell(2, 31, CellValue::str("?"));
    });
    auto store = open();
    EXPECT_EQ(store->GetCodeMaxNum(), 4);
    store->Close();
    EXPECT_EQ(cellOnDisk("ID", 1, 3), CellValue::str("性別(0:男／1:女)"));
    EXPECT_EQ(cellOnDisk("ID", 3, 4), CellValue::str("demo0"));
    EXPECT_EQ(numberOnDisk("ID", 4, 3), 1);
    EXPECT_EQ(numberOnDisk("ID", 5, 5), 77);
    EXPECT_EQ(cellOnDisk("ID", 7, 4), CellValue::str("mine"));
    EXPECT_EQ(cellOnDisk("LANDMARK", 1, 2), CellValue::str(landMark.GetLandMarkName(0)));
    EXPECT_EQ(numberOnDisk("LANDMARK", 6, 45), kDemoSetB[21].z);
    EXPECT_EQ(numberOnDisk("LANDMARK", 7, 45), 2.5);
    EXPECT_EQ(cellOnDisk("COGS", 2, 31), CellValue::str("z"));
}

// ---- the record arithmetic ----

TEST_P(StoreTest, AddCodeOnFirstStart) {
    auto store = open();
    EXPECT_EQ(store->AddCode(), 4);
    EXPECT_EQ(store->GetCurCode(), 4);
    EXPECT_EQ(store->GetCurMemo(), "NEW");
    EXPECT_EQ(store->GetCurPictureName(), "");
    EXPECT_EQ(store->GetCurSex(), 0);
    EXPECT_EQ(store->GetLandMarkX(0), 0.0f);
    EXPECT_EQ(store->GetLandMarkZ(21), 0.0f);
    EXPECT_EQ(store->GetCodeMaxNum(), 4);
    EXPECT_EQ(store->AddCode(), 5);
    store->Close();
    for (const char *sheet : {"ID", "COGS", "LANDMARK"})
        EXPECT_EQ(numberOnDisk(sheet, 7, 1), 4);
    EXPECT_EQ(numberOnDisk("ID", 7, 3), 0);
    EXPECT_EQ(cellOnDisk("ID", 7, 4), CellValue::str("NEW"));
    EXPECT_TRUE(cellOnDisk("ID", 7, 2).text.empty());
}

struct CodeCase {
    int16_t code;
    int error;  // 0: none
    int16_t sex;
    const char *memo;
    const char *picture;
};

// After the first start: codes 0..3 demo records, everything else empty; the header row is
// row 1 (code -2) with the sex header text in C1.
TEST_P(StoreTest, SetCurCodeAcrossTheRowRange) {
    const std::vector<CodeCase> cases = {
        {1, 0, 1, "demo1", "/DEMO/demo001.bmp"},
        {4, 0, 0, "", ""},          // one past the last record
        {-1, 0, 0, "", ""},         // row 2: the sub-header row, empty in A..D
        {-2, 13, 0, "", ""},        // row 1: "性別(0:男／1:女)" is no sex code
        {32764, 0, 0, "", ""},      // row 32767, the last row a code reaches
        {32765, 6, 0, "", ""},      // row 32768 overflows 16 bits
        {-32768, 1004, 0, "", ""},  // row -32765: no overflow, but off the grid
    };
    auto store = open();
    for (const CodeCase &c : cases) {
        SCOPED_TRACE(c.code);
        if (c.error) {
            const std::string msg = expectError(c.error, [&] { store->SetCurCode(c.code); });
            if (c.error == 13) {
                EXPECT_NE(msg.find("ID"), std::string::npos) << msg;
                EXPECT_NE(msg.find("C1"), std::string::npos) << msg;
            }
        } else {
            EXPECT_EQ(store->SetCurCode(c.code), 1);
            EXPECT_EQ(store->GetCurSex(), c.sex);
            EXPECT_EQ(store->GetCurMemo(), c.memo);
            EXPECT_EQ(store->GetCurPictureName(), c.picture[0] ? dir + c.picture : "");
        }
        EXPECT_EQ(store->GetCurCode(), c.code) << "CurCode changes before the overflow";
    }
}

TEST_P(StoreTest, WritingPastTheListDoesNotExtendIt) {
    auto store = open();
    store->SetCurCode(4);
    store->PutSex(1);
    EXPECT_EQ(store->GetCurSex(), 1);
    store->PutPictureName("/pics/a.jpg");
    EXPECT_EQ(store->GetCurPictureName(), "/pics/a.jpg");
    EXPECT_EQ(store->GetCodeMaxNum(), 3) << "column A of row 7 stays empty";
    store->SetCurCode(0);
    store->SetCurCode(4);
    EXPECT_EQ(store->GetCurSex(), 1);
    EXPECT_EQ(store->GetCurPictureName(), "/pics/a.jpg");
}

TEST_P(StoreTest, AddCodeAtTheEndOfTheCodeRange) {
    writeCodes(32763);
    auto store = open();
    EXPECT_EQ(store->GetCodeMaxNum(), 32763);
    EXPECT_EQ(store->AddCode(), 32764);
    EXPECT_EQ(store->GetCurMemo(), "NEW");
    const std::string msg = expectError(6, [&] { store->AddCode(); });
    EXPECT_NE(msg.find("データがいっぱいです。"), std::string::npos) << msg;
    EXPECT_EQ(store->GetCurCode(), 32765);
    EXPECT_EQ(store->GetCodeMaxNum(), 32764) << "nothing written";
    // The session goes on: other records can still be changed and saved.
    store->SetCurCode(32764);
    store->PutMemo("last one");
    store->Close();
    EXPECT_EQ(cellOnDisk("ID", 32767, 4), CellValue::str("last one"));
}

TEST_P(StoreTest, FullListIsAnErrorNotAnEnd) {
    writeCodes(32768);  // the first empty code cell is row 32772, whose code would be 32768
    auto store = open();
    const std::string msg = expectError(6, [&] { store->GetCodeMaxNum(); });
    EXPECT_EQ(msg, "データがいっぱいです。");
    expectError(6, [&] { store->AddCode(); });
    store->SetCurCode(5);
    EXPECT_EQ(store->PutMemo("still working"), 1);
}

TEST_P(StoreTest, GapInColumnAEndsTheList) {
    auto store = open();
    for (int i = 4; i <= 9; ++i)
        EXPECT_EQ(store->AddCode(), i);
    store->Close();
    editWorkbook([](store::Workbook &book) { book.sheet("ID").setCell(8, 1, CellValue{}); });
    store = open();
    EXPECT_EQ(store->GetCodeMaxNum(), 4);
    EXPECT_EQ(store->AddCode(), 5) << "the gap is filled";
    EXPECT_EQ(store->GetCodeMaxNum(), 9);
}

TEST_P(StoreTest, LandmarkAndCentreWritesLandInTheirColumns) {
    auto store = open();
    store->AddCode();
    store->PutLandMarkX(21, 12.25f);
    store->PutLandMarkZ(21, -3.5f);
    store->PutCOGBX(1.5f);
    store->PutCOGBZ(2.5f);
    store->PutCOGSX(14, 7.75f);
    store->PutCOGSZ(14, 8.75f);
    EXPECT_EQ(store->GetLandMarkX(21), 12.25f);
    EXPECT_EQ(store->GetLandMarkZ(21), -3.5f);
    expectError(1004, [&] { store->PutLandMarkX(128, 1.0f); });  // column 258 is off the grid
    expectError(6, [&] { store->GetLandMarkX(20000); });         // 2 * 20000 overflows 16 bits
    store->Close();
    EXPECT_EQ(numberOnDisk("LANDMARK", 7, 44), 12.25);
    EXPECT_EQ(numberOnDisk("LANDMARK", 7, 45), -3.5);
    EXPECT_EQ(numberOnDisk("ID", 7, 5), 1.5);
    EXPECT_EQ(numberOnDisk("ID", 7, 6), 2.5);
    EXPECT_EQ(numberOnDisk("COGS", 7, 30), 7.75);
    EXPECT_EQ(numberOnDisk("COGS", 7, 31), 8.75);
}

// ---- reading what other programs put into cells ----

struct ReadCase {
    const char *what;
    CellValue sex, memo, x;
    int error;  // of SetCurCode (sex, memo) or GetLandMarkX
    int16_t expectSex;
    const char *expectMemo;
    float expectX;
};

TEST_P(StoreTest, CellsTypedByHandConvertByTheReadingRules) {
    const std::vector<ReadCase> cases = {
        {"numbers", CellValue::real(1), CellValue::real(1.5), CellValue::real(12.5), 0, 1, "1.5",
         12.5f},
        {"half to even", CellValue::real(2.5), CellValue::real(3), CellValue::real(-0.25), 0, 2,
         "3", -0.25f},
        {"numeric text", CellValue::str(" 1 "), CellValue::str("x"), CellValue::str(" 12 "), 0, 1,
         "x", 12.0f},
        {"boolean", CellValue::boolean(true), CellValue::str(""), CellValue::boolean(true), 0, -1,
         "", -1.0f},
        {"text coordinate", CellValue::real(0), CellValue::str("m"), CellValue::str("abc"), 13, 0,
         "m", 0},
        {"text sex", CellValue::str("female"), CellValue::str("m"), CellValue::real(0), 13, 0, "",
         0},
        {"sex too large", CellValue::real(40000), CellValue::str("m"), CellValue::real(0), 6, 0, "",
         0},
        {"error value", CellValue::error(0x07), CellValue::str("m"), CellValue::real(0), 13, 0, "",
         0},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        editWorkbook([&](store::Workbook &book) {
            if (i == 0) {  // a first start made the layout; later cases only change row 7
                for (const char *n : {"ID", "COGS", "LANDMARK"})
                    book.addSheet().setName(n);
                book.sheet("ID").setCell(7, 1, CellValue::real(4));
            }
            book.sheet("ID").setCell(7, 3, cases[i].sex);
            book.sheet("ID").setCell(7, 4, cases[i].memo);
            book.sheet("LANDMARK").setCell(7, 2, cases[i].x);
        });
        SCOPED_TRACE(cases[i].what);
        auto store = open();
        const bool setFails = cases[i].error && cases[i].expectMemo[0] == '\0';
        if (setFails) {
            expectError(cases[i].error, [&] { store->SetCurCode(4); });
            continue;
        }
        store->SetCurCode(4);
        EXPECT_EQ(store->GetCurSex(), cases[i].expectSex);
        EXPECT_EQ(store->GetCurMemo(), cases[i].expectMemo);
        if (cases[i].error) {
            const std::string msg = expectError(cases[i].error, [&] { store->GetLandMarkX(0); });
            EXPECT_NE(msg.find("LANDMARK"), std::string::npos) << msg;
            EXPECT_NE(msg.find("B7"), std::string::npos) << msg;
        } else {
            EXPECT_EQ(store->GetLandMarkX(0), cases[i].expectX);
        }
    }
}

// ---- paths ----

struct PathCase {
    const char *dir;
    const char *workbook;
    const char *picture1;
};

TEST(RecordPaths, SeparatorTestOnTheTrimmedText) {
    const std::vector<PathCase> cases = {
        {"/", "/PONDERA2D_2010.xls", "//DEMO/demo001.bmp"},
        {"/home/u/data", "/home/u/data/PONDERA2D_2010.xls", "/home/u/data/DEMO/demo001.bmp"},
        {"/home/u/data/", "/home/u/data/PONDERA2D_2010.xls", "/home/u/data//DEMO/demo001.bmp"},
        {"/home/u/x/ ", "/home/u/x/ PONDERA2D_2010.xls", "/home/u/x/ /DEMO/demo001.bmp"},
        {"/home/u/a b", "/home/u/a b/PONDERA2D_2010.xls", "/home/u/a b/DEMO/demo001.bmp"},
    };
    for (const PathCase &c : cases) {
        const store::RecordPaths p = store::recordPaths(c.dir);
        EXPECT_EQ(p.workbook, c.workbook) << c.dir;
        EXPECT_EQ(p.demoPicture1, c.picture1) << c.dir;
        EXPECT_EQ(p.journal, p.folder + ".PONDERA2D_2010.xls.journal");
    }
}

TEST_P(StoreTest, DirectoryEndingInSeparatorKeepsTheDoubledSeparatorInPictureNames) {
    auto store =
        std::make_unique<ClassEXCEL>(landMark, segment, ClassEXCEL::Options{dir + "/", engine});
    EXPECT_EQ(store->GetExlFileName(), path());
    store->SetCurCode(2);
    EXPECT_EQ(store->GetCurPictureName(), dir + "//DEMO/demo003.bmp");
}

// ---- mended faults ----

// Failures only the test engine can be told to give.
class InjectedFailureTest : public StoreTest {};

TEST_P(StoreTest, UnreadableWorkbookIsMovedAsideNotOverwritten) {
    { std::ofstream(path(), std::ios::binary) << "this is not a workbook"; }
    auto store = open();
    EXPECT_EQ(store->GetNewExlFileFlag(), 1);
    const std::vector<std::string> notices = store->TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    const std::string moved = keptFileIn(notices[0], dir, "unreadable");
    ASSERT_FALSE(moved.empty()) << notices[0];
    EXPECT_EQ(readFile(moved), "this is not a workbook");
    EXPECT_TRUE(store->TakeNotices().empty()) << "taken once";
    store->Close();
    EXPECT_NO_THROW(engine->open(path()));
}

TEST_P(InjectedFailureTest, OpenFailingOtherwiseIsRaisedAndLeavesNothingBehind) {
    open()->Close();
    fake->switches->openError = 75;
    expectError(75, [&] { open(); });
    EXPECT_FALSE(exists(".~lock.PONDERA2D_2010.xls#"));
    fake->switches->openError = 0;
    EXPECT_NO_THROW(open()->Close()) << "the lock was released";
}

TEST_P(InjectedFailureTest, CommittedChangesSurviveAFailedCloseAndAreRecovered) {
    {
        auto store = open();
        store->AddCode();
        store->PutMemo("typed");
        store->PutLandMarkX(3, 42.5f);
        store->Commit();
        store->PutLandMarkZ(3, 43.5f);  // not committed; Close and the destructor still try
        fake->switches->saveError = 75;
        expectError(75, [&] { store->Close(); });
        EXPECT_EQ(store->GetCurMemo(), "typed") << "still open after a failed close";
    }  // the destructor's own close fails too, silently
    EXPECT_TRUE(exists(".PONDERA2D_2010.xls.journal"));
    EXPECT_FALSE(exists(".~lock.PONDERA2D_2010.xls#"));
    fake->switches->saveError = 0;
    auto store = open();
    EXPECT_EQ(store->RecoveredChangeCount(), 2);  // the committed command and the one Close tried
    const std::vector<std::string> notices = store->TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "前回の終了時に保存されていなかった操作 2 件を復元しました（記録 4）。");
    EXPECT_EQ(store->GetCodeMaxNum(), 4);
    store->SetCurCode(4);
    EXPECT_EQ(store->GetCurMemo(), "typed");
    EXPECT_EQ(store->GetLandMarkX(3), 42.5f);
    EXPECT_EQ(store->GetLandMarkZ(3), 43.5f);
    store->Close();
    EXPECT_FALSE(exists(".PONDERA2D_2010.xls.journal"));
    EXPECT_EQ(open()->RecoveredChangeCount(), 0);
}

// A journal as a crash leaves it: whole entries, then the torn start of one more.
TEST_P(StoreTest, LeftoverJournalIsReplayedUpToItsTornTail) {
    open()->Close();
    std::string bytes(store::kJournalMagic);
    store::encodeJournalEntry({0, 7, 1, CellValue::integer(4)}, bytes);
    store::encodeJournalEntry({0, 7, 4, CellValue::str("before the crash")}, bytes);
    store::encodeJournalEntry({2, 7, 2, CellValue::single(99.5f)}, bytes);
    std::string torn;
    store::encodeJournalEntry({2, 7, 3, CellValue::single(1.0f)}, torn);
    bytes += torn.substr(0, torn.size() - 3);
    { std::ofstream(dir + "/.PONDERA2D_2010.xls.journal", std::ios::binary) << bytes; }
    auto store = open();
    EXPECT_EQ(store->RecoveredChangeCount(), 1);  // entries without a command mark: one command
    EXPECT_EQ(store->GetCodeMaxNum(), 4);
    store->SetCurCode(4);
    EXPECT_EQ(store->GetCurMemo(), "before the crash");
    EXPECT_EQ(store->GetLandMarkX(0), 99.5f);
    EXPECT_EQ(store->GetLandMarkZ(0), 0.0f);
    // Saved at start-up: the file holds the recovered changes even if this run dies now.
    EXPECT_EQ(cellOnDisk("ID", 7, 4), CellValue::str("before the crash"));
}

// The steps a window shows on a long start, in the order they run, and only those that run.
TEST_P(StoreTest, StartReportsItsStepsInOrder) {
    using Step = ClassEXCEL::StartStep;
    std::vector<Step> steps;
    const auto start = [&] {
        steps.clear();
        ClassEXCEL::Options options{dir, engine, [&](Step s) { steps.push_back(s); }};
        ClassEXCEL(landMark, segment, std::move(options)).Close();
        return steps;
    };
    EXPECT_EQ(start(), (std::vector<Step>{Step::Writing, Step::Ended})) << "a new workbook";
    EXPECT_EQ(start(), (std::vector<Step>{Step::Opening, Step::Writing, Step::Ended}));

    std::string bytes(store::kJournalMagic);
    store::encodeJournalEntry({0, 7, 4, CellValue::str("before the crash")}, bytes);
    { std::ofstream(dir + "/.PONDERA2D_2010.xls.journal", std::ios::binary) << bytes; }
    EXPECT_EQ(start(),
              (std::vector<Step>{Step::Opening, Step::Recovering, Step::Writing, Step::Ended}));

    {
        const auto running = open();  // a second program in the folder refuses this start
        steps.clear();
        expectError(75, [&] { start(); });
    }
    EXPECT_EQ(steps, std::vector<Step>{Step::Ended}) << "a refused start ends its progress too";

    if (GetParam() != EngineKind::Embedded) return;  // the test engine reads no OOXML
    const std::string rels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::vector<uint8_t> ooxml = makeZip({
        {"_rels/.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type=")" +
             rels + R"(/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
        {"xl/workbook.xml",
         R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r=")" +
             rels + R"("><sheets><sheet name="ID" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type=")" +
             rels + R"(/worksheet" Target="worksheets/sheet1.xml"/></Relationships>)"},
        {"xl/worksheets/sheet1.xml",
         R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
         R"(<sheetData><row r="7"><c r="A7"><v>4</v></c></row></sheetData></worksheet>)"},
    });
    writeBytes(path(), ooxml);
    EXPECT_EQ(start(),
              (std::vector<Step>{Step::Opening, Step::Converting, Step::Writing, Step::Ended}));
}

TEST_P(StoreTest, ForeignFileInPlaceOfTheJournalIsIgnored) {
    { std::ofstream(dir + "/.PONDERA2D_2010.xls.journal", std::ios::binary) << "not ours"; }
    auto store = open();
    EXPECT_EQ(store->RecoveredChangeCount(), 0);
    EXPECT_EQ(store->GetCodeMaxNum(), 3);
}

TEST_P(InjectedFailureTest, EngineKeepingTheOriginalIsReported) {
    fake->switches->keptOriginal = dir + "/PONDERA2D_2010.original.xls";
    auto store = open();
    const std::vector<std::string> notices = store->TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("「" + fake->switches->keptOriginal + "」"), std::string::npos)
        << notices[0];
}

TEST_P(StoreTest, SecondStoreOnTheSameFolderIsRefused) {
    auto first = open();
    const std::string msg = expectError(75, [&] { open(); });
    EXPECT_NE(msg.find("PONDERA2D_2010.xls"), std::string::npos) << msg;
    first->AddCode();
    first->Close();
    auto second = open();
    EXPECT_EQ(second->GetCodeMaxNum(), 4) << "the refused store wrote nothing";
}

TEST_P(StoreTest, SpreadsheetLockFileWhileOpenStaleOneReplaced) {
    const std::string lock = dir + "/.~lock.PONDERA2D_2010.xls#";
    { std::ofstream(lock) << ",Someone,otherhost,01.01.2020 10:00,file:///home/x/.config;"; }
    auto store = open();
    const std::string content = readFile(lock);
    // ",<user>,<host>,dd.mm.yyyy hh:mm,<profile URL>;" with an empty first field: the name a
    // user gave the office suite, which we do not know.
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t comma; (comma = content.find(',', start)) != std::string::npos; start = comma + 1)
        fields.push_back(content.substr(start, comma - start));
    fields.push_back(content.substr(start));
    ASSERT_EQ(fields.size(), 5u) << content;
    EXPECT_EQ(fields[0], "");
    EXPECT_FALSE(fields[1].empty());
    EXPECT_FALSE(fields[2].empty());
    ASSERT_EQ(fields[3].size(), 16u) << content;
    EXPECT_EQ(fields[3][2], '.');
    EXPECT_EQ(fields[3][5], '.');
    EXPECT_EQ(fields[3][10], ' ');
    EXPECT_EQ(fields[3][13], ':');
    EXPECT_EQ(fields[4].rfind("file://", 0), 0u) << content;
    EXPECT_TRUE(fields[4].ends_with("/.config/libreoffice/4;")) << content;
    store->Close();
    EXPECT_FALSE(exists(".~lock.PONDERA2D_2010.xls#"));
}

TEST_P(StoreTest, FileChangedOnDiskDuringTheRunIsKeptBeforeSaving) {
    auto store = open();
    store->AddCode();
    store->PutMemo("ours");
    editWorkbook([](store::Workbook &book) {
        book.sheet("ID").setCell(3, 4, CellValue::str("typed in the spreadsheet"));
    });
    const std::string theirs = readFile(path());
    store->Close();
    const std::vector<std::string> notices = store->TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    const std::string kept = keptFileIn(notices[0], dir, "changed");
    ASSERT_FALSE(kept.empty()) << notices[0];
    EXPECT_EQ(readFile(kept), theirs);
    EXPECT_EQ(cellOnDisk("ID", 7, 4), CellValue::str("ours"));
}

TEST_P(StoreTest, MemoIsWrittenAndReadBack) {
    auto store = open();
    store->AddCode();
    EXPECT_EQ(store->PutMemo("右足のつま先が見えない"), 1);
    EXPECT_EQ(store->GetCurMemo(), "右足のつま先が見えない");
    store->Close();
    store = open();
    store->SetCurCode(4);
    EXPECT_EQ(store->GetCurMemo(), "右足のつま先が見えない");
}

// A command that writes back what the cells hold (the window storing the centres of the record it
// shows at start) is no change: nothing to journal, save or recover.
TEST_P(StoreTest, WritingBackWhatTheCellsHoldIsNoChange) {
    auto store = open();
    // Record 4 as the window leaves it: landmarks placed, centres stored, then closed.
    ClassLANDMARK points;
    ClassSEGMENT body(points);
    auto storeCentres = [&] {
        for (int16_t i = 0; i <= points.GetLandMarkMaxNum(); ++i) {
            points.SetLandMarkX(i, store->GetLandMarkX(i));
            points.SetLandMarkZ(i, store->GetLandMarkZ(i));
        }
        body.SetSex(store->GetCurSex());
        body.CalcCOGB();
        store->PutCOGBX(body.GetCOGBX());
        store->PutCOGBZ(body.GetCOGBZ());
        for (int16_t s = 0; s <= body.GetSegMaxNum(); ++s) {
            store->PutCOGSX(s, body.GetCOGSX(s));
            store->PutCOGSZ(s, body.GetCOGSZ(s));
        }
    };
    const int16_t code = store->AddCode();
    store->PutSex(1);
    for (int16_t i = 0; i <= points.GetLandMarkMaxNum(); ++i) {
        store->PutLandMarkX(i, 100.5f + i);
        store->PutLandMarkZ(i, 300.25f - 3 * i);
    }
    storeCentres();
    store->Commit();
    store->Close();
    for (int start = 0; start < 2; ++start) {
        store = open();
        const std::string journal = dir + "/.PONDERA2D_2010.xls.journal";
        const auto journalSize = std::filesystem::file_size(journal);
        store->SetCurCode(code);
        storeCentres();
        store->PutSex(store->GetCurSex());
        store->PutMemo(store->GetCurMemo());
        store->PutLandMarkX(3, store->GetLandMarkX(3));
        store->Commit();
        EXPECT_FALSE(store->HasUnsavedChanges()) << "start " << start;
        EXPECT_EQ(std::filesystem::file_size(journal), journalSize) << "start " << start;
        store->Close();
    }
    store = open();
    store->SetCurCode(code);
    store->PutLandMarkX(0, store->GetLandMarkX(0) + 1);
    EXPECT_TRUE(store->HasUnsavedChanges()) << "a different value is a change";
}

// A sex cell typed over with text: the record is current with its other fields and no sex, the
// cell's text is there to show, and choosing a sex repairs the cell.
TEST_P(StoreTest, TextSexCellLeavesTheRecordCurrentWithoutASexUntilChosen) {
    open()->Close();
    editWorkbook([](store::Workbook &book) {
        store::Worksheet &id = book.sheet("ID");
        id.setCell(7, 1, CellValue::real(4));
        id.setCell(7, 2, CellValue::str("/photos/a.jpg"));
        id.setCell(7, 3, CellValue::str("女"));
        id.setCell(7, 4, CellValue::str("memo of 4"));
    });
    auto store = open();
    store->SetCurCode(3);
    ASSERT_EQ(store->GetCurSex(), 1);
    expectError(13, [&] { store->SetCurCode(4); });
    EXPECT_EQ(store->GetCurCode(), 4);
    EXPECT_EQ(store->GetCurSex(), ClassEXCEL::kNoSex) << "not the sex of the record before";
    EXPECT_EQ(store->GetCurMemo(), "memo of 4");
    EXPECT_EQ(store->GetCurPictureName(), "/photos/a.jpg");
    EXPECT_EQ(store->GetCurSexText(), "女");
    store->PutSex(1);
    store->Commit();
    store->Close();
    store = open();
    EXPECT_NO_THROW(store->SetCurCode(4));
    EXPECT_EQ(store->GetCurSex(), 1);
}

TEST_P(StoreTest, ClosedStoreRefusesCalls) {
    auto store = open();
    store->Close();
    EXPECT_NO_THROW(store->Close());
    expectError(75, [&] { store->SetCurCode(0); });
    expectError(75, [&] { store->Commit(); });
}

INSTANTIATE_TEST_SUITE_P(TestEngine, InjectedFailureTest, ::testing::Values(EngineKind::Fake),
                         engineName);
#ifdef RECORDS_NO_EMBEDDED_ENGINE
INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::Values(EngineKind::Fake), engineName);
#else
INSTANTIATE_TEST_SUITE_P(Engines, StoreTest,
                         ::testing::Values(EngineKind::Fake, EngineKind::Embedded), engineName);
#endif

}  // namespace
}  // namespace pondera::testing
