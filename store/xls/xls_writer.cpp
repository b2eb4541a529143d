// Writing a workbook: the globals, each sheet (rewritten from the cell store, or carried byte
// for byte), all in one buffer that becomes the compound file.
#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "store/xls/bytes.h"
#include "store/xls/cfb.h"
#include "store/xls/packed_cell.h"
#include "store/xls/sheet_rules.h"
#include "store/xls/xls_workbook.h"

namespace pondera::store {

using namespace biff;

// A carried sheet's bytes from this size on are spliced into the output, not copied.
constexpr size_t kSpliceFrom = 64 * 1024;

// Writes one sheet of ours: the sheet's settings, then its rows in blocks of 32 with their
// cells and a DBCell each, as the Index record at the start points to them.
struct SheetWriter {
    const XlsSheet &s;
    BiffWriter &w;
    const std::vector<uint32_t> &sstMap;
    size_t firstRow = 0, lastRow = 0;  // lastRow exclusive
    uint8_t colMin = 255, colMax = 0;
    std::vector<size_t> blocks;  // first row of each block of up to 32 rows holding cells
    size_t ibXf = 0, dbPtrs = 0;

    // How one cell is written: as an RK value (rk), a NUMBER (rk 1) or #NUM! (rk 0) for a
    // number that RK cannot hold, or by its kind (rk 2) for anything else.
    struct Enc {
        uint32_t rk;
        bool isRk;
        double num;
    };
    Enc enc[kMaxCols];

    SheetWriter(const XlsSheet &sheet, BiffWriter &writer, const std::vector<uint32_t> &map)
        : s(sheet), w(writer), sstMap(map) {}

    void write(bool active) {
        measure();
        putBof(w, kBofWorksheet);
        putIndex();
        putSettings();
        putPageSetup();
        w.patch32(ibXf, static_cast<uint32_t>(w.pos()));
        putU16Record(w, kDefColWidth, 8);
        for (const auto &[id, payload] : s.carried_)
            if (id == kColInfo) w.record(kColInfo, payload);
        putDimensions();
        for (size_t b = 0; b < blocks.size(); ++b)
            putBlock(b);
        putWindow2(active);
        putEof(w);
    }

    void measure() {
        const auto &rows = s.rows_;
        while (firstRow < rows.size() && rows[firstRow].empty())
            ++firstRow;
        for (size_t r = rows.size(); r > firstRow; --r)
            if (!rows[r - 1].empty()) {
                lastRow = r;
                break;
            }
        for (size_t r = firstRow; r < lastRow; ++r) {
            if (rows[r].empty()) continue;
            colMin = std::min(colMin, rows[r].front().col);
            colMax = std::max(colMax, rows[r].back().col);
            if (blocks.empty() || r / 32 != blocks.back() / 32) blocks.push_back(r);
        }
    }

    void putIndex() {
        const size_t at = w.begin(kIndex);
        w.u32(0);
        w.u32(static_cast<uint32_t>(firstRow));
        w.u32(static_cast<uint32_t>(lastRow));
        ibXf = w.size();
        w.u32(0);
        dbPtrs = w.size();
        w.zeros(4 * blocks.size());
        w.end(at);
    }

    void putSettings() {
        putU16Record(w, kCalcMode, 1);
        putU16Record(w, kCalcCount, 100);
        putU16Record(w, kCalcRefMode, 1);
        putU16Record(w, kCalcIter, 0);
        size_t at = w.begin(kCalcDelta);
        w.f64(0.001);
        w.end(at);
        putU16Record(w, kSaveRecalc, 1);
        putU16Record(w, kPrintRowCol, 0);
        putU16Record(w, kPrintGrid, 0);
        putU16Record(w, kGridSet, 1);
        at = w.begin(kGuts);
        w.zeros(8);
        w.end(at);
        at = w.begin(kDefaultRowHeight);
        w.u16(0);
        w.u16(255);
        w.end(at);
        putU16Record(w, kWsBool, 0x04C1);
    }

    const std::vector<uint8_t> *carried(uint16_t id) const {
        for (const auto &[cid, payload] : s.carried_)
            if (cid == id) return &payload;
        return nullptr;
    }

    // Page set-up: what the sheet had, else defaults (A4 portrait, no printer data).
    void putPageSetup() {
        for (uint16_t id : {kHeader, kFooter, kHCenter, kVCenter, kLeftMargin, kRightMargin,
                            kTopMargin, kBottomMargin, kSetup}) {
            if (const auto *p = carried(id)) {
                w.record(id, *p);
            } else if (id == kHeader || id == kFooter) {
                w.u32(id);
            } else if (id == kHCenter || id == kVCenter) {
                putU16Record(w, id, 0);
            } else if (id == kSetup) {
                const size_t at = w.begin(kSetup);
                for (uint16_t v : {9, 100, 1, 1, 1, 0x0044, 600, 600})
                    w.u16(v);
                w.f64(0.5);
                w.f64(0.5);
                w.u16(1);
                w.end(at);
            }
        }
    }

