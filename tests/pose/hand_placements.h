// Landmarks placed by hand on photographs of Debian's opencv-doc, picture pixels, landmark order
// 0-21, and the accuracy measure the detector tests share.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

#include <opencv2/core.hpp>

#include "pose/LandmarkMapping.h"

namespace posetest {

// Landmarks placed by hand on the photographs, picture pixels, landmark order 0-21.
using Expected = std::array<cv::Point2f, pose::kLandmarkCount>;

// messi5.jpg (548 x 342): a footballer striking the ball, standing on his right leg.
inline const Expected kFootballer = {
    {{245, 63},  {244, 131}, {238, 134}, {272, 243}, {200, 130}, {157, 131}, {100, 102}, {70, 89},
     {277, 124}, {305, 146}, {348, 163}, {378, 166}, {250, 245}, {232, 285}, {285, 315}, {303, 329},
     {254, 331}, {292, 228}, {363, 249}, {421, 266}, {425, 274}, {452, 282}}};
// basketball1.png, left 300 columns (300 x 480): a man standing, holding a ball before his chest.
inline const Expected kStanding = {
    {{81, 81},   {92, 136},  {80, 152},  {88, 292},  {48, 162},  {88, 208}, {128, 166}, {152, 150},
     {114, 166}, {149, 210}, {159, 168}, {160, 145}, {66, 288},  {68, 371}, {66, 446},  {64, 455},
     {71, 477},  {108, 287}, {120, 368}, {118, 440}, {112, 455}, {150, 466}}};

inline float dist(cv::Point2f a, cv::Point2f b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The person's height as the length of the body along its landmarks (vertex, chin, sternum, pubis,
// then the longer leg down to the heel), so a crouching person is not taken for a short one.
inline float bodyHeight(const Expected &e) {
    const float trunk = dist(e[0], e[1]) + dist(e[1], e[2]) + dist(e[2], e[3]);
    const float right = dist(e[12], e[13]) + dist(e[13], e[14]) + dist(e[14], e[15]);
    const float left = dist(e[17], e[18]) + dist(e[18], e[19]) + dist(e[19], e[20]);
    return trunk + std::max(right, left);
}

// The accuracy goal: within this share of the body height, or marked for checking.
inline constexpr float kAccuracyShare = 0.06f;

}  // namespace posetest
