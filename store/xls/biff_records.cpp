#include "store/xls/biff_records.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace pondera::store::biff {

namespace {

using R = SheetRole;
// Records met inside a worksheet and what rewriting that sheet does with them.
constexpr RecordKind kKinds[] = {
    {kBof, "BOF", R::Regenerated},
    {kEof, "EOF", R::Regenerated},
    {kIndex, "Index", R::Regenerated},
    {kCalcMode, "CalcMode", R::Regenerated},
    {kCalcCount, "CalcCount", R::Regenerated},
    {kCalcRefMode, "CalcRefMode", R::Regenerated},
    {kCalcIter, "CalcIter", R::Regenerated},
    {kCalcDelta, "CalcDelta", R::Regenerated},
    {kSaveRecalc, "CalcSaveRecalc", R::Regenerated},
    {kPrintRowCol, "PrintRowCol", R::Regenerated},
    {kPrintGrid, "PrintGrid", R::Regenerated},
    {kGridSet, "GridSet", R::Regenerated},
    {kGuts, "Guts", R::Regenerated},
    {kDefaultRowHeight, "DefaultRowHeight", R::Regenerated},
    {kWsBool, "WsBool", R::Regenerated},
    {kHCenter, "HCenter", R::Carried},
    {kVCenter, "VCenter", R::Carried},
    {kSetup, "Setup", R::Carried},
    {kLeftMargin, "LeftMargin", R::Carried},
    {kRightMargin, "RightMargin", R::Carried},
    {kTopMargin, "TopMargin", R::Carried},
    {kBottomMargin, "BottomMargin", R::Carried},
    {0x004D, "Pls", R::Regenerated},
    {0x0099, "StandardWidth", R::Regenerated},
    {kDefColWidth, "DefColWidth", R::Regenerated},
    {kDimensions, "Dimensions", R::Regenerated},
    {kRow, "Row", R::Regenerated},
    {kDbCell, "DBCell", R::Regenerated},
    {kWindow2, "Window2", R::Regenerated},
    {kSelection, "Selection", R::Regenerated},
    {0x00A0, "Scl", R::Regenerated},
    {0x0041, "Pane", R::Regenerated},
    {0x088B, "PLV", R::Regenerated},
    {0x0862, "SheetExt", R::Regenerated},
    {0x00EF, "PhoneticInfo", R::Regenerated},
    {0x089C, "HeaderFooter", R::Regenerated},
    {kColInfo, "ColInfo", R::Carried},
    {kNumber, "Number", R::Cell},
    {kRk, "RK", R::Cell},
    {kMulRk, "MulRk", R::Cell},
    {kLabelSst, "LabelSst", R::Cell},
    {kLabel, "Label", R::Cell},
    {kBlank, "Blank", R::Cell},
    {kMulBlank, "MulBlank", R::Cell},
    {kBoolErr, "BoolErr", R::Cell},
    {kHeader, "Header", R::Carried},
    {kFooter, "Footer", R::Carried},
    {kFormula, "Formula", R::Lost},
    {kString, "String", R::Lost},
    {0x04BC, "ShrFmla", R::Lost},
    {0x0221, "Array", R::Lost},
    {0x0236, "Table", R::Lost},
    {0x00E5, "MergeCells", R::Lost},
    {0x001C, "Note", R::Lost},
    {0x005D, "Obj", R::Lost},
    {0x00EC, "MsoDrawing", R::Regenerated},  // drawing objects come with Obj records
    {0x01B6, "TxO", R::Lost},
    {0x0867, "FeatHdr", R::Regenerated},
    {0x01B8, "HLink", R::Lost},
    {0x01B0, "CondFmt", R::Lost},
    {0x01B1, "CF", R::Lost},
    {0x01B2, "DVal", R::Lost},
    {0x01BE, "Dv", R::Lost},
};
constexpr RecordKind kUnknown = {0xFFFF, "unknown", R::Lost};

}  // namespace

