// Tracking through video frames: the order of detections, regions, re-detection, progress and
// cancelling with a detector that reads the frames' painted numbers; then the real network on
// the demonstration figure thrown along a parabola.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"
#include "motion/Motion.h"
#include "pose/ModelLocation.h"
#include "tests/support/test_support.h"
#include "tests/video/video_maker.h"
#include "tools/demo-pictures/demo_scene.h"
#include "track/Tracker.h"

using namespace pondera;
using pondera::testing::TempDir;
using pondera::testing::TestVideo;

namespace {

// Finds a "person" on every frame but those it is told to lose in a region, and records what it
// was asked: the frame's painted number and the region it started from.
class FakeDetector : public track::FrameDetector {
  public:
    struct Call {
        int number;
        track::Region from;
    };
    std::vector<Call> calls;
    std::vector<int> lostInRegion;  // frame numbers on which a region finds nothing
    std::function<void(int)> onCall;

    track::FramePose detect(const QImage &frame, const track::Region &from,
                            track::Region &next) override {
        const int number = pondera::testing::readNumber(frame);
        calls.push_back({number, from});
        if (onCall) onCall(number);
        track::FramePose pose;
        if (!from.empty() &&
            std::find(lostInRegion.begin(), lostInRegion.end(), number) != lostInRegion.end())
            return pose;
        pose.found = true;
        pose.poseFlag = 0.99f;
        pose.x.fill(static_cast<float>(number));
        next = {static_cast<double>(number), 0, 100, 0, -1};
        return pose;
    }
};

class Tracking : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir("pondera_track");
        path_ = dir_->file("count.mp4");
        TestVideo clip;
        clip.frames = 40;
        clip.keyframeInterval = 15;
        made_ = encodeVideo(path_, clip,
                            [](int i) { return pondera::testing::numberedFrame(160, 96, i); });
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(made_, ""); }
    static inline TempDir *dir_ = nullptr;
    static inline std::string path_, made_;
};

TEST_F(Tracking, EveryNthFrameFromTheRegionBefore) {
    video::VideoFile v(path_);
    FakeDetector detector;
    detector.lostInRegion = {17};
    std::vector<std::pair<int64_t, int64_t>> reports;
    const track::TrackResult result =
        track::trackVideo(v, detector, {5, 29, 3}, [&](int64_t done, int64_t total) {
            reports.push_back({done, total});
        });
    EXPECT_FALSE(result.cancelled);
    ASSERT_EQ(result.frames.size(), 9u);  // 5, 8, ..., 29
    for (size_t i = 0; i < result.frames.size(); ++i) {
        const track::TrackedFrame &f = result.frames[i];
        EXPECT_EQ(f.frame, 5 + 3 * static_cast<int64_t>(i));
        EXPECT_NEAR(f.time, f.frame / 30.0, 1e-9);
        EXPECT_TRUE(f.pose.found);
        EXPECT_EQ(f.pose.x[0], static_cast<float>(f.frame)) << "the detector saw that frame";
        EXPECT_EQ(f.redetected, f.frame == 17);
        EXPECT_EQ(reports[i], std::make_pair(static_cast<int64_t>(i) + 1, int64_t{9}));
    }
    // The first frame and the lost one are searched whole; every other starts from the region
    // the frame before gave.
    ASSERT_EQ(detector.calls.size(), 10u);
    EXPECT_TRUE(detector.calls[0].from.empty());
    EXPECT_EQ(detector.calls[1].from.centreX, 5);
    EXPECT_EQ(detector.calls[4].number, 17);
    EXPECT_EQ(detector.calls[4].from.centreX, 14);
    EXPECT_EQ(detector.calls[5].number, 17);
    EXPECT_TRUE(detector.calls[5].from.empty());
    EXPECT_EQ(detector.calls[6].from.centreX, 17);
}

TEST_F(Tracking, RangesOutsideTheVideoAreRefused) {
    video::VideoFile v(path_);
    FakeDetector detector;
    for (track::TrackRange bad : {track::TrackRange{-1, 5, 1}, track::TrackRange{10, 40, 1},
                                  track::TrackRange{20, 10, 1}, track::TrackRange{0, 5, 0}})
        EXPECT_EQ(pondera::testing::errorNumberOf([&] { track::trackVideo(v, detector, bad); }),
                  kErrSubscript);
    EXPECT_TRUE(detector.calls.empty());
    EXPECT_EQ(track::framesOf(v, {38, -1, 5}), (std::vector<int64_t>{38}));
}

