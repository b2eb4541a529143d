// `detect` and `track` run in a module of their own that the tool loads only for those commands:
// the pose network's OpenCV libraries, FFmpeg and Qt are then neither mapped nor relocated when
// the tool dumps, copies, generates or exports a workbook.
#pragma once

#include <cstddef>
#include <ostream>

#include "tools/workbook/detect.h"
#include "tools/workbook/track.h"

namespace pondera::tool {

inline constexpr const char *kDetectModuleFileName = "libpondera2d-workbook-detect.so";
inline constexpr const char *kDetectModuleEntry = "pondera_workbook_detect";
inline constexpr const char *kTrackModuleEntry = "pondera_workbook_track";

// Why the module's run failed, carried back over the module's C entry as the Error it was.
struct DetectModuleFailure {
    int number;  // the Error's number; 0 for another exception
    char message[1024];
};

// The module's entry: detectLandmarks, with an exception turned into a return of -1 and failure.
using DetectModuleEntry = int (*)(const DetectOptions *options, std::ostream *out,
                                  std::ostream *err, DetectModuleFailure *failure);

// The module's entry for trackVideo, in the same shape.
using TrackModuleEntry = int (*)(const TrackOptions *options, std::ostream *out, std::ostream *err,
                                 DetectModuleFailure *failure);

// Loads the module (beside the program, then in the installed library folder) and runs
// detectLandmarks there: the same outputs, status and exceptions. Throws Error(kErrFileAccess)
// when the module is missing or cannot be loaded.
int runDetectModule(const DetectOptions &options, std::ostream &out, std::ostream &err);
// The same for trackVideo.
int runTrackModule(const TrackOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pondera::tool
