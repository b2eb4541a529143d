#include "store/xls/xls_workbook.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "model/error.h"
#include "store/xls/bytes.h"
#include "store/xls/cfb.h"
#include "store/xls/ooxml_import.h"

namespace pondera::store {

using namespace biff;

namespace {

enum CellKind : uint8_t { kBlankFmt, kInt, kSingle, kDouble, kText, kBool, kErr };

constexpr uint32_t kMaxRows = 65536;
constexpr uint32_t kMaxCols = 256;

void checkGrid(int32_t row, int32_t col) {
    if (row < 1 || row > static_cast<int32_t>(kMaxRows) || col < 1 ||
        col > static_cast<int32_t>(kMaxCols))
        throw Error(kErrWorkbookOpen, "Cell (" + std::to_string(row) + ", " + std::to_string(col) +
                                          ") is outside the sheet (rows 1-65536, columns 1-256).");
}

char32_t fold(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    if (c >= 0x391 && c <= 0x3A9) return c + 32;    // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;    // Cyrillic
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin
    return c;
}

// Sheet names compare case-insensitively, as spreadsheets do.
bool sameSheetName(const std::string &a, const std::string &b) {
    std::u16string x = utf8ToUtf16(a), y = utf8ToUtf16(b);
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (fold(x[i]) != fold(y[i])) return false;
    return true;
}

// Why a sheet name is not allowed, or empty when it is.
std::string sheetNameProblem(const std::string &name) {
    size_t len = utf16Length(name);
    if (len == 0) return "a sheet name cannot be empty";
    if (len > 31) return "a sheet name has at most 31 characters";
    if (name.find_first_of("[]:*?/\\") != std::string::npos)
        return "a sheet name cannot contain [ ] : * ? / \\";
    if (name.front() == '\'' || name.back() == '\'')
        return "a sheet name cannot begin or end with an apostrophe";
    return {};
}

uint32_t bitsLo(double d) {
    uint64_t b;
    std::memcpy(&b, &d, 8);
    return static_cast<uint32_t>(b);
}
uint32_t bitsHi(double d) {
    uint64_t b;
    std::memcpy(&b, &d, 8);
    return static_cast<uint32_t>(b >> 32);
}
double fromBits(uint32_t lo, uint32_t hi) {
    uint64_t b = (static_cast<uint64_t>(hi) << 32) | lo;
    double d;
    std::memcpy(&d, &b, 8);
    return d;
}

void setNumber(PackedCell &c, double d) {
    c.kind = kDouble;
    c.lo = bitsLo(d);
    c.hi = bitsHi(d);
}

std::string errnoText(int err) {
    return std::strerror(err);
}

}  // namespace

// =============================================================================================
// Sheets

void XlsSheet::setName(const std::string &name) {
    std::string problem = sheetNameProblem(name);
    if (!problem.empty())
        throw Error(kErrFileAccess, "Cannot name the sheet \"" + name + "\": " + problem + ".");
    if (book_.nameTaken(name, this))
        throw Error(kErrFileAccess,
                    "Cannot name the sheet \"" + name + "\": another sheet has that name.");
    name_ = name;
}

CellValue XlsSheet::cell(int32_t row, int32_t col) const {
    checkGrid(row, col);
    uint32_t r = static_cast<uint32_t>(row - 1);
    if (r >= rows_.size()) return {};
    const auto &cells = rows_[r];
    auto c = static_cast<uint8_t>(col - 1);
    auto it = std::lower_bound(cells.begin(), cells.end(), c,
                               [](const PackedCell &p, uint8_t v) { return p.col < v; });
    if (it == cells.end() || it->col != c) return {};
    switch (it->kind) {
        case kInt:
            return CellValue::integer(static_cast<int16_t>(it->lo));
        case kSingle: {
            float f;
            std::memcpy(&f, &it->lo, 4);
            return CellValue::single(f);
        }
        case kDouble:
            return CellValue::real(fromBits(it->lo, it->hi));
        case kText:
            return CellValue::str(book_.text(it->lo));
        case kBool:
            return CellValue::boolean(it->lo != 0);
        case kErr:
            return CellValue::error(static_cast<uint8_t>(it->lo));
        default:
            return {};
    }
}

void XlsSheet::forEachCell(
    const std::function<void(int32_t, int32_t, const CellValue &)> &f) const {
    for (size_t r = 0; r < rows_.size(); ++r)
        for (const PackedCell &c : rows_[r]) {
            if (c.kind == kBlankFmt) continue;
            auto row = static_cast<int32_t>(r + 1), col = static_cast<int32_t>(c.col + 1);
            f(row, col, cell(row, col));
        }
}

PackedCell &XlsSheet::slot(uint32_t row, uint8_t col) {
    if (row >= rows_.size()) rows_.resize(row + 1);
    auto &cells = rows_[row];
    if (cells.empty() || cells.back().col < col) {
        cells.push_back({col, kBlankFmt, kDefaultCellXf, 0, 0});
        return cells.back();
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const PackedCell &p, uint8_t v) { return p.col < v; });
    if (it != cells.end() && it->col == col) return *it;
    return *cells.insert(it, {col, kBlankFmt, kDefaultCellXf, 0, 0});
}

