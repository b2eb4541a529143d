#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cell_value.h"

namespace pondera::store {

// The values of an OOXML workbook (a zip package, whatever its file name), for the engine to
// take over and save back as BIFF8. Rows and columns are 0-based here.
struct ImportedCell {
    uint32_t row;
    uint16_t col;
    CellValue value;  // formulas arrive as their cached result
};
struct ImportedSheet {
    std::string name;
    std::vector<ImportedCell> cells;
};
struct ImportedWorkbook {
    std::vector<ImportedSheet> sheets;  // in workbook order
};

// Throws Error(kErrWorkbookOpen, reason) for anything that is not a readable OOXML workbook.
ImportedWorkbook importOoxml(std::span<const uint8_t> bytes);

}  // namespace pondera::store
