// Reading a workbook: the compound file's streams, the workbook globals, each sheet's cells,
// and the values of an OOXML workbook.
#include <algorithm>

#include "base/error.h"
#include "store/xls/bytes.h"
#include "store/xls/cfb.h"
#include "store/xls/ooxml_import.h"
#include "store/xls/packed_cell.h"
#include "store/xls/sheet_rules.h"
#include "store/xls/xls_workbook.h"

namespace pondera::store {

using namespace biff;

// A BoundSheet8 record: where a sheet's substream starts and what the sheet is.
struct BoundSheetEntry {
    uint32_t pos;
    uint8_t hs, dt;
    std::string name;
};

// Reads one sheet substream into its sheet: cells into the cell store, the records a rewrite
// carries into carried_, and whether anything a rewrite would drop was there.
struct SheetParser {
    XlsWorkbook &book;
    XlsSheet &s;
    RecordCursor cur;
    bool pendingString = false;  // a formula with a text result waits for its String record
    uint16_t pendingRow = 0, pendingCol = 0, pendingXf = 0;

    SheetParser(XlsWorkbook &b, XlsSheet &sheet, std::span<const uint8_t> stream, size_t pos)
        : book(b), s(sheet), cur(stream, pos) {}

    // The cell at row, col made blank with format xf, for the caller to set; null (and the
    // sheet marked lossy) beyond the grid.
    PackedCell *put(uint16_t row, uint32_t col, uint16_t xf) {
        if (col >= kMaxCols) {
            s.lossy_ = true;
            return nullptr;
        }
        PackedCell &c = s.slot(row, static_cast<uint8_t>(col));
        c.kind = kBlankFmt;  // a later record replaces an earlier one
        c.xf = xf;
        c.lo = c.hi = 0;
        return &c;
    }
    void putText(uint16_t row, uint32_t col, uint16_t xf, const std::string &text) {
        if (text.empty()) {
            if (xf != kDefaultCellXf) put(row, col, xf);  // a formatted blank
            return;
        }
        const uint32_t idx = book.intern(text);
        if (auto *c = put(row, col, xf)) setText(*c, idx);
    }

    void run(size_t pos) {
        Record rec;
        if (!cur.next(rec) || rec.id != kBof || rec.data.size() < 4)
            malformed("a sheet does not start with a BOF record");
        s.isWorksheet_ = s.dt_ == 0 && rd16(rec.data.data() + 2) == kBofWorksheet;
        int depth = 1;
        while (depth > 0) {
            if (!cur.next(rec)) malformed("a sheet has no end (missing EOF record)");
            if (rec.id == kBof) {
                ++depth;
                s.lossy_ = true;  // an embedded chart
            } else if (rec.id == kEof) {
                --depth;
            } else if (depth == 1 && s.isWorksheet_) {
                record(rec);
            }
        }
        // Rows past the last one with cells take no memory.
        while (!s.rows_.empty() && s.rows_.back().empty())
            s.rows_.pop_back();
        s.rows_.shrink_to_fit();
        s.rawOrigin_ = pos;
        s.rawSize_ = cur.pos() - pos;
    }

    void record(const Record &rec) {
        const RecordKind &kind = recordKind(rec.id);
        if (kind.role == SheetRole::Lost) s.lossy_ = true;
        if (rec.id != kString && rec.id != kContinue) pendingString = false;
        if (numberRecord(rec) || textRecord(rec) || otherCellRecord(rec)) return;
        if (rec.id == kRow) {
            sizeRow(rec.data);
        } else if (kind.role == SheetRole::Carried) {
            s.carried_.emplace_back(rec.id, std::vector<uint8_t>(rec.data.begin(), rec.data.end()));
        }
    }

    bool numberRecord(const Record &rec) {
        const auto d = rec.data;
        switch (rec.id) {
            case kNumber: {
                const CellHead h = decodeCellHead(d, 14);
                if (auto *c = put(h.row, h.col, h.xf)) setNumber(*c, decodeNumber(d));
                return true;
            }
            case kRk: {
                const CellHead h = decodeCellHead(d, 10);
                if (auto *c = put(h.row, h.col, h.xf)) setNumber(*c, decodeRk(decodeRkRecord(d)));
                return true;
            }
            case kMulRk:
                decodeMulRk(d, [&](uint16_t row, uint32_t col, uint16_t xf, uint32_t rk) {
                    if (auto *c = put(row, col, xf)) setNumber(*c, decodeRk(rk));
                });
                return true;
            default:
                return false;
        }
    }

    bool textRecord(const Record &rec) {
        const auto d = rec.data;
        switch (rec.id) {
            case kLabelSst: {
                const CellHead h = decodeCellHead(d, 10);
                const uint32_t isst = decodeLabelSst(d);
                if (isst >= book.fixedStrings_)
                    malformed("a cell refers to a missing shared string");
                ++s.rawSstRefs_;
                if (book.strings_[isst].empty()) {
                    if (h.xf != kDefaultCellXf) put(h.row, h.col, h.xf);
                } else if (auto *c = put(h.row, h.col, h.xf)) {
                    setText(*c, isst);
                }
                return true;
            }
            case kLabel:
            case 0x00D6: {  // RString: a label with formatting runs
                const CellHead h = decodeCellHead(d, 9);
                ContinuedReader r({d.subspan(6)}, "a text cell");
                putText(h.row, h.col, h.xf, readUnicodeString(r));
                return true;
            }
            case kString: {
                if (!pendingString) return true;
                pendingString = false;
                std::vector<std::span<const uint8_t>> segs{d};
                for (auto c : cur.continues())
                    segs.push_back(c);
                ContinuedReader r(std::move(segs), "a formula's text result");
                const std::string text = readUnicodeString(r);
                if (!text.empty()) putText(pendingRow, pendingCol, pendingXf, text);
                return true;
            }
            default:
                return false;
        }
    }