    void putDimensions() {
        const size_t at = w.begin(kDimensions);
        w.u32(static_cast<uint32_t>(firstRow));
        w.u32(static_cast<uint32_t>(lastRow));
        w.u16(lastRow ? colMin : 0);
        w.u16(lastRow ? static_cast<uint16_t>(colMax + 1) : 0);
        w.u16(0);
        w.end(at);
    }

    void putWindow2(bool active) {
        const size_t at = w.begin(kWindow2);
        w.u16(active ? 0x06B6 : 0x00B6);
        w.u16(0);
        w.u16(0);
        w.u32(64);
        w.u16(0);
        w.u16(0);
        w.u32(0);
        w.end(at);
    }

    void putRowRecord(size_t r, const CellRow &cells) {
        const size_t at = w.begin(kRow);
        w.u16(static_cast<uint16_t>(r));
        w.u16(cells.front().col);
        w.u16(static_cast<uint16_t>(cells.back().col + 1));
        w.u16(255);
        w.u32(0);
        w.u16(0x0100);
        w.u16(kDefaultCellXf);
        w.end(at);
    }

    void putBlock(size_t b) {
        const size_t r0 = blocks[b], r1 = std::min(lastRow, (r0 / 32 + 1) * 32);
        const size_t rowRecs = w.pos();
        for (size_t r = r0; r < r1; ++r)
            if (!s.rows_[r].empty()) putRowRecord(r, s.rows_[r]);
        size_t cellStart[32];
        size_t n = 0;
        for (size_t r = r0; r < r1; ++r) {
            if (s.rows_[r].empty()) continue;
            cellStart[n++] = w.pos();
            putRowCells(static_cast<uint16_t>(r), s.rows_[r]);
        }
        const size_t db = w.begin(kDbCell);
        const size_t dbPos = w.pos() - 4;
        w.patch32(dbPtrs + 4 * b, static_cast<uint32_t>(dbPos));
        w.u32(static_cast<uint32_t>(dbPos - rowRecs));
        for (size_t k = 0; k < n; ++k)
            w.u16(static_cast<uint16_t>(k == 0 ? cellStart[0] - (rowRecs + 20)
                                               : cellStart[k] - cellStart[k - 1]));
        w.end(db);
    }

    void encode(const CellRow &cells) {
        for (size_t i = 0; i < cells.size(); ++i) {
            const PackedCell &c = cells[i];
            double d = 0;
            bool number = true;
            if (c.kind == kInt)
                d = static_cast<int16_t>(c.lo);
            else if (c.kind == kSingle)
                d = singleToDouble(packedSingle(c));
            else if (c.kind == kDouble)
                d = packedDouble(c);
            else
                number = false;
            enc[i].num = d;
            enc[i].isRk = number && encodeRk(d, enc[i].rk);
            if (number && !enc[i].isRk) enc[i].rk = std::isfinite(d) ? 1 : 0;
            if (!number) enc[i].rk = 2;
        }
    }

    // Writes the RK cells from i on that stand side by side; returns the first cell after them.
    size_t putRkRun(uint16_t row, const CellRow &cells, size_t i) {
        size_t j = i + 1;
        while (j < cells.size() && enc[j].isRk && cells[j].col == cells[j - 1].col + 1)
            ++j;
        if (j - i == 1) {
            putRk(w, CellHead{row, cells[i].col, cells[i].xf}, enc[i].rk);
            return j;
        }
        const size_t at = w.begin(kMulRk);
        w.u16(row);
        w.u16(cells[i].col);
        for (size_t k = i; k < j; ++k) {
            w.u16(cells[k].xf);
            w.u32(enc[k].rk);
        }
        w.u16(cells[j - 1].col);
        w.end(at);
        return j;
    }

