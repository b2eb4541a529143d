// The real network: bad input, pictures without a person, damaged network files, and accuracy on
// two photographs against landmarks placed by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include <unistd.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "pose/LandmarkMapping.h"
#include "pose/ModelLocation.h"
#include "pose/PoseDetector.h"
#include "tests/pose/hand_placements.h"

namespace fs = std::filesystem;

namespace {

const std::string kPhotos = POSE_TEST_PHOTOS;

class Detector : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const pose::ModelLocation where = pose::locateModel(POSE_TEST_MODEL_DIR);
        if (!where.found()) {
            skipReason_ = new std::string(where.whyMissing);
            return;
        }
        detector_ = new pose::PoseDetector(where.file);
        modelFile_ = new fs::path(where.file);
    }
    static void TearDownTestSuite() {
        delete detector_;
        delete modelFile_;
        delete skipReason_;
        detector_ = nullptr, modelFile_ = nullptr, skipReason_ = nullptr;
    }
    void SetUp() override {
        if (!detector_) GTEST_SKIP() << "no pose network in this build: " << *skipReason_;
    }
    static cv::Mat photo(const std::string &name, int flags = cv::IMREAD_COLOR) {
        cv::Mat m = cv::imread(kPhotos + "/" + name, flags);
        if (m.empty())
            ADD_FAILURE() << "cannot read " << kPhotos << "/" << name << " (package opencv-doc)";
        return m;
    }
    static pose::PoseDetector *detector_;
    static fs::path *modelFile_;
    static std::string *skipReason_;
};
pose::PoseDetector *Detector::detector_ = nullptr;
fs::path *Detector::modelFile_ = nullptr;
std::string *Detector::skipReason_ = nullptr;

// Refused before any network is involved, so without one too; through detect() when there is one.
TEST(DetectorInput, UnusablePicturesAreRefusedWithAReason) {
    const struct {
        const char *what;
        cv::Mat picture;
        const char *message;
    } cases[] = {
        {"empty", cv::Mat(), "empty"},
        {"1 x 1", cv::Mat(1, 1, CV_8UC3, cv::Scalar(128, 128, 128)), "too small"},
        {"30000 x 20", cv::Mat(20, 30000, CV_8UC3, cv::Scalar(90, 60, 30)), "30000 × 20 pixels"},
        {"16 bits", cv::Mat(480, 640, CV_16UC3, cv::Scalar(0)), "8 bits"},
        {"two channels", cv::Mat(480, 640, CV_8UC2, cv::Scalar(0)), "channels"},
    };
    const pose::ModelLocation where = pose::locateModel(POSE_TEST_MODEL_DIR);
    std::unique_ptr<pose::PoseDetector> detector;
    if (where.found()) detector = std::make_unique<pose::PoseDetector>(where.file);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto expectRefused = [&](auto &&use) {
            try {
                use();
                ADD_FAILURE() << "accepted";
            } catch (const pose::PoseError &e) {
                EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            }
        };
        expectRefused([&] { pose::UsablePicture(c.picture); });
        if (detector) expectRefused([&] { detector->detect(c.picture); });
    }
}