void XlsSheet::erase(uint32_t row, uint8_t col) {
    if (row >= rows_.size()) return;
    auto &cells = rows_[row];
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const PackedCell &p, uint8_t v) { return p.col < v; });
    if (it == cells.end() || it->col != col) return;
    if (it->xf != kDefaultCellXf) {
        it->kind = kBlankFmt;  // clearing a value keeps the cell's format
        it->lo = it->hi = 0;
    } else {
        cells.erase(it);
    }
}

void XlsSheet::takeOver() {
    ours_ = true;
    rawSize_ = 0;
    rawSstRefs_ = 0;
    book_.releaseStreamIfUnused();
}

void XlsSheet::setCell(int32_t row, int32_t col, const CellValue &value) {
    checkGrid(row, col);
    if (!ours_) takeOver();
    auto r = static_cast<uint32_t>(row - 1);
    auto c = static_cast<uint8_t>(col - 1);
    using K = CellValue::Kind;
    if (value.kind == K::Empty || (value.kind == K::Text && value.text.empty())) {
        erase(r, c);
        return;
    }
    uint32_t textIndex = value.kind == K::Text ? book_.intern(value.text) : 0;
    PackedCell &p = slot(r, c);
    p.hi = 0;
    switch (value.kind) {
        case K::Integer:
            // A value built by hand may not fit 16 bits: keep it as the number it is.
            if (value.number >= -32768 && value.number <= 32767 &&
                value.number == std::trunc(value.number)) {
                p.kind = kInt;
                p.lo = static_cast<uint32_t>(static_cast<int32_t>(value.number));
            } else {
                setNumber(p, value.number);
            }
            break;
        case K::Single:
            if (std::isfinite(value.number) && std::fabs(value.number) > FLT_MAX) {
                setNumber(p, value.number);
            } else {
                auto f = static_cast<float>(value.number);
                p.kind = kSingle;
                std::memcpy(&p.lo, &f, 4);
            }
            break;
        case K::Double:
            setNumber(p, value.number);
            break;
        case K::Text:
            p.kind = kText;
            p.lo = textIndex;
            break;
        case K::Boolean:
            p.kind = kBool;
            p.lo = value.number != 0;
            break;
        case K::Error:
            p.kind = kErr;
            p.lo = value.number >= 0 && value.number <= 255 ? static_cast<uint8_t>(value.number)
                                                            : 0x0F;  // #VALUE!
            break;
        case K::Empty:
            break;
    }
}

// =============================================================================================
// Workbook

bool XlsWorkbook::nameTaken(const std::string &name, const XlsSheet *except) const {
    for (const auto &s : sheets_)
        if (s.get() != except && sameSheetName(s->name_, name)) return true;
    return false;
}

XlsSheet &XlsWorkbook::appendSheet(std::string name) {
    uint16_t id = 1;
    for (const auto &s : sheets_)
        id = std::max<uint16_t>(id, static_cast<uint16_t>(s->tabId_ + 1));
    sheets_.push_back(std::make_unique<XlsSheet>(*this, std::move(name)));
    sheets_.back()->tabId_ = id;
    return *sheets_.back();
}

Worksheet &XlsWorkbook::sheet(const std::string &name) {
    for (const auto &s : sheets_)
        if (s->isWorksheet_ && sameSheetName(s->name_, name)) return *s;
    throw Error(kErrSubscript,
                "Subscript out of range: the workbook has no sheet \"" + name + "\".");
}

Worksheet &XlsWorkbook::addSheet() {
    if (sheets_.size() >= 0x7FFF) throw Error(kErrFileAccess, "The workbook has too many sheets.");
    for (int n = 1;; ++n) {
        std::string name = "Sheet" + std::to_string(n);
        if (!nameTaken(name, nullptr)) return appendSheet(name);
    }
}

uint32_t XlsWorkbook::intern(const std::string &text) {
    if (stringIndex_.empty() && !strings_.empty()) {
        stringIndex_.reserve(strings_.size());
        for (uint32_t i = 0; i < strings_.size(); ++i)
            stringIndex_.emplace(strings_[i], i);
    }
    auto [it, added] = stringIndex_.emplace(text, static_cast<uint32_t>(strings_.size()));
    if (added) strings_.push_back(text);
    return it->second;
}

void XlsWorkbook::setSource(const std::string &path, dev_t dev, ino_t ino) {
    haveSource_ = true;
    sourcePath_ = path;
    sourceDev_ = dev;
    sourceIno_ = ino;
}

// ---------------------------------------------------------------------------------------------
// Reading

void XlsWorkbook::releaseStreamIfUnused() {
    for (const auto &s : sheets_)
        if (!s->ours_) return;
    backing_.reset();
    stream_ = {};
}

