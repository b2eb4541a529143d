#include "store/xls/ooxml_import.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

#include "model/error.h"

// Reads the values of an OOXML workbook: the zip package is opened in memory with libzip and
// every XML part is streamed through expat, so a large sheet never sits in memory as text.
// Everything the file says is checked before it is used: part names, relationship targets,
// cell references, shared-string indices, numbers and error literals. Any fault is reported as
// the "cannot open this workbook" error with a sentence naming what was wrong.

namespace pondera::store {
namespace {

// Unpacked bytes read from all parts together. The largest workbook the program makes holds
// about 2.7 million cells, some 120 MB of sheet XML as a spreadsheet writes it; a package that
// inflates to more than this is refused rather than allowed to fill memory (zip bombs).
constexpr uint64_t kMaxUnpackedBytes = 384ull << 20;
// Cells kept from all sheets together, and shared strings: bounds on memory for hostile files.
constexpr size_t kMaxCells = 8'000'000;
constexpr size_t kMaxSharedStrings = 4'000'000;

// The OOXML grid, and the BIFF8 grid the workbook is saved in.
constexpr uint32_t kOoxmlRows = 1'048'576;
constexpr uint32_t kOoxmlCols = 16'384;
constexpr uint32_t kBiffRows = 65'536;
constexpr uint32_t kBiffCols = 256;

[[noreturn]] void fail(const std::string &why) {
    throw Error(kErrWorkbookOpen, "The OOXML workbook cannot be read: " + why);
}

// ---------------------------------------------------------------------------------------------
// Zip package

class Package {
  public:
    explicit Package(std::span<const uint8_t> bytes) {
        zip_error_t err;
        zip_error_init(&err);
        zip_source_t *src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err);
        if (!src) {
            std::string why = zip_error_strerror(&err);
            zip_error_fini(&err);
            fail("the zip container cannot be opened (" + why + ")");
        }
        // No ZIP_CHECKCONS: it refuses packages that some producers write and spreadsheets open;
        // every part is still checked by its CRC as it is read, and the unpacked total is capped.
        zip_ = zip_open_from_source(src, ZIP_RDONLY, &err);
        if (!zip_) {
            zip_source_free(src);
            std::string why = zip_error_strerror(&err);
            zip_error_fini(&err);
            fail("the zip container is damaged (" + why + ")");
        }
        zip_error_fini(&err);
    }
    ~Package() { zip_discard(zip_); }
    Package(const Package &) = delete;
    Package &operator=(const Package &) = delete;

    // Part names of a package compare without regard to case.
    std::optional<zip_uint64_t> find(const std::string &name) const {
        zip_int64_t i = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
        if (i < 0) return std::nullopt;
        return static_cast<zip_uint64_t>(i);
    }

    // Feeds the part's bytes to sink in pieces; the running total of all parts is capped.
    template <typename Sink>
    void read(zip_uint64_t index, const std::string &name, Sink &&sink) {
        zip_file_t *f = zip_fopen_index(zip_, index, 0);
        if (!f) {
            fail("part " + name + " cannot be unpacked (" + zip_strerror(zip_) +
                 "; encrypted or of an unknown compression?)");
        }
        std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> guard(f, zip_fclose);
        std::vector<char> buf(1 << 16);
        for (;;) {
            zip_int64_t n = zip_fread(f, buf.data(), buf.size());
            if (n < 0) fail("part " + name + " is damaged (" + zip_file_strerror(f) + ")");
            if (n == 0) break;
            unpacked_ += static_cast<uint64_t>(n);
            if (unpacked_ > kMaxUnpackedBytes)
                fail("the package unpacks to more than " + std::to_string(kMaxUnpackedBytes >> 20) +
                     " MB");
            sink(buf.data(), static_cast<size_t>(n), false);
        }
        sink(buf.data(), 0, true);
    }

