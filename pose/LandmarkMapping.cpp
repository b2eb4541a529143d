#include "pose/LandmarkMapping.h"

#include <algorithm>
#include <cmath>

#include "model/PictureFrame.h"

namespace pose {

const std::array<MappingEntry, kLandmarkCount> kLandmarkTable = {{
    {0, Rule::kHeadTop, kRightEar, kLeftEar, kRightShoulder, kLeftShoulder, 0},
    {1, Rule::kBeyond, kMouthRight, kMouthLeft, kRightEye, kLeftEye, kChinBeyondMouth},
    // Sternum and pubis as midpoints: right for a front or back view; in a side view they land
    // behind their true place and the user moves them.
    {2, Rule::kMidpoint, kRightShoulder, kLeftShoulder, 0, 0, 0},
    {3, Rule::kMidpoint, kRightHip, kLeftHip, 0, 0, 0},
    {4, Rule::kDirect, kRightShoulder, kRightShoulder, 0, 0, 0},
    {5, Rule::kDirect, kRightElbow, kRightElbow, 0, 0, 0},
    {6, Rule::kDirect, kRightWrist, kRightWrist, 0, 0, 0},
    {7, Rule::kBeyond, kRightPinky, kRightIndex, kRightWrist, kRightWrist, kFingerBeyondKnuckles},
    {8, Rule::kDirect, kLeftShoulder, kLeftShoulder, 0, 0, 0},
    {9, Rule::kDirect, kLeftElbow, kLeftElbow, 0, 0, 0},
    {10, Rule::kDirect, kLeftWrist, kLeftWrist, 0, 0, 0},
    {11, Rule::kBeyond, kLeftPinky, kLeftIndex, kLeftWrist, kLeftWrist, kFingerBeyondKnuckles},
    {12, Rule::kDirect, kRightHip, kRightHip, 0, 0, 0},
    {13, Rule::kDirect, kRightKnee, kRightKnee, 0, 0, 0},
    {14, Rule::kDirect, kRightAnkle, kRightAnkle, 0, 0, 0},
    {15, Rule::kDirect, kRightHeel, kRightHeel, 0, 0, 0},
    {16, Rule::kDirect, kRightToe, kRightToe, 0, 0, 0},
    {17, Rule::kDirect, kLeftHip, kLeftHip, 0, 0, 0},
    {18, Rule::kDirect, kLeftKnee, kLeftKnee, 0, 0, 0},
    {19, Rule::kDirect, kLeftAnkle, kLeftAnkle, 0, 0, 0},
    {20, Rule::kDirect, kLeftHeel, kLeftHeel, 0, 0, 0},
    {21, Rule::kDirect, kLeftToe, kLeftToe, 0, 0, 0},
}};

namespace {

cv::Point2f mid(const NetworkPose &pose, int a, int b) {
    return (pose.points[a].pos + pose.points[b].pos) * 0.5f;
}

float norm(cv::Point2f v) {
    return std::hypot(v.x, v.y);
}

bool isPerson(const Segmentation &mask, cv::Point2f p) {
    return mask.at(p) >= kPersonPixel;
}

// Walks from the ears away from the shoulders, one pixel per step, through a head-wide corridor;
// the head ends at the first cross-section without a person pixel. Returns false when the
// segmentation gives no head there.
bool findHeadTop(const NetworkPose &pose, const MappingEntry &e, cv::Point2f &top) {
    const Segmentation &mask = pose.segmentation;
    if (mask.empty()) return false;
    const cv::Point2f ears = mid(pose, e.a, e.b), shoulders = mid(pose, e.c, e.d);
    const cv::Point2f neck = ears - shoulders;
    const float neckLength = norm(neck);
    if (!(neckLength >= 1.0f)) return false;
    const cv::Point2f along = neck / neckLength, across(-along.y, along.x);
    const float headWidth =
        std::max(norm(pose.points[e.a].pos - pose.points[e.b].pos),
                 kHeadWidthOfShoulders * norm(pose.points[e.c].pos - pose.points[e.d].pos));
    const int half = std::max(1, int(std::lround(kHeadCorridorWidths * headWidth / 2)));
    const int reach = int(std::ceil(kHeadSearchNecks * neckLength));

    bool found = false;
    for (int t = 0; t <= reach; ++t) {
        const cv::Point2f axis = ears + along * float(t);
        float sum = 0;
        int count = 0;
        for (int s = -half; s <= half; ++s) {
            if (isPerson(mask, axis + across * float(s))) sum += float(s), ++count;
        }
        if (count == 0) break;
        // Centre of the person pixels across the corridor, so a tilted head keeps its crown.
        top = axis + across * (sum / float(count));
        found = true;
    }
    return found;
}

}  // namespace

std::array<LandmarkGuess, kLandmarkCount> mapToLandmarks(const NetworkPose &pose) {
    std::array<LandmarkGuess, kLandmarkCount> out{};
    for (const MappingEntry &e : kLandmarkTable) {
        LandmarkGuess &g = out[e.landmark];
        g.derived = e.rule != Rule::kDirect;
        g.confidence = std::min(pose.points[e.a].visibility, pose.points[e.b].visibility);
        if (e.rule == Rule::kBeyond || e.rule == Rule::kHeadTop) {
            g.confidence =
                std::min({g.confidence, pose.points[e.c].visibility, pose.points[e.d].visibility});
        }
        if (e.rule == Rule::kHeadTop) {
            if (!findHeadTop(pose, e, g.pos)) {
                const cv::Point2f ears = mid(pose, e.a, e.b);
                g.pos = ears + (ears - mid(pose, e.c, e.d)) * kHeadTopFallbackNecks;
                g.confidence *= kFallbackConfidenceFactor;
            }
        } else {
            const cv::Point2f base = mid(pose, e.a, e.b);
            g.pos = e.rule == Rule::kBeyond ? base + (base - mid(pose, e.c, e.d)) * e.factor : base;
        }
        // The network extrapolates points it cannot see, past the picture's edge too: such a point
        // is a guess, however sure the network says it is.
        const bool offPicture =
            !pose.picture.empty() &&
            !cv::Rect2f(0, 0, float(pose.picture.width), float(pose.picture.height))
                 .contains(g.pos);
        g.needsCheck = g.derived || g.confidence < kCheckBelowConfidence || offPicture;
    }
    return out;
}

ModelPoint toModelFrame(cv::Point2f picturePoint, int pictureHeight) {
    const int areaHeight = pondera::FrameForPicture(0, pictureHeight).height;
    return {picturePoint.x, float(pondera::ModelZFromPictureY(picturePoint.y, areaHeight))};
}

}  // namespace pose
