// Headless LibreOffice as an independent reader of what the engine writes (label "external").
// Each conversion starts LibreOffice once, about half a second with the seeded profile.
#include <gtest/gtest.h>
#include <zip.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/error.h"
#include "store/xls/workbook_engine.h"
#include "tests/support/test_support.h"
#include "tests/workbook_io/fixtures.h"
#include "tools/workbook/generate.h"

using pondera::store::CellValue;
using pondera::store::makeWorkbookEngine;
using pondera::testing::fixture;
using pondera::testing::readText;
using pondera::testing::runCommand;
using pondera::testing::RunResult;
using pondera::testing::shellQuote;
using pondera::testing::TempDir;

namespace {

// Every sheet as UTF-8 CSV, one file per sheet ("<name>-<sheet>.csv"), values as stored.
constexpr const char *kCsvAllSheets =
    "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1";

// A profile whose first-start work is already done, so a start takes half a second instead of
// several: one per test program, as LibreOffice locks the profile it runs with.
const std::string &profileUrl() {
    static TempDir dir;
    static const std::string url = [] {
        std::filesystem::create_directories(dir.path() / "user");
        std::ofstream(dir.path() / "user" / "registrymodifications.xcu")
            << R"(<?xml version="1.0" encoding="UTF-8"?>)"
               R"(<oor:items xmlns:oor="http://openoffice.org/2001/registry">)"
               R"(<item oor:path="/org.openoffice.Setup/Product">)"
               R"(<prop oor:name="ooSetupLastVersion" oor:op="fuse"><value>7.4</value></prop>)"
               R"(</item></oor:items>)";
        return "file://" + dir.path().string();
    }();
    return url;
}

void convert(const std::string &input, const std::string &filter, const TempDir &out) {
    RunResult r = runCommand("soffice -env:UserInstallation=" + profileUrl() +
                             " --headless --convert-to " + shellQuote(filter) + " --outdir " +
                             shellQuote(out.path().string()) + " " + shellQuote(input));
    ASSERT_EQ(r.status, 0) << r.err;
}

// A CSV file as rows of fields (quotes undone; no field of these tests holds a line break).
std::vector<std::vector<std::string>> readCsv(const std::string &path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(readText(path));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields(1);
        bool quoted = false;
        for (size_t i = 0; i < line.size(); ++i) {
            char c = line[i];
            if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = !quoted;
            } else if (c == ',' && !quoted) {
                fields.emplace_back();
            } else {
                fields.back() += c;
            }
        }
        rows.push_back(std::move(fields));
    }
    return rows;
}

std::string field(const std::vector<std::vector<std::string>> &rows, size_t row, size_t col) {
    if (row >= rows.size() || col >= rows[row].size()) return {};
    return rows[row][col];
}

// What LibreOffice shows for a cell must be the value the engine holds.
void expectSame(const CellValue &v, const std::string &shown, const std::string &where) {
    if (v.isEmpty()) {
        EXPECT_EQ(shown, "") << where;
    } else if (v.kind == CellValue::Kind::Text) {
        EXPECT_EQ(shown, v.text) << where;
    } else {
        double d = std::nan("");
        try {
            d = std::stod(shown);
        } catch (...) {
        }
        EXPECT_NEAR(d, v.number, std::abs(v.number) * 1e-12) << where << " shows " << shown;
    }
}

TEST(LibreOfficeReads, EveryValueTheEngineWrites) {
    TempDir dir;
    const std::string path = dir / "PONDERA2D_2010.xls";
    {
        auto book = makeWorkbookEngine()->create();
        auto &id = book->addSheet();
        id.setName("ID");
        auto &other = book->addSheet();
        other.setName("記録");
        id.setCell(1, 1, CellValue::str("Code"));
        id.setCell(1, 3, CellValue::str("性別(0:男／1:女)"));
        id.setCell(3, 1, CellValue::integer(0));
        id.setCell(4, 1, CellValue::integer(-32768));
        id.setCell(5, 1, CellValue::integer(32767));
        id.setCell(3, 5, CellValue::single(0.1f));
        id.setCell(4, 5, CellValue::single(-301.234f));
        id.setCell(5, 5, CellValue::single(1.5e-7f));
        id.setCell(3, 4, CellValue::str("漢字 and \"quotes\", commas"));
        id.setCell(4, 4, CellValue::str(std::string(9000, 'x') + "末"));  // crosses CONTINUE
        // Enough rows for several row blocks and a stream past the mini stream.
        for (int r = 10; r < 400; ++r) {
            id.setCell(r, 1, CellValue::integer(static_cast<int16_t>(r)));
            id.setCell(r, 6, CellValue::single(static_cast<float>(r) / 7.0f));
            other.setCell(r, 256, CellValue::str("s" + std::to_string(r % 37)));
        }
        book->saveAs(path);
    }
    TempDir out;
    convert(path, kCsvAllSheets, out);
    auto id = readCsv(out / "PONDERA2D_2010-ID.csv");
    auto other = readCsv(out / "PONDERA2D_2010-記録.csv");
    ASSERT_FALSE(id.empty());
    ASSERT_FALSE(other.empty());

    auto book = makeWorkbookEngine()->open(path);
    for (const auto &[sheet, rows] : {std::pair{"ID", &id}, std::pair{"記録", &other}}) {
        auto &s = book->sheet(sheet);
        for (int32_t r = 1; r < 402; ++r) {
            for (int32_t c : {1, 3, 4, 5, 6, 256}) {
                expectSame(s.cell(r, c),
                           field(*rows, static_cast<size_t>(r - 1), static_cast<size_t>(c - 1)),
                           std::string(sheet) + " R" + std::to_string(r) + "C" + std::to_string(c));
            }
        }
    }
    // The single-precision value shows as the number the program showed.
    EXPECT_EQ(field(id, 2, 4), "0.1");
}

