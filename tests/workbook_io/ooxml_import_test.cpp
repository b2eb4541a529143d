#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "model/error.h"
#include "store/xls/ooxml_import.h"
#include "tests/support/test_support.h"
#include "tests/workbook_io/fixtures.h"

using pondera::Error;
using pondera::store::CellValue;
using pondera::store::ImportedSheet;
using pondera::store::ImportedWorkbook;
using pondera::store::importOoxml;
using pondera::testing::fixture;
using pondera::testing::makeZip;
using pondera::testing::readBytes;

namespace {

using Cells = std::map<std::pair<uint32_t, uint16_t>, CellValue>;

Cells cellsOf(const ImportedSheet &sheet) {
    Cells out;
    for (const auto &c : sheet.cells)
        out[{c.row, c.col}] = c.value;
    return out;
}

CellValue at(const Cells &cells, uint32_t row, uint16_t col) {
    auto it = cells.find({row, col});
    return it == cells.end() ? CellValue::empty() : it->second;
}

ImportedWorkbook importFile(const std::string &name) {
    auto bytes = readBytes(fixture(name));
    return importOoxml(bytes);
}

TEST(OoxmlImport, ReadsWhatLibreOfficeSavesWithSharedStrings) {
    auto wb = importFile("values_ooxml.xls");
    ASSERT_EQ(wb.sheets.size(), 2u);
    EXPECT_EQ(wb.sheets[0].name, "Data");
    EXPECT_EQ(wb.sheets[1].name, "メモ");
    EXPECT_EQ(wb.droppedCells, 0u);

    Cells data = cellsOf(wb.sheets[0]);
    EXPECT_EQ(data.size(), 18u);
    EXPECT_EQ(at(data, 0, 0), CellValue::str("Name"));
    EXPECT_EQ(at(data, 1, 0), CellValue::str("身長"));
    EXPECT_EQ(at(data, 1, 1), CellValue::real(170.5));
    EXPECT_EQ(at(data, 2, 1), CellValue::real(42));
    EXPECT_EQ(at(data, 4, 1), CellValue::real(341));      // formula, cached result
    EXPECT_EQ(at(data, 5, 1), CellValue::str("身長-x"));  // text result of a formula
    EXPECT_EQ(at(data, 6, 1), CellValue::error(0x07));    // #DIV/0!
    EXPECT_EQ(at(data, 7, 1), CellValue::real(-0.1));
    EXPECT_EQ(at(data, 8, 0), CellValue::str("count"));  // a shared string used twice
    EXPECT_EQ(at(data, 8, 2), CellValue::real(-32768));
    EXPECT_EQ(data.count({8, 1}), 0u);

    // LibreOffice splits mixed-script text into rich-text runs; the value is their sum.
    Cells memo = cellsOf(wb.sheets[1]);
    ASSERT_EQ(memo.size(), 1u);
    EXPECT_EQ(at(memo, 0, 1), CellValue::str("性別(0:男／1:女)"));
}

TEST(OoxmlImport, ReadsAHandMadePackageWithInlineStrings) {
    auto wb = importFile("hand_inline.xls");
    // The chart sheet between the two worksheets holds no cells and is left out.
    ASSERT_EQ(wb.sheets.size(), 2u);
    EXPECT_EQ(wb.sheets[0].name, "Inline");
    EXPECT_EQ(wb.sheets[1].name, "記録");
    // IW1 and A70000 lie beyond the .xls grid.
    EXPECT_EQ(wb.droppedCells, 2u);

    Cells c = cellsOf(wb.sheets[0]);
    EXPECT_EQ(at(c, 0, 0), CellValue::str("inline"));
    EXPECT_EQ(at(c, 0, 1), CellValue::str("rich"));     // runs joined, phonetic guide left out
    EXPECT_EQ(at(c, 0, 2), CellValue::str("東京 駅"));  // shared string without its reading
    EXPECT_EQ(at(c, 0, 255), CellValue::real(256));     // IV1, the last .xls column
    EXPECT_EQ(at(c, 1, 0), CellValue::boolean(true));
    EXPECT_EQ(at(c, 1, 1), CellValue::error(0x2A));  // #N/A
    EXPECT_EQ(at(c, 1, 2), CellValue::real(0.0015));
    EXPECT_EQ(at(c, 1, 3), CellValue::str("inline!"));
    EXPECT_EQ(at(c, 1, 5), CellValue::str("a\rb_x0041_"));  // escaped characters undone
    EXPECT_EQ(at(c, 65535, 0), CellValue::real(-32768));    // the last .xls row
    EXPECT_EQ(c.count({0, 25}), 0u);                        // formatted but empty
    EXPECT_EQ(c.count({1, 4}), 0u);                         // formula never calculated
    EXPECT_EQ(c.size(), 10u);

    Cells second = cellsOf(wb.sheets[1]);  // elements with a namespace prefix
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(at(second, 2, 1), CellValue::str("shared"));
}

// A minimal package whose parts a case may replace or remove.
struct Parts {
    std::map<std::string, std::string> parts{
        {"_rels/.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
         R"(</Relationships>)"},
        {"xl/workbook.xml",
         R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
         R"(<sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
         R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
         R"(</Relationships>)"},
        {"xl/sharedStrings.xml",
         R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>x</t></si></sst>)"},
        {"xl/worksheets/sheet1.xml", sheet(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)")},
    };

    static std::string sheet(const std::string &rows) {
        return R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)" +
               rows + "</sheetData></worksheet>";
    }
    static std::string sheets(const std::string &entries) {
        return R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)" +
               entries + "</sheets></workbook>";
    }
    std::vector<uint8_t> zip() const { return makeZip({parts.begin(), parts.end()}); }
};

