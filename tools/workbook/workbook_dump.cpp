#include "workbook_dump.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "biff_records.h"
#include "bytes.h"
#include "cfb.h"
#include "error.h"
#include "ooxml_import.h"

namespace pondera::tool {

using store::CellValue;

namespace {

template <typename T>
std::string shortest(T v) {
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, p) : std::string("?");
}

const char *errorLiteral(int code) {
    switch (code) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        case 0x2A:
            return "#N/A";
        case 0x2B:
            return "#GETTING_DATA";
        default:
            return "#ERR?";
    }
}

}  // namespace

std::string formatCell(const CellValue &value) {
    switch (value.kind) {
        case CellValue::Kind::Empty:
            return {};
        case CellValue::Kind::Integer:
            return shortest(static_cast<long long>(value.number));
        case CellValue::Kind::Single:
            return shortest(static_cast<float>(value.number));
        case CellValue::Kind::Double:
            return shortest(value.number);
        case CellValue::Kind::Boolean:
            return value.number != 0 ? "TRUE" : "FALSE";
        case CellValue::Kind::Error:
            return errorLiteral(static_cast<int>(value.number));
        case CellValue::Kind::Text:
            break;
    }
    std::string out;
    out.reserve(value.text.size());
    for (char c : value.text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::vector<SheetExtent> sheetsInFile(std::span<const uint8_t> file) {
    namespace biff = store::biff;
    std::vector<SheetExtent> sheets;
    if (file.size() >= 4 && std::memcmp(file.data(), "PK\3\4", 4) == 0) {
        for (const auto &sheet : store::importOoxml(file).sheets) {
            SheetExtent e{sheet.name, 0, 0};
            for (const auto &c : sheet.cells) {
                e.rows = std::max(e.rows, static_cast<int32_t>(c.row) + 1);
                e.cols = std::max(e.cols, static_cast<int32_t>(c.col) + 1);
            }
            sheets.push_back(std::move(e));
        }
        return sheets;
    }
    store::CfbReader cfb(file);
    auto index = cfb.find(u"Workbook");
    if (!index) throw Error(kErrWorkbookOpen, "the file holds no Workbook stream");
    std::vector<uint8_t> stream = cfb.read(cfb.entries()[*index]);
    std::vector<uint32_t> starts;
    biff::RecordCursor cursor(stream, 0);
    biff::Record rec;
    while (cursor.next(rec) && rec.id != biff::kEof) {
        if (rec.id != biff::kBoundSheet) continue;
        // lbPlyPos (4), hsState (1), dt (1), then the name: cch (1), fHighByte (1), characters.
        const auto &d = rec.data;
        if (d.size() < 8) throw Error(kErrWorkbookOpen, "a sheet entry is too short");
        size_t count = d[6];
        bool high = d[7] & 1;
        if (d.size() < 8 + count * (high ? 2 : 1))
            throw Error(kErrWorkbookOpen, "a sheet name runs past its record");
        SheetExtent e;
        if (high) {
            store::appendUtf16leAsUtf8(e.name, d.data() + 8, count);
        } else {
            store::appendLatin1AsUtf8(e.name, d.data() + 8, count);
        }
        sheets.push_back(std::move(e));
        starts.push_back(store::rd32(d.data()));
    }
    // Dimensions: first row, last row + 1 (32-bit each), first column, last column + 1.
    for (size_t i = 0; i < sheets.size(); ++i) {
        if (starts[i] >= stream.size()) continue;
        biff::RecordCursor sheet(stream, starts[i]);
        int depth = 0;
        while (sheet.next(rec)) {
            if (rec.id == biff::kBof) ++depth;
            if (rec.id == biff::kEof && --depth <= 0) break;
            if (rec.id == biff::kDimensions && depth == 1 && rec.data.size() >= 12) {
                uint32_t rows = store::rd32(rec.data.data() + 4);
                uint16_t cols = store::rd16(rec.data.data() + 10);
                sheets[i].rows = static_cast<int32_t>(std::min<uint32_t>(rows, 65536));
                sheets[i].cols = std::min<int32_t>(cols, 256);
                break;
            }
        }
    }
    return sheets;
}

void dumpWorkbook(store::Workbook &book, const std::vector<SheetExtent> &sheets,
                  std::ostream &out) {
    for (const auto &[name, rows, cols] : sheets) {
        out << "== Sheet: " << name << "\n";
        store::Worksheet *sheet = nullptr;
        try {
            sheet = &book.sheet(name);
        } catch (const Error &e) {
            if (e.number() != kErrSubscript) throw;
            continue;
        }
        // The interface reads one cell at a time: the extent the file declares bounds the scan.
        size_t blankRows = 0;
        for (int32_t row = 1; row <= rows; ++row) {
            std::vector<std::string> fields;
            size_t last = 0;
            for (int32_t col = 1; col <= cols; ++col) {
                CellValue v = sheet->cell(row, col);
                if (v.isEmpty()) continue;
                fields.resize(static_cast<size_t>(col));
                fields[static_cast<size_t>(col - 1)] = formatCell(v);
                last = static_cast<size_t>(col);
            }
            if (last == 0) {
                ++blankRows;
                continue;
            }
            for (; blankRows > 0; --blankRows)
                out << "\n";
            for (size_t i = 0; i < last; ++i)
                out << (i ? "\t" : "") << fields[i];
            out << "\n";
        }
    }
}

}  // namespace pondera::tool
