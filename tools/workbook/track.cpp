#include "tools/workbook/track.h"

#include <memory>

#include "base/error.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "pose/ModelLocation.h"
#include "report/SequenceCsv.h"
#include "store/records/ClassEXCEL.h"
#include "tools/workbook/detect.h"
#include "track/Tracker.h"
#include "video/VideoFile.h"

namespace pondera::tool {

int trackVideo(const TrackOptions &options, std::ostream &out, std::ostream &err) {
    video::VideoFile video(options.video);
    if (options.fromSeconds >= video.info().duration)
        throw Error(kErrSubscript, "--from " + std::to_string(options.fromSeconds) +
                                       " s lies beyond the end of " + options.video + " (" +
                                       std::to_string(video.info().duration) + " s)");
    track::TrackRange range;
    range.from = video.frameAt(options.fromSeconds);
    range.to = options.toSeconds < 0 ? -1 : video.frameAt(options.toSeconds);
    range.every = options.every;
    track::framesOf(video, range);  // a range outside the video is refused before anything else

    const pose::ModelLocation model = pose::locateModel();
    if (!model.found())
        throw Error(kErrFileAccess, "landmark detection is not available: " + model.whyMissing);
    const auto module = pose::locateModule();
    if (module.empty())
        throw Error(kErrFileAccess, std::string("landmark detection is not available: the detector "
                                                "module ") +
                                        pose::kPoseModuleFileName + " is not installed");
    track::ModuleDetector detector(module, model.file);

    ClassLANDMARK landMark;
    ClassSEGMENT segment(landMark);
    const std::string folder = workbookFolder(options.intoWorkbook);
    std::unique_ptr<ClassEXCEL> store;
    try {
        store = std::make_unique<ClassEXCEL>(landMark, segment, ClassEXCEL::Options{folder, {}});
    } catch (const Error &e) {
        throw Error(e.number(), "cannot append to the workbook in " + folder +
                                    " (is pondera2d running there?): " + e.what());
    }
    for (const std::string &notice : store->TakeNotices())
        err << "pondera2d-workbook: " << notice << "\n";

    std::vector<report::SequenceSample> samples;
    int missing = 0;
    auto addRecord = [&](const track::TrackedFrame &f, const QImage &picture) {
        report::SequenceSample sample;
        sample.time = f.time;
        sample.frame = f.frame;
        if (!f.pose.found) {
            err << "pondera2d-workbook: " << options.video << ": frame " << f.frame
                << ": no person found (pose flag " << f.pose.poseFlag << ")\n";
            ++missing;
            samples.push_back(sample);
            return;
        }
        // The picture first: a record never names a frame file that is not complete on disk.
        const std::string path = video::writeFrameImage(options.video, f.frame, picture);
        store->AddCode();
        store->PutPictureName(path);
        store->PutSex(static_cast<int16_t>(options.sex));
        store::CheckMarks marks{};
        for (int16_t i = 0; i < track::kLandmarks; ++i) {
            const track::Cog p = track::modelPoint(f, i);
            landMark.SetLandMarkX(i, static_cast<float>(p.x));
            landMark.SetLandMarkY(i, 0);
            landMark.SetLandMarkZ(i, static_cast<float>(p.z));
            store->PutLandMarkX(i, static_cast<float>(p.x));
            store->PutLandMarkZ(i, static_cast<float>(p.z));
            marks[static_cast<size_t>(i)] = f.pose.needsCheck[static_cast<size_t>(i)];
            if (marks[static_cast<size_t>(i)]) sample.check.push_back(i);
        }
        segment.SetSex(static_cast<int16_t>(options.sex));
        segment.CalcCOGB();
        // Kept with the record as for a photo, so the window shows the same "check" marks.
        storeDetectedRecord(*store, segment, marks);
        sample.found = true;
        sample.cogX = segment.GetCOGBX();
        sample.cogZ = segment.GetCOGBZ();
        samples.push_back(sample);
    };
    try {
        track::trackVideo(video, detector, range, {}, nullptr, addRecord);
    } catch (...) {
        // What was committed stays: the store's final save still runs.
        store->Close();
        throw;
    }
    store->Close();
    for (const std::string &notice : store->TakeNotices())
        err << "pondera2d-workbook: " << notice << "\n";
    QByteArray csv = report::sequenceCsv(samples, {});
    csv.remove(0, 3);  // no byte-order mark on a terminal or a pipe
    out.write(csv.constData(), csv.size());
    out.flush();
    return missing == 0 ? 0 : 1;
}

}  // namespace pondera::tool
