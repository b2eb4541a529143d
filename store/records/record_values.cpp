#include "store/records/record_values.h"

#include <charconv>
#include <cmath>

#include "base/error.h"

namespace pondera::store {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A decimal number with optional sign, fraction and exponent, blanks around it allowed.
// Anything else (words, hexadecimal, "inf", "nan", thousands separators) is not a number.
bool parseNumericText(const std::string &text, double &out) {
    size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    if (b == e) return false;
    bool negative = false;
    if (text[b] == '+' || text[b] == '-') {
        negative = text[b] == '-';
        ++b;
    }
    size_t i = b, digits = 0;
    while (i < e && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (i < e && text[i] == '.') {
        ++i;
        while (i < e && text[i] >= '0' && text[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < e && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < e && (text[i] == '+' || text[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < e && text[i] >= '0' && text[i] <= '9')
            ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != e) return false;
    double v = 0;
    const auto res = std::from_chars(text.data() + b, text.data() + e, v);
    if (res.ec != std::errc() || res.ptr != text.data() + e || !std::isfinite(v)) return false;
    out = negative ? -v : v;
    return true;
}

[[noreturn]] void mismatch(const CellValue &value, const std::string &sheet, int32_t row,
                           int32_t col, const char *target) {
    std::string shown;
    if (value.kind == CellValue::Kind::Text)
        shown = "「" + value.text + "」";
    else
        shown = "(エラー値)";
    throw Error(kErrTypeMismatch, std::string("型が一致しません: シート「") + sheet + "」のセル " +
                                      cellAddress(row, col) + " の値" + shown + "は" + target +
                                      "に変換できません。");
}

double numericValue(const CellValue &value, const std::string &sheet, int32_t row, int32_t col,
                    const char *target) {
    switch (value.kind) {
        case CellValue::Kind::Empty:
            return 0;
        case CellValue::Kind::Integer:
        case CellValue::Kind::Single:
        case CellValue::Kind::Double:
            return value.number;
        case CellValue::Kind::Boolean:
            return value.number != 0 ? -1 : 0;
        case CellValue::Kind::Text: {
            double v = 0;
            if (parseNumericText(value.text, v)) return v;
            break;
        }
        case CellValue::Kind::Error:
            break;
    }
    mismatch(value, sheet, row, col, target);
}

}  // namespace

std::string cellAddress(int32_t row, int32_t col) {
    if (col < 1) return "R" + std::to_string(row) + "C" + std::to_string(col);
    std::string letters;
    for (int32_t c = col; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row);
}

std::string cellName(const std::string &sheet, int32_t row, int32_t col) {
    return sheet + "!" + cellAddress(row, col);
}

int16_t cellToInt16(const CellValue &value, const std::string &sheet, int32_t row, int32_t col) {
    const double v = numericValue(value, sheet, row, col, "整数");
    // The default rounding mode rounds halves to the even neighbour, which is the rule here.
    const double r = std::nearbyint(v);
    if (!(r >= INT16_MIN && r <= INT16_MAX))
        throw Error(kErrOverflow, "オーバーフローしました: " + cellName(sheet, row, col) +
                                      " の値 " + generalNumberText(v, false) +
                                      " は -32768～32767 の範囲にありません。");
    return static_cast<int16_t>(r);
}

float cellToSingle(const CellValue &value, const std::string &sheet, int32_t row, int32_t col) {
    const double v = numericValue(value, sheet, row, col, "数値");
    if (std::fabs(v) > 3.4028234663852886e38)
        throw Error(kErrOverflow, "オーバーフローしました: " + cellName(sheet, row, col) +
                                      " の値 " + generalNumberText(v, false) +
                                      " は単精度の範囲にありません。");
    return static_cast<float>(v);
}

std::string cellToText(const CellValue &value, const std::string &sheet, int32_t row, int32_t col) {
    switch (value.kind) {
        case CellValue::Kind::Empty:
            return {};
        case CellValue::Kind::Text:
            return value.text;
        case CellValue::Kind::Integer:
        case CellValue::Kind::Double:
            return generalNumberText(value.number, false);
        case CellValue::Kind::Single:
            return generalNumberText(value.number, true);
        case CellValue::Kind::Boolean:
            return value.number != 0 ? "TRUE" : "FALSE";
        case CellValue::Kind::Error:
            break;
    }
    mismatch(value, sheet, row, col, "文字列");
}

std::string generalNumberText(double value, bool single) {
    char buf[64];
    const auto res =
        single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(value),
                               std::chars_format::general, 7)
               : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string s(buf, res.ptr);
    for (char &c : s)
        if (c == 'e') c = 'E';
    if (s == "-0") s = "0";
    return s;
}

}  // namespace pondera::store