void XlsWorkbook::loadCompoundFile(Buffer &&file) {
    {
        CfbReader cfb(file);
        auto wb = cfb.find(u"Workbook");
        if (!wb) {
            if (cfb.find(u"Book"))
                malformed("it is an Excel 5.0/95 workbook; only Excel 97-2003 (BIFF8) is read");
            malformed("the compound file holds no workbook stream");
        }
        for (size_t i = 0; i < cfb.entries().size(); ++i) {
            const auto &e = cfb.entries()[i];
            if (i == *wb) continue;
            if (e.type == 2)
                otherStreams_.emplace_back(e.name, cfb.read(e));
            else
                sourceLossy_ = true;  // storages (macros, embedded objects) are not carried
        }
        const auto &entry = cfb.entries()[*wb];
        if (auto inPlace = cfb.contiguous(entry); !inPlace.empty()) {
            // A moved vector keeps its buffer, so the span stays valid.
            auto owner = std::make_shared<Buffer>(std::move(file));
            stream_ = inPlace;
            backing_ = std::move(owner);
        } else {
            auto owner = std::make_shared<std::vector<uint8_t>>(cfb.read(entry));
            stream_ = *owner;
            backing_ = std::move(owner);
        }
    }
    Buffer().swap(file);
    parseGlobals();
    releaseStreamIfUnused();
}

void XlsWorkbook::parseGlobals() {
    std::span<const uint8_t> stream = stream_;
    RecordCursor cur(stream, 0);
    Record rec;
    if (!cur.next(rec) || rec.id != kBof || rec.data.size() < 4)
        malformed("the workbook stream does not start with a BOF record");
    if (rd16(rec.data.data()) != kBiff8) malformed("it is not an Excel 97-2003 (BIFF8) workbook");
    if (rd16(rec.data.data() + 2) != kBofGlobals)
        malformed("the workbook stream does not start with the workbook globals");
    globals_.push_back({rec.id, {rec.data.begin(), rec.data.end()}});

    struct Bound {
        uint32_t pos;
        uint8_t hs, dt;
        std::string name;
    };
    std::vector<Bound> bounds;
    std::vector<uint16_t> tabIds;
    bool sawEof = false, sawBound = false;
    while (cur.next(rec)) {
        switch (rec.id) {
            case kFilePass:
                malformed("it is encrypted (protected by a password)");
            case kBoundSheet: {
                ContinuedReader r({rec.data}, "a sheet entry");
                Bound b;
                b.pos = r.u32();
                b.hs = r.u8();
                b.dt = r.u8();
                uint8_t cch = r.u8();
                uint8_t flags = r.u8();
                r.chars(b.name, cch, flags & 1);
                bounds.push_back(std::move(b));
                if (!sawBound) globals_.push_back({kBoundSheet, {}});
                sawBound = true;
                break;
            }
            case kSst: {
                std::vector<std::span<const uint8_t>> segs{rec.data};
                for (auto s : cur.continues())
                    segs.push_back(s);
                for (size_t k = 1; k < segs.size(); ++k)
                    cur.next(rec);
                SharedStrings sst = readSst(std::move(segs));
                strings_ = std::move(sst.strings);
                for (auto &[i, t] : sst.tails)
                    tails_.emplace(i, std::move(t));
                fixedStrings_ = static_cast<uint32_t>(strings_.size());
                globals_.push_back({kSst, {}});
                break;
            }
            case kExtSst:
                break;  // rebuilt with the SST
            case kRRTabId:
                for (size_t k = 0; k + 1 < rec.data.size(); k += 2)
                    tabIds.push_back(rd16(rec.data.data() + k));
                globals_.push_back({kRRTabId, {}});
                break;
            case kWindow1:
                if (rec.data.size() >= 12) activeTab_ = rd16(rec.data.data() + 10);
                globals_.push_back({rec.id, {rec.data.begin(), rec.data.end()}});
                break;
            case kEof:
                sawEof = true;
                break;
            case kBof:
                malformed("the workbook globals have no end");
            default:
                globals_.push_back({rec.id, {rec.data.begin(), rec.data.end()}});
        }
        if (sawEof) break;
    }
    if (!sawEof) malformed("the workbook globals have no end");

    if (bounds.empty()) malformed("the workbook has no sheets");
    for (size_t i = 0; i < bounds.size(); ++i) {
        Bound &b = bounds[i];
        if (b.name.empty()) malformed("a sheet has no name");
        if (nameTaken(b.name, nullptr)) malformed("two sheets have the same name");
        XlsSheet &s = appendSheet(b.name);
        s.ours_ = false;
        s.hsState_ = b.hs;
        s.dt_ = b.dt;
        if (i < tabIds.size()) s.tabId_ = tabIds[i];
        parseSheet(s, b.pos);
    }
}

