// From the network's 33 body points to the program's 22 landmarks (numbered as in
// model/ClassLANDMARK: 0 vertex, 1 chin, 2 sternum, 3 pubis, 4-7 right shoulder/elbow/wrist/finger,
// 8-11 the same on the left, 12-16 right hip/knee/ankle/heel/foot, 17-21 the same on the left).
// Sides are the subject's.
#pragma once

#include <array>

#include <opencv2/core.hpp>

#include "model/BodyFacts.h"
#include "pose/PoseTypes.h"

namespace pose {

inline constexpr int kLandmarkCount = pondera::kLandmarkCount;

// How a landmark is obtained. Every rule except kHeadTop is
//   p = mid(a, b) + factor * (mid(a, b) - mid(c, d)),
// so a direct point is a = b with factor 0 and a midpoint is factor 0.
enum class Rule { kDirect, kMidpoint, kBeyond, kHeadTop };

struct MappingEntry {
    int landmark;
    Rule rule;
    int a, b, c, d;
    float factor;
};

// The chin lies below the mouth by about half the eye-to-mouth distance (a rough rule).
inline constexpr float kChinBeyondMouth = 0.55f;
// The finger tip: the knuckles (pinky and index) sit about halfway from the wrist to the tip of the
// hand, so the tip is as far beyond them as they are from the wrist (a rough rule).
inline constexpr float kFingerBeyondKnuckles = 1.0f;
// Top of the head: the farthest person pixel of the segmentation along mid-shoulder -> mid-ear,
// within a corridor this many head widths wide (the width of the skull about the ears)...
inline constexpr float kHeadCorridorWidths = 1.0f;
// ...where the head's width is the ears' distance, but at least this share of the shoulders' width,
// so a profile view (ears one behind the other) still gets a head-wide corridor...
inline constexpr float kHeadWidthOfShoulders = 0.45f;
// ...searched no farther than this many neck lengths (mid-shoulder to mid-ear) beyond the ears.
inline constexpr float kHeadSearchNecks = 2.0f;
// Without a usable segmentation the vertex is put this many neck lengths above the ears, the usual
// proportion of an adult head, at reduced confidence.
inline constexpr float kHeadTopFallbackNecks = 0.7f;
inline constexpr float kFallbackConfidenceFactor = 0.5f;
// Segmentation values (probability × 255) from which a pixel counts as the person.
inline constexpr int kPersonPixel = 128;
// Points whose visibility is below this are worth a look by the user: in practice they are hidden,
// outside the picture or guessed (feet on a kicking photo came out at 0.6-0.8).
inline constexpr float kCheckBelowConfidence = 0.8f;

extern const std::array<MappingEntry, kLandmarkCount> kLandmarkTable;

struct LandmarkGuess {
    cv::Point2f pos;          // picture pixels
    float confidence = 0;     // 0 to 1: the smallest visibility of the points it comes from
    bool derived = false;     // made by a rule, not a network point of its own
    bool needsCheck = false;  // derived, below kCheckBelowConfidence or off the picture: the user
                              // should confirm it
};

// Requires pose.personFound; the segmentation may be empty (the vertex then uses its fallback).
std::array<LandmarkGuess, kLandmarkCount> mapToLandmarks(const NetworkPose &pose);

// Picture pixels to the program's model frame: x unchanged, z = area height - y, where the picture
// area is max(481, picture height + 1) pixels high.
struct ModelPoint {
    float x = 0, z = 0;
};
ModelPoint toModelFrame(cv::Point2f picturePoint, int pictureHeight);

}  // namespace pose
