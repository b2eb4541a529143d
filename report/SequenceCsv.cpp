#include "report/SequenceCsv.h"

#include "motion/Motion.h"
#include "report/AtomicWrite.h"
#include "report/CsvWriter.h"

namespace pondera::report {

QByteArray sequenceCsv(const std::vector<SequenceSample> &samples, const SequenceOptions &options) {
    const bool metres = options.metresPerPixel > 0;
    // Velocity over the frames with a person, filtered when there are enough of them.
    std::vector<double> times, xs, zs;
    std::vector<size_t> rowOf;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (!samples[i].found) continue;
        const double scale = metres ? options.metresPerPixel : 1.0;
        times.push_back(samples[i].time);
        xs.push_back(samples[i].cogX * scale);
        zs.push_back(samples[i].cogZ * scale);
        rowOf.push_back(i);
    }
    if (options.cutoffHz > 0 && times.size() >= 3) {
        const double span = times.back() - times.front();
        const double rate = span > 0 ? static_cast<double>(times.size() - 1) / span : 0;
        // A cut-off at or above half the sampling rate leaves nothing to filter.
        if (options.cutoffHz < rate / 2) {
            xs = motion::lowPass(times, xs, options.cutoffHz);
            zs = motion::lowPass(times, zs, options.cutoffHz);
        }
    }
    const std::vector<double> vx = motion::derivative(times, xs),
                              vz = motion::derivative(times, zs);
    std::vector<int> velocityRow(samples.size(), -1);
    for (size_t k = 0; k < rowOf.size(); ++k)
        velocityRow[rowOf[k]] = static_cast<int>(k);

    std::string out(kCsvByteOrderMark);
    const std::string unit = metres ? " (m/s)" : " (px/s)";
    CsvRow head(out);
    head.text("time (s)")
        .text("frame")
        .text("COG x (px)")
        .text("COG z (px)")
        .text("COG x (m)")
        .text("COG z (m)")
        .text("COG velocity x" + unit)
        .text("COG velocity z" + unit)
        .text("landmarks to check");
    head.end();
    for (size_t i = 0; i < samples.size(); ++i) {
        const SequenceSample &s = samples[i];
        CsvRow row(out);
        row.num(s.time).num(static_cast<long long>(s.frame));
        if (!s.found) {
            for (int k = 0; k < 7; ++k)
                row.empty();
            row.end();
            continue;
        }
        row.num(s.cogX).num(s.cogZ);
        if (metres)
            row.num(s.cogX * options.metresPerPixel).num(s.cogZ * options.metresPerPixel);
        else
            row.empty().empty();
        const int k = velocityRow[i];
        if (times.size() >= 2)
            row.num(vx[static_cast<size_t>(k)]).num(vz[static_cast<size_t>(k)]);
        else
            row.empty().empty();
        std::string check;
        for (int c : s.check)
            check += (check.empty() ? "" : " ") + std::to_string(c);
        row.text(check);
        row.end();
    }
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

void exportSequenceCsv(const QString &path, const std::vector<SequenceSample> &samples,
                       const SequenceOptions &options) {
    writeFileAtomically(path, sequenceCsv(samples, options));
}

}  // namespace pondera::report
