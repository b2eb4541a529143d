// The in-memory workbook model: cells of a sheet, sheet names, the string pool.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

#include "base/error.h"
#include "store/xls/packed_cell.h"
#include "store/xls/sheet_rules.h"
#include "store/xls/xls_workbook.h"

namespace pondera::store {

namespace {

auto findCol(const CellRow &cells, uint8_t col) {
    return std::lower_bound(cells.begin(), cells.end(), col,
                            [](const PackedCell &p, uint8_t v) { return p.col < v; });
}

// Packs a number written as Integer or Single in that width when it fits, else as a double.
void packNumber(PackedCell &p, const CellValue &value) {
    using K = CellValue::Kind;
    if (value.kind == K::Integer && value.number >= -32768 && value.number <= 32767 &&
        value.number == std::trunc(value.number)) {
        p.kind = kInt;
        p.lo = static_cast<uint32_t>(static_cast<int32_t>(value.number));
    } else if (value.kind == K::Single &&
               !(std::isfinite(value.number) && std::fabs(value.number) > FLT_MAX)) {
        setSingle(p, static_cast<float>(value.number));
    } else {
        // A value built by hand may not fit its width: keep it as the number it is.
        setNumber(p, value.number);
    }
}

}  // namespace

// ---- sheets ----

void XlsSheet::setName(const std::string &name) {
    const std::string problem = sheetNameProblem(name);
    if (!problem.empty())
        throw Error(kErrFileAccess, "Cannot name the sheet \"" + name + "\": " + problem + ".");
    if (book_.nameTaken(name, this))
        throw Error(kErrFileAccess,
                    "Cannot name the sheet \"" + name + "\": another sheet has that name.");
    name_ = name;
}

CellValue XlsSheet::cell(int32_t row, int32_t col) const {
    checkGrid(row, col);
    const auto r = static_cast<uint32_t>(row - 1);
    if (r >= rows_.size()) return {};
    const auto &cells = rows_[r];
    const auto c = static_cast<uint8_t>(col - 1);
    const auto it = findCol(cells, c);
    if (it == cells.end() || it->col != c) return {};
    switch (it->kind) {
        case kInt:
            return CellValue::integer(static_cast<int16_t>(it->lo));
        case kSingle:
            return CellValue::single(packedSingle(*it));
        case kDouble:
            return CellValue::real(packedDouble(*it));
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

void XlsSheet::forEachCell(const CellVisitor &f) const {
    for (size_t r = 0; r < rows_.size(); ++r)
        for (const PackedCell &c : rows_[r]) {
            if (c.kind == kBlankFmt) continue;
            const auto row = static_cast<int32_t>(r + 1), col = static_cast<int32_t>(c.col + 1);
            f(row, col, cell(row, col));
        }
}

PackedCell *CellArena::allocate(size_t n) {
    if (n == 0) n = 1;
    if (n <= kMaxRowCells && free_[n]) {
        PackedCell *cells = free_[n];
        std::memcpy(&free_[n], cells, sizeof(PackedCell *));
        return cells;
    }
    if (n > kMaxRowCells) throw std::bad_alloc();  // no row is that long
    if (left_ < n) {
        const size_t bytes =
            blocks_.empty() ? size_t{48} << 10 : std::min(blocks_.back().bytes * 2, kLargeBlock);
        void *block = bytes >= kLargeBlock ? allocateLarge(bytes) : ::operator new(bytes);
        blocks_.push_back({static_cast<PackedCell *>(block), bytes});
        next_ = blocks_.back().cells;
        left_ = bytes / sizeof(PackedCell);
    }
    PackedCell *cells = next_;
    next_ += n;
    left_ -= n;
    return cells;
}

CellArena::~CellArena() {
    for (const Block &b : blocks_) {
        if (b.bytes >= kLargeBlock)
            freeLarge(b.cells, b.bytes);
        else
            ::operator delete(b.cells);
    }
}

void CellArena::release(PackedCell *cells, size_t n) noexcept {
    if (n == 0) n = 1;
    std::memcpy(cells, &free_[n], sizeof(PackedCell *));
    free_[n] = cells;
}

PackedCell &XlsSheet::slot(uint32_t row, uint8_t col) {
    growRows(row + 1);
    auto &cells = rows_[row];
    if (cells.empty() || cells.back().col < col) {
        cells.push_back({col, kBlankFmt, biff::kDefaultCellXf, 0, 0});
        return cells.back();
    }
    const auto it = findCol(cells, col);
    if (it != cells.end() && it->col == col) return cells[static_cast<size_t>(it - cells.begin())];
    return *cells.insert(it, {col, kBlankFmt, biff::kDefaultCellXf, 0, 0});
}

void XlsSheet::erase(uint32_t row, uint8_t col) {
    if (row >= rows_.size()) return;
    auto &cells = rows_[row];
    const auto it = findCol(cells, col);
    if (it == cells.end() || it->col != col) return;
    PackedCell &c = cells[static_cast<size_t>(it - cells.begin())];
    if (c.xf != biff::kDefaultCellXf) {
        c.kind = kBlankFmt;  // clearing a value keeps the cell's format
        c.lo = c.hi = 0;
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
    const auto r = static_cast<uint32_t>(row - 1);
    const auto c = static_cast<uint8_t>(col - 1);
    using K = CellValue::Kind;
    if (value.kind == K::Empty || (value.kind == K::Text && value.text.empty())) {
        erase(r, c);
        return;
    }
    const uint32_t textIndex = value.kind == K::Text ? book_.intern(value.text) : 0;
    PackedCell &p = slot(r, c);
    p.hi = 0;
    switch (value.kind) {
        case K::Integer:
        case K::Single:
        case K::Double:
            packNumber(p, value);
            break;
        case K::Text:
            setText(p, textIndex);
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

// ---- the workbook ----

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

void XlsWorkbook::setSource(const std::string &path, const FileIdentity &identity) {
    haveSource_ = true;
    sourcePath_ = path;
    sourceDev_ = identity.device;
    sourceIno_ = identity.inode;
}

void XlsWorkbook::releaseStreamIfUnused() {
    for (const auto &s : sheets_)
        if (!s->ours_) return;
    backing_.reset();
    stream_ = {};
}

// Every member but the workbook it belongs to: a field added to either class belongs here too.
XlsSheet::XlsSheet(XlsWorkbook &book, const XlsSheet &from)
    : book_(book),
      name_(from.name_),
      isWorksheet_(from.isWorksheet_),
      ours_(from.ours_),
      lossy_(from.lossy_),
      hsState_(from.hsState_),
      dt_(from.dt_),
      tabId_(from.tabId_),
      rawOrigin_(from.rawOrigin_),
      rawSize_(from.rawSize_),
      rawSstRefs_(from.rawSstRefs_),
      carried_(from.carried_) {
    // The copy's rows live in an arena of its own, so the copy may go with another thread.
    rows_.reserve(from.rows_.size());
    const ArenaAllocator<PackedCell> mine(arena_);
    for (const CellRow &r : from.rows_)
        rows_.emplace_back(r.begin(), r.end(), mine);
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::snapshot() const {
    auto copy = std::make_unique<XlsWorkbook>();
    copy->sheets_.reserve(sheets_.size());
    for (const auto &s : sheets_)
        copy->sheets_.push_back(std::make_unique<XlsSheet>(*copy, *s));
    copy->strings_ = strings_;  // the index is built again when the copy interns a text
    copy->tails_ = tails_;
    copy->fixedStrings_ = fixedStrings_;
    copy->globals_ = globals_;
    copy->backing_ = backing_;
    copy->stream_ = stream_;
    copy->otherStreams_ = otherStreams_;
    copy->activeTab_ = activeTab_;
    copy->haveSource_ = haveSource_;
    copy->sourceLossy_ = sourceLossy_;
    copy->sourcePath_ = sourcePath_;
    copy->sourceDev_ = sourceDev_;
    copy->sourceIno_ = sourceIno_;
    return copy;
}

bool XlsWorkbook::needsKeeping() const {
    if (sourceLossy_) return true;
    for (const auto &s : sheets_)
        if (s->ours_ && s->lossy_) return true;
    return false;
}

}  // namespace pondera::store
