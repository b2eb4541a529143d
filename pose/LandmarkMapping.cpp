#include "pose/LandmarkMapping.h"

#include <algorithm>
#include <cmath>

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

namespace {

float dist(const NetworkPose &pose, int a, int b) {
    return norm(pose.points[a].pos - pose.points[b].pos);
}

bool onPicture(const NetworkPose &pose, cv::Point2f p) {
    return pose.picture.empty() ||
           cv::Rect2f(0, 0, float(pose.picture.width), float(pose.picture.height)).contains(p);
}

// Whether a person pixel of the segmentation lies within kOffPersonPixels map pixels of the point.
bool nearPerson(const Segmentation &mask, cv::Point2f picture) {
    const cv::Matx23d &m = mask.pictureToMap;
    const double x = m(0, 0) * picture.x + m(0, 1) * picture.y + m(0, 2);
    const double y = m(1, 0) * picture.x + m(1, 1) * picture.y + m(1, 2);
    if (!(std::abs(x) < 1e6 && std::abs(y) < 1e6)) return false;
    const int cx = int(std::floor(x)), cy = int(std::floor(y));
    for (int dy = -kOffPersonPixels; dy <= kOffPersonPixels; ++dy) {
        for (int dx = -kOffPersonPixels; dx <= kOffPersonPixels; ++dx) {
            const int u = cx + dx, v = cy + dy;
            if (dx * dx + dy * dy > kOffPersonPixels * kOffPersonPixels) continue;
            if (u < 0 || v < 0 || u >= mask.map.cols || v >= mask.map.rows) continue;
            if (mask.map.at<uchar>(v, u) >= kPersonPixel) return true;
        }
    }
    return false;
}

// Doubts of the network's own points: visibility, picture edge, segmentation.
std::array<unsigned, kBodyPoints> pointDoubts(const NetworkPose &pose) {
    std::array<unsigned, kBodyPoints> d{};
    const bool mask = !pose.segmentation.empty() && pose.segmentation.map.type() == CV_8U;
    for (int i = 0; i < kBodyPoints; ++i) {
        const BodyPoint &p = pose.points[i];
        if (p.visibility < kCheckBelowConfidence) d[i] |= kDoubtLowVisibility;
        if (!onPicture(pose, p.pos)) d[i] |= kDoubtOffPicture;
        if (mask && !nearPerson(pose.segmentation, p.pos)) d[i] |= kDoubtOffPerson;
    }
    return d;
}

struct Foot {
    int ankle, heel, toe;
};
constexpr Foot kFeet[2] = {{kRightAnkle, kRightHeel, kRightToe}, {kLeftAnkle, kLeftHeel, kLeftToe}};

// Signed share of a foot's points along the picture's x about the ankle: +1 when heel and toe lie
// on opposite sides (a foot seen from the side), -1 on one side, 0 when one sits on the ankle.
int heelToeSides(const NetworkPose &pose, const Foot &f) {
    const float heel = pose.points[f.heel].pos.x - pose.points[f.ankle].pos.x;
    const float toe = pose.points[f.toe].pos.x - pose.points[f.ankle].pos.x;
    if (heel == 0 || toe == 0) return 0;
    return (heel < 0) != (toe < 0) ? 1 : -1;
}

void doubtFeet(const NetworkPose &pose, float stature, std::array<unsigned, kBodyPoints> &d) {
    float length[2];
    for (int s = 0; s < 2; ++s)
        length[s] = dist(pose, kFeet[s].heel, kFeet[s].toe);
    for (int s = 0; s < 2; ++s) {
        const Foot &f = kFeet[s], &other = kFeet[1 - s];
        bool implausible =
            dist(pose, f.toe, f.ankle) <= kToeBeyondHeel * dist(pose, f.heel, f.ankle);
        if (stature > 0) {
            implausible =
                implausible || length[s] > kFootMaxShare * stature ||
                (length[s] < kFootMinShare * stature && length[1 - s] >= kFootFullShare * stature);
        }
        // A side view shows both feet with the heel behind the ankle and the toe ahead; a foot
        // with both on one side while the other foot is seen so has lost one of them.
        implausible = implausible || (heelToeSides(pose, f) < 0 && heelToeSides(pose, other) > 0);
        // The network places heel and toe as one foot: one of them beside the person (or the
        // picture) means it misread the foot's direction, and the other end is no surer.
        constexpr unsigned kMisplaced = kDoubtOffPerson | kDoubtOffPicture;
        implausible = implausible || ((d[f.heel] | d[f.toe]) & kMisplaced) != 0;
        if (implausible) d[f.heel] |= kDoubtFoot, d[f.toe] |= kDoubtFoot;
    }
}

void doubtLimbs(const NetworkPose &pose, std::array<unsigned, kBodyPoints> &d) {
    // (proximal, distal) on the right, the left partner is one point lower (odd numbers).
    const std::pair<int, int> segments[] = {{kRightShoulder, kRightElbow},
                                            {kRightElbow, kRightWrist},
                                            {kRightHip, kRightKnee},
                                            {kRightKnee, kRightAnkle}};
    for (auto [a, b] : segments) {
        const float right = dist(pose, a, b), left = dist(pose, a - 1, b - 1);
        const float shorter = std::min(right, left), longer = std::max(right, left);
        // The distal joints: a limb's far end is what the network loses (behind the body, out of
        // the picture); the near end belongs to the pair closer to the trunk, checked on its own.
        if (longer > kLimbLengthRatio * shorter)
            d[b] |= kDoubtLimbLengths, d[b - 1] |= kDoubtLimbLengths;
    }
}

}  // namespace