const RecordKind &recordKind(uint16_t id) {
    // Looked up once per record of every sheet read: index the table by id once.
    static const std::vector<uint8_t> slots = [] {
        std::vector<uint8_t> v(65536, 0xFF);
        for (size_t i = 0; i < std::size(kKinds); ++i)
            v[kKinds[i].id] = static_cast<uint8_t>(i);
        return v;
    }();
    uint8_t i = slots[id];
    return i == 0xFF ? kUnknown : kKinds[i];
}

bool RecordCursor::next(Record &rec) {
    if (pos_ + 4 > stream_.size()) return false;
    uint16_t id = rd16(stream_.data() + pos_);
    uint16_t len = rd16(stream_.data() + pos_ + 2);
    if (len > kMaxRecordData) malformed("a record is longer than the format allows");
    if (pos_ + 4 + len > stream_.size()) malformed("the workbook stream is truncated");
    rec = {id, pos_, stream_.subspan(pos_ + 4, len)};
    pos_ += 4 + size_t{len};
    return true;
}

std::vector<std::span<const uint8_t>> RecordCursor::continues() const {
    std::vector<std::span<const uint8_t>> out;
    RecordCursor c(stream_, pos_);
    Record r;
    size_t at = c.pos();
    while (c.next(r) && r.id == kContinue) {
        out.push_back(r.data);
        at = c.pos();
    }
    (void)at;
    return out;
}

void BiffWriter::end(size_t at) {
    size_t len = lengthSoFar(at);
    if (len > kMaxRecordData) throw std::logic_error("BIFF record over 8224 bytes");
    patch16(at + 2, static_cast<uint16_t>(len));
}

void BiffWriter::record(uint16_t id, std::span<const uint8_t> payload) {
    size_t at = begin(id);
    bytes(payload);
    end(at);
}

// ---- ContinuedReader

bool ContinuedReader::advance() {
    while (seg_ < segs_.size() && pos_ >= segs_[seg_].size()) {
        ++seg_;
        pos_ = 0;
    }
    return seg_ < segs_.size();
}

bool ContinuedReader::atEnd() {
    return !advance();
}

uint8_t ContinuedReader::u8() {
    if (!advance()) malformed(std::string(what_) + " is truncated");
    return segs_[seg_][pos_++];
}

uint16_t ContinuedReader::u16() {
    uint16_t lo = u8();
    return static_cast<uint16_t>(lo | (u8() << 8));
}

uint32_t ContinuedReader::u32() {
    uint32_t lo = u16();
    return lo | (static_cast<uint32_t>(u16()) << 16);
}

void ContinuedReader::skip(size_t n) {
    while (n > 0) {
        if (!advance()) malformed(std::string(what_) + " is truncated");
        size_t k = std::min(n, segs_[seg_].size() - pos_);
        pos_ += k;
        n -= k;
    }
}

void ContinuedReader::raw(std::vector<uint8_t> &out, size_t n) {
    while (n > 0) {
        if (!advance()) malformed(std::string(what_) + " is truncated");
        size_t k = std::min(n, segs_[seg_].size() - pos_);
        out.insert(out.end(), segs_[seg_].begin() + pos_, segs_[seg_].begin() + pos_ + k);
        pos_ += k;
        n -= k;
    }
}

void ContinuedReader::chars(std::string &out, size_t count, bool high) {
    // Gathered as UTF-16 first: a surrogate pair may be split between two records.
    std::u16string units;
    bool anyHigh = false;
    while (count > 0) {
        if (seg_ < segs_.size() && pos_ >= segs_[seg_].size()) {
            // Character data going on in the next record starts with its own flag byte.
            ++seg_;
            pos_ = 0;
            if (seg_ >= segs_.size() || segs_[seg_].empty())
                malformed(std::string(what_) + " is truncated");
            high = (segs_[seg_][pos_++] & 1) != 0;
            continue;
        }
        if (seg_ >= segs_.size()) malformed(std::string(what_) + " is truncated");
        size_t cs = high ? 2 : 1;
        size_t avail = (segs_[seg_].size() - pos_) / cs;
        size_t n = std::min(count, avail);
        if (n == 0) malformed(std::string(what_) + " splits a character between records");
        const uint8_t *p = segs_[seg_].data() + pos_;
        if (high) {
            anyHigh = true;
            for (size_t k = 0; k < n; ++k)
                units.push_back(static_cast<char16_t>(rd16(p + 2 * k)));
        } else {
            units.append(p, p + n);
        }
        pos_ += n * cs;
        count -= n;
    }
    if (!anyHigh) {
        out.reserve(out.size() + units.size());
        for (char16_t u : units)
            appendUtf8(out, u);
        return;
    }
    out += utf16ToUtf8(units);
}

