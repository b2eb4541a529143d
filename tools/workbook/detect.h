#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

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
int detectLandmarks(const DetectOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pondera::tool
