#include "workbook_dump.h"

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

std::vector<std::string> sheetNamesInFile(std::span<const uint8_t> file) {
    std::vector<std::string> names;
    if (file.size() >= 4 && std::memcmp(file.data(), "PK\3\4", 4) == 0) {
        for (const auto &sheet : store::importOoxml(file).sheets)
            names.push_back(sheet.name);
        return names;
    }
    store::CfbReader cfb(file);
    auto index = cfb.find(u"Workbook");
    if (!index) throw Error(kErrWorkbookOpen, "the file holds no Workbook stream");
    std::vector<uint8_t> stream = cfb.read(cfb.entries()[*index]);
    store::biff::RecordCursor cursor(stream, 0);
    store::biff::Record rec;
    while (cursor.next(rec) && rec.id != store::biff::kEof) {
        if (rec.id != store::biff::kBoundSheet) continue;
        // lbPlyPos (4), hsState (1), dt (1), then the name: cch (1), fHighByte (1), characters.
        const auto &d = rec.data;
        if (d.size() < 8) throw Error(kErrWorkbookOpen, "a sheet entry is too short");
        size_t count = d[6];
        bool high = d[7] & 1;
        if (d.size() < 8 + count * (high ? 2 : 1))
            throw Error(kErrWorkbookOpen, "a sheet name runs past its record");
        std::string name;
        if (high) {
            store::appendUtf16leAsUtf8(name, d.data() + 8, count);
        } else {
            store::appendLatin1AsUtf8(name, d.data() + 8, count);
        }
        names.push_back(std::move(name));
    }
    return names;
}

void dumpWorkbook(store::Workbook &book, const std::vector<std::string> &sheetNames,
                  std::ostream &out) {
    constexpr int32_t kRows = 65536, kCols = 256;
    for (const auto &name : sheetNames) {
        out << "== Sheet: " << name << "\n";
        store::Worksheet *sheet = nullptr;
        try {
            sheet = &book.sheet(name);
        } catch (const Error &e) {
            if (e.number() != kErrSubscript) throw;
            continue;
        }
        // The interface reads one cell at a time; an empty row of the engine's row store costs
        // a few nanoseconds a cell, so the whole grid is scanned.
        size_t blankRows = 0;
        for (int32_t row = 1; row <= kRows; ++row) {
            std::vector<std::string> fields;
            size_t last = 0;
            for (int32_t col = 1; col <= kCols; ++col) {
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
