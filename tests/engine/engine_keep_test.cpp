// What the engine does not own survives: sheets it never wrote are carried byte for byte and in
// order, unwritten cells of the sheets it rewrites keep their values, and the original file is
// kept beside when a rewrite drops formulas or formatting. Saves are atomic.

#include <sys/stat.h>

#include <cstring>
#include <thread>

#include "base/error.h"
#include "store/xls/xls_workbook.h"
#include "tests/engine/engine_test_util.h"

namespace pondera::store {
namespace {

using test::TempDir;

const std::string kFixture = std::string(ENGINE_TEST_DATA) + "/lo_foreign.xls";

class KeepForeign : public ::testing::Test {
  protected:
    void SetUp() override {
        original = test::readBytes(kFixture);
        ASSERT_FALSE(original.empty());
        path = dir.file("lo_foreign.xls");
        test::writeBytes(path, original);
    }
    TempDir dir;
    std::string path;
    std::vector<uint8_t> original;
    std::unique_ptr<WorkbookEngine> engine = makeWorkbookEngine();
};

TEST_F(KeepForeign, ReadsWhatLibreOfficeWrote) {
    auto book = engine->open(path);
    Worksheet &id = book->sheet("ID");
    EXPECT_EQ(id.cell(1, 2), CellValue::str("Picture Name"));
    EXPECT_EQ(id.cell(3, 1), CellValue::real(5));
    EXPECT_EQ(id.cell(3, 2), CellValue::str("pic"));
    EXPECT_EQ(id.cell(3, 4), CellValue::error(0x07));  // =1/0, its cached #DIV/0!
    EXPECT_EQ(id.cell(4, 2), CellValue::str("日本語の写真"));
    EXPECT_EQ(id.cell(4, 3), CellValue::real(0.1));
    EXPECT_EQ(id.cell(4, 4), CellValue::real(6.5));  // formula: its cached result
    EXPECT_TRUE(id.cell(2, 1).isEmpty());
    Worksheet &user = book->sheet("user");
    EXPECT_EQ(user.cell(1, 2), CellValue::real(10));
    EXPECT_EQ(user.cell(2, 1), CellValue::str("merged"));
    EXPECT_EQ(user.cell(2, 3), CellValue::real(3.25));
    EXPECT_EQ(book->sheet("Plain").cell(1, 1), CellValue::real(-7));
}

TEST_F(KeepForeign, EditingOurSheetCarriesTheOthersAndKeepsTheOriginalOnce) {
    auto before = test::sheetSubstreams(test::workbookStream(original));
    {
        auto book = engine->open(path);
        book->sheet("ID").setCell(10, 1, CellValue::integer(7));
        book->addSheet().setName("COGS");
        SaveReport report = book->saveAs(path);
        // ID held formulas: the file as it was is kept beside, byte for byte.
        EXPECT_EQ(report.keptOriginal, dir.file("lo_foreign.orig.xls"));
        EXPECT_EQ(test::readBytes(dir.file("lo_foreign.orig.xls")), original);
        // A second save has nothing more to lose.
        book->sheet("ID").setCell(11, 1, CellValue::integer(8));
        EXPECT_EQ(book->saveAs(path).keptOriginal, "");
    }
    auto stream = test::workbookStream(test::readBytes(path));
    auto after = test::sheetSubstreams(stream);
    ASSERT_EQ(after.size(), 4u);
    {
        // The workbook's reference to itself counts the added sheet.
        biff::RecordCursor cur(stream, 0);
        biff::Record rec;
        int supBooks = 0;
        while (cur.next(rec) && rec.id != biff::kEof)
            if (rec.id == biff::kSupBook && rec.data.size() == 4) {
                EXPECT_EQ(rd16(rec.data.data()), 4);
                ++supBooks;
            }
        EXPECT_EQ(supBooks, 1);
    }
    EXPECT_EQ(after[0].name, "User");
    EXPECT_EQ(after[1].name, "ID");
    EXPECT_EQ(after[2].name, "Plain");
    EXPECT_EQ(after[3].name, "COGS");
    EXPECT_EQ(test::recordsWithoutIndex(after[0].bytes),
              test::recordsWithoutIndex(before[0].bytes));
    EXPECT_EQ(after[2].bytes, before[2].bytes);

    auto book = engine->open(path);
    Worksheet &id = book->sheet("ID");
    EXPECT_EQ(id.cell(10, 1), CellValue::real(7));
    EXPECT_EQ(id.cell(11, 1), CellValue::real(8));
    // Cells the program never wrote keep their values (formulas as their results).
    EXPECT_EQ(id.cell(3, 2), CellValue::str("pic"));
    EXPECT_EQ(id.cell(3, 4), CellValue::error(0x07));
    EXPECT_EQ(id.cell(4, 2), CellValue::str("日本語の写真"));
    EXPECT_EQ(id.cell(4, 4), CellValue::real(6.5));
    EXPECT_EQ(book->sheet("User").cell(1, 1), CellValue::str("note"));
    EXPECT_EQ(book->sheet("User").cell(2, 1), CellValue::str("merged"));

    // The file is ours now: rewriting ID again keeps nothing more.
    id.setCell(12, 1, CellValue::integer(9));
    EXPECT_EQ(book->saveAs(path).keptOriginal, "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("lo_foreign.orig-2.xls")));
}

// A large carried sheet goes from the loaded bytes into the file unchanged but for its Index
// record, whose positions move with the sheet: after the shared strings grew in front of it,
// every DBCell position still names a DBCell, and the file on disk is what serialize() gives.
TEST(CarriedSheet, LargeSheetMovesWithItsIndex) {
    XlsWorkbook made;
    Worksheet &big = made.addSheet();
    for (int r = 1; r <= 3000; ++r)
        for (int c = 1; c <= 10; ++c)
            big.setCell(r, c, CellValue::single(static_cast<float>(r) * 0.37f + c));
    made.addSheet().setCell(1, 1, CellValue::str("small"));
    const std::vector<uint8_t> file = made.serialize();

    TempDir dir;
    const std::string path = dir.file("carried.xls");
    XlsWorkbook loaded;
    loaded.loadCompoundFile(std::vector<uint8_t>(file));
    loaded.sheetAt(1).setCell(2, 1, CellValue::str(std::string(5000, 'x')));
    loaded.saveAs(path);
    const std::vector<uint8_t> saved = test::readBytes(path);
    EXPECT_EQ(saved, loaded.serialize());

    const std::vector<uint8_t> stream = test::workbookStream(saved);
    const test::SheetBytes before = test::sheetSubstreams(test::workbookStream(file))[0];
    const test::SheetBytes after = test::sheetSubstreams(stream)[0];
    ASSERT_GT(after.bytes.size(), 64u * 1024);
    EXPECT_GT(after.offset, before.offset);
    EXPECT_EQ(test::recordsWithoutIndex(after.bytes), test::recordsWithoutIndex(before.bytes));
    biff::RecordCursor cur(stream, after.offset);
    biff::Record rec;
    while (cur.next(rec) && rec.id != biff::kIndex) {
    }
    ASSERT_EQ(rec.id, biff::kIndex);
    ASSERT_GT(rec.data.size(), 16u);
    for (size_t k = 16; k + 4 <= rec.data.size(); k += 4) {
        const uint32_t at = rd32(rec.data.data() + k);
        ASSERT_LT(at + 2u, stream.size());
        EXPECT_EQ(rd16(stream.data() + at), biff::kDbCell) << "DBCell " << (k - 16) / 4;
    }
    XlsWorkbook reread;
    reread.loadCompoundFile(std::vector<uint8_t>(saved));
    EXPECT_EQ(reread.sheetAt(0).cell(3000, 10), loaded.sheetAt(0).cell(3000, 10));
    EXPECT_EQ(reread.sheetAt(1).cell(2, 1), CellValue::str(std::string(5000, 'x')));
}

// A snapshot is the workbook whole: it serializes to the same bytes, for files with carried
// sheets and kept records, an OOXML source, and a workbook whose sheets were all rewritten.
TEST(Snapshot, SerializesLikeTheWorkbook) {
    for (const char *name : {"lo_foreign.xls", "lo_foreign_ooxml.xlsx", "ruby_spreadsheet.xls"}) {
        SCOPED_TRACE(name);
        XlsWorkbook book;
        const std::vector<uint8_t> bytes =
            test::readBytes(std::string(ENGINE_TEST_DATA) + "/" + name);
        if (bytes[0] == 'P')
            book.loadOoxml(bytes);
        else
            book.loadCompoundFile(std::vector<uint8_t>(bytes));
        EXPECT_EQ(book.snapshot()->serialize(), book.serialize());
        for (size_t i = 0; i < book.sheetCount(); ++i)
            if (book.sheetAt(i).isWorksheet())
                book.sheetAt(i).setCell(9, 9, CellValue::str("rewritten"));
        EXPECT_EQ(book.snapshot()->serialize(), book.serialize());
    }
}

// A save in two halves: the file gets the workbook as it was at the snapshot, written on another
// thread while the workbook changes, and afterwards the workbook knows it matches that file (the
// original is kept once, carried sheets still carried).
TEST_F(KeepForeign, SnapshotSaveWritesTheSnapshotAndTakesItsEffectsBack) {
    auto book = engine->open(path);
    book->sheet("ID").setCell(10, 1, CellValue::integer(7));
    const std::unique_ptr<SaveJob> job = book->snapshotSave(path);
    ASSERT_NE(job, nullptr);
    SaveReport report;
    std::thread writer([&] { report = job->write(); });
    book->sheet("ID").setCell(10, 1, CellValue::integer(8));
    book->sheet("ID").setCell(11, 2, CellValue::str("after the snapshot"));
    writer.join();
    book->finishSave(*job);
    EXPECT_EQ(report.keptOriginal, dir.file("lo_foreign.orig.xls"));
    {
        auto onDisk = engine->open(path);
        EXPECT_EQ(onDisk->sheet("ID").cell(10, 1), CellValue::real(7));
        EXPECT_TRUE(onDisk->sheet("ID").cell(11, 2).isEmpty());
        EXPECT_EQ(onDisk->sheet("ID").cell(3, 2), CellValue::str("pic"));
    }
    EXPECT_EQ(book->saveAs(path).keptOriginal, "") << "nothing more to lose";
    auto onDisk = engine->open(path);
    EXPECT_EQ(onDisk->sheet("ID").cell(10, 1), CellValue::real(8));
    EXPECT_EQ(onDisk->sheet("ID").cell(11, 2), CellValue::str("after the snapshot"));
}

TEST_F(KeepForeign, KeptOriginalTakesTheNextFreeName) {
    test::writeBytes(dir.file("lo_foreign.orig.xls"), {1, 2, 3});
    auto book = engine->open(path);
    book->sheet("User").setCell(1, 1, CellValue::str("rewritten"));  // formulas, merged range
    EXPECT_EQ(book->saveAs(path).keptOriginal, dir.file("lo_foreign.orig-2.xls"));
    EXPECT_EQ(test::readBytes(dir.file("lo_foreign.orig.xls")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(test::readBytes(dir.file("lo_foreign.orig-2.xls")), original);
}

TEST_F(KeepForeign, NothingKeptWhenNothingIsLost) {
    {
        // A sheet with values only, column widths and page set-up: all carried.
        auto book = engine->open(path);
        book->sheet("Plain").setCell(5, 5, CellValue::str("added"));
        EXPECT_EQ(book->saveAs(path).keptOriginal, "");
    }
    {
        // Saved elsewhere: the original stays where it is.
        auto book = engine->open(path);
        book->sheet("ID").setCell(5, 5, CellValue::str("added"));
        EXPECT_EQ(book->saveAs(dir.file("other.xls")).keptOriginal, "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("lo_foreign.orig.xls")));
    auto book = engine->open(dir.file("other.xls"));
    EXPECT_EQ(book->sheet("Plain").cell(5, 5), CellValue::str("added"));
    EXPECT_EQ(book->sheet("Plain").cell(1, 2), CellValue::str("plain"));
}

// OOXML content under an .xls name is read by content and saved back as BIFF8; the first save
// over it keeps the OOXML original beside.
TEST(KeepOoxml, SavedBackAsBiff8WithTheOriginalKept) {
    TempDir dir;
    auto original = test::readBytes(std::string(ENGINE_TEST_DATA) + "/lo_foreign_ooxml.xlsx");
    std::string path = dir.file("PONDERA2D_2010.xls");
    test::writeBytes(path, original);
    auto engine = makeWorkbookEngine();
    auto book = engine->open(path);
    EXPECT_EQ(book->sheet("ID").cell(4, 2), CellValue::str("日本語の写真"));
    EXPECT_EQ(book->sheet("ID").cell(4, 4), CellValue::real(6.5));
    EXPECT_EQ(book->sheet("User").cell(2, 3), CellValue::real(3.25));
    book->sheet("ID").setCell(3, 1, CellValue::integer(0));
    EXPECT_EQ(book->saveAs(path).keptOriginal, dir.file("PONDERA2D_2010.orig.xls"));
    EXPECT_EQ(test::readBytes(dir.file("PONDERA2D_2010.orig.xls")), original);
    EXPECT_TRUE(book->saveAs(path).keptOriginal.empty());

    auto saved = test::readBytes(path);
    ASSERT_GE(saved.size(), 8u);
    EXPECT_EQ(std::memcmp(saved.data(), kCfbSignature, 8), 0);
    auto again = engine->open(path);
    EXPECT_EQ(again->sheet("ID").cell(3, 1), CellValue::real(0));
    EXPECT_EQ(again->sheet("ID").cell(4, 2), CellValue::str("日本語の写真"));
    EXPECT_EQ(again->sheet("Plain").cell(1, 2), CellValue::str("plain"));
    auto names = test::sheetSubstreams(test::workbookStream(saved));
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0].name, "User");
    EXPECT_EQ(names[2].name, "Plain");
}

// A carried sheet of our own making moves behind a sheet that grew: its Index record must still
// point at its DBCELL records and its DefColWidth.
TEST(KeepCarried, IndexFollowsAMovedSheet) {
    TempDir dir;
    auto engine = makeWorkbookEngine();
    {
        auto book = engine->create();
        book->addSheet().setName("Grows");
        Worksheet &kept = book->addSheet();
        kept.setName("Kept");
        for (int r = 1; r <= 300; ++r)
            kept.setCell(r, 2, CellValue::real(r + 0.25));
        book->saveAs(dir.file("m.xls"));
    }
    {
        auto book = engine->open(dir.file("m.xls"));
        for (int r = 1; r <= 500; ++r)
            book->sheet("Grows").setCell(r, 1, CellValue::str("x" + std::to_string(r)));
        book->saveAs(dir.file("m.xls"));
    }
    auto stream = test::workbookStream(test::readBytes(dir.file("m.xls")));
    auto sheets = test::sheetSubstreams(stream);
    ASSERT_EQ(sheets.size(), 2u);
    biff::RecordCursor cur(stream, sheets[1].offset);
    biff::Record rec;
    cur.next(rec);
    ASSERT_TRUE(cur.next(rec));
    ASSERT_EQ(rec.id, biff::kIndex);
    auto idAt = [&](uint32_t pos) { return rd16(stream.data() + pos); };
    EXPECT_EQ(idAt(rd32(rec.data.data() + 12)), biff::kDefColWidth);
    ASSERT_EQ(rec.data.size(), 16u + 4 * 10);  // 300 rows: 10 blocks
    for (size_t k = 16; k < rec.data.size(); k += 4)
        EXPECT_EQ(idAt(rd32(rec.data.data() + k)), biff::kDbCell);
    auto book = engine->open(dir.file("m.xls"));
    EXPECT_EQ(book->sheet("Kept").cell(300, 2), CellValue::real(300.25));
}

// ------------------------------------------------------------------------------------------
// Atomic save

void expectSaveError(Workbook &book, const std::string &path, int number) {
    try {
        book.saveAs(path);
        ADD_FAILURE() << "saved " << path;
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), number) << e.what();
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
}

std::vector<std::string> listing(const std::string &folder) {
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicSave, FailuresLeaveTheOldFileAndNoTemporary) {
    TempDir dir;
    auto book = makeWorkbookEngine()->create();
    book->addSheet().setCell(1, 1, CellValue::str("new"));
    test::writeBytes(dir.file("old.xls"), {9, 9, 9});
    std::filesystem::create_directory(dir.file("folder.xls"));

    expectSaveError(*book, dir.file("missing/x.xls"), kErrPathNotFound);
    expectSaveError(*book, dir.file("old.xls/x.xls"), kErrPathNotFound);
    expectSaveError(*book, dir.file("folder.xls"), kErrFileAccess);  // a folder is in the way
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"folder.xls", "old.xls"}));
    EXPECT_EQ(test::readBytes(dir.file("old.xls")), (std::vector<uint8_t>{9, 9, 9}));

