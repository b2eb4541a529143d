#pragma once

#include <cstdint>
#include <string>

#include "store/xls/cell_value.h"

// Reading a cell as the record store needs it: a cell's value assigned to a 16-bit integer, a
// single-precision number or text converts by the rules below. The
// conversions are locale-independent: a workbook reads the same on every machine.
namespace pondera::store {

// Row 2, column 3 -> "C2"; "ID", row 2, column 3 -> "ID!C2", for messages.
std::string cellAddress(int32_t row, int32_t col);
std::string cellName(const std::string &sheet, int32_t row, int32_t col);

// Empty -> 0; number -> rounded half to even, outside -32768..32767 raises 6; numeric text
// (blanks around allowed) converts like the number; TRUE -> -1, FALSE -> 0; other text and error
// values raise 13 naming the cell.
int16_t cellToInt16(const CellValue &value, const std::string &sheet, int32_t row, int32_t col);
// Empty -> 0; number -> nearest single; numeric text like a number; TRUE -> -1; else 13.
float cellToSingle(const CellValue &value, const std::string &sheet, int32_t row, int32_t col);
// Empty -> ""; text as it is; number in general format (1.5 -> "1.5", 3 -> "3"); booleans
// "TRUE"/"FALSE"; error values raise 13.
std::string cellToText(const CellValue &value, const std::string &sheet, int32_t row, int32_t col);

// The record list ends at a code cell whose value equals the empty text: an empty cell or empty
// text.
inline bool isEmptyCode(const CellValue &v) {
    return v.isEmpty() || (v.kind == CellValue::Kind::Text && v.text.empty());
}

// General number format: up to 15 significant digits (7 for a single), no trailing zeros.
std::string generalNumberText(double value, bool single);

}  // namespace pondera::store
