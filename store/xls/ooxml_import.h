#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "store/xls/cell_value.h"

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
    // In workbook order; worksheets only (chart, dialog and macro sheets hold no cells to carry).
    std::vector<ImportedSheet> sheets;
    // Cells with a value beyond the .xls grid (row > 65536 or column > IV) are left out and
    // counted here; the original file kept beside the first save still has them.
    uint64_t droppedCells = 0;
};

// Throws Error(kErrWorkbookOpen, reason) for anything that is not a readable OOXML workbook.
// Cells come in file order; numbers arrive as Double, formulas as their cached result.
ImportedWorkbook importOoxml(std::span<const uint8_t> bytes);

}  // namespace pondera::store
