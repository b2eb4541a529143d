#pragma once

// The BIFF8 record codec: record ids and what a rewritten sheet does with each kind (a table),
// record iteration over a workbook stream, one small encode/decode function per record kind the
// engine writes or reads, CONTINUE handling, and the shared string table (SST) with its ExtSST.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/xls/bytes.h"

namespace pondera::store::biff {

enum RecordId : uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kCalcCount = 0x000C,
    kCalcMode = 0x000D,
    kCalcPrecision = 0x000E,
    kCalcRefMode = 0x000F,
    kCalcDelta = 0x0010,
    kCalcIter = 0x0011,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kWinProtect = 0x0019,
    kLeftMargin = 0x0026,
    kRightMargin = 0x0027,
    kTopMargin = 0x0028,
    kBottomMargin = 0x0029,
    kSelection = 0x001D,
    kDate1904 = 0x0022,
    kPrintRowCol = 0x002A,
    kPrintGrid = 0x002B,
    kFilePass = 0x002F,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kBackup = 0x0040,
    kCodePage = 0x0042,
    kDefColWidth = 0x0055,
    kWriteAccess = 0x005C,
    kSaveRecalc = 0x005F,
    kColInfo = 0x007D,
    kGuts = 0x0080,
    kWsBool = 0x0081,
    kGridSet = 0x0082,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kHideObj = 0x008D,
    kSetup = 0x00A1,
    kMulRk = 0x00BD,
    kMulBlank = 0x00BE,
    kMms = 0x00C1,
    kDbCell = 0x00D7,
    kBookBool = 0x00DA,
    kXf = 0x00E0,
    kInterfaceHdr = 0x00E1,
    kInterfaceEnd = 0x00E2,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kRRTabId = 0x013D,
    kUsesElfs = 0x0160,
    kDsf = 0x0161,
    kProt4Rev = 0x01AF,
    kSupBook = 0x01AE,
    kRefreshAll = 0x01B7,
    kProt4RevPass = 0x01BC,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRow = 0x0208,
    kIndex = 0x020B,
    kDefaultRowHeight = 0x0225,
    kWindow2 = 0x023E,
    kRk = 0x027E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kBof = 0x0809,
};

inline constexpr size_t kMaxRecordData = 8224;
inline constexpr size_t kMaxTextLength = 32767;  // characters (UTF-16 units) in one cell
inline constexpr uint16_t kBiff8 = 0x0600;
inline constexpr uint16_t kBofGlobals = 0x0005;
inline constexpr uint16_t kBofWorksheet = 0x0010;
inline constexpr uint16_t kDefaultCellXf = 15;

// What rewriting a sheet does with a record kind met in that sheet.
enum class SheetRole : uint8_t {
    Regenerated,  // written anew (structure, view and print defaults): nothing is lost
    Cell,         // a value the cell store holds, with its format index
    Carried,      // kept as it was (column widths)
    Lost,         // cannot be carried: the original file is kept beside before it is replaced
};
struct RecordKind {
    uint16_t id;
    const char *name;
    SheetRole role;
};
// The kind of a record id; ids not in the table are Lost.
const RecordKind &recordKind(uint16_t id);

struct Record {
    uint16_t id;
    size_t offset;  // of the record header in the stream
    std::span<const uint8_t> data;
};

// Iterates the records of a stream from a position; each length is checked against the record
// limit and the end of the stream.
class RecordCursor {
  public:
    RecordCursor(std::span<const uint8_t> stream, size_t pos) : stream_(stream), pos_(pos) {}
    bool next(Record &rec);
    size_t pos() const { return pos_; }
    // The CONTINUE records directly after the current position, without consuming them.
    std::vector<std::span<const uint8_t>> continues() const;

  private:
    std::span<const uint8_t> stream_;
    size_t pos_;
};

// Builds records in a buffer that may hold other bytes before the stream (base).
class BiffWriter : public ByteWriter {
  public:
    size_t base = 0;
    size_t pos() const { return size() + spliced - base; }  // offset in the stream
    size_t begin(uint16_t id) {
        size_t at = size();
        u32(id);
        return at;
    }
    size_t lengthSoFar(size_t at) const { return size() - at - 4; }
    void end(size_t at);
    void record(uint16_t id, std::span<const uint8_t> payload);
};