TEST_F(Detector, PicturesWithoutAPersonFindNone) {
    const struct {
        const char *what;
        cv::Mat picture;
    } cases[] = {
        {"all black", cv::Mat::zeros(480, 640, CV_8UC3)},
        {"fruit", photo("fruits.jpg")},
        {"a building", photo("building.jpg")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const pose::NetworkPose p = detector_->detect(c.picture);
        EXPECT_FALSE(p.personFound);
        EXPECT_LT(p.poseFlag, pose::kPersonThreshold);
    }
}

// Damaged network files fail when loaded, with the file named, never later or with a crash.
TEST(DetectorModel, DamagedNetworkFilesAreRefused) {
    const fs::path dir =
        fs::temp_directory_path() / ("pose-model-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto write = [&](const char *name, const std::string &bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    };
    std::mt19937 rng(7);
    std::string noise(200000, '\0');
    for (char &c : noise)
        c = char(rng());
    std::vector<fs::path> files = {dir / "missing.onnx", write("empty.onnx", ""),
                                   write("noise.onnx", noise),
                                   write("text.onnx", "not a network\n")};
    const pose::ModelLocation real = pose::locateModel(POSE_TEST_MODEL_DIR);
    if (real.found()) {
        std::ifstream in(real.file, std::ios::binary);
        std::string head(1 << 20, '\0');
        in.read(head.data(), std::streamsize(head.size()));
        files.push_back(write("truncated.onnx", head));
    }
    for (const fs::path &f : files) {
        SCOPED_TRACE(f.filename().string());
        auto expectRefused = [&](auto &&load, const char *which) {
            try {
                load();
                ADD_FAILURE() << "loaded as the " << which;
            } catch (const pose::PoseError &e) {
                EXPECT_NE(std::string(e.what()).find(f.string()), std::string::npos) << e.what();
            }
        };
        expectRefused([&] { pose::PoseDetector d(f); }, "landmark network");
        // The person detector damaged beside a sound landmark network.
        if (real.found())
            expectRefused([&] { pose::PoseDetector d(real.file, f); }, "person detector");
    }
    fs::remove_all(dir);
}

using posetest::bodyHeight;
using posetest::dist;
using posetest::Expected;
using posetest::kAccuracyShare;
using posetest::kFootballer;
using posetest::kStanding;

// Every landmark within 6 % of the body height of its hand placement, or marked for the user to
// check; a landmark listed as a known miss only within its bound.
struct Miss {
    int landmark;
    float share;  // of the body height
};

void expectAccurate(const std::array<pose::LandmarkGuess, pose::kLandmarkCount> &got,
                    const Expected &want, float scale,
                    std::initializer_list<Miss> knownMisses = {}) {
    const float height = bodyHeight(want) * scale;
    for (int i = 0; i < pose::kLandmarkCount; ++i) {
        float share = kAccuracyShare;
        for (const Miss &m : knownMisses) {
            if (m.landmark == i) share = m.share;
        }
        const float error = dist(got[i].pos, want[i] * scale);
        if (got[i].needsCheck && share == kAccuracyShare) continue;
        EXPECT_LE(error, share * height)
            << "landmark " << i << " at (" << got[i].pos.x << ", " << got[i].pos.y
            << "), placed by hand at (" << want[i].x * scale << ", " << want[i].y * scale
            << "), not marked for checking: " << error / height * 100 << " % of the body height "
            << height;
    }
}

TEST_F(Detector, StandingManMatchesTheHandPlacedLandmarks) {
    const cv::Mat left = photo("basketball1.png")(cv::Rect(0, 0, 300, 480)).clone();
    const pose::NetworkPose p = detector_->detect(left);
    ASSERT_TRUE(p.personFound) << "pose flag " << p.poseFlag;
    // The segmentation, in picture pixels: the shirt below the sternum is the person, the door is
    // not.
    const cv::Mat mask = p.segmentation.render(left.size());
    ASSERT_EQ(mask.size(), left.size());
    EXPECT_GE(mask.at<uchar>(200, 80), pose::kPersonPixel);
    EXPECT_LT(mask.at<uchar>(250, 250), pose::kPersonPixel);
    EXPECT_EQ(p.segmentation.at({80, 200}) >= pose::kPersonPixel, true);
    expectAccurate(pose::mapToLandmarks(p), kStanding, 1.0f);
}

// The network takes the planted right foot as pointing at the camera: its toe lands on the grass
// below the boot (10 % of the body height off), and the left toe above the boot (6 %). Both lie
// off the person's segmentation, so both are marked.
TEST_F(Detector, FootballerMatchesTheHandPlacedLandmarks) {
    const cv::Mat picture = photo("messi5.jpg");
    const pose::NetworkPose p = detector_->detect(picture);
    ASSERT_TRUE(p.personFound) << "pose flag " << p.poseFlag;
    const auto guesses = pose::mapToLandmarks(p);
    expectAccurate(guesses, kFootballer, 1.0f);
    EXPECT_TRUE(guesses[16].doubts & pose::kDoubtOffPerson);
    EXPECT_TRUE(guesses[21].doubts & pose::kDoubtOffPerson);
}

// The whole photo: the man on the left whole, a second person cut off at the right edge. The
// person stage picks the whole man.
TEST_F(Detector, WholePictureOfTwoPeopleFindsTheOneWhollyInside) {
    const cv::Mat picture = photo("basketball1.png");
    const pose::NetworkPose p = detector_->detect(picture);
    ASSERT_TRUE(p.personFound) << "pose flag " << p.poseFlag;
    expectAccurate(pose::mapToLandmarks(p), kStanding, 1.0f);
}

// The person under a point: either man of basketball1.png, nobody on the wall; a point off the
// picture is refused with the reason.
TEST_F(Detector, DetectAtTakesThePersonUnderThePoint) {
    const cv::Mat picture = photo("basketball1.png");
    pose::NetworkPose p = detector_->detectAt(picture, {90, 250});
    ASSERT_TRUE(p.personFound);
    expectAccurate(pose::mapToLandmarks(p), kStanding, 1.0f);
    p = detector_->detectAt(picture, {560, 250});
    ASSERT_TRUE(p.personFound) << "the man cut off at the right edge";
    EXPECT_GT(pose::mapToLandmarks(p)[2].pos.x, 450) << "his sternum";
    EXPECT_FALSE(detector_->detectAt(picture, {300, 200}).personFound);
    for (cv::Point2f outside : {cv::Point2f(640, 10), cv::Point2f(10, -1), cv::Point2f(1e9f, 0)}) {
        try {
            detector_->detectAt(picture, outside);
            ADD_FAILURE() << "accepted " << outside;
        } catch (const pose::PoseError &e) {
            EXPECT_NE(std::string(e.what()).find("outside the picture"), std::string::npos);
        }
    }
}

// A large photo takes the shrinking path and a grey one the channel conversion: the person's
// landmarks stay where the ordinary picture puts them (within 1.5 % of the body height; resampling
// alone moves the network's points a little).
TEST_F(Detector, LargeAndGreyPicturesGiveTheSamePlaces) {
    const cv::Mat picture = photo("messi5.jpg");
    const auto base = pose::mapToLandmarks(detector_->detect(picture));
    cv::Mat big;
    cv::resize(picture, big, {}, 6.0, 6.0, cv::INTER_CUBIC);
    pose::NetworkPose p = detector_->detect(big);
    ASSERT_TRUE(p.personFound);
    const auto large = pose::mapToLandmarks(p);
    const float height = bodyHeight(kFootballer);
    for (int i = 0; i < pose::kLandmarkCount; ++i) {
        // A picture pixel of the small photo covers 6 of the large one: compare the pixels'
        // centres.
        const cv::Point2f scaled = large[i].pos * (1.0f / 6.0f);
        EXPECT_LE(dist(scaled, base[i].pos), 0.015f * height)
            << "landmark " << i << " at (" << scaled.x << ", " << scaled.y
            << ") in the large photo, (" << base[i].pos.x << ", " << base[i].pos.y
            << ") in the photo itself";
    }

    const cv::Mat grey = photo("basketball1.png", cv::IMREAD_GRAYSCALE)(cv::Rect(0, 0, 300, 480));
    p = detector_->detect(grey);
    ASSERT_TRUE(p.personFound);
    expectAccurate(pose::mapToLandmarks(p), kStanding, 1.0f);
}

}  // namespace
