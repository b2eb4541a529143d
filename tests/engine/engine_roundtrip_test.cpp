// Cell values and sheets through the engine interface: what is written reads back as written
// before a save, and as the file keeps it after save and reopen.

#include <cmath>

#include "base/error.h"
#include "store/xls/xls_workbook.h"
#include "tests/engine/engine_test_util.h"

namespace pondera::store {
namespace {

using test::TempDir;
using K = CellValue::Kind;

struct RoundTrip {
    const char *name;
    CellValue written;
    CellValue reopened;  // what the file gives back (numbers come back as Double)
};

std::string repeat(const std::string &s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

class CellRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CellRoundTrip, ReadsBackAsWrittenThenAsStored) {
    const RoundTrip &c = GetParam();
    TempDir dir;
    auto engine = makeWorkbookEngine();
    auto book = engine->create();
    Worksheet &ws = book->addSheet();
    ws.setCell(7, 3, c.written);
    ws.setCell(7, 4, CellValue::integer(1));  // a neighbour on the same row
    if (!std::isnan(c.written.number)) {
        EXPECT_EQ(ws.cell(7, 3), c.written.kind == K::Text && c.written.text.empty()
                                     ? CellValue::empty()
                                     : c.written);
    }
    book->saveAs(dir.file("t.xls"));