// ---- numbers

bool encodeRk(double d, uint32_t &rk) {
    if (!std::isfinite(d)) return false;
    bool negZero = d == 0 && std::signbit(d);
    if (!negZero && d >= -536870912.0 && d <= 536870911.0 && d == std::trunc(d)) {
        rk = (static_cast<uint32_t>(static_cast<int32_t>(d)) << 2) | 2;
        return true;
    }
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    if ((bits & 0x3FFFFFFFFull) == 0) {
        rk = static_cast<uint32_t>(bits >> 32);
        return true;
    }
    double h = d * 100;
    double m = std::nearbyint(h);
    if (m >= -536870912.0 && m <= 536870911.0) {
        uint32_t cand = (static_cast<uint32_t>(static_cast<int32_t>(m)) << 2) | 3;
        if (decodeRk(cand) == d) {
            rk = cand;
            return true;
        }
    }
    std::memcpy(&bits, &h, sizeof bits);
    if (std::isfinite(h) && (bits & 0x3FFFFFFFFull) == 0) {
        uint32_t cand = static_cast<uint32_t>(bits >> 32) | 1;
        if (decodeRk(cand) == d) {
            rk = cand;
            return true;
        }
    }
    return false;
}

double decodeRk(uint32_t rk) {
    double v;
    if (rk & 2) {
        v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        uint64_t bits = static_cast<uint64_t>(rk & ~3u) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 1) ? v / 100 : v;
}

double singleToDouble(float f) {
    if (!std::isfinite(f)) return f;
    double x = f;
    if (std::fabs(x) < 16777216.0) {
        // x * 10^k is exact here (24 + 27 bits), and m / 10^k is the correctly rounded double of
        // the decimal m·10^-k: the first k that gives f back is the shortest decimal.
        double p = 1;
        for (int k = 0; k <= 8; ++k, p *= 10) {
            double m = std::nearbyint(x * p);
            double cand = m / p;
            if (static_cast<float>(cand) == f) return cand;
        }
    }
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f);
    double d = x;
    if (ec == std::errc()) std::from_chars(buf, end, d);
    return d;
}

// ---- strings

SharedStrings readSst(std::vector<std::span<const uint8_t>> segments) {
    SharedStrings sst;
    ContinuedReader r(std::move(segments), "the shared string table");
    sst.total = r.u32();
    uint32_t unique = r.u32();
    for (uint32_t i = 0; i < unique; ++i) {
        if (r.atEnd()) break;  // some writers overstate the count
        uint16_t cch = r.u16();
        uint8_t flags = r.u8();
        uint16_t runs = (flags & 8) ? r.u16() : 0;
        uint32_t ext = (flags & 4) ? r.u32() : 0;
        std::string s;
        r.chars(s, cch, flags & 1);
        sst.strings.push_back(std::move(s));
        if (runs || ext) {
            RichTail t;
            t.runCount = runs;
            r.raw(t.runs, size_t{runs} * 4);
            r.raw(t.ext, ext);
            sst.tails.emplace_back(i, std::move(t));
        }
    }
    return sst;
}

std::string readUnicodeString(ContinuedReader &r) {
    uint16_t cch = r.u16();
    uint8_t flags = r.u8();
    uint16_t runs = (flags & 8) ? r.u16() : 0;
    uint32_t ext = (flags & 4) ? r.u32() : 0;
    std::string s;
    r.chars(s, cch, flags & 1);
    r.skip(size_t{runs} * 4);
    r.skip(ext);
    return s;
}

namespace {
void putChars(ByteWriter &w, std::u16string_view s) {
    bool high = !fitsCompressed(s);
    w.u8(high ? 1 : 0);
    uint8_t *p = w.grow(s.size() * (high ? 2 : 1));
    for (size_t k = 0; k < s.size(); ++k) {
        if (high)
            wr16(p + 2 * k, s[k]);
        else
            p[k] = static_cast<uint8_t>(s[k]);
    }
}
}  // namespace

