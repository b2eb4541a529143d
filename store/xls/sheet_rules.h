#pragma once

// The rules of a sheet in an Excel 97-2003 workbook, in one place for the engine, the OOXML
// importer and the tools: the grid, what a sheet name may be and when two names are the same,
// and the literals of the error values.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pondera::store {

// The BIFF8 grid: rows 1..65536, columns 1..256 (A..IV).
inline constexpr uint32_t kMaxRows = 65536;
inline constexpr uint32_t kMaxCols = 256;

// Raises Error(kErrWorkbookOpen) for a 1-based cell outside the grid, as a spreadsheet does.
void checkGrid(int32_t row, int32_t col);

// What makes a sheet name not allowed: empty, more than 31 UTF-16 units, one of []:*?/\ , an
// apostrophe at either end.
enum class SheetNameFault { None, Empty, TooLong, ForbiddenChar, Apostrophe };
SheetNameFault sheetNameFault(std::string_view name);
// The same as a sentence ("a sheet name cannot be empty"), or empty when the name is allowed.
std::string sheetNameProblem(std::string_view name);

// Sheet names compare case-insensitively, as spreadsheets do. The folding is fixed (ASCII,
// Latin-1, Greek, Cyrillic and full-width Latin capitals) and does not depend on the locale.
char32_t foldSheetNameChar(char32_t c);
bool sameSheetName(std::string_view a, std::string_view b);

// The literal of an error value's code ("#DIV/0!" for 0x07), "#ERR?" for a code that has none;
// and the code of a literal (surrounding blanks ignored), if it is one.
const char *errorLiteral(uint8_t code);
std::optional<uint8_t> errorCodeOf(std::string_view literal);

}  // namespace pondera::store
