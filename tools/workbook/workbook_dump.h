#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "cell_value.h"
#include "workbook_engine.h"

namespace pondera::tool {

// One cell as dump text: numbers in their shortest exact decimal form (a single-precision value
// as the float it is, so 0.1f prints 0.1), TRUE/FALSE, error literals like #DIV/0!, text with
// backslash, tab, line feed and carriage return written as \\ \t \n \r so every cell stays
// one field of one line.
std::string formatCell(const store::CellValue &value);

// A sheet of a workbook file: its name and how many rows and columns from A1 can hold values.
struct SheetExtent {
    std::string name;
    int32_t rows = 65536, cols = 256;
};

// The sheets of a workbook file in their order, read from the file itself (the engine
// interface finds sheets by name but neither lists them nor says how far they reach):
// BoundSheet8 and each sheet's Dimensions record of a BIFF8 workbook (the whole grid when a
// sheet has none), the sheet list and the cells of an OOXML one.
// Error(kErrWorkbookOpen) for anything else.
std::vector<SheetExtent> sheetsInFile(std::span<const uint8_t> file);

// The sheets in the order given: a line "== Sheet: NAME", then one line per row from row 1 to
// the last row holding a value, each the cells from column A to the row's last value joined by
// tabs (an empty row gives an empty line). A sheet without cells to show (a chart sheet) gives
// the heading line only.
void dumpWorkbook(store::Workbook &book, const std::vector<SheetExtent> &sheets, std::ostream &out);

}  // namespace pondera::tool