    bool otherCellRecord(const Record &rec) {
        const auto d = rec.data;
        switch (rec.id) {
            case kBlank: {
                const CellHead h = decodeCellHead(d, 6);
                if (h.xf != kDefaultCellXf) put(h.row, h.col, h.xf);
                return true;
            }
            case kMulBlank:
                decodeMulBlank(d, [&](uint16_t row, uint32_t col, uint16_t xf) {
                    if (xf != kDefaultCellXf) put(row, col, xf);
                });
                return true;
            case kBoolErr: {
                const CellHead h = decodeCellHead(d, 8);
                if (auto *c = put(h.row, h.col, h.xf)) {
                    c->kind = d[7] ? kErr : kBool;
                    c->lo = d[7] ? d[6] : (d[6] != 0);
                }
                return true;
            }
            case kFormula:
                formula(d);
                return true;
            default:
                return false;
        }
    }

    // A formula keeps its last calculated result.
    void formula(std::span<const uint8_t> d) {
        const CellHead h = decodeCellHead(d, 20);
        const FormulaResult fr = decodeFormula(d);
        PackedCell *c = put(h.row, h.col, h.xf);
        if (!c) return;
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
    }

    // Sizes the row once from the column range the ROW record announces.
    void sizeRow(std::span<const uint8_t> d) {
        if (d.size() < 6) return;
        const uint16_t row = rd16(d.data()), first = rd16(d.data() + 2), end = rd16(d.data() + 4);
        if (end > first && end <= kMaxCols) {
            s.growRows(row + 1u);
            s.rows_[row].reserve(end - first);
        }
    }
};

void XlsWorkbook::loadCompoundFile(Buffer &&file) {
    {
        CfbReader cfb(file);
        const auto wb = cfb.find(u"Workbook");
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

void XlsWorkbook::readSst(RecordCursor &cur, Record &rec) {
    std::vector<std::span<const uint8_t>> segs{rec.data};
    for (auto s : cur.continues())
        segs.push_back(s);
    for (size_t k = 1; k < segs.size(); ++k)
        cur.next(rec);
    SharedStrings sst = biff::readSst(std::move(segs));
    strings_ = std::move(sst.strings);
    for (auto &[i, t] : sst.tails)
        tails_.emplace(i, std::move(t));
    fixedStrings_ = static_cast<uint32_t>(strings_.size());
    globals_.push_back({kSst, {}});
}

bool XlsWorkbook::parseGlobalsRecord(RecordCursor &cur, Record &rec,
                                     std::vector<BoundSheetEntry> &bounds,
                                     std::vector<uint16_t> &tabIds) {
    switch (rec.id) {
        case kFilePass:
            malformed("it is encrypted (protected by a password)");
        case kBoundSheet: {
            ContinuedReader r({rec.data}, "a sheet entry");
            BoundSheetEntry b;
            b.pos = r.u32();
            b.hs = r.u8();
            b.dt = r.u8();
            const uint8_t cch = r.u8();
            const uint8_t flags = r.u8();
            r.chars(b.name, cch, flags & 1);
            if (bounds.empty()) globals_.push_back({kBoundSheet, {}});
            bounds.push_back(std::move(b));
            break;
        }
        case kSst:
            readSst(cur, rec);
            break;
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
            return true;
        case kBof:
            malformed("the workbook globals have no end");
        default:
            globals_.push_back({rec.id, {rec.data.begin(), rec.data.end()}});
    }
    return false;
}

void XlsWorkbook::parseGlobals() {
    RecordCursor cur(stream_, 0);
    Record rec;
    if (!cur.next(rec) || rec.id != kBof || rec.data.size() < 4)
        malformed("the workbook stream does not start with a BOF record");
    if (rd16(rec.data.data()) != kBiff8) malformed("it is not an Excel 97-2003 (BIFF8) workbook");
    if (rd16(rec.data.data() + 2) != kBofGlobals)
        malformed("the workbook stream does not start with the workbook globals");
    globals_.push_back({rec.id, {rec.data.begin(), rec.data.end()}});

    std::vector<BoundSheetEntry> bounds;
    std::vector<uint16_t> tabIds;
    bool sawEof = false;
    while (!sawEof && cur.next(rec))
        sawEof = parseGlobalsRecord(cur, rec, bounds, tabIds);
    if (!sawEof) malformed("the workbook globals have no end");

    if (bounds.empty()) malformed("the workbook has no sheets");
    for (size_t i = 0; i < bounds.size(); ++i) {
        BoundSheetEntry &b = bounds[i];
        if (b.name.empty()) malformed("a sheet has no name");
        if (nameTaken(b.name, nullptr)) malformed("two sheets have the same name");
        XlsSheet &s = appendSheet(b.name);
        s.ours_ = false;
        s.hsState_ = b.hs;
        s.dt_ = b.dt;
        if (i < tabIds.size()) s.tabId_ = tabIds[i];
        if (b.pos >= stream_.size()) malformed("a sheet starts outside the workbook stream");
        SheetParser(*this, s, stream_, b.pos).run(b.pos);
    }
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

}  // namespace pondera::store