float estimatedStature(const NetworkPose &pose) {
    const float right = dist(pose, kRightHip, kRightKnee) + dist(pose, kRightKnee, kRightAnkle);
    const float left = dist(pose, kLeftHip, kLeftKnee) + dist(pose, kLeftKnee, kLeftAnkle);
    const float trunk =
        norm(mid(pose, kRightShoulder, kLeftShoulder) - mid(pose, kRightHip, kLeftHip));
    return std::max(std::max(right, left) / kLegShareOfStature, trunk / kTrunkShareOfStature);
}

std::array<LandmarkGuess, kLandmarkCount> mapToLandmarks(const NetworkPose &pose) {
    std::array<unsigned, kBodyPoints> doubts = pointDoubts(pose);
    doubtFeet(pose, estimatedStature(pose), doubts);
    doubtLimbs(pose, doubts);

    std::array<LandmarkGuess, kLandmarkCount> out{};
    for (const MappingEntry &e : kLandmarkTable) {
        LandmarkGuess &g = out[e.landmark];
        g.derived = e.rule != Rule::kDirect;
        g.confidence = std::min(pose.points[e.a].visibility, pose.points[e.b].visibility);
        const bool fourSources = e.rule == Rule::kBeyond || e.rule == Rule::kHeadTop;
        if (fourSources) {
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
        if (g.derived) {
            // A rule of proportion is right for an average body in a front view only, so every
            // derived landmark is worth a look; doubtful sources make it more so.
            g.doubts |= kDoubtDerived;
            unsigned sources = doubts[e.a] | doubts[e.b];
            if (fourSources) sources |= doubts[e.c] | doubts[e.d];
            if (sources) g.doubts |= kDoubtSources;
            if (g.confidence < kCheckBelowConfidence) g.doubts |= kDoubtLowVisibility;
            // The network extrapolates points it cannot see, past the picture's edge too: such a
            // point is a guess, however sure the network says it is.
            if (!onPicture(pose, g.pos)) g.doubts |= kDoubtOffPicture;
        } else {
            g.doubts = doubts[e.a];
        }
        g.needsCheck = g.doubts != 0;
    }
    return out;
}

ModelPoint toModelFrame(cv::Point2f picturePoint, int pictureHeight) {
    const int areaHeight = std::max(481, pictureHeight + 1);
    return {picturePoint.x, float(areaHeight) - picturePoint.y};
}

}  // namespace pose
