#pragma once

#include <ostream>
#include <string>

namespace pondera::tool {

struct TrackOptions {
    std::string video;
    double fromSeconds = 0;
    double toSeconds = -1;  // negative: to the end
    int every = 1;
    std::string intoWorkbook;
    int sex = 0;
};

// `track`: the landmarks through the video's frames from --from to --to (seconds), every Nth,
// with the pose network (the detector module, loaded for this command only). Each frame with a
// person is written as a lossless picture beside the video (video/VideoFile.h, frameFilePath)
// and becomes one record of the workbook, through the record store (lock, journal, atomic save),
// the picture first: a frame whose picture cannot be written makes no record. Prints the
// sequence as CSV (report/SequenceCsv.h). Frames without a person are reported on `err` and make
// no record. Returns 0 when every frame gave a record, 1 otherwise; throws pondera::Error when
// the video, the network or the workbook cannot be used.
int trackVideo(const TrackOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pondera::tool