TEST(OoxmlImport, MinimalPackageReads) {
    auto wb = importOoxml(Parts().zip());
    ASSERT_EQ(wb.sheets.size(), 1u);
    ASSERT_EQ(wb.sheets[0].cells.size(), 1u);
    EXPECT_EQ(wb.sheets[0].cells[0].value, CellValue::str("x"));
}

// Text of an <is> under a cell of another type is no value and must not reach the next cell.
TEST(OoxmlImport, StrayInlineTextStaysInItsCell) {
    Parts p;
    p.parts["xl/worksheets/sheet1.xml"] =
        Parts::sheet(R"(<row r="1"><c r="A1" t="s"><v>0</v><is><t>stray</t></is></c>)"
                     R"(<c r="B1" t="inlineStr"><is><t>b</t></is></c></row>)");
    auto wb = importOoxml(p.zip());
    Cells c = cellsOf(wb.sheets.at(0));
    EXPECT_EQ(at(c, 0, 0), CellValue::str("x"));
    EXPECT_EQ(at(c, 0, 1), CellValue::str("b"));
}

// A string far beyond what a cell holds (a shared one, an inline one, a formula's text) is read
// as the cell's 32,767 characters, cut on a whole character, however long it is in the file.
TEST(OoxmlImport, StringBeyondACellIsCutToWhatACellHolds) {
    Parts p;
    // 4 MB of text: a supplementary character (two UTF-16 units) straddles the limit.
    const std::string big = std::string(32766, 'a') + "\U0001F600" + std::string(4 << 20, 'b');
    p.parts["xl/sharedStrings.xml"] =
        R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>)" + big +
        "</t></si></sst>";
    p.parts["xl/worksheets/sheet1.xml"] = Parts::sheet(
        R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="inlineStr"><is><t>)" + big +
        R"(</t></is></c><c r="C1" t="str"><f>X()</f><v>)" + big + "</v></c></row>");
    auto wb = importOoxml(p.zip());
    Cells c = cellsOf(wb.sheets.at(0));
    for (int col = 0; col < 3; ++col) {
        const std::string &text = at(c, 0, col).text;
        EXPECT_EQ(text, std::string(32766, 'a')) << "column " << col;
    }
}

struct BadCase {
    const char *label;
    const char *part;     // replaced part; "" removes nothing
    std::string content;  // its new content; empty removes the part
    const char *reason;   // expected in the error text
};

void PrintTo(const BadCase &c, std::ostream *os) {
    *os << c.label;
}

class OoxmlRefuses : public ::testing::TestWithParam<BadCase> {};

TEST_P(OoxmlRefuses, WithErrorWorkbookOpenAndAReason) {
    const BadCase &c = GetParam();
    Parts p;
    if (c.content.empty()) {
        p.parts.erase(c.part);
    } else {
        p.parts[c.part] = c.content;
    }
    try {
        importOoxml(p.zip());
        FAIL() << "accepted";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), pondera::kErrWorkbookOpen);
        EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
}

const char *kSheet = "xl/worksheets/sheet1.xml";
const char *kBook = "xl/workbook.xml";

