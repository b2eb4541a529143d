// Results of the pose network, in picture pixels (x right, y down, pixel (i, j) covers [i, i+1) ×
// [j, j+1)).
#pragma once

#include <array>
#include <stdexcept>
#include <string>

#include <opencv2/core.hpp>

namespace pose {

// The network's 33 body points: 0 nose, 1-6 eyes, 7/8 ears, 9/10 mouth, 11/12 shoulders, 13/14
// elbows, 15/16 wrists, 17/18 pinky knuckles, 19/20 index knuckles, 21/22 thumbs, 23/24 hips, 25/26
// knees, 27/28 ankles, 29/30 heels, 31/32 toe tips; odd numbers are the subject's left side.
inline constexpr int kBodyPoints = 33;

enum BodyPointIndex : int {
    kNose = 0,
    kLeftEye = 2,
    kRightEye = 5,
    kLeftEar = 7,
    kRightEar = 8,
    kMouthLeft = 9,
    kMouthRight = 10,
    kLeftShoulder = 11,
    kRightShoulder = 12,
    kLeftElbow = 13,
    kRightElbow = 14,
    kLeftWrist = 15,
    kRightWrist = 16,
    kLeftPinky = 17,
    kRightPinky = 18,
    kLeftIndex = 19,
    kRightIndex = 20,
    kLeftHip = 23,
    kRightHip = 24,
    kLeftKnee = 25,
    kRightKnee = 26,
    kLeftAnkle = 27,
    kRightAnkle = 28,
    kLeftHeel = 29,
    kRightHeel = 30,
    kLeftToe = 31,
    kRightToe = 32,
};

struct BodyPoint {
    cv::Point2f pos;
    float visibility =
        0;  // probability that the point is visible, not hidden or outside the picture
};

// The network's person segmentation: a map of person probability × 255 (CV_8U) and the affine map
// from picture pixels to it. The detector keeps the network's own 256 × 256 map, so that a large
// photo costs no full-size mask; render() gives one when it is wanted.
struct Segmentation {
    cv::Mat map;
    cv::Matx23d pictureToMap = cv::Matx23d(1, 0, 0, 0, 1, 0);

    bool empty() const { return map.empty(); }
    // Probability × 255 at a picture point (nearest map pixel); 0 outside the map.
    int at(cv::Point2f picture) const;
    // The map in picture pixels, for a picture of the given size.
    cv::Mat render(cv::Size picture) const;
};

struct NetworkPose {
    std::array<BodyPoint, kBodyPoints> points{};
    float poseFlag = 0;  // probability that a person is in the picture
    bool personFound = false;
    Segmentation segmentation;
    // The size of the picture the points belong to; empty when it is not known.
    cv::Size picture;
    // How many people the person detector saw (0 also when the picture went to the landmark
    // network whole because it saw none).
    int peopleSeen = 0;
};

// Bad input, an unreadable network file or a network that does not give the expected outputs.
class PoseError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace pose
