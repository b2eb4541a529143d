// The engine reads files that LibreOffice wrote, in both formats, with the values LibreOffice
// shows.
#include <gtest/gtest.h>

#include "base/error.h"
#include "store/xls/workbook_engine.h"
#include "tests/support/test_support.h"
#include "tests/workbook_io/fixtures.h"

using pondera::store::CellValue;
using pondera::store::makeWorkbookEngine;
using pondera::testing::fixture;

namespace {

// The same workbook as BIFF8 and as OOXML under an .xls name, both written by LibreOffice.
class LibreOfficeValues : public ::testing::TestWithParam<const char *> {};

TEST_P(LibreOfficeValues, ReadWithTheValuesLibreOfficeShows) {
    auto book = makeWorkbookEngine()->open(fixture(GetParam()));
    auto &data = book->sheet("data");  // sheet names compare without case
    EXPECT_EQ(data.name(), "Data");
    EXPECT_EQ(data.cell(1, 1), CellValue::str("Name"));
    EXPECT_EQ(data.cell(2, 1), CellValue::str("身長"));
    EXPECT_EQ(data.cell(2, 2).number, 170.5);
    EXPECT_EQ(data.cell(3, 2).number, 42);
    EXPECT_EQ(data.cell(4, 2).number, 1);                  // LibreOffice stores TRUE as 1
    EXPECT_EQ(data.cell(5, 2).number, 341);                // =B2*2, its cached result
    EXPECT_EQ(data.cell(6, 2), CellValue::str("身長-x"));  // =A2&"-x"
    EXPECT_EQ(data.cell(7, 2), CellValue::error(0x07));    // =1/0
    EXPECT_EQ(data.cell(8, 2).number, -0.1);
    EXPECT_EQ(data.cell(9, 1), CellValue::str("count"));
    EXPECT_TRUE(data.cell(9, 2).isEmpty());
    EXPECT_EQ(data.cell(9, 3).number, -32768);
    for (int row : {2, 3, 5, 8})
        EXPECT_TRUE(data.cell(row, 2).isNumber()) << row;
    EXPECT_TRUE(data.cell(10, 1).isEmpty());
    EXPECT_EQ(book->sheet("メモ").cell(1, 2), CellValue::str("性別(0:男／1:女)"));
}

INSTANTIATE_TEST_SUITE_P(BothFormats, LibreOfficeValues,
                         ::testing::Values("values.xls", "values_ooxml.xls"));

TEST(LibreOfficeLayout, ProgramSheetsAndUserSheetRead) {
    auto book = makeWorkbookEngine()->open(fixture("layout.xls"));
    auto &id = book->sheet("ID");
    EXPECT_EQ(id.cell(1, 3), CellValue::str("性別(0:男／1:女)"));
    EXPECT_EQ(id.cell(2, 6), CellValue::str("z"));
    for (int code = 0; code < 5; ++code) {
        EXPECT_EQ(id.cell(code + 3, 1).number, code);
        EXPECT_EQ(id.cell(code + 3, 4), CellValue::str("demo" + std::to_string(code)));
        EXPECT_EQ(id.cell(code + 3, 5).number, 300.5 + code);
    }
    EXPECT_TRUE(id.cell(8, 1).isEmpty());  // the end of the record list
    EXPECT_EQ(book->sheet("COGS").cell(7, 31).number, 100 + 29 + 4 / 4.0);
    EXPECT_EQ(book->sheet("LANDMARK").cell(7, 45).number, 250 + 43 + 4);
    auto &notes = book->sheet("Notes");
    EXPECT_EQ(notes.cell(1, 1), CellValue::str("Notes"));
    EXPECT_EQ(notes.cell(2, 2).number, 8);
    EXPECT_EQ(notes.cell(3, 2), CellValue::str("demo4-x"));
    EXPECT_EQ(notes.cell(4, 2).number, 10);
}

}  // namespace
