#pragma once

#include <ostream>
#include <string>

#include "store/xls/cell_value.h"
#include "store/xls/workbook_engine.h"

namespace pondera::tool {

// One cell as dump text: numbers in their shortest exact decimal form (a single-precision value
// as the float it is, so 0.1f prints 0.1), TRUE/FALSE, error literals like #DIV/0!, text with
// backslash, tab, line feed and carriage return written as \\ \t \n \r so every cell stays
// one field of one line.
std::string formatCell(const store::CellValue &value);

// Every sheet in workbook order: a line "== Sheet: NAME", then one line per row from row 1 to
// the last row holding a value, each the cells from column A to the row's last value joined by
// tabs (an empty row gives an empty line). Chart and macro sheets give the heading line only.
void dumpWorkbook(store::Workbook &book, std::ostream &out);

}  // namespace pondera::tool