// On a worker thread, cancelled from this one after the third frame (the worker waits there for
// it, so the test does not depend on the threads' speed): the frames done are kept.
TEST_F(Tracking, CancelFromAnotherThread) {
    video::VideoFile v(path_);
    FakeDetector detector;
    std::atomic<bool> cancel{false};
    std::atomic<int> done{0};
    track::TrackResult result;
    std::thread worker([&] {
        result = track::trackVideo(
            v, detector, {},
            [&](int64_t n, int64_t) {
                done = static_cast<int>(n);
                while (n == 3 && !cancel)
                    std::this_thread::yield();
            },
            &cancel);
    });
    while (done < 3)
        std::this_thread::yield();
    cancel = true;
    worker.join();
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.frames.size(), 3u);
    for (size_t i = 0; i < result.frames.size(); ++i)
        EXPECT_EQ(result.frames[i].frame, static_cast<int64_t>(i));
}

// The demonstration figure (set B) painted 30 frames a second while it moves along a parabola:
// across by 3 pixels a frame, up and down 30 pixels over the second.
DemoLandmarkSet thrown(int frame, int frames) {
    const double u = static_cast<double>(frame) / (frames - 1);
    const int dx = static_cast<int>(std::lround(-45 + 90 * u));
    const int dz = static_cast<int>(std::lround(120 * u * (1 - u))) - 5;
    DemoLandmarkSet set = kDemoSetB;
    for (DemoPoint &p : set)
        p = {p.x + dx, p.z + dz};
    return set;
}

track::Cog paintedCog(const DemoLandmarkSet &set) {
    ClassLANDMARK landMarks;
    for (int i = 0; i < 22; ++i) {
        landMarks.SetLandMarkX(static_cast<int16_t>(i), static_cast<float>(set[i].x));
        landMarks.SetLandMarkZ(static_cast<int16_t>(i), static_cast<float>(set[i].z));
    }
    ClassSEGMENT segment(landMarks);
    segment.SetSex(1);
    segment.CalcCOGB();
    return {segment.GetCOGBX(), segment.GetCOGBZ()};
}

TEST(TrackingTheNetwork, FollowsTheThrownFigure) {
    const pose::ModelLocation model = pose::locateModel(POSE_TEST_MODEL_DIR);
    if (!model.found()) GTEST_SKIP() << "no pose network in this build: " << model.whyMissing;
    TempDir dir("pondera_track");
    const std::string path = dir.file("thrown.mp4");
    constexpr int kFrames = 30;
    TestVideo clip;
    clip.width = demo::kPictureWidth;
    clip.height = demo::kPictureHeight;
    clip.frames = kFrames;
    ASSERT_EQ(
        encodeVideo(path, clip, [](int i) { return demo::renderPicture(thrown(i, kFrames)); }), "");
    video::VideoFile v(path);
    track::ModuleDetector detector(POSE_TEST_MODULE, model.file);
    const track::TrackResult result = track::trackVideo(v, detector, {});
    ASSERT_EQ(result.frames.size(), static_cast<size_t>(kFrames));
    const double stature = kDemoSetB[0].z - kDemoSetB[21].z;
    std::vector<double> times, heights;
    for (const track::TrackedFrame &f : result.frames) {
        ASSERT_TRUE(f.pose.found) << "frame " << f.frame;
        const track::Cog painted = paintedCog(thrown(static_cast<int>(f.frame), kFrames));
        const track::Cog tracked = *track::bodyCentre(f, 1);
        EXPECT_LE(std::hypot(tracked.x - painted.x, tracked.z - painted.z), 0.02 * stature)
            << "frame " << f.frame << ": tracked (" << tracked.x << ", " << tracked.z
            << "), painted (" << painted.x << ", " << painted.z << ")";
        times.push_back(f.time);
        heights.push_back(tracked.z);
    }
    // Calibrated by the painted figure's stature taken as 1.70 m, the filtered tracked centre
    // rises as far as the painted one, to the centimetre.
    const double scale = motion::metresPerPixel(0, 0, 0, stature, 1.70);
    const std::vector<double> smooth = motion::lowPass(times, heights);
    const auto [low, high] = std::minmax_element(smooth.begin(), smooth.end());
    double paintedLow = 1e9, paintedHigh = -1e9;
    for (int i = 0; i < kFrames; ++i) {
        paintedLow = std::min(paintedLow, paintedCog(thrown(i, kFrames)).z);
        paintedHigh = std::max(paintedHigh, paintedCog(thrown(i, kFrames)).z);
    }
    EXPECT_NEAR((*high - *low) * scale, (paintedHigh - paintedLow) * scale, 0.01);
    EXPECT_EQ(std::count_if(result.frames.begin(), result.frames.end(),
                            [](const auto &f) { return f.redetected; }),
              0);
}

}  // namespace
