// `detect` runs in a module of its own that the tool loads only for that command: the pose
// network's OpenCV libraries are then neither mapped nor relocated when the tool dumps, copies,
// generates or exports a workbook.
#pragma once

#include <cstddef>
#include <ostream>

#include "tools/workbook/detect.h"

namespace pondera::tool {

inline constexpr const char *kDetectModuleFileName = "libpondera2d-workbook-detect.so";
inline constexpr const char *kDetectModuleEntry = "pondera_workbook_detect";

// Why the module's run failed, carried back over the module's C entry as the Error it was.
struct DetectModuleFailure {
    int number;  // the Error's number; 0 for another exception
    char message[1024];
};

// The module's entry: detectLandmarks, with an exception turned into a return of -1 and failure.
using DetectModuleEntry = int (*)(const DetectOptions *options, std::ostream *out,
                                  std::ostream *err, DetectModuleFailure *failure);

// Loads the module (beside the program, then in the installed library folder) and runs
// detectLandmarks there: the same outputs, status and exceptions. Throws Error(kErrFileAccess)
// when the module is missing or cannot be loaded.
int runDetectModule(const DetectOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pondera::tool
