#include "track/Tracker.h"

#include <QLibrary>
#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "pose/PoseModule.h"

namespace pondera::track {

struct ModuleDetector::Impl {
    QLibrary library;
    PonderaPoseTrack track = nullptr;
    PonderaPoseClose close = nullptr;
    void *detector = nullptr;
};

ModuleDetector::ModuleDetector(const std::filesystem::path &module,
                               const std::filesystem::path &network)
    : impl_(std::make_unique<Impl>()) {
    impl_->library.setFileName(QString::fromStdString(module.string()));
    const auto open =
        reinterpret_cast<PonderaPoseOpen>(impl_->library.resolve("pondera_pose_open"));
    impl_->track = reinterpret_cast<PonderaPoseTrack>(impl_->library.resolve("pondera_pose_track"));
    impl_->close = reinterpret_cast<PonderaPoseClose>(impl_->library.resolve("pondera_pose_close"));
    if (!open || !impl_->track || !impl_->close)
        throw Error(kErrFileAccess,
                    "The detector module " + module.string() +
                        " cannot be loaded: " + impl_->library.errorString().toStdString() + ".");
    char error[512] = {};
    impl_->detector = open(network.c_str(), error, sizeof error);
    if (!impl_->detector)
        throw Error(kErrFileAccess,
                    std::string("The pose network cannot be loaded: ") + error + ".");
}

ModuleDetector::~ModuleDetector() {
    if (impl_->detector) impl_->close(impl_->detector);
    // The module stays loaded until the process ends: OpenCV's threads may outlive the detector.
}

FramePose ModuleDetector::detect(const QImage &frame, const Region &from, Region &next) {
    // Qt's 32-bit RGB lies in memory as B, G, R, unused: the module's pixel layout.
    const QImage pixels = frame.convertToFormat(QImage::Format_RGB32);
    const PonderaPoseRegion start{from.centreX, from.centreY, from.side, from.upX, from.upY};
    PonderaPoseRegion following{};
    PonderaPoseResult result{};
    impl_->track(impl_->detector, pixels.constBits(), pixels.width(), pixels.height(),
                 static_cast<int>(pixels.bytesPerLine()), &start, &following, &result);
    if (result.outcome == 2)
        throw Error(kErrFileAccess, std::string("Landmark detection failed: ") + result.message);
    FramePose pose;
    pose.poseFlag = result.poseFlag;
    next = {};
    if (result.outcome != 0) return pose;
    pose.found = true;
    for (int i = 0; i < kLandmarks; ++i) {
        pose.x[i] = result.x[i];
        pose.y[i] = result.y[i];
        pose.needsCheck[i] = result.needsCheck[i] != 0;
    }
    next = {following.centreX, following.centreY, following.side, following.upX, following.upY};
    return pose;
}

std::vector<int64_t> framesOf(const video::VideoFile &video, const TrackRange &range) {
    const int64_t last = range.to < 0 ? video.frameCount() - 1 : range.to;
    if (range.every < 1 || range.from < 0 || range.from > last || last >= video.frameCount())
        throw Error(kErrSubscript, "Frames " + std::to_string(range.from) + " to " +
                                       std::to_string(last) + " every " +
                                       std::to_string(range.every) + " do not lie in the video " +
                                       video.path() + " (frames 0 to " +
                                       std::to_string(video.frameCount() - 1) + ").");
    std::vector<int64_t> frames;
    for (int64_t f = range.from; f <= last; f += range.every)
        frames.push_back(f);
    return frames;
}

TrackResult trackVideo(video::VideoFile &video, FrameDetector &detector, const TrackRange &range,
                       const Progress &progress, const std::atomic<bool> *cancel,
                       const FrameSink &sink) {
    const std::vector<int64_t> frames = framesOf(video, range);
    TrackResult result;
    Region region;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (cancel && cancel->load()) {
            result.cancelled = true;
            break;
        }
        const QImage picture = video.frame(frames[i]);
        TrackedFrame tracked;
        tracked.frame = frames[i];
        tracked.time = video.frameTime(frames[i]);
        tracked.width = picture.width();
        tracked.height = picture.height();
        Region next;
        tracked.pose = detector.detect(picture, region, next);
        if (!tracked.pose.found && !region.empty()) {
            // The person left the region (the pose flag dropped): look at the whole frame again.
            tracked.pose = detector.detect(picture, Region{}, next);
            tracked.redetected = true;
        }
        region = tracked.pose.found ? next : Region{};
        if (sink) sink(tracked, picture);
        result.frames.push_back(tracked);
        if (progress) progress(static_cast<int64_t>(i) + 1, static_cast<int64_t>(frames.size()));
    }
    return result;
}

Cog modelPoint(const TrackedFrame &frame, int landmark) {
    const int areaHeight = std::max(481, frame.height + 1);
    return {std::floor(frame.pose.x[landmark]), areaHeight - std::floor(frame.pose.y[landmark])};
}

std::optional<Cog> bodyCentre(const TrackedFrame &frame, int sex) {
    if (!frame.pose.found) return std::nullopt;
    ClassLANDMARK landMarks;
    for (int i = 0; i < kLandmarks; ++i) {
        const Cog p = modelPoint(frame, i);
        landMarks.SetLandMarkX(static_cast<int16_t>(i), static_cast<float>(p.x));
        landMarks.SetLandMarkY(static_cast<int16_t>(i), 0);
        landMarks.SetLandMarkZ(static_cast<int16_t>(i), static_cast<float>(p.z));
    }
    ClassSEGMENT segment(landMarks);
    segment.SetSex(static_cast<int16_t>(sex));
    segment.CalcCOGB();
    return Cog{segment.GetCOGBX(), segment.GetCOGBZ()};
}

}  // namespace pondera::track