INSTANTIATE_TEST_SUITE_P(
    BadPackages, OoxmlRefuses,
    ::testing::Values(
        BadCase{"NoWorkbookPart", kBook, "", "xl/workbook.xml is missing"},
        BadCase{"MissingSheetPart", kSheet, "", "sheet1.xml is missing"},
        BadCase{"BrokenXml", kSheet, Parts::sheet("<row><c>"), "not well-formed"},
        BadCase{"DocumentTypeDeclaration", kSheet,
                R"(<!DOCTYPE lol [<!ENTITY a "aaaaaaaa">]><worksheet/>)",
                "document type declaration"},
        BadCase{"SharedStringIndexPastEnd", kSheet,
                Parts::sheet(R"(<row><c r="A1" t="s"><v>1</v></c></row>)"), "shared string"},
        BadCase{"SharedStringIndexNegative", kSheet,
                Parts::sheet(R"(<row><c r="A1" t="s"><v>-1</v></c></row>)"), "shared string"},
        BadCase{"RowZero", kSheet, Parts::sheet(R"(<row r="0"/>)"), "row number"},
        BadCase{"RowPastGrid", kSheet, Parts::sheet(R"(<row r="1048577"/>)"), "row number"},
        BadCase{"CellRowZero", kSheet, Parts::sheet(R"(<row r="1"><c r="A0"><v>1</v></c></row>)"),
                "cell reference"},
        BadCase{"CellColumnPastGrid", kSheet,
                Parts::sheet(R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)"), "cell reference"},
        BadCase{"CellLowerCase", kSheet, Parts::sheet(R"(<row r="1"><c r="a1"><v>1</v></c></row>)"),
                "cell reference"},
        BadCase{"CellInOtherRow", kSheet,
                Parts::sheet(R"(<row r="2"><c r="A1"><v>1</v></c></row>)"), "stands in row 2"},
        BadCase{"CellOutsideRow", kSheet, Parts::sheet(R"(<c r="A1"><v>1</v></c>)"),
                "outside any row"},
        BadCase{"NotANumber", kSheet, Parts::sheet(R"(<row><c><v>12abc</v></c></row>)"),
                "not a number"},
        BadCase{"InfiniteNumber", kSheet, Parts::sheet(R"(<row><c><v>1e999</v></c></row>)"),
                "not a number"},
        BadCase{"NanNumber", kSheet, Parts::sheet(R"(<row><c><v>nan</v></c></row>)"),
                "not a number"},
        BadCase{"UnknownError", kSheet, Parts::sheet(R"(<row><c t="e"><v>#OOPS</v></c></row>)"),
                "unknown error"},
        BadCase{"UnknownType", kSheet, Parts::sheet(R"(<row><c t="q"><v>1</v></c></row>)"),
                "unknown type"},
        BadCase{"BadBoolean", kSheet, Parts::sheet(R"(<row><c t="b"><v>2</v></c></row>)"),
                "truth value"},
        BadCase{"SheetNameTooLong", kBook,
                Parts::sheets(R"(<sheet name="abcdefghijabcdefghijabcdefghij12" r:id="rId1"/>)"),
                "1 to 31"},
        BadCase{"SheetNameWithColon", kBook, Parts::sheets(R"(<sheet name="a:b" r:id="rId1"/>)"),
                "[]:*?/\\"},
        BadCase{
            "SheetNamesClash", kBook,
            Parts::sheets(R"(<sheet name="Data" r:id="rId1"/><sheet name="DATA" r:id="rId1"/>)"),
            "two sheets"},
        BadCase{"SheetWithoutRelationship", kBook,
                Parts::sheets(R"(<sheet name="S" r:id="rId9"/>)"), "missing relationship"},
        BadCase{
            "TargetLeavesPackage", "xl/_rels/workbook.xml.rels",
            R"(<Relationships><Relationship Id="rId1" Type="x/worksheet" Target="../../../s.xml"/></Relationships>)",
            "leaves the package"}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(OoxmlImport, RefusesWhatIsNotAZipPackage) {
    std::vector<uint8_t> junk{'P', 'K', 3, 4, 0, 0, 0, 0};
    EXPECT_THROW(importOoxml(junk), Error);
    EXPECT_THROW(importOoxml({}), Error);
    auto whole = readBytes(fixture("values_ooxml.xls"));
    for (size_t cut : {whole.size() / 2, whole.size() - 1}) {
        std::vector<uint8_t> truncated(whole.begin(), whole.begin() + static_cast<long>(cut));
        try {
            importOoxml(truncated);
            ADD_FAILURE() << "a package cut at " << cut << " was accepted";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), pondera::kErrWorkbookOpen);
        }
    }
}

// A part that inflates far beyond anything a workbook needs is refused once the cap is passed,
// without unpacking it all.
TEST(OoxmlImport, RefusesAZipBomb) {
    Parts p;
    const std::string &rels = p.parts.at("_rels/.rels");
    // 400 MB of spaces inside the package relationships, the first part read.
    auto bytes = makeZip({{"_rels/.rels", rels}}, 400u << 20, rels.find("<Relationship "));
    EXPECT_LT(bytes.size(), 2u << 20);
    try {
        importOoxml(bytes);
        FAIL() << "accepted";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), pondera::kErrWorkbookOpen);
        EXPECT_NE(std::string(e.what()).find("unpacks to more than"), std::string::npos)
            << e.what();
    }
}

}  // namespace