// Reads data that may go on in CONTINUE records: raw bytes cross record ends as they are, while
// character data takes a fresh compressed/uncompressed flag byte at the start of each continuation.
class ContinuedReader {
  public:
    ContinuedReader(std::vector<std::span<const uint8_t>> segments, const char *what)
        : segs_(std::move(segments)), what_(what) {}
    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    void skip(size_t n);
    void raw(std::vector<uint8_t> &out, size_t n);
    void chars(std::string &out, size_t count, bool high);
    bool atEnd();

  private:
    bool advance();  // to the next segment when the current one is used up
    std::vector<std::span<const uint8_t>> segs_;
    const char *what_;
    size_t seg_ = 0, pos_ = 0;
};

// ---- numbers
// RK form of d when RK holds it exactly (integer, truncated double, or either of them / 100).
bool encodeRk(double d, uint32_t &rk);
double decodeRk(uint32_t rk);
// A single-precision value as the double of its shortest decimal text (0.1f gives 0.1).
double singleToDouble(float f);

// ---- strings
// Formatting runs and phonetic data of a shared string, kept so foreign sheets keep them.
struct RichTail {
    uint16_t runCount = 0;
    std::vector<uint8_t> runs;  // 4 bytes a run
    std::vector<uint8_t> ext;   // phonetic block
};
struct SharedStrings {
    uint32_t total = 0;
    std::vector<std::string> strings;
    std::vector<std::pair<uint32_t, RichTail>> tails;  // by string index, ascending
};
SharedStrings readSst(std::vector<std::span<const uint8_t>> segments);
// Writes SST (+ CONTINUE) and ExtSST. text(i) and tail(i) (may be null) give string i.
template <typename Text, typename Tail>
void writeSst(BiffWriter &w, uint32_t total, uint32_t count, Text text, Tail tail);
// XLUnicodeString (16-bit length) as LABEL and STRING hold it; the reader may cross CONTINUEs.
std::string readUnicodeString(ContinuedReader &r);
void putShortString(ByteWriter &w, std::u16string_view s);  // 8-bit length
void putUnicodeString(ByteWriter &w, std::u16string_view s);

// ---- cell records
struct CellHead {
    uint16_t row, col, xf;
};
// FORMULA's cached result.
struct FormulaResult {
    enum Kind : uint8_t { Number, String, Boolean, Error, EmptyString } kind;
    double number;
};
CellHead decodeCellHead(std::span<const uint8_t> d, size_t need);
double decodeNumber(std::span<const uint8_t> d);
uint32_t decodeRkRecord(std::span<const uint8_t> d);
uint32_t decodeLabelSst(std::span<const uint8_t> d);
FormulaResult decodeFormula(std::span<const uint8_t> d);
// MULRK / MULBLANK: calls f(col, xf, rk) for each cell.
template <typename F>
void decodeMulRk(std::span<const uint8_t> d, F f);
template <typename F>
void decodeMulBlank(std::span<const uint8_t> d, F f);

void putRk(BiffWriter &w, CellHead h, uint32_t rk);
void putNumber(BiffWriter &w, CellHead h, double v);
void putLabelSst(BiffWriter &w, CellHead h, uint32_t isst);
void putBoolErr(BiffWriter &w, CellHead h, uint8_t value, bool isError);
void putBlank(BiffWriter &w, CellHead h);

// ---- the fixed records of a new workbook and of every rewritten sheet
void putBof(BiffWriter &w, uint16_t type);
void putEof(BiffWriter &w);
void putU16Record(BiffWriter &w, uint16_t id, uint16_t v);
// Globals of a new workbook up to (not including) the BoundSheet8 records.
void putDefaultGlobalsHead(BiffWriter &w, uint16_t sheetCount);
void putBoundSheet(BiffWriter &w, uint32_t pos, uint8_t hsState, uint8_t dt,
                   std::u16string_view name, size_t &patchAt);
void putCountry(BiffWriter &w);

// ------------------------------------------------------------------------------------------
// templates