// A file past 7 MB needs DIFAT sectors to list its FAT: the program's layout with 12,000
// generated records (about 9 MB) read by LibreOffice, compared on a sample of rows.
TEST(LibreOfficeReads, WorkbookLargeEnoughForDifat) {
    TempDir dir;
    const std::string path = dir / "big.xls";
    constexpr int32_t kRecords = 12000;
    {
        auto book = makeWorkbookEngine()->create();
        pondera::tool::generateWorkbook(*book, kRecords, "/data");
        book->saveAs(path);
    }
    ASSERT_GT(std::filesystem::file_size(path), 109u * 128 * 512);
    TempDir out;
    convert(path, kCsvAllSheets, out);
    auto book = makeWorkbookEngine()->open(path);
    for (const auto &[sheet, cols] :
         {std::pair{"ID", 6}, std::pair{"COGS", 31}, std::pair{"LANDMARK", 45}}) {
        auto rows = readCsv(out / ("big-" + std::string(sheet) + ".csv"));
        ASSERT_EQ(rows.size(), static_cast<size_t>(kRecords + 2)) << sheet;
        auto &s = book->sheet(sheet);
        for (int32_t r = 1; r <= kRecords + 2; r += (r < 3 ? 1 : 487)) {
            for (int32_t c = 1; c <= cols; ++c) {
                expectSame(s.cell(r, c),
                           field(rows, static_cast<size_t>(r - 1), static_cast<size_t>(c - 1)),
                           std::string(sheet) + " R" + std::to_string(r) + "C" + std::to_string(c));
            }
        }
        EXPECT_EQ(field(rows, kRecords + 1, 0), std::to_string(kRecords - 1)) << sheet;
    }
}

// A user's sheet with formulas that refer to the program's sheets, a merged range and a fill
// colour, made with LibreOffice, survives an edit of the program's sheets and a save.
TEST(LibreOfficeReads, UserSheetSurvivesEditAndSave) {
    TempDir dir;
    const std::string path = dir / "layout.xls";
    std::filesystem::copy_file(fixture("layout.xls"), path);
    {
        auto book = makeWorkbookEngine()->open(path);
        auto &id = book->sheet("ID");
        id.setCell(7, 4, CellValue::str("edited"));  // memo of record 4
        id.setCell(8, 1, CellValue::integer(5));     // a new record 5
        id.setCell(8, 3, CellValue::integer(1));
        book->sheet("LANDMARK").setCell(8, 1, CellValue::integer(5));
        book->sheet("LANDMARK").setCell(8, 2, CellValue::single(123.5f));
        book->saveAs(path);
    }
    TempDir csv;
    convert(path, kCsvAllSheets, csv);
    auto id = readCsv(csv / "layout-ID.csv");
    EXPECT_EQ(field(id, 6, 3), "edited");
    EXPECT_EQ(field(id, 7, 0), "5");
    EXPECT_EQ(field(readCsv(csv / "layout-LANDMARK.csv"), 7, 1), "123.5");
    auto notes = readCsv(csv / "layout-Notes.csv");
    EXPECT_EQ(field(notes, 0, 0), "Notes");
    EXPECT_EQ(field(notes, 1, 1), "8");  // =$ID.A7*2
    // LibreOffice calculates the formulas again on loading: they see the edited sheet.
    EXPECT_EQ(field(notes, 2, 1), "edited-x");  // =$ID.D7&"-x"
    EXPECT_EQ(field(notes, 3, 1), "10");        // =SUM($ID.A3:A7)

    // The formulas themselves, the merged range and the fill, as LibreOffice sees them in
    // its own OOXML rendering of the saved file.
    TempDir xlsx;
    convert(path, "xlsx:Calc MS Excel 2007 XML", xlsx);
    auto bytes = pondera::testing::readBytes(xlsx / "layout.xlsx");
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err);
    zip_t *z = zip_open_from_source(src, ZIP_RDONLY, &err);
    ASSERT_NE(z, nullptr);
    auto part = [&](const char *name) {
        std::string text;
        zip_stat_t st;
        if (zip_stat(z, name, 0, &st) != 0) return text;
        text.resize(st.size);
        zip_file_t *f = zip_fopen(z, name, 0);
        zip_fread(f, text.data(), text.size());
        zip_fclose(f);
        return text;
    };
    std::string notesXml = part("xl/worksheets/sheet4.xml");
    std::string styles = part("xl/styles.xml");
    zip_discard(z);
    EXPECT_NE(notesXml.find(R"(<mergeCell ref="A1:C1"/>)"), std::string::npos) << notesXml;
    EXPECT_NE(notesXml.find("<f aca=\"false\">ID!A7*2</f>"), std::string::npos) << notesXml;
    EXPECT_NE(notesXml.find("SUM(ID!A3:A7)"), std::string::npos) << notesXml;
    EXPECT_NE(styles.find(R"(rgb="FFFFFF00")"), std::string::npos) << styles;
}

}  // namespace