    auto again = engine->open(dir.file("t.xls"));
    CellValue got = again->sheet("Sheet1").cell(7, 3);
    EXPECT_EQ(got.kind, c.reopened.kind);
    EXPECT_TRUE(got.text == c.reopened.text)
        << got.text.size() << " bytes, want " << c.reopened.text.size() << ": "
        << got.text.substr(0, 40);
    if (std::isnan(c.reopened.number))
        EXPECT_TRUE(std::isnan(got.number));
    else
        EXPECT_EQ(got.number, c.reopened.number);
    EXPECT_EQ(again->sheet("Sheet1").cell(7, 4), CellValue::real(1));
}

const std::string kJapanese = "性別(0:男／1:女)";
const std::string kLongLatin = repeat("abcdefghij", 2000);     // 20,000 chars: 3 CONTINUEs
const std::string kLongJapanese = repeat("重心の位置", 2000);  // 10,000 UTF-16 chars
const std::string kLongMixed = repeat("x", 8213) + "日本" + repeat("y", 9000);

INSTANTIATE_TEST_SUITE_P(
    Kinds, CellRoundTrip,
    ::testing::Values(
        RoundTrip{"IntZero", CellValue::integer(0), CellValue::real(0)},
        RoundTrip{"IntMax", CellValue::integer(32767), CellValue::real(32767)},
        RoundTrip{"IntMin", CellValue::integer(-32768), CellValue::real(-32768)},
        RoundTrip{"IntMinusOne", CellValue::integer(-1), CellValue::real(-1)},
        RoundTrip{"SingleTenth", CellValue::single(0.1f), CellValue::real(0.1)},
        RoundTrip{"SingleNegative", CellValue::single(-2.75f), CellValue::real(-2.75)},
        RoundTrip{"SingleCoordinate", CellValue::single(294.7f), CellValue::real(294.7)},
        RoundTrip{"SingleTiny", CellValue::single(1.17549435e-38f), CellValue::real(1.1754944e-38)},
        RoundTrip{"SingleHuge", CellValue::single(3.4028235e38f), CellValue::real(3.4028235e38)},
        RoundTrip{"SingleThird", CellValue::single(1.0f / 3), CellValue::real(0.33333334)},
        RoundTrip{"DoubleNotRk", CellValue::real(0.1), CellValue::real(0.1)},
        RoundTrip{"DoubleHundredths", CellValue::real(-123.45), CellValue::real(-123.45)},
        RoundTrip{"DoubleLarge", CellValue::real(1e300), CellValue::real(1e300)},
        RoundTrip{"DoubleBigInteger", CellValue::real(4e9), CellValue::real(4e9)},
        RoundTrip{"DoublePi", CellValue::real(M_PI), CellValue::real(M_PI)},
        RoundTrip{"TextAscii", CellValue::str("Code"), CellValue::str("Code")},
        RoundTrip{"TextLatin1", CellValue::str("Größe"), CellValue::str("Größe")},
        RoundTrip{"TextJapanese", CellValue::str(kJapanese), CellValue::str(kJapanese)},
        RoundTrip{"TextEmoji", CellValue::str("a😀b"), CellValue::str("a😀b")},
        RoundTrip{"TextLongLatin", CellValue::str(kLongLatin), CellValue::str(kLongLatin)},
        RoundTrip{"TextLongJapanese", CellValue::str(kLongJapanese), CellValue::str(kLongJapanese)},
        RoundTrip{"TextLongMixed", CellValue::str(kLongMixed), CellValue::str(kLongMixed)},
        RoundTrip{"TextEmpty", CellValue::str(""), CellValue::empty()},
        RoundTrip{"TextOverCellLimit", CellValue::str(std::string(40000, 'w')),
                  CellValue::str(std::string(32767, 'w'))},
        RoundTrip{"TextOverCellLimitKeepsPairs", CellValue::str(repeat("😀", 20000)),
                  CellValue::str(repeat("😀", 16383))},
        RoundTrip{"Empty", CellValue::empty(), CellValue::empty()},
        RoundTrip{"BooleanTrue", CellValue::boolean(true), CellValue::boolean(true)},
        RoundTrip{"ErrorDiv0", CellValue::error(0x07), CellValue::error(0x07)},
        RoundTrip{"NaNBecomesNumError", CellValue::real(NAN), CellValue::error(0x24)}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(EngineSheets, NewWorkbookHasNoSheetAndAddsDefaultNames) {
    auto book = makeWorkbookEngine()->create();
    EXPECT_THROW(
        {
            try {
                book->sheet("Sheet1");
            } catch (const Error &e) {
                EXPECT_EQ(e.number(), kErrSubscript);
                throw;
            }
        },
        Error);
    Worksheet &a = book->addSheet();
    EXPECT_EQ(a.name(), "Sheet1");
    a.setName("ID");
    EXPECT_EQ(book->addSheet().name(), "Sheet1");
    EXPECT_EQ(book->addSheet().name(), "Sheet2");
    EXPECT_EQ(&book->sheet("id"), &a);  // names compare case-insensitively
}

TEST(EngineSheets, RejectsInvalidAndDuplicateNames) {
    auto book = makeWorkbookEngine()->create();
    Worksheet &a = book->addSheet();
    book->addSheet().setName("COGS");
    for (const char *bad : {"", "a/b", "a[b]", "x:y", "q?", "st*r", "back\\slash", "'quoted'",
                            "cogs", "COGS", "0123456789012345678901234567890123"}) {
        try {
            a.setName(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), kErrFileAccess) << bad;
        }
    }
    EXPECT_EQ(a.name(), "Sheet1");
    a.setName("sheet1");  // its own name in another case is fine
    a.setName("ランドマーク");
    EXPECT_EQ(a.name(), "ランドマーク");
}

TEST(EngineSheets, OutOfGridCellsRaise1004) {
    auto book = makeWorkbookEngine()->create();
    Worksheet &ws = book->addSheet();
    for (auto [r, c] : {std::pair{0, 1}, {1, 0}, {65537, 1}, {1, 257}, {-1, -1}}) {
        try {
            ws.setCell(r, c, CellValue::integer(1));
            ADD_FAILURE() << r << "," << c;
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), kErrWorkbookOpen);
        }
        EXPECT_THROW(ws.cell(r, c), Error);
    }
    ws.setCell(65536, 256, CellValue::integer(5));
    EXPECT_EQ(ws.cell(65536, 256), CellValue::integer(5));
}

TEST(EngineSheets, WorkbookWithoutSheetsIsNotSaved) {
    TempDir dir;
    auto book = makeWorkbookEngine()->create();
    try {
        book->saveAs(dir.file("none.xls"));
        FAIL();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), kErrFileAccess);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.xls")));
}