template <typename F>
void decodeMulRk(std::span<const uint8_t> d, F f) {
    if (d.size() < 12 || (d.size() - 6) % 6 != 0) malformed("a MULRK record has a wrong length");
    uint16_t row = rd16(d.data()), col = rd16(d.data() + 2);
    size_t n = (d.size() - 6) / 6;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t *p = d.data() + 4 + 6 * i;
        f(row, static_cast<uint32_t>(col + i), rd16(p), rd32(p + 2));
    }
}

template <typename F>
void decodeMulBlank(std::span<const uint8_t> d, F f) {
    if (d.size() < 8 || d.size() % 2 != 0) malformed("a MULBLANK record has a wrong length");
    uint16_t row = rd16(d.data()), col = rd16(d.data() + 2);
    size_t n = (d.size() - 6) / 2;
    for (size_t i = 0; i < n; ++i)
        f(row, static_cast<uint32_t>(col + i), rd16(d.data() + 4 + 2 * i));
}

template <typename Text, typename Tail>
void writeSst(BiffWriter &w, uint32_t total, uint32_t count, Text text, Tail tail) {
    uint16_t dsst = static_cast<uint16_t>(std::max<uint32_t>(count / 128 + 1, 8));
    std::vector<std::pair<uint32_t, uint16_t>> buckets;
    size_t rec = w.begin(kSst);
    w.u32(total);
    w.u32(count);
    auto room = [&] { return kMaxRecordData - w.lengthSoFar(rec); };
    auto next = [&] {
        w.end(rec);
        rec = w.begin(kContinue);
    };
    for (uint32_t i = 0; i < count; ++i) {
        std::u16string s = utf8ToUtf16(text(i));
        if (s.size() > kMaxTextLength) {
            // A cell holds at most 32,767 characters; never split a surrogate pair.
            s.resize(kMaxTextLength);
            if (s.back() >= 0xD800 && s.back() <= 0xDBFF) s.pop_back();
        }
        const RichTail *t = tail(i);
        bool high = !fitsCompressed(s);
        size_t cs = high ? 2 : 1;
        size_t head = 3 + (t && t->runCount ? 2 : 0) + (t && !t->ext.empty() ? 4 : 0);
        if (room() < head + (s.empty() ? 0 : cs)) next();
        if (i % dsst == 0)
            buckets.emplace_back(static_cast<uint32_t>(w.pos()),
                                 static_cast<uint16_t>(w.size() - rec));
        uint8_t flags = static_cast<uint8_t>((high ? 1 : 0) | (t && t->runCount ? 8 : 0) |
                                             (t && !t->ext.empty() ? 4 : 0));
        w.u16(static_cast<uint16_t>(s.size()));
        w.u8(flags);
        if (t && t->runCount) w.u16(t->runCount);
        if (t && !t->ext.empty()) w.u32(static_cast<uint32_t>(t->ext.size()));
        size_t done = 0;
        while (done < s.size()) {
            size_t n = std::min(s.size() - done, room() / cs);
            // Keep surrogate pairs whole within a record: other readers decode record by record.
            if (n > 0 && done + n < s.size() && s[done + n - 1] >= 0xD800 &&
                s[done + n - 1] <= 0xDBFF)
                --n;
            if (n == 0) {
                next();
                w.u8(high ? 1 : 0);
                continue;
            }
            uint8_t *p = w.grow(n * cs);
            for (size_t k = 0; k < n; ++k) {
                if (high)
                    wr16(p + 2 * k, s[done + k]);
                else
                    p[k] = static_cast<uint8_t>(s[done + k]);
            }
            done += n;
        }
        if (t) {
            for (size_t k = 0; k + 4 <= t->runs.size(); k += 4) {
                if (room() < 4) next();
                w.bytes(std::span(t->runs).subspan(k, 4));
            }
            for (size_t k = 0; k < t->ext.size();) {
                if (room() == 0) next();
                size_t n = std::min(room(), t->ext.size() - k);
                w.bytes(std::span(t->ext).subspan(k, n));
                k += n;
            }
        }
    }
    w.end(rec);
    size_t ext = w.begin(kExtSst);
    w.u16(dsst);
    for (auto [ib, off] : buckets) {
        w.u32(ib);
        w.u16(off);
        w.u16(0);
    }
    w.end(ext);
}

}  // namespace pondera::store::biff