  private:
    zip_t *zip_ = nullptr;
    uint64_t unpacked_ = 0;
};

// ---------------------------------------------------------------------------------------------
// XML streaming

// Element and attribute names arrive as "namespace|local"; the parts are matched by local
// name, as producers differ in the prefixes (and, in strict OOXML, the namespaces) they use.
constexpr char kNsSep = '|';

std::string_view localName(const XML_Char *name) {
    std::string_view s(name);
    size_t bar = s.rfind(kNsSep);
    return bar == std::string_view::npos ? s : s.substr(bar + 1);
}
bool hasNamespace(const XML_Char *name) {
    return std::strchr(name, kNsSep) != nullptr;
}

const XML_Char *attribute(const XML_Char **atts, std::string_view local, bool qualified = false) {
    for (; atts && atts[0]; atts += 2) {
        if (localName(atts[0]) == local && hasNamespace(atts[0]) == qualified) return atts[1];
    }
    return nullptr;
}

class XmlHandler {
  public:
    virtual ~XmlHandler() = default;
    virtual void start(std::string_view name, const XML_Char **atts) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(const char *s, size_t n) = 0;
};

struct ParseState {
    XML_Parser parser;
    XmlHandler *handler;
    std::string error;
};

void stopWith(ParseState *st, std::string why) {
    if (st->error.empty()) st->error = std::move(why);
    XML_StopParser(st->parser, XML_FALSE);
}

// Callbacks never let an exception cross expat's C frames: the first fault is kept and the
// parser stopped, and the fault is raised again once expat has returned.
void XMLCALL onStart(void *ud, const XML_Char *name, const XML_Char **atts) {
    auto *st = static_cast<ParseState *>(ud);
    try {
        st->handler->start(localName(name), atts);
    } catch (const std::exception &e) {
        stopWith(st, e.what());
    }
}
void XMLCALL onEnd(void *ud, const XML_Char *name) {
    auto *st = static_cast<ParseState *>(ud);
    try {
        st->handler->end(localName(name));
    } catch (const std::exception &e) {
        stopWith(st, e.what());
    }
}
void XMLCALL onText(void *ud, const XML_Char *s, int len) {
    auto *st = static_cast<ParseState *>(ud);
    try {
        st->handler->text(s, static_cast<size_t>(len));
    } catch (const std::exception &e) {
        stopWith(st, e.what());
    }
}
// Package parts carry no document type declaration; one is refused, which also shuts out
// entity expansion tricks.
void XMLCALL onDoctype(void *ud, const XML_Char *, const XML_Char *, const XML_Char *, int) {
    stopWith(static_cast<ParseState *>(ud), "a document type declaration is not allowed");
}

void parsePart(Package &pkg, zip_uint64_t index, const std::string &name, XmlHandler &handler) {
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(
        XML_ParserCreateNS(nullptr, kNsSep), XML_ParserFree);
    if (!parser) throw std::bad_alloc();
    ParseState st{parser.get(), &handler, {}};
    XML_SetUserData(parser.get(), &st);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onText);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);
    pkg.read(index, name, [&](const char *data, size_t n, bool last) {
        if (XML_Parse(parser.get(), data, static_cast<int>(n), last ? XML_TRUE : XML_FALSE) ==
            XML_STATUS_OK)
            return;
        if (!st.error.empty()) fail("part " + name + ": " + st.error);
        fail("part " + name + " is not well-formed XML (line " +
             std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
             XML_ErrorString(XML_GetErrorCode(parser.get())) + ")");
    });
}

void parsePart(Package &pkg, const std::string &name, XmlHandler &handler) {
    auto index = pkg.find(name);
    if (!index) fail("part " + name + " is missing");
    parsePart(pkg, *index, name, handler);
}

// ---------------------------------------------------------------------------------------------
// Text helpers