    book->saveAs(dir.file("old.xls"));
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"folder.xls", "old.xls"}));
    EXPECT_EQ(makeWorkbookEngine()->open(dir.file("old.xls"))->sheet("Sheet1").cell(1, 1),
              CellValue::str("new"));
}

TEST(AtomicSave, ThroughASymbolicLinkReplacesItsTarget) {
    TempDir dir;
    auto book = makeWorkbookEngine()->create();
    book->addSheet().setCell(1, 1, CellValue::integer(3));
    book->saveAs(dir.file("real.xls"));
    std::filesystem::create_symlink(dir.file("real.xls"), dir.file("link.xls"));
    book->sheet("Sheet1").setCell(1, 1, CellValue::integer(4));
    book->saveAs(dir.file("link.xls"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.xls")));
    EXPECT_EQ(makeWorkbookEngine()->open(dir.file("real.xls"))->sheet("Sheet1").cell(1, 1),
              CellValue::real(4));
}

// As an ordinary user (root writes anywhere, so a root run drops to nobody in a child).
TEST(AtomicSave, ReadOnlyFolderOrFileRaises75) {
    TempDir dir;
    auto book = makeWorkbookEngine()->create();
    book->addSheet();
    book->saveAs(dir.file("ro.xls"));
    const auto before = test::readBytes(dir.file("ro.xls"));
    book->sheet("Sheet1").setCell(1, 1, CellValue::integer(1));
    // What is wrong with the save's failure: it must raise 75 naming the file.
    auto saveError = [&](const std::string &what) -> std::string {
        try {
            book->saveAs(dir.file("ro.xls"));
            return what + ": saved";
        } catch (const Error &e) {
            if (e.number() != kErrFileAccess ||
                std::string(e.what()).find(dir.file("ro.xls")) == std::string::npos)
                return what + ": error " + std::to_string(e.number()) + " " + e.what();
        }
        return "";
    };
    const std::string problem = pondera::testing::runUnprivileged(
        [&]() -> std::string {
            chmod(dir.path().c_str(), 0555);
            if (std::string p = saveError("read-only folder"); !p.empty()) return p;
            chmod(dir.path().c_str(), 0755);
            if (test::readBytes(dir.file("ro.xls")) != before) return "folder: file changed";
            if (listing(dir.path()) != std::vector<std::string>{"ro.xls"})
                return "folder: a temporary file was left";
            chmod(dir.file("ro.xls").c_str(), 0444);
            if (std::string p = saveError("read-only file"); !p.empty()) return p;
            if (test::readBytes(dir.file("ro.xls")) != before) return "file: file changed";
            return "";
        },
        {dir.path()});
    EXPECT_EQ(problem, "");
}

}  // namespace
}  // namespace pondera::store