void XlsWorkbook::parseSheet(XlsSheet &s, size_t pos) {
    std::span<const uint8_t> stream = stream_;
    if (pos >= stream.size()) malformed("a sheet starts outside the workbook stream");
    RecordCursor cur(stream, pos);
    Record rec;
    if (!cur.next(rec) || rec.id != kBof || rec.data.size() < 4)
        malformed("a sheet does not start with a BOF record");
    s.isWorksheet_ = s.dt_ == 0 && rd16(rec.data.data() + 2) == kBofWorksheet;

    int depth = 1;
    bool pendingString = false;
    uint16_t pendingRow = 0, pendingCol = 0, pendingXf = 0;
    auto put = [&](uint16_t row, uint32_t col, uint16_t xf) -> PackedCell * {
        if (col >= kMaxCols) {
            s.lossy_ = true;
            return nullptr;
        }
        PackedCell &c = s.slot(row, static_cast<uint8_t>(col));
        c.kind = kBlankFmt;  // the caller sets the value; a later record replaces an earlier one
        c.xf = xf;
        c.lo = c.hi = 0;
        return &c;
    };
    while (depth > 0) {
        if (!cur.next(rec)) malformed("a sheet has no end (missing EOF record)");
        if (rec.id == kBof) {
            ++depth;
            s.lossy_ = true;  // an embedded chart
            continue;
        }
        if (rec.id == kEof) {
            --depth;
            continue;
        }
        if (depth > 1 || !s.isWorksheet_) continue;
        const RecordKind &kind = recordKind(rec.id);
        if (kind.role == SheetRole::Lost) s.lossy_ = true;
        if (rec.id != kString && rec.id != kContinue) pendingString = false;
        auto d = rec.data;
        switch (rec.id) {
            case kNumber: {
                CellHead h = decodeCellHead(d, 14);
                if (auto *c = put(h.row, h.col, h.xf)) setNumber(*c, decodeNumber(d));
                break;
            }
            case kRk: {
                CellHead h = decodeCellHead(d, 10);
                if (auto *c = put(h.row, h.col, h.xf)) setNumber(*c, decodeRk(decodeRkRecord(d)));
                break;
            }
            case kMulRk:
                decodeMulRk(d, [&](uint16_t row, uint32_t col, uint16_t xf, uint32_t rk) {
                    if (auto *c = put(row, col, xf)) setNumber(*c, decodeRk(rk));
                });
                break;
            case kLabelSst: {
                CellHead h = decodeCellHead(d, 10);
                uint32_t isst = decodeLabelSst(d);
                if (isst >= fixedStrings_) malformed("a cell refers to a missing shared string");
                ++s.rawSstRefs_;
                if (strings_[isst].empty()) {
                    if (h.xf != kDefaultCellXf) put(h.row, h.col, h.xf);  // a formatted blank
                } else if (auto *c = put(h.row, h.col, h.xf)) {
                    c->kind = kText;
                    c->lo = isst;
                }
                break;
            }
            case kLabel:
            case 0x00D6: {  // RString: a label with formatting runs
                CellHead h = decodeCellHead(d, 9);
                ContinuedReader r({d.subspan(6)}, "a text cell");
                std::string text = readUnicodeString(r);
                if (text.empty()) {
                    if (h.xf != kDefaultCellXf) put(h.row, h.col, h.xf);
                } else {
                    uint32_t idx = intern(text);
                    if (auto *c = put(h.row, h.col, h.xf)) {
                        c->kind = kText;
                        c->lo = idx;
                    }
                }
                break;
            }
            case kBlank: {
                CellHead h = decodeCellHead(d, 6);
                if (h.xf != kDefaultCellXf) put(h.row, h.col, h.xf);
                break;
            }
            case kMulBlank:
                decodeMulBlank(d, [&](uint16_t row, uint32_t col, uint16_t xf) {
                    if (xf != kDefaultCellXf) put(row, col, xf);
                });
                break;
            case kBoolErr: {
                CellHead h = decodeCellHead(d, 8);
                if (auto *c = put(h.row, h.col, h.xf)) {
                    c->kind = d[7] ? kErr : kBool;
                    c->lo = d[7] ? d[6] : (d[6] != 0);
                }
                break;
            }
            case kFormula: {
                CellHead h = decodeCellHead(d, 20);
                FormulaResult fr = decodeFormula(d);
                PackedCell *c = put(h.row, h.col, h.xf);
                if (!c) break;
                switch (fr.kind) {
                    case FormulaResult::Number:
                        setNumber(*c, fr.number);
                        break;
                    case FormulaResult::Boolean:
                        c->kind = kBool;
                        c->lo = fr.number != 0;
                        break;
                    case FormulaResult::Error:
                        c->kind = kErr;
                        c->lo = static_cast<uint32_t>(fr.number);
                        break;
                    case FormulaResult::String:
                        pendingString = true;
                        pendingRow = h.row, pendingCol = h.col, pendingXf = h.xf;
                        break;
                    case FormulaResult::EmptyString:
                        break;
                }
                break;
            }
            case kString: {
                if (!pendingString) break;
                pendingString = false;
                std::vector<std::span<const uint8_t>> segs{d};
                for (auto c : cur.continues())
                    segs.push_back(c);
                ContinuedReader r(std::move(segs), "a formula's text result");
                std::string text = readUnicodeString(r);
                if (!text.empty()) {
                    uint32_t idx = intern(text);
                    if (auto *c = put(pendingRow, pendingCol, pendingXf)) {
                        c->kind = kText;
                        c->lo = idx;
                    }
                }
                break;
            }
            case kRow:
                // Size the row once from the column range the ROW record announces.
                if (d.size() >= 6) {
                    uint16_t row = rd16(d.data()), first = rd16(d.data() + 2),
                             end = rd16(d.data() + 4);
                    if (end > first && end <= kMaxCols) {
                        if (row >= s.rows_.size()) s.rows_.resize(row + 1u);
                        s.rows_[row].reserve(end - first);
                    }
                }
                break;
            default:
                if (kind.role == SheetRole::Carried)
                    s.carried_.emplace_back(rec.id, std::vector<uint8_t>(d.begin(), d.end()));
                break;
        }
    }
    // Rows past the last one with cells take no memory.
    while (!s.rows_.empty() && s.rows_.back().empty())
        s.rows_.pop_back();
    s.rows_.shrink_to_fit();
    s.rawOrigin_ = pos;
    s.rawSize_ = cur.pos() - pos;
}