void putShortString(ByteWriter &w, std::u16string_view s) {
    w.u8(static_cast<uint8_t>(s.size()));
    putChars(w, s);
}

void putUnicodeString(ByteWriter &w, std::u16string_view s) {
    w.u16(static_cast<uint16_t>(s.size()));
    putChars(w, s);
}

// ---- cell records

CellHead decodeCellHead(std::span<const uint8_t> d, size_t need) {
    if (d.size() < need) malformed("a cell record is too short");
    return {rd16(d.data()), rd16(d.data() + 2), rd16(d.data() + 4)};
}

double decodeNumber(std::span<const uint8_t> d) {
    return rdf64(d.data() + 6);
}
uint32_t decodeRkRecord(std::span<const uint8_t> d) {
    return rd32(d.data() + 6);
}
uint32_t decodeLabelSst(std::span<const uint8_t> d) {
    return rd32(d.data() + 6);
}

FormulaResult decodeFormula(std::span<const uint8_t> d) {
    const uint8_t *v = d.data() + 6;
    if (rd16(v + 6) != 0xFFFF) return {FormulaResult::Number, rdf64(v)};
    switch (v[0]) {
        case 0:
            return {FormulaResult::String, 0};
        case 1:
            return {FormulaResult::Boolean, static_cast<double>(v[2] != 0)};
        case 2:
            return {FormulaResult::Error, static_cast<double>(v[2])};
        default:
            return {FormulaResult::EmptyString, 0};
    }
}

namespace {
void putHead(BiffWriter &w, uint16_t id, uint16_t len, CellHead h) {
    uint8_t *p = w.grow(4 + 6);
    wr16(p, id);
    wr16(p + 2, len);
    wr16(p + 4, h.row);
    wr16(p + 6, h.col);
    wr16(p + 8, h.xf);
}
}  // namespace

void putRk(BiffWriter &w, CellHead h, uint32_t rk) {
    putHead(w, kRk, 10, h);
    w.u32(rk);
}
void putNumber(BiffWriter &w, CellHead h, double v) {
    putHead(w, kNumber, 14, h);
    w.f64(v);
}
void putLabelSst(BiffWriter &w, CellHead h, uint32_t isst) {
    putHead(w, kLabelSst, 10, h);
    w.u32(isst);
}
void putBoolErr(BiffWriter &w, CellHead h, uint8_t value, bool isError) {
    putHead(w, kBoolErr, 8, h);
    w.u8(value);
    w.u8(isError ? 1 : 0);
}
void putBlank(BiffWriter &w, CellHead h) {
    putHead(w, kBlank, 6, h);
}

// ---- fixed records

void putBof(BiffWriter &w, uint16_t type) {
    size_t at = w.begin(kBof);
    w.u16(kBiff8);
    w.u16(type);
    w.u16(0x18AF);  // build
    w.u16(0x07CD);  // year
    w.u32(0x000080C1);
    w.u32(0x00000306);
    w.end(at);
}

void putEof(BiffWriter &w) {
    w.u32(kEof);
}

void putU16Record(BiffWriter &w, uint16_t id, uint16_t v) {
    size_t at = w.begin(id);
    w.u16(v);
    w.end(at);
}

namespace {

void putFont(BiffWriter &w, uint16_t weight) {
    size_t at = w.begin(kFont);
    w.u16(200);     // 10 pt
    w.u16(0);       // no italic, strike-out, ...
    w.u16(0x7FFF);  // automatic colour
    w.u16(weight);
    w.u16(0);  // no super/subscript
    w.u8(0);   // no underline
    w.u8(0);   // family
    w.u8(0);   // character set
    w.u8(0);
    putShortString(w, u"Arial");
    w.end(at);
}

void putFormat(BiffWriter &w, uint16_t ifmt, std::u16string_view code) {
    size_t at = w.begin(kFormat);
    w.u16(ifmt);
    putUnicodeString(w, code);
    w.end(at);
}

void putXf(BiffWriter &w, uint16_t font, bool style, uint8_t attrs) {
    size_t at = w.begin(kXf);
    w.u16(font);
    w.u16(0);                        // General
    w.u16(style ? 0xFFF5 : 0x0001);  // locked; style XFs have no parent
    w.u8(0x20);                      // general alignment, bottom
    w.u8(0);                         // no rotation
    w.u8(0);                         // no indent
    w.u8(attrs);                     // which attribute groups this XF sets
    w.u32(0);                        // no borders
    w.u32(0);
    w.u16(0x20C0);  // pattern colours: system foreground / background
    w.end(at);
}

}  // namespace

