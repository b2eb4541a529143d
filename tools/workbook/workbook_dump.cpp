#include "tools/workbook/workbook_dump.h"

#include <charconv>
#include <vector>

#include "model/error.h"
#include "store/xls/xls_workbook.h"

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

void dumpWorkbook(store::Workbook &book, std::ostream &out) {
    auto *xls = dynamic_cast<store::XlsWorkbook *>(&book);
    if (!xls) throw Error(kErrWorkbookOpen, "the workbook does not come from the embedded engine");
    for (size_t i = 0; i < xls->sheetCount(); ++i) {
        const store::XlsSheet &sheet = xls->sheetAt(i);
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
