#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Balance.h"

namespace pondera {
class ClassEXCEL;
namespace store {
class Workbook;
}
}  // namespace pondera

namespace pondera::report {

struct Point {
    float x = 0, z = 0;
};

// One record as the exports need it: what the workbook holds of it, without the stored centres
// of gravity (they are computed anew from the landmarks, see Results).
struct RecordData {
    int16_t code = 0;
    std::string pictureName;
    int16_t sex = 0;
    std::string memo;
    std::array<Point, 22> landmarks{};
    // Landmarks detection marked for the user to check (the record's own data).
    std::array<bool, 22> checkMarks{};
};

// What the segment model makes of a record's landmarks for the record's sex, and the balance
// figures of the body centre. A sex other than 0 or 1 has no coefficients: computable is false
// and the centres are left at 0.
struct Results {
    bool computable = false;
    std::array<Point, 15> segments{};
    Point body;
    BalanceFigures balance;
    // Moving the marked landmarks within their uncertainty could turn the base-of-support
    // verdict: the exports say it "depends on points to check".
    bool verdictDependsOnMarks = false;
};
Results computeResults(const RecordData &record);

// Every record of a workbook in the program's layout, from code 0 up to the first row whose ID
// code cell is empty, read with the conversions the record store uses (a cell that cannot be
// read raises its error, naming the cell). Only reads.
std::vector<RecordData> readWorkbookRecords(store::Workbook &book);

// Every record of the open record store, as it is now (journalled changes included). Moves the
// store's current record while reading and selects the one that was current again at the end.
std::vector<RecordData> readStoreRecords(ClassEXCEL &excel);

}  // namespace pondera::report
