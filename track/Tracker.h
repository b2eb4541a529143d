// Landmarks through a range of a video's frames: the pose detector on the first frame, then on
// the region the previous frame's body gives, detecting afresh where the person is lost. No
// widgets; runs on a worker thread, with progress reports and cancellation between frames.
#pragma once

#include <QImage>
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "video/VideoFile.h"

namespace pondera::track {

inline constexpr int kLandmarks = 22;

// The square region the detector's aligned pass looks at (picture pixels); side 0 for none.
struct Region {
    double centreX = 0, centreY = 0, side = 0, upX = 0, upY = -1;
    bool empty() const { return !(side > 0); }
};

struct FramePose {
    bool found = false;
    float poseFlag = 0;
    std::array<float, kLandmarks> x{}, y{};  // picture pixels, x right, y down
    std::array<bool, kLandmarks> needsCheck{};
};

// What tracking asks of a detector: the landmarks on a frame, from a region (empty: the whole
// frame), and the region for the following frame. Errors are pondera::Error.
class FrameDetector {
  public:
    virtual ~FrameDetector() = default;
    virtual FramePose detect(const QImage &frame, const Region &from, Region &next) = 0;
};

// The detector module (libpondera2d-pose.so) loaded at run time, so that a program linking this
// library loads OpenCV only when it tracks. Error 75 with the reason when the module or the
// network cannot be loaded. One detection at a time.
class ModuleDetector : public FrameDetector {
  public:
    ModuleDetector(const std::filesystem::path &module, const std::filesystem::path &network);
    ~ModuleDetector() override;
    FramePose detect(const QImage &frame, const Region &from, Region &next) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

struct TrackRange {
    int64_t from = 0;  // first frame
    int64_t to = -1;   // last frame (included); -1 for the video's last
    int every = 1;     // every Nth frame from the first
};

struct TrackedFrame {
    int64_t frame = 0;
    double time = 0;            // seconds since the video's first frame
    FramePose pose;             // found false: no person on this frame
    bool redetected = false;    // the person was lost in the region and searched for afresh
    int width = 0, height = 0;  // the upright frame's size
};

struct TrackResult {
    std::vector<TrackedFrame> frames;
    bool cancelled = false;  // stopped by the caller; frames holds those done before
};

// Called after each frame with the frames done and the frames in the range; it runs on the
// tracking thread.
using Progress = std::function<void(int64_t done, int64_t total)>;
// Called with each tracked frame and its picture, on the tracking thread (to write the frame's
// file, say); an Error it throws ends the tracking.
using FrameSink = std::function<void(const TrackedFrame &, const QImage &)>;

// The frames the range names in this video; Error 9 for a range outside it or every < 1.
std::vector<int64_t> framesOf(const video::VideoFile &video, const TrackRange &range);

// Tracks the range. cancel (may be null) is read between frames; a set flag ends the run with
// cancelled = true. Errors of the video or the detector are pondera::Error.
TrackResult trackVideo(video::VideoFile &video, FrameDetector &detector, const TrackRange &range,
                       const Progress &progress = {}, const std::atomic<bool> *cancel = nullptr,
                       const FrameSink &sink = {});

// The body centre of gravity of a tracked pose for sex 0 (male) or 1 (female), in the program's
// model frame (x = picture x, z = area height − picture y, the area max(641, W + 1) ×
// max(481, H + 1)), from the landmarks at whole pixels as a click stores them.
struct Cog {
    double x = 0, z = 0;
};
std::optional<Cog> bodyCentre(const TrackedFrame &frame, int sex);
// A landmark in that frame.
Cog modelPoint(const TrackedFrame &frame, int landmark);

}  // namespace pondera::track
