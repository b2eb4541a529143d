#pragma once

#include <array>
#include <cstdint>

#include "model/Balance.h"
#include "model/BodyFacts.h"
#include "store/records/record_export.h"

namespace pondera::report {

// A record as the exports read it; the record store reads them (readStoreRecords for the open
// store, readWorkbookRecords for a workbook file).
using Point = store::RecordPoint;
using RecordData = store::RecordData;

// What the segment model makes of a record's landmarks for the record's sex, and the balance
// figures of the body centre. A sex other than 0 or 1 has no coefficients: computable is false
// and the centres are left at 0.
struct Results {
    bool computable = false;
    std::array<Point, kSegmentCount> segments{};
    Point body;
    BalanceFigures balance;
    // Moving the marked landmarks within their uncertainty could turn the base-of-support
    // verdict: the exports say it "depends on points to check".
    bool verdictDependsOnMarks = false;
};
Results computeResults(const RecordData &record);

}  // namespace pondera::report
