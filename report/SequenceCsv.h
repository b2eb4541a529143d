#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace pondera::report {

// One tracked frame of a sequence: its time and index, the body centre of gravity in the model
// frame (pixels, z upward) when a person was found, and the landmarks to check (their numbers).
struct SequenceSample {
    double time = 0;
    int64_t frame = 0;
    bool found = false;
    double cogX = 0, cogZ = 0;
    std::vector<int> check;
};

struct SequenceOptions {
    double metresPerPixel = 0;  // 0: not calibrated, the metre columns stay empty
    double cutoffHz = 6.0;      // the velocity's low-pass; 0 for the path as tracked
};

// The sequence as CSV, one row per frame after a header: time (s), frame, COG x and z in pixels
// and in metres, the COG's velocity (x and z, from the filtered path; m/s when calibrated, else
// pixels/s, as the header says) and the landmarks to check. Frames without a person keep their
// time and frame with the rest empty; the velocity is taken over the frames with one. UTF-8 with
// a byte-order mark, as every export.
QByteArray sequenceCsv(const std::vector<SequenceSample> &samples, const SequenceOptions &options);

// sequenceCsv written atomically to path; Error(kErrFileAccess) with the reason on failure.
void exportSequenceCsv(const QString &path, const std::vector<SequenceSample> &samples,
                       const SequenceOptions &options);

}  // namespace pondera::report
