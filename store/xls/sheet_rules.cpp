#include "store/xls/sheet_rules.h"

#include <utility>

#include "base/error.h"
#include "store/xls/bytes.h"

namespace pondera::store {

namespace {

constexpr std::pair<std::string_view, uint8_t> kErrorLiterals[] = {
    {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
    {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A},    {"#GETTING_DATA", 0x2B},
};

}  // namespace

void checkGrid(int32_t row, int32_t col) {
    if (row < 1 || row > static_cast<int32_t>(kMaxRows) || col < 1 ||
        col > static_cast<int32_t>(kMaxCols))
        throw Error(kErrWorkbookOpen, "Cell (" + std::to_string(row) + ", " + std::to_string(col) +
                                          ") is outside the sheet (rows 1-65536, columns 1-256).");
}

SheetNameFault sheetNameFault(std::string_view name) {
    const size_t len = utf16Length(name);
    if (len == 0) return SheetNameFault::Empty;
    if (len > 31) return SheetNameFault::TooLong;
    if (name.find_first_of("[]:*?/\\") != std::string_view::npos)
        return SheetNameFault::ForbiddenChar;
    if (name.front() == '\'' || name.back() == '\'') return SheetNameFault::Apostrophe;
    return SheetNameFault::None;
}

std::string sheetNameProblem(std::string_view name) {
    switch (sheetNameFault(name)) {
        case SheetNameFault::Empty:
            return "a sheet name cannot be empty";
        case SheetNameFault::TooLong:
            return "a sheet name has at most 31 characters";
        case SheetNameFault::ForbiddenChar:
            return "a sheet name cannot contain [ ] : * ? / \\";
        case SheetNameFault::Apostrophe:
            return "a sheet name cannot begin or end with an apostrophe";
        case SheetNameFault::None:
            break;
    }
    return {};
}

char32_t foldSheetNameChar(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x391 && c <= 0x3A9) return c + 32;    // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;    // Cyrillic
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin
    return c;
}

bool sameSheetName(std::string_view a, std::string_view b) {
    const std::u16string x = utf8ToUtf16(a), y = utf8ToUtf16(b);
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (foldSheetNameChar(x[i]) != foldSheetNameChar(y[i])) return false;
    return true;
}

const char *errorLiteral(uint8_t code) {
    for (const auto &[text, c] : kErrorLiterals)
        if (c == code) return text.data();
    return "#ERR?";
}

std::optional<uint8_t> errorCodeOf(std::string_view literal) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!literal.empty() && blank(literal.front()))
        literal.remove_prefix(1);
    while (!literal.empty() && blank(literal.back()))
        literal.remove_suffix(1);
    for (const auto &[text, code] : kErrorLiterals)
        if (literal == text) return code;
    return std::nullopt;
}

}  // namespace pondera::store