void XlsWorkbook::loadOoxml(std::span<const uint8_t> file) {
    ImportedWorkbook imported = importOoxml(file);
    sourceLossy_ = true;
    for (ImportedSheet &is : imported.sheets) {
        if (!sheetNameProblem(is.name).empty() || nameTaken(is.name, nullptr))
            malformed("a sheet name of the workbook is not valid");
        XlsSheet &s = appendSheet(is.name);
        for (const ImportedCell &ic : is.cells) {
            if (ic.row >= kMaxRows || ic.col >= kMaxCols) continue;  // beyond the BIFF8 grid
            s.setCell(static_cast<int32_t>(ic.row + 1), ic.col + 1, ic.value);
        }
    }
}

bool XlsWorkbook::needsKeeping() const {
    if (sourceLossy_) return true;
    for (const auto &s : sheets_)
        if (s->ours_ && s->lossy_) return true;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Writing

void XlsSheet::writeSubstream(BiffWriter &w, const std::vector<uint32_t> &sstMap, bool active,
                              uint32_t &sstRefs) const {
    size_t firstRow = 0, lastRow = 0;  // lastRow exclusive
    while (firstRow < rows_.size() && rows_[firstRow].empty())
        ++firstRow;
    for (size_t r = rows_.size(); r > firstRow; --r)
        if (!rows_[r - 1].empty()) {
            lastRow = r;
            break;
        }
    uint8_t colMin = 255, colMax = 0;
    for (size_t r = firstRow; r < lastRow; ++r)
        if (!rows_[r].empty()) {
            colMin = std::min(colMin, rows_[r].front().col);
            colMax = std::max(colMax, rows_[r].back().col);
        }
    std::vector<size_t> blocks;  // first row of each block of up to 32 rows holding cells
    for (size_t r = firstRow; r < lastRow; ++r)
        if (!rows_[r].empty() && (blocks.empty() || r / 32 != blocks.back() / 32))
            blocks.push_back(r);

    putBof(w, kBofWorksheet);
    size_t index = w.begin(kIndex);
    w.u32(0);
    w.u32(static_cast<uint32_t>(firstRow));
    w.u32(static_cast<uint32_t>(lastRow));
    size_t ibXf = w.size();
    w.u32(0);
    size_t dbPtrs = w.size();
    w.zeros(4 * blocks.size());
    w.end(index);
    putU16Record(w, kCalcMode, 1);
    putU16Record(w, kCalcCount, 100);
    putU16Record(w, kCalcRefMode, 1);
    putU16Record(w, kCalcIter, 0);
    {
        size_t at = w.begin(kCalcDelta);
        w.f64(0.001);
        w.end(at);
    }
    putU16Record(w, kSaveRecalc, 1);
    putU16Record(w, kPrintRowCol, 0);
    putU16Record(w, kPrintGrid, 0);
    putU16Record(w, kGridSet, 1);
    {
        size_t at = w.begin(kGuts);
        w.zeros(8);
        w.end(at);
    }
    {
        size_t at = w.begin(kDefaultRowHeight);
        w.u16(0);
        w.u16(255);
        w.end(at);
    }
    putU16Record(w, kWsBool, 0x04C1);
    // Page set-up: what the sheet had, else defaults.
    auto carried = [&](uint16_t id) -> const std::vector<uint8_t> * {
        for (const auto &[cid, payload] : carried_)
            if (cid == id) return &payload;
        return nullptr;
    };
    for (uint16_t id : {kHeader, kFooter, kHCenter, kVCenter, kLeftMargin, kRightMargin, kTopMargin,
                        kBottomMargin, kSetup}) {
        if (const auto *p = carried(id)) {
            w.record(id, *p);
        } else if (id == kHeader || id == kFooter) {
            w.u32(id);
        } else if (id == kHCenter || id == kVCenter) {
            putU16Record(w, id, 0);
        } else if (id == kSetup) {
            size_t at = w.begin(kSetup);
            w.u16(9);  // A4
            w.u16(100);
            w.u16(1);
            w.u16(1);
            w.u16(1);
            w.u16(0x0044);  // portrait, no printer data
            w.u16(600);
            w.u16(600);
            w.f64(0.5);
            w.f64(0.5);
            w.u16(1);
            w.end(at);
        }
    }
    w.patch32(ibXf, static_cast<uint32_t>(w.pos()));
    putU16Record(w, kDefColWidth, 8);
    for (const auto &[id, payload] : carried_)
        if (id == kColInfo) w.record(kColInfo, payload);
    {
        size_t at = w.begin(kDimensions);
        w.u32(static_cast<uint32_t>(firstRow));
        w.u32(static_cast<uint32_t>(lastRow));
        w.u16(lastRow ? colMin : 0);
        w.u16(lastRow ? static_cast<uint16_t>(colMax + 1) : 0);
        w.u16(0);
        w.end(at);
    }

    struct Enc {
        uint32_t rk;
        bool isRk;
        double num;
    };
    Enc enc[kMaxCols];
    size_t cellStart[32];
    for (size_t b = 0; b < blocks.size(); ++b) {
        size_t r0 = blocks[b], r1 = std::min(lastRow, (r0 / 32 + 1) * 32);
        size_t rowRecs = w.pos();
        for (size_t r = r0; r < r1; ++r) {
            const auto &cells = rows_[r];
            if (cells.empty()) continue;
            size_t at = w.begin(kRow);
            w.u16(static_cast<uint16_t>(r));
            w.u16(cells.front().col);
            w.u16(static_cast<uint16_t>(cells.back().col + 1));
            w.u16(255);
            w.u32(0);
            w.u16(0x0100);
            w.u16(kDefaultCellXf);
            w.end(at);
        }
        size_t n = 0;
        for (size_t r = r0; r < r1; ++r) {
            const auto &cells = rows_[r];
            if (cells.empty()) continue;
            cellStart[n++] = w.pos();
            auto row = static_cast<uint16_t>(r);
            for (size_t i = 0; i < cells.size(); ++i) {
                const PackedCell &c = cells[i];
                double d = 0;
                bool number = true;
                if (c.kind == kInt)
                    d = static_cast<int16_t>(c.lo);
                else if (c.kind == kSingle) {
                    float f;
                    std::memcpy(&f, &c.lo, 4);
                    d = singleToDouble(f);
                } else if (c.kind == kDouble)
                    d = fromBits(c.lo, c.hi);
                else
                    number = false;
                enc[i].num = d;
                enc[i].isRk = number && encodeRk(d, enc[i].rk);
                if (number && !enc[i].isRk) enc[i].rk = std::isfinite(d) ? 1 : 0;
                if (!number) enc[i].rk = 2;
            }
            for (size_t i = 0; i < cells.size();) {
                const PackedCell &c = cells[i];
                CellHead h{row, c.col, c.xf};
                if (enc[i].isRk) {
                    size_t j = i + 1;
                    while (j < cells.size() && enc[j].isRk && cells[j].col == cells[j - 1].col + 1)
                        ++j;
                    if (j - i == 1) {
                        putRk(w, h, enc[i].rk);
                    } else {
                        size_t at = w.begin(kMulRk);
                        w.u16(row);
                        w.u16(c.col);
                        for (size_t k = i; k < j; ++k) {
                            w.u16(cells[k].xf);
                            w.u32(enc[k].rk);
                        }
                        w.u16(cells[j - 1].col);
                        w.end(at);
                    }
                    i = j;
                    continue;
                }
                switch (c.kind) {
                    case kInt:
                    case kSingle:
                    case kDouble:
                        if (enc[i].rk == 1)
                            putNumber(w, h, enc[i].num);
                        else
                            putBoolErr(w, h, 0x24, true);  // #NUM! for infinities and NaN
                        break;
                    case kText:
                        putLabelSst(w, h, sstMap[c.lo]);
                        ++sstRefs;
                        break;
                    case kBool:
                        putBoolErr(w, h, static_cast<uint8_t>(c.lo), false);
                        break;
                    case kErr:
                        putBoolErr(w, h, static_cast<uint8_t>(c.lo), true);
                        break;
                    default:
                        putBlank(w, h);
                        break;
                }
                ++i;
            }
        }
        size_t db = w.begin(kDbCell);
        size_t dbPos = w.pos() - 4;
        w.patch32(dbPtrs + 4 * b, static_cast<uint32_t>(dbPos));
        w.u32(static_cast<uint32_t>(dbPos - rowRecs));
        for (size_t k = 0; k < n; ++k)
            w.u16(static_cast<uint16_t>(k == 0 ? cellStart[0] - (rowRecs + 20)
                                               : cellStart[k] - cellStart[k - 1]));
        w.end(db);
    }
    {
        size_t at = w.begin(kWindow2);
        w.u16(active ? 0x06B6 : 0x00B6);
        w.u16(0);
        w.u16(0);
        w.u32(64);
        w.u16(0);
        w.u16(0);
        w.u32(0);
        w.end(at);
    }
    putEof(w);
}

Buffer XlsWorkbook::build() {
    if (sheets_.empty())
        throw Error(kErrFileAccess,
                    "Cannot save a workbook without sheets: a workbook needs at least one sheet.");
    BiffWriter w;
    size_t cells = 0;
    for (const auto &s : sheets_) {
        cells += s->rawSize_;
        for (const auto &r : s->rows_)
            cells += r.size() * 10;
    }
    w.data.reserve(kCfbHeaderSize + cells + strings_.size() * 16 + 65536);
    w.grow(kCfbHeaderSize);
    w.base = kCfbHeaderSize;

    // Strings: those of the loaded table keep their indices (foreign sheets refer to them), new
    // ones follow in order of first use; strings no cell uses any more are left out.
    std::vector<uint32_t> sstMap(strings_.size(), UINT32_MAX);
    std::vector<uint32_t> order;
    for (uint32_t i = 0; i < fixedStrings_; ++i)
        sstMap[i] = i, order.push_back(i);
    uint32_t total = 0;
    for (const auto &s : sheets_) {
        if (!s->ours_) {
            total += s->rawSstRefs_;
            continue;
        }
        for (const auto &r : s->rows_)
            for (const PackedCell &c : r)
                if (c.kind == kText) {
                    ++total;
                    if (sstMap[c.lo] == UINT32_MAX) {
                        sstMap[c.lo] = static_cast<uint32_t>(order.size());
                        order.push_back(c.lo);
                    }
                }
    }

    std::vector<size_t> boundPatch(sheets_.size());
    auto putBounds = [&] {
        for (size_t i = 0; i < sheets_.size(); ++i) {
            const XlsSheet &s = *sheets_[i];
            putBoundSheet(w, 0, s.hsState_, s.dt_, utf8ToUtf16(s.name_), boundPatch[i]);
        }
    };
    auto putSst = [&] {
        writeSst(
            w, total, static_cast<uint32_t>(order.size()),
            [&](uint32_t i) -> const std::string & { return strings_[order[i]]; },
            [&](uint32_t i) -> const RichTail * {
                auto it = tails_.find(order[i]);
                return it == tails_.end() ? nullptr : &it->second;
            });
    };
    if (globals_.empty()) {
        putDefaultGlobalsHead(w, static_cast<uint16_t>(sheets_.size()));
        putBounds();
        putCountry(w);
        putSst();
    } else {
        bool bounds = false, sst = false;
        for (const KeptRecord &k : globals_) {
            if (k.id == kBoundSheet) {
                putBounds();
                bounds = true;
            } else if (k.id == kSst) {
                if (!bounds) putBounds(), bounds = true;
                putSst();
                sst = true;
            } else if (k.id == kRRTabId) {
                size_t at = w.begin(kRRTabId);
                for (const auto &s : sheets_)
                    w.u16(s->tabId_);
                w.end(at);
            } else if (k.id == kSupBook && k.data.size() == 4 &&
                       rd16(k.data.data() + 2) == 0x0401) {
                // The workbook's reference to itself counts its sheets.
                size_t at = w.begin(kSupBook);
                w.u16(static_cast<uint16_t>(sheets_.size()));
                w.u16(0x0401);
                w.end(at);
            } else {
                w.record(k.id, k.data);
            }
        }
        if (!bounds) putBounds();
        if (!sst && order.size()) putSst();
    }
    putEof(w);

    for (size_t i = 0; i < sheets_.size(); ++i) {
        const XlsSheet &s = *sheets_[i];
        size_t pos = w.pos();
        w.patch32(boundPatch[i], static_cast<uint32_t>(pos));
        if (s.ours_) {
            uint32_t refs = 0;
            s.writeSubstream(w, sstMap, i == activeTab_, refs);
            continue;
        }
        // Carried byte for byte; only the Index record's absolute positions move with it.
        size_t at = w.size();
        w.bytes(raw(s));
        int64_t shift = static_cast<int64_t>(pos) - static_cast<int64_t>(s.rawOrigin_);
        RecordCursor cur(std::span(w.data).subspan(at, s.rawSize_), 0);
        Record rec;
        cur.next(rec);  // BOF
        while (cur.next(rec)) {
            if (rec.id == kIndex && rec.data.size() >= 16) {
                uint8_t *p = w.data.data() + at + rec.offset + 4;
                auto move = [&](uint8_t *q) {
                    if (uint32_t v = rd32(q)) wr32(q, static_cast<uint32_t>(v + shift));
                };
                move(p + 12);
                for (size_t k = 16; k + 4 <= rec.data.size(); k += 4)
                    move(p + k);
                break;
            }
            if (rec.id == kBof || rec.id == kDimensions ||
                recordKind(rec.id).role == SheetRole::Cell)
                break;  // Index comes before any of these
        }
    }

    std::vector<CfbStream> others;
    for (const auto &[name, bytes] : otherStreams_)
        others.push_back({name, bytes});
    finishCfb(w.data, u"Workbook", others);
    return std::move(w.data);
}

// ---------------------------------------------------------------------------------------------
// Saving to disk

namespace {

std::string folderOf(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string fileOf(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void saveFailed(const std::string &path, const std::string &step, int err) {
    int number = (err == ENOENT || err == ENOTDIR) ? kErrPathNotFound : kErrFileAccess;
    std::string what = number == kErrPathNotFound ? "Path not found" : "Path/File access error";
    throw Error(number, what + ": cannot " + step + " " + path + ": " + errnoText(err) + ".");
}

bool writeAll(int fd, const uint8_t *p, size_t n) {
    while (n > 0) {
        ssize_t k = ::write(fd, p, std::min<size_t>(n, size_t{1} << 30));
        if (k < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

void syncFolder(const std::string &folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Keeps the file at path beside it under the first free name stem.orig.ext, stem.orig-2.ext, ...
// (a hard link where the file system allows it, a copy otherwise).
std::string keepBeside(const std::string &path) {
    std::string folder = folderOf(path), file = fileOf(path);
    size_t dot = file.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    std::string ext = dot == std::string::npos || dot == 0 ? "" : file.substr(dot);
    std::string prefix = path.size() > file.size() ? path.substr(0, path.size() - file.size()) : "";
    for (int n = 1; n < 10000; ++n) {
        std::string name = prefix + stem + ".orig" + (n == 1 ? "" : "-" + std::to_string(n)) + ext;
        if (::link(path.c_str(), name.c_str()) == 0) {
            syncFolder(folder);
            return name;
        }
        if (errno == EEXIST) continue;
        // No hard links here: copy.
        int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) saveFailed(path, "keep the original of", errno);
        int out = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out < 0) {
            int err = errno;
            ::close(in);
            if (err == EEXIST) continue;
            saveFailed(name, "create", err);
        }
        std::vector<uint8_t> buf(1 << 16);
        bool ok = true;
        for (;;) {
            ssize_t k = ::read(in, buf.data(), buf.size());
            if (k < 0 && errno == EINTR) continue;
            if (k <= 0) {
                ok = k == 0;
                break;
            }
            if (!writeAll(out, buf.data(), static_cast<size_t>(k))) {
                ok = false;
                break;
            }
        }
        int err = errno;
        if (ok && ::fsync(out) != 0) ok = false, err = errno;
        ::close(in);
        if (::close(out) != 0 && ok) ok = false, err = errno;
        if (!ok) {
            ::unlink(name.c_str());
            saveFailed(name, "write", err);
        }
        syncFolder(folder);
        return name;
    }
    throw Error(kErrFileAccess, "Path/File access error: no free name to keep " + path + ".");
}

}  // namespace

SaveReport XlsWorkbook::saveAs(const std::string &requested) {
    Buffer bytes = build();
    SaveReport report;
    // Saving through a symbolic link replaces the file it points to, not the link.
    std::string path = requested;
    struct stat lst {};
    if (::lstat(requested.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        if (char *real = ::realpath(requested.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    std::string folder = folderOf(path);

    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    // A file marked read-only is not replaced, though its folder would allow it.
    if (exists && S_ISREG(st.st_mode) && ::access(path.c_str(), W_OK) != 0)
        saveFailed(requested, "write", errno);
    bool overSource = exists && haveSource_ && st.st_dev == sourceDev_ && st.st_ino == sourceIno_;

    std::string tmpl = (folder == "." && path.find('/') == std::string::npos ? "" : folder + "/") +
                       "." + fileOf(path) + ".tmp-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) saveFailed(path, "write", errno);
    std::string tmp(name.data());
    auto fail = [&](const char *step, int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        saveFailed(path, step, err);
    };
    mode_t mode = 0666;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    if (!writeAll(fd, bytes.data(), bytes.size())) fail("write", errno);
    if (::fsync(fd) != 0) fail("write", errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        saveFailed(path, "write", err);
    }
    // The original is kept beside only once the new file is safely written.
    if (overSource && needsKeeping()) {
        try {
            report.keptOriginal = keepBeside(path);
        } catch (...) {
            ::unlink(tmp.c_str());
            throw;
        }
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        saveFailed(path, "replace", err);
    }
    syncFolder(folder);

    if (overSource || !haveSource_ || path == sourcePath_) {
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0) setSource(path, now.st_dev, now.st_ino);
        if (overSource) {
            sourceLossy_ = false;
            for (auto &s : sheets_)
                if (s->ours_) s->lossy_ = false;
        }
    }
    return report;
}

// =============================================================================================
// Engine

namespace {

class XlsEngine final : public WorkbookEngine {
  public:
    std::unique_ptr<Workbook> open(const std::string &path) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw Error(kErrWorkbookOpen,
                        "The workbook cannot be opened: " + path + ": " + errnoText(errno) + ".");
        struct stat st {};
        Buffer bytes;
        try {
            if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
                malformed(path + " is not a regular file");
            bytes.resize(static_cast<size_t>(st.st_size));
            size_t got = 0;
            while (got < bytes.size()) {
                ssize_t k = ::read(fd, bytes.data() + got, bytes.size() - got);
                if (k < 0 && errno == EINTR) continue;
                if (k < 0) malformed(path + ": " + errnoText(errno));
                if (k == 0) break;
                got += static_cast<size_t>(k);
            }
            bytes.resize(got);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);

        auto book = std::make_unique<XlsWorkbook>();
        if (bytes.size() >= 8 && std::memcmp(bytes.data(), kCfbSignature, 8) == 0) {
            book->loadCompoundFile(std::move(bytes));
        } else if (bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 3 &&
                   bytes[3] == 4) {
            book->loadOoxml(bytes);
        } else if (bytes.empty()) {
            malformed(path + " is empty");
        } else {
            malformed(path + " is not an Excel workbook");
        }
        book->setSource(path, st.st_dev, st.st_ino);
        return book;
    }

    std::unique_ptr<Workbook> create() override { return std::make_unique<XlsWorkbook>(); }
};

}  // namespace

std::unique_ptr<WorkbookEngine> makeWorkbookEngine() {
    return std::make_unique<XlsEngine>();
}

}  // namespace pondera::store