void putDefaultGlobalsHead(BiffWriter &w, uint16_t sheetCount) {
    putBof(w, kBofGlobals);
    putU16Record(w, kInterfaceHdr, 1200);
    putU16Record(w, kMms, 0);
    w.u32(kInterfaceEnd);
    {
        size_t at = w.begin(kWriteAccess);
        size_t start = w.size();
        putUnicodeString(w, u"pondera2d");
        w.grow(112 - (w.size() - start));
        std::memset(w.data.data() + w.size() - (112 - 12), ' ', 112 - 12);
        w.end(at);
    }
    putU16Record(w, kCodePage, 1200);
    putU16Record(w, kDsf, 0);
    {
        size_t at = w.begin(kRRTabId);
        for (uint16_t i = 1; i <= sheetCount; ++i)
            w.u16(i);
        w.end(at);
    }
    putU16Record(w, kWinProtect, 0);
    putU16Record(w, kProtect, 0);
    putU16Record(w, kPassword, 0);
    putU16Record(w, kProt4Rev, 0);
    putU16Record(w, kProt4RevPass, 0);
    {
        size_t at = w.begin(kWindow1);
        w.u16(360);
        w.u16(270);
        w.u16(14940);
        w.u16(9150);
        w.u16(0x0038);  // scroll bars and sheet tabs shown
        w.u16(0);       // first sheet active
        w.u16(0);
        w.u16(1);
        w.u16(600);
        w.end(at);
    }
    putU16Record(w, kBackup, 0);
    putU16Record(w, kHideObj, 0);
    putU16Record(w, kDate1904, 0);
    putU16Record(w, kCalcPrecision, 1);
    putU16Record(w, kRefreshAll, 0);
    putU16Record(w, kBookBool, 0);
    putFont(w, 400);
    putFont(w, 700);
    putFont(w, 400);
    putFont(w, 700);
    putFormat(w, 5, u"\"$\"#,##0_);\\(\"$\"#,##0\\)");
    putFormat(w, 6, u"\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)");
    putFormat(w, 7, u"\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)");
    putFormat(w, 8, u"\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)");
    putFormat(w, 42, u"_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)");
    putFormat(w, 41, u"_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)");
    putFormat(w, 44, u"_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)");
    putFormat(w, 43, u"_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)");
    // XF 0: the Normal style; 1-14: outline level styles; 15: the default cell format.
    putXf(w, 0, true, 0);
    for (int i = 1; i <= 14; ++i)
        putXf(w, i <= 2 ? 1 : (i <= 4 ? 2 : 0), true, 0xF4);
    putXf(w, 0, false, 0);
    {
        size_t at = w.begin(kStyle);
        w.u16(0x8000);  // built-in style on XF 0
        w.u8(0);        // Normal
        w.u8(0xFF);
        w.end(at);
    }
    w.u32(kUsesElfs | (2u << 16));
    w.u16(0);
}

void putBoundSheet(BiffWriter &w, uint32_t pos, uint8_t hsState, uint8_t dt,
                   std::u16string_view name, size_t &patchAt) {
    size_t at = w.begin(kBoundSheet);
    patchAt = w.size();
    w.u32(pos);
    w.u8(hsState);
    w.u8(dt);
    putShortString(w, name.substr(0, 31));
    w.end(at);
}

void putCountry(BiffWriter &w) {
    size_t at = w.begin(kCountry);
    w.u16(1);
    w.u16(81);
    w.end(at);
}

}  // namespace pondera::store::biff
