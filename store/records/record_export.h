#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/BodyFacts.h"

namespace pondera {
class ClassEXCEL;
}

// Reading every record at once, for the exports: what the workbook holds of each record without
// the stored centres of gravity (the exports compute them anew from the landmarks).
namespace pondera::store {

class Workbook;

// The header rows of one of the program's sheets (layout::SheetIndex): titles on the header row
// and "x" / "z" on the axis row, each cell given to put as (row, column, text). The store and
// the workbook tool's generator both write them through this, so the two never differ.
void forEachHeaderCell(uint8_t sheet,
                       const std::function<void(int32_t, int32_t, const std::string &)> &put);

struct RecordPoint {
    float x = 0, z = 0;
};

struct RecordData {
    int16_t code = 0;
    std::string pictureName;
    int16_t sex = 0;
    std::string memo;
    std::array<RecordPoint, kLandmarkCount> landmarks{};
    // Landmarks detection marked for the user to check (the record's own data).
    std::array<bool, kLandmarkCount> checkMarks{};
};

// Every record of a workbook in the program's layout, from code 0 up to the first empty code
// cell (or the last code a row can hold), read with the conversions the record store uses: a
// cell that cannot be read raises its error, naming the cell. Only reads.
std::vector<RecordData> readWorkbookRecords(Workbook &book);

// Every record of the open record store, as it is now (journalled changes included). Moves the
// store's current record while reading and selects the one that was current again at the end.
std::vector<RecordData> readStoreRecords(ClassEXCEL &excel);

}  // namespace pondera::store