    void putRowCells(uint16_t row, const CellRow &cells) {
        encode(cells);
        for (size_t i = 0; i < cells.size();) {
            if (enc[i].isRk) {
                i = putRkRun(row, cells, i);
                continue;
            }
            const PackedCell &c = cells[i];
            const CellHead h{row, c.col, c.xf};
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
};

// Writes the whole workbook: the shared strings in use, the globals (those read, with the
// records that count or list sheets rebuilt, or defaults), then every sheet.
struct BookWriter {
    const XlsWorkbook &book;
    BiffWriter w;
    std::vector<uint32_t> sstMap;  // string pool index -> index in the written table
    std::vector<uint32_t> order;   // written table index -> string pool index
    uint32_t total = 0;            // text cells referring to the table
    std::vector<size_t> boundPatch;

    BookWriter(const XlsWorkbook &b, Buffer &&spare) : book(b), boundPatch(b.sheets_.size()) {
        w.data = std::move(spare);
        w.data.clear();
    }

    ByteWriter build() {
        if (book.sheets_.empty())
            throw Error(kErrFileAccess,
                        "Cannot save a workbook without sheets: a workbook needs at least one "
                        "sheet.");
        reserve();
        collectStrings();
        if (book.globals_.empty())
            putDefaultGlobals();
        else
            putKeptGlobals();
        putEof(w);
        for (size_t i = 0; i < book.sheets_.size(); ++i)
            putSheet(i);
        std::vector<CfbStream> others;
        for (const auto &[name, bytes] : book.otherStreams_)
            others.push_back({name, bytes});
        finishCfb(w.data, u"Workbook", others, w.spliced);
        return std::move(static_cast<ByteWriter &>(w));
    }

    void reserve() {
        size_t cells = 0;
        for (const auto &s : book.sheets_) {
            if (!s->ours_) {
                cells += std::min(s->rawSize_, kSpliceFrom);
                continue;
            }
            for (const auto &r : s->rows_)
                cells += r.size() * 10;
        }
        w.data.reserve(kCfbHeaderSize + cells + book.strings_.size() * 16 + 65536);
        w.grow(kCfbHeaderSize);
        w.base = kCfbHeaderSize;
    }

    // Strings of the loaded table keep their indices (foreign sheets refer to them), new ones
    // follow in order of first use; strings no cell uses any more are left out.
    void collectStrings() {
        sstMap.assign(book.strings_.size(), UINT32_MAX);
        for (uint32_t i = 0; i < book.fixedStrings_; ++i)
            sstMap[i] = i, order.push_back(i);
        for (const auto &s : book.sheets_) {
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
    }

    void putBounds() {
        for (size_t i = 0; i < book.sheets_.size(); ++i) {
            const XlsSheet &s = *book.sheets_[i];
            putBoundSheet(w, 0, s.hsState_, s.dt_, utf8ToUtf16(s.name_), boundPatch[i]);
        }
    }

    void putSst() {
        writeSst(
            w, total, static_cast<uint32_t>(order.size()),
            [&](uint32_t i) -> const std::string & { return book.strings_[order[i]]; },
            [&](uint32_t i) -> const RichTail * {
                auto it = book.tails_.find(order[i]);
                return it == book.tails_.end() ? nullptr : &it->second;
            });
    }

    void putDefaultGlobals() {
        putDefaultGlobalsHead(w, static_cast<uint16_t>(book.sheets_.size()));
        putBounds();
        putCountry(w);
        putSst();
    }

    void putKeptGlobals() {
        bool bounds = false, sst = false;
        for (const auto &k : book.globals_) {
            if (k.id == kBoundSheet) {
                putBounds();
                bounds = true;
            } else if (k.id == kSst) {
                if (!bounds) putBounds(), bounds = true;
                putSst();
                sst = true;
            } else if (k.id == kRRTabId) {
                const size_t at = w.begin(kRRTabId);
                for (const auto &s : book.sheets_)
                    w.u16(s->tabId_);
                w.end(at);
            } else if (k.id == kSupBook && k.data.size() == 4 &&
                       rd16(k.data.data() + 2) == 0x0401) {
                // The workbook's reference to itself counts its sheets.
                const size_t at = w.begin(kSupBook);
                w.u16(static_cast<uint16_t>(book.sheets_.size()));
                w.u16(0x0401);
                w.end(at);
            } else {
                w.record(k.id, k.data);
            }
        }
        if (!bounds) putBounds();
        if (!sst && order.size()) putSst();
    }

    void putSheet(size_t i) {
        const XlsSheet &s = *book.sheets_[i];
        const size_t pos = w.pos();
        w.patch32(boundPatch[i], static_cast<uint32_t>(pos));
        if (s.ours_)
            SheetWriter(s, w, sstMap).write(i == book.activeTab_);
        else
            putCarried(s, pos);
    }

    // Carried byte for byte; only the Index record's absolute positions move with it. The bytes
    // up to the Index record are copied and patched, the rest (the cells) is spliced in from the
    // loaded stream unless it is small.
    void putCarried(const XlsSheet &s, size_t pos) {
        const std::span<const uint8_t> raw = book.raw(s);
        const int64_t shift = static_cast<int64_t>(pos) - static_cast<int64_t>(s.rawOrigin_);
        RecordCursor cur(raw, 0);
        Record rec;
        cur.next(rec);    // BOF
        size_t head = 0;  // bytes before the end of the Index record, if any
        while (cur.next(rec)) {
            if (rec.id == kIndex && rec.data.size() >= 16) {
                head = rec.offset + 4 + rec.data.size();
                break;
            }
            if (rec.id == kBof || rec.id == kDimensions ||
                recordKind(rec.id).role == SheetRole::Cell)
                break;  // Index comes before any of these
        }
        const size_t copied = raw.size() - head < kSpliceFrom ? raw.size() : head;
        const size_t at = w.size();
        w.bytes(raw.first(copied));
        w.splice(raw.subspan(copied));
        if (head == 0) return;
        uint8_t *p = w.data.data() + at + rec.offset + 4;
        auto move = [&](uint8_t *q) {
            if (uint32_t v = rd32(q)) wr32(q, static_cast<uint32_t>(v + shift));
        };
        move(p + 12);
        for (size_t k = 16; k + 4 <= rec.data.size(); k += 4)
            move(p + k);
    }
};

ByteWriter XlsWorkbook::build(Buffer spare) {
    return BookWriter(*this, std::move(spare)).build();
}

}  // namespace pondera::store
