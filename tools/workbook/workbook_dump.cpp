#include "tools/workbook/workbook_dump.h"

#include <charconv>
#include <vector>

#include "store/xls/sheet_rules.h"

namespace pondera::tool {

using store::CellValue;

namespace {

template <typename T>
std::string shortest(T v) {
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, p) : std::string("?");
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
            return store::errorLiteral(static_cast<uint8_t>(value.number));
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

void dumpWorkbook(store::Workbook &book, std::ostream &out) {
    for (size_t i = 0; i < book.sheetCount(); ++i) {
        const store::Worksheet &sheet = book.sheetAt(i);
        out << "== Sheet: " << sheet.name() << "\n";
        int32_t printed = 0;  // rows written so far
        int32_t row = 0;      // the row being collected
        std::vector<std::string> fields;
        auto flush = [&] {
            if (fields.empty()) return;
            for (; printed + 1 < row; ++printed)
                out << "\n";
            for (size_t c = 0; c < fields.size(); ++c)
                out << (c ? "\t" : "") << fields[c];
            out << "\n";
            printed = row;
            fields.clear();
        };
        sheet.forEachCell([&](int32_t r, int32_t c, const CellValue &v) {
            if (v.isEmpty()) return;
            if (r != row) {
                flush();
                row = r;
            }
            if (fields.size() < static_cast<size_t>(c)) fields.resize(static_cast<size_t>(c));
            fields[static_cast<size_t>(c - 1)] = formatCell(v);
        });
        flush();
    }
}

}  // namespace pondera::tool