// The program's layout: three sheets, headers, demonstration rows; order and values survive.
TEST(EngineSheets, ProgramLayoutRoundTrip) {
    TempDir dir;
    auto engine = makeWorkbookEngine();
    auto book = engine->create();
    const char *names[] = {"ID", "COGS", "LANDMARK"};
    const int widths[] = {6, 31, 45};
    for (int s = 0; s < 3; ++s) {
        Worksheet &ws = book->addSheet();
        ws.setName(names[s]);
        ws.setCell(1, 1, CellValue::str("Code"));
        for (int c = 2; c <= widths[s]; ++c)
            ws.setCell(2, c, CellValue::str(c % 2 ? "z" : "x"));
        for (int r = 3; r < 3 + 200; ++r) {
            ws.setCell(r, 1, CellValue::integer(static_cast<int16_t>(r - 3)));
            for (int c = 2; c <= widths[s]; ++c)
                ws.setCell(r, c, CellValue::single(static_cast<float>(r * 1.5 + c / 7.0)));
        }
    }
    book->sheet("ID").setCell(3, 2, CellValue::str("/home/u/DEMO/demo001.bmp"));
    book->sheet("ID").setCell(3, 3, CellValue::integer(1));
    book->sheet("ID").setCell(3, 4, CellValue::str("demo0"));
    book->saveAs(dir.file("PONDERA2D_2010.xls"));

    auto again = engine->open(dir.file("PONDERA2D_2010.xls"));
    EXPECT_THROW(again->sheet("Sheet1"), Error);
    for (int s = 0; s < 3; ++s) {
        Worksheet &ws = again->sheet(names[s]);
        EXPECT_EQ(ws.name(), names[s]);
        EXPECT_EQ(ws.cell(1, 1), CellValue::str("Code"));
        EXPECT_EQ(ws.cell(2, widths[s]), CellValue::str(widths[s] % 2 ? "z" : "x"));
        EXPECT_TRUE(ws.cell(2, widths[s] + 1).isEmpty());
        EXPECT_EQ(ws.cell(202, 1), CellValue::real(199));
        EXPECT_EQ(static_cast<float>(ws.cell(100, 5).number),
                  static_cast<float>(100 * 1.5 + 5 / 7.0));
        EXPECT_TRUE(ws.cell(203, 1).isEmpty());
    }
    EXPECT_EQ(again->sheet("ID").cell(3, 2), CellValue::str("/home/u/DEMO/demo001.bmp"));
    EXPECT_EQ(again->sheet("ID").cell(3, 3), CellValue::real(1));

    // Edit, save again over the same file, reopen.
    again->sheet("ID").setCell(3, 4, CellValue::str("memo edited"));
    again->sheet("ID").setCell(3, 3, CellValue::empty());
    EXPECT_TRUE(again->saveAs(dir.file("PONDERA2D_2010.xls")).keptOriginal.empty());
    auto third = engine->open(dir.file("PONDERA2D_2010.xls"));
    EXPECT_EQ(third->sheet("ID").cell(3, 4), CellValue::str("memo edited"));
    EXPECT_TRUE(third->sheet("ID").cell(3, 3).isEmpty());
    EXPECT_EQ(third->sheet("LANDMARK").cell(202, 45).kind, K::Double);
}

// Values built by hand outside their kind's range are kept as numbers, never wrapped.
TEST(EngineSheets, HandBuiltValuesOutsideTheirKind) {
    auto book = makeWorkbookEngine()->create();
    Worksheet &ws = book->addSheet();
    ws.setCell(1, 1, CellValue{K::Integer, 1e10, {}});
    ws.setCell(1, 2, CellValue{K::Integer, 2.5, {}});
    ws.setCell(1, 3, CellValue{K::Single, 1e300, {}});
    ws.setCell(1, 4, CellValue{K::Error, 1000, {}});
    EXPECT_EQ(ws.cell(1, 1), CellValue::real(1e10));
    EXPECT_EQ(ws.cell(1, 2), CellValue::real(2.5));
    EXPECT_EQ(ws.cell(1, 3), CellValue::real(1e300));
    EXPECT_EQ(ws.cell(1, 4), CellValue::error(0x0F));
}

// Tools list every sheet and cell through the concrete workbook.
TEST(EngineSheets, ToolsEnumerateSheetsAndCells) {
    XlsWorkbook book;
    book.addSheet().setName("ID");
    Worksheet &b = book.addSheet();
    b.setCell(70, 45, CellValue::single(1.5f));
    b.setCell(3, 1, CellValue::str("x"));
    b.setCell(3, 2, CellValue::str(""));
    ASSERT_EQ(book.sheetCount(), 2u);
    EXPECT_EQ(book.sheetAt(0).name(), "ID");
    EXPECT_TRUE(book.sheetAt(1).isWorksheet());
    std::vector<std::tuple<int, int, CellValue>> seen;
    book.sheetAt(1).forEachCell(
        [&](int32_t r, int32_t c, const CellValue &v) { seen.emplace_back(r, c, v); });
    EXPECT_EQ(seen, (std::vector<std::tuple<int, int, CellValue>>{
                        {3, 1, CellValue::str("x")}, {70, 45, CellValue::single(1.5f)}}));
}

TEST(EngineSheets, ManyDistinctStringsSurvive) {
    TempDir dir;
    auto engine = makeWorkbookEngine();
    auto book = engine->create();
    Worksheet &ws = book->addSheet();
    for (int r = 1; r <= 20000; ++r)
        ws.setCell(r, 1 + r % 3, CellValue::str("記録 " + std::to_string(r)));
    book->saveAs(dir.file("s.xls"));
    auto again = engine->open(dir.file("s.xls"));
    for (int r = 1; r <= 20000; r += 37)
        EXPECT_EQ(again->sheet("Sheet1").cell(r, 1 + r % 3),
                  CellValue::str("記録 " + std::to_string(r)));
}

}  // namespace
}  // namespace pondera::store