void appendUtf8(std::string &out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Spreadsheets write characters XML cannot carry (carriage return, other controls) as
// "_xHHHH_", and a literal "_x0041_" as "_x005F_x0041_". Undo that escape.
std::string unescapeText(std::string s) {
    if (s.find("_x") == std::string::npos) return s;
    auto unit = [&](size_t at) -> std::optional<uint32_t> {
        if (at + 7 > s.size() || s[at] != '_' || s[at + 1] != 'x' || s[at + 6] != '_')
            return std::nullopt;
        uint32_t v = 0;
        auto [p, ec] = std::from_chars(s.data() + at + 2, s.data() + at + 6, v, 16);
        if (ec != std::errc() || p != s.data() + at + 6) return std::nullopt;
        return v;
    };
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        auto u = unit(i);
        if (!u) {
            out += s[i++];
            continue;
        }
        i += 7;
        uint32_t cp = *u;
        if (cp >= 0xD800 && cp < 0xDC00) {
            auto low = unit(i);
            if (low && *low >= 0xDC00 && *low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                i += 7;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xDC00 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string_view trim(std::string_view s) {
    auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && ws(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && ws(s.back()))
        s.remove_suffix(1);
    return s;
}

template <typename T>
std::optional<T> parseUnsigned(std::string_view s) {
    s = trim(s);
    T v{};
    if (s.empty()) return std::nullopt;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

std::string quoted(std::string_view s) {
    constexpr size_t kShown = 40;
    std::string out = "\"";
    out += s.substr(0, kShown);
    if (s.size() > kShown) out += "...";
    return out + "\"";
}

// "AB12" -> 0-based row 11, column 27. Letters must be upper case, as the format writes them.
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

// Error literals and their BIFF codes.
std::optional<uint8_t> errorCode(std::string_view s) {
    static const std::pair<std::string_view, uint8_t> kCodes[] = {
        {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
        {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A},    {"#GETTING_DATA", 0x2B},
    };
    s = trim(s);
    for (const auto &[text, code] : kCodes) {
        if (s == text) return code;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Package relationships and part names

struct Relationship {
    std::string id, type, target;
    bool external = false;
};

bool typeIs(const std::string &type, std::string_view kind) {
    return type.size() > kind.size() && type.ends_with(kind) &&
           type[type.size() - kind.size() - 1] == '/';
}

class RelsHandler : public XmlHandler {
  public:
    std::vector<Relationship> rels;
    void start(std::string_view name, const XML_Char **atts) override {
        if (name != "Relationship") return;
        const char *id = attribute(atts, "Id");
        const char *type = attribute(atts, "Type");
        const char *target = attribute(atts, "Target");
        const char *mode = attribute(atts, "TargetMode");
        if (!id || !type || !target)
            throw std::runtime_error("a relationship lacks Id, Type or Target");
        rels.push_back({id, type, target, mode && std::string_view(mode) == "External"});
    }
    void end(std::string_view) override {}
    void text(const char *, size_t) override {}
};

// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"
std::string relsPartOf(const std::string &part) {
    size_t slash = part.rfind('/');
    std::string dir = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return dir + "_rels/" + file + ".rels";
}

// Resolves a relationship target against the folder of the part that holds the relationship,
// undoing percent escapes and "." / ".." steps. A target that climbs out of the package is
// refused.
std::string resolveTarget(const std::string &sourcePart, const std::string &target) {
    std::string decoded;
    for (size_t i = 0; i < target.size(); ++i) {
        uint8_t v = 0;
        if (target[i] == '%' && i + 2 < target.size() &&
            std::from_chars(target.data() + i + 1, target.data() + i + 3, v, 16).ptr ==
                target.data() + i + 3) {
            decoded += static_cast<char>(v);
            i += 2;
        } else {
            decoded += target[i];
        }
    }
    std::string path;
    if (!decoded.empty() && decoded.front() == '/') {
        path = decoded.substr(1);
    } else {
        size_t slash = sourcePart.rfind('/');
        path = (slash == std::string::npos ? "" : sourcePart.substr(0, slash + 1)) + decoded;
    }
    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= path.size()) {
        size_t to = path.find('/', from);
        if (to == std::string::npos) to = path.size();
        std::string seg = path.substr(from, to - from);
        if (seg == "..") {
            if (parts.empty())
                fail("relationship target " + quoted(target) + " leaves the package");
            parts.pop_back();
        } else if (!seg.empty() && seg != ".") {
            parts.push_back(seg);
        }
        from = to + 1;
    }
    if (parts.empty()) fail("relationship target " + quoted(target) + " names no part");
    std::string out;
    for (const auto &p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

std::vector<Relationship> readRels(Package &pkg, const std::string &part) {
    RelsHandler h;
    std::string relsName = relsPartOf(part);
    if (auto index = pkg.find(relsName)) parsePart(pkg, *index, relsName, h);
    return std::move(h.rels);
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

// The same rules the workbook engine applies to names it is given, so that every imported
// sheet can be found and saved: 1 to 31 characters, none of []:*?/\, unique ignoring case.
void checkSheetNames(const std::vector<SheetEntry> &sheets) {
    std::vector<std::string> seen;
    for (const auto &s : sheets) {
        size_t units = 0;  // UTF-16 code units, which is what the .xls format counts
        for (unsigned char c : s.name) {
            if ((c & 0xC0) != 0x80) units += (c >= 0xF0) ? 2 : 1;
        }
        if (units == 0 || units > 31)
            fail("sheet name " + quoted(s.name) + " is not 1 to 31 characters long");
        if (s.name.find_first_of("[]:*?/\\") != std::string::npos)
            fail("sheet name " + quoted(s.name) + " holds one of []:*?/\\");
        std::string folded = s.name;
        std::transform(folded.begin(), folded.end(), folded.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (std::find(seen.begin(), seen.end(), folded) != seen.end())
            fail("two sheets are named " + quoted(s.name));
        seen.push_back(std::move(folded));
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
        if (inText_) text_.append(s, n);
    }
    std::string take() {
        std::string out = unescapeText(std::move(text_));
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
            value_.append(s, n);
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
            v = CellValue::str(unescapeText(value_));
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
            auto code = errorCode(value_);
            if (!code)
                throw std::runtime_error("cell " + where() + " holds the unknown error " +
                                         quoted(value_));
            v = CellValue::error(*code);
        } else {
            throw std::runtime_error("cell " + where() + " has the unknown type " + quoted(type_));
        }
        value_.clear();
        if (v.isEmpty()) return;
        if (row_ >= kBiffRows || col >= kBiffCols) {
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
