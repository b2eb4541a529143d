#include "store/xls/ooxml_import.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

#include "model/error.h"
#include "store/xls/bytes.h"
#include "store/xls/ooxml_package.h"
#include "store/xls/sheet_rules.h"

// Reads the values of an OOXML workbook: the zip package is opened in memory with libzip and
// every XML part is streamed through expat, so a large sheet never sits in memory as text.
// Everything the file says is checked before it is used: part names, relationship targets,
// cell references, shared-string indices, numbers and error literals. Any fault is reported as
// the "cannot open this workbook" error with a sentence naming what was wrong.

namespace pondera::store {
namespace {

using namespace ooxml;

// Cells kept from all sheets together, and shared strings: bounds on memory for hostile files.
constexpr size_t kMaxCells = 8'000'000;
constexpr size_t kMaxSharedStrings = 4'000'000;
// What one cell holds (UTF-16 units), and the most raw text that can decode to it: a unit written
// as the escape _xHHHH_ takes 7 bytes. Text beyond is not collected, so that a string of any
// length costs no more memory than a cell's worth; the rest could never reach a cell anyway.
constexpr size_t kCellTextUnits = 32767;
constexpr size_t kRawTextBound = kCellTextUnits * 7;

void appendBounded(std::string &to, const char *s, size_t n) {
    if (to.size() < kRawTextBound) to.append(s, std::min(n, kRawTextBound - to.size()));
}

// The decoded text cut to what a cell holds, on a whole character.
std::string cellText(std::string raw) {
    std::string text = unescapeText(std::move(raw));
    if (text.size() > kCellTextUnits) text.resize(utf16Prefix(text, kCellTextUnits));
    return text;
}

// The OOXML grid (the BIFF8 grid the workbook is saved in is kMaxRows x kMaxCols).
constexpr uint32_t kOoxmlRows = 1'048'576;
constexpr uint32_t kOoxmlCols = 16'384;

struct CellRef {
    uint32_t row, col;
};
std::optional<CellRef> parseCellRef(std::string_view s) {
    size_t i = 0;
    uint32_t col = 0;
    while (i < s.size() && s[i] >= 'A' && s[i] <= 'Z' && i < 3) {
        col = col * 26 + static_cast<uint32_t>(s[i] - 'A' + 1);
        ++i;
    }
    if (i == 0 || col > kOoxmlCols) return std::nullopt;
    std::string_view digits = s.substr(i);
    if (digits.empty() || digits.front() == '0' || digits.size() > 7) return std::nullopt;
    auto row = parseUnsigned<uint32_t>(digits);
    if (!row || digits != trim(digits) || *row > kOoxmlRows) return std::nullopt;
    return CellRef{*row - 1, col - 1};
}

std::string cellName(uint32_t row, uint32_t col) {
    std::string letters;
    for (uint32_t c = col + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

// ---------------------------------------------------------------------------------------------
// workbook.xml: the sheets in their order

struct SheetEntry {
    std::string name, relId;
};

class WorkbookHandler : public XmlHandler {
  public:
    std::vector<SheetEntry> sheets;
    void start(std::string_view name, const XML_Char **atts) override {
        if (name != "sheet") return;
        const char *sheetName = attribute(atts, "name");
        const char *relId = attribute(atts, "id", true);
        if (!sheetName || !relId) throw std::runtime_error("a sheet entry lacks its name or r:id");
        sheets.push_back({sheetName, relId});
    }
    void end(std::string_view) override {}
    void text(const char *, size_t) override {}
};

// The rules the workbook engine applies to names it is given, so that every imported sheet can
// be found and saved.
void checkSheetNames(const std::vector<SheetEntry> &sheets) {
    for (size_t i = 0; i < sheets.size(); ++i) {
        const std::string &name = sheets[i].name;
        switch (sheetNameFault(name)) {
            case SheetNameFault::Empty:
            case SheetNameFault::TooLong:
                fail("sheet name " + quoted(name) + " is not 1 to 31 characters long");
            case SheetNameFault::ForbiddenChar:
                fail("sheet name " + quoted(name) + " holds one of []:*?/\\");
            case SheetNameFault::Apostrophe:
                fail("sheet name " + quoted(name) + " begins or ends with an apostrophe");
            case SheetNameFault::None:
                break;
        }
        for (size_t k = 0; k < i; ++k)
            if (sameSheetName(sheets[k].name, name)) fail("two sheets are named " + quoted(name));
    }
}

// ---------------------------------------------------------------------------------------------
// sharedStrings.xml and inline strings

// Collects the text of a string item: its <t>, or the <t> of every rich-text run in order.
// Phonetic guides (<rPh>, the reading of Japanese text) are not part of the value.
class StringItemCollector {
  public:
    void start(std::string_view name) {
        if (name == "rPh") ++phonetic_;
        if (name == "t" && phonetic_ == 0) inText_ = true;
    }
    void end(std::string_view name) {
        if (name == "rPh" && phonetic_ > 0) --phonetic_;
        if (name == "t") inText_ = false;
    }
    void text(const char *s, size_t n) {
        if (inText_) appendBounded(text_, s, n);
    }
    std::string take() {
        std::string out = cellText(std::move(text_));
        text_.clear();
        inText_ = false;
        phonetic_ = 0;
        return out;
    }

  private:
    std::string text_;
    bool inText_ = false;
    int phonetic_ = 0;
};

class SharedStringsHandler : public XmlHandler {
  public:
    std::vector<std::string> strings;
    void start(std::string_view name, const XML_Char **) override {
        if (name == "si") {
            if (inItem_) throw std::runtime_error("a string item is nested in another");
            inItem_ = true;
            if (strings.size() >= kMaxSharedStrings)
                throw std::runtime_error("more than " + std::to_string(kMaxSharedStrings) +
                                         " shared strings");
        } else if (inItem_) {
            item_.start(name);
        }
    }
    void end(std::string_view name) override {
        if (name == "si" && inItem_) {
            strings.push_back(item_.take());
            inItem_ = false;
        } else if (inItem_) {
            item_.end(name);
        }
    }
    void text(const char *s, size_t n) override {
        if (inItem_) item_.text(s, n);
    }

  private:
    StringItemCollector item_;
    bool inItem_ = false;
};

// ---------------------------------------------------------------------------------------------
// Worksheets

class SheetHandler : public XmlHandler {
  public:
    SheetHandler(const std::vector<std::string> &strings, ImportedSheet &sheet, size_t &cellCount,
                 uint64_t &dropped)
        : strings_(strings), sheet_(sheet), cellCount_(cellCount), dropped_(dropped) {}

    void start(std::string_view name, const XML_Char **atts) override {
        if (name == "sheetData") {
            inData_ = true;
        } else if (!inData_) {
            return;
        } else if (name == "row") {
            startRow(atts);
        } else if (name == "c") {
            startCell(atts);
        } else if (inCell_) {
            if (name == "v") {
                inValue_ = true;
                hasValue_ = true;
            } else if (name == "is") {
                inInline_ = true;
                hasInline_ = true;
            } else if (inInline_) {
                inline_.start(name);
            }
        }
    }

    void end(std::string_view name) override {
        if (!inData_) return;
        if (name == "sheetData") {
            inData_ = false;
        } else if (name == "row") {
            inRow_ = false;
        } else if (name == "c" && inCell_) {
            finishCell();
        } else if (name == "v") {
            inValue_ = false;
        } else if (name == "is") {
            inInline_ = false;
        } else if (inInline_) {
            inline_.end(name);
        }
    }

    void text(const char *s, size_t n) override {
        if (inValue_) {
            appendBounded(value_, s, n);
        } else if (inInline_) {
            inline_.text(s, n);
        }
    }

  private:
    void startRow(const XML_Char **atts) {
        if (inRow_) throw std::runtime_error("a row is nested in another");
        inRow_ = true;
        if (const char *r = attribute(atts, "r")) {
            auto n = parseUnsigned<uint32_t>(r);
            if (!n || *n < 1 || *n > kOoxmlRows)
                throw std::runtime_error("row number " + quoted(r) + " is outside 1.." +
                                         std::to_string(kOoxmlRows));
            row_ = *n - 1;
        } else {
            row_ = haveRow_ ? row_ + 1 : 0;
            if (row_ >= kOoxmlRows) throw std::runtime_error("rows run past the last row");
        }
        haveRow_ = true;
        col_ = -1;
    }

    void startCell(const XML_Char **atts) {
        if (inCell_) throw std::runtime_error("a cell is nested in another");
        if (!inRow_) throw std::runtime_error("a cell stands outside any row");
        inCell_ = true;
        hasValue_ = hasInline_ = false;
        value_.clear();
        if (const char *r = attribute(atts, "r")) {
            auto ref = parseCellRef(r);
            if (!ref) throw std::runtime_error("cell reference " + quoted(r) + " is not valid");
            if (ref->row != row_)
                throw std::runtime_error("cell " + std::string(r) + " stands in row " +
                                         std::to_string(row_ + 1));
            col_ = static_cast<int64_t>(ref->col);
        } else {
            ++col_;
            if (col_ >= kOoxmlCols) throw std::runtime_error("cells run past the last column");
        }
        const char *t = attribute(atts, "t");
        type_ = t ? t : "n";
    }

    void finishCell() {
        inCell_ = inValue_ = inInline_ = false;
        auto col = static_cast<uint32_t>(col_);
        auto where = [&] { return cellName(row_, col); };  // only for messages
        CellValue v;
        std::string inlineText = inline_.take();  // taken always, so none leaks to the next cell
        if (type_ == "inlineStr") {
            if (hasInline_) v = CellValue::str(std::move(inlineText));
        } else if (!hasValue_) {
            // A cell with formatting only, or a formula never calculated: no value to carry.
        } else if (type_ == "n") {
            std::string_view s = trim(value_);
            if (s.empty()) return;
            double d = 0;
            auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
            if (ec != std::errc() || p != s.data() + s.size() || !std::isfinite(d))
                throw std::runtime_error("cell " + where() + " holds " + quoted(value_) +
                                         ", which is not a number");
            v = CellValue::real(d);
        } else if (type_ == "s") {
            auto index = parseUnsigned<uint32_t>(value_);
            if (!index || *index >= strings_.size())
                throw std::runtime_error("cell " + where() + " refers to shared string " +
                                         quoted(value_) + " of " + std::to_string(strings_.size()));
            v = CellValue::str(strings_[*index]);
        } else if (type_ == "str" || type_ == "d") {
            // A formula's text result, or a date the producer wrote as ISO text.
            v = CellValue::str(cellText(value_));
        } else if (type_ == "b") {
            std::string_view s = trim(value_);
            if (s == "1" || s == "true") {
                v = CellValue::boolean(true);
            } else if (s == "0" || s == "false") {
                v = CellValue::boolean(false);
            } else {
                throw std::runtime_error("cell " + where() + " holds " + quoted(value_) +
                                         ", which is not a truth value");
            }
        } else if (type_ == "e") {
            auto code = errorCodeOf(value_);
            if (!code)
                throw std::runtime_error("cell " + where() + " holds the unknown error " +
                                         quoted(value_));
            v = CellValue::error(*code);
        } else {
            throw std::runtime_error("cell " + where() + " has the unknown type " + quoted(type_));
        }
        value_.clear();
        if (v.isEmpty()) return;
        if (row_ >= kMaxRows || col >= kMaxCols) {
            // The .xls grid cannot hold it. Dropped and counted; the engine keeps an OOXML
            // original beside the file it saves, so the value is not lost.
            ++dropped_;
            return;
        }
        if (++cellCount_ > kMaxCells)
            throw std::runtime_error("the workbook holds more than " + std::to_string(kMaxCells) +
                                     " cells");
        sheet_.cells.push_back({row_, static_cast<uint16_t>(col), std::move(v)});
    }

    const std::vector<std::string> &strings_;
    ImportedSheet &sheet_;
    size_t &cellCount_;
    uint64_t &dropped_;

    bool inData_ = false, inRow_ = false, haveRow_ = false, inCell_ = false;
    bool inValue_ = false, inInline_ = false, hasValue_ = false, hasInline_ = false;
    uint32_t row_ = 0;
    int64_t col_ = -1;
    std::string type_, value_;
    StringItemCollector inline_;
};

}  // namespace

ImportedWorkbook importOoxml(std::span<const uint8_t> bytes) {
    Package pkg(bytes);

    // The package's own relationships name the workbook part; packages without them (some
    // hand-made ones) get the usual place.
    std::string workbookPart;
    for (const auto &rel : readRels(pkg, "")) {
        if (typeIs(rel.type, "officeDocument") && !rel.external) {
            workbookPart = resolveTarget("", rel.target);
            break;
        }
    }
    if (workbookPart.empty()) workbookPart = "xl/workbook.xml";

    WorkbookHandler wb;
    parsePart(pkg, workbookPart, wb);
    checkSheetNames(wb.sheets);

    std::map<std::string, Relationship> relById;
    std::string sharedStringsPart;
    for (auto &rel : readRels(pkg, workbookPart)) {
        if (rel.external) continue;
        if (typeIs(rel.type, "sharedStrings") && sharedStringsPart.empty())
            sharedStringsPart = resolveTarget(workbookPart, rel.target);
        std::string id = rel.id;
        relById.emplace(std::move(id), std::move(rel));
    }

    SharedStringsHandler sst;
    if (!sharedStringsPart.empty()) parsePart(pkg, sharedStringsPart, sst);

    ImportedWorkbook out;
    size_t cellCount = 0;
    for (const auto &entry : wb.sheets) {
        auto rel = relById.find(entry.relId);
        if (rel == relById.end())
            fail("sheet " + quoted(entry.name) + " names the missing relationship " +
                 quoted(entry.relId));
        // Chart, dialog and macro sheets hold no cell values the engine could carry.
        if (!typeIs(rel->second.type, "worksheet")) continue;
        ImportedSheet sheet;
        sheet.name = entry.name;
        SheetHandler h(sst.strings, sheet, cellCount, out.droppedCells);
        parsePart(pkg, resolveTarget(workbookPart, rel->second.target), h);
        out.sheets.push_back(std::move(sheet));
    }
    return out;
}

}  // namespace pondera::store
