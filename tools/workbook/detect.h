#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "store/records/check_marks.h"

namespace pondera {
class ClassEXCEL;
class ClassSEGMENT;
}  // namespace pondera

namespace pondera::tool {

struct DetectOptions {
    std::vector<std::string> photos;
    std::string intoWorkbook;  // empty: print only
    int sex = -1;              // 0 or 1 with intoWorkbook
    // The person under this picture point (pixels, x right, y down) instead of the main one.
    std::optional<std::pair<float, float>> at;
};

// `detect`: finds the 22 landmarks on every photo with the pose network and prints them in the
// model frame with both sexes' body centre of gravity, one CSV row per photo after a header; with a
// workbook, also appends one record per photo through the record store. Photos that cannot be read
// or show no person (with `at`: none at that point, or the point outside the photo) are reported on
// `err` and skipped. Returns the exit status: 0 when every photo
// gave a row, 1 otherwise. Throws pondera::Error when the network or the workbook cannot be used.
// The folder whose workbook --into names: a folder, or a file named PONDERA2D_2010.xls in one (the
// record store works on the workbook of one folder, under its fixed name). Error 76 otherwise.
std::string workbookFolder(const std::string &workbook);

int detectLandmarks(const DetectOptions &options, std::ostream &out, std::ostream &err);

// The rest of a record the network placed, after its landmarks: the landmarks to check and the
// centres the segment model computed from them (for the record's sex), then the commit.
void storeDetectedRecord(ClassEXCEL &store, const ClassSEGMENT &segment,
                         const store::CheckMarks &marks);

}  // namespace pondera::tool
