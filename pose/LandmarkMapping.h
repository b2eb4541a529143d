// From the network's 33 body points to the program's 22 landmarks (numbered as in
// model/ClassLANDMARK: 0 vertex, 1 chin, 2 sternum, 3 pubis, 4-7 right shoulder/elbow/wrist/finger,
// 8-11 the same on the left, 12-16 right hip/knee/ankle/heel/foot, 17-21 the same on the left).
// Sides are the subject's.
#pragma once

#include <array>

#include <opencv2/core.hpp>

#include "pose/PoseTypes.h"

namespace pose {

inline constexpr int kLandmarkCount = 22;

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

// Why a landmark is marked for checking; a landmark may have several reasons.
enum Doubt : unsigned {
    kDoubtLowVisibility = 1u << 0,  // the network's visibility below kCheckBelowConfidence
    kDoubtOffPicture = 1u << 1,     // beyond the picture's edge: the network extrapolated it
    kDoubtOffPerson = 1u << 2,    // outside the person's segmentation by more than kOffPersonPixels
    kDoubtFoot = 1u << 3,         // the foot's heel, ankle and toe do not make a foot
    kDoubtLimbLengths = 1u << 4,  // a limb segment far longer than its partner on the other side
    kDoubtSources = 1u << 5,      // derived from points that are themselves in doubt
    kDoubtDerived = 1u << 6,      // made by a rough rule of proportion, not seen by the network
};

// A joint lies inside the person and a body end (toe, heel) on the silhouette's edge; farther out
// than this many pixels of the segmentation map (its own 256 × 256 grid over the crop, about 0.5 %
// of stature each), beyond the uncertainty of the map's edge, the point lies on the background, so
// the network has misplaced it.
inline constexpr int kOffPersonPixels = 1;
// A toe is farther from the ankle than the heel in every foot posture (the heel sits just behind
// and below the ankle, the toe a foot's length ahead), unless seen exactly end-on: this margin
// (share of the heel's distance) leaves room for that view before the foot is doubted.
inline constexpr float kToeBeyondHeel = 1.0f;
// The foot is about 15 % of stature long. Seen from the side it shows that length; foreshortening
// only shortens it, so a foot longer than this share of stature is misplaced...
inline constexpr float kFootMaxShare = 0.22f;
// ...and one shorter than this share, when the other foot shows a full length, is one whose end
// the network lost (both short is a view from the front).
inline constexpr float kFootMinShare = 0.05f;
inline constexpr float kFootFullShare = 0.10f;
// Stature from the landmarks the network places directly: hip joint to ankle is about 49 % of
// stature, shoulder to hip joint about 29 % (adult proportions); the larger estimate is the least
// shortened by bending or foreshortening.
inline constexpr float kLegShareOfStature = 0.49f;
inline constexpr float kTrunkShareOfStature = 0.29f;
// Left and right upper arms, forearms, thighs and shanks are of one length. A limb pointing at
// the camera looks shorter, but rarely less than half its partner while the network still sees
// both ends; beyond this ratio one of the two is misplaced and both far ends are worth a look.
inline constexpr float kLimbLengthRatio = 2.0f;

extern const std::array<MappingEntry, kLandmarkCount> kLandmarkTable;

struct LandmarkGuess {
    cv::Point2f pos;          // picture pixels
    float confidence = 0;     // 0 to 1: the smallest visibility of the points it comes from
    bool derived = false;     // made by a rule, not a network point of its own
    unsigned doubts = 0;      // Doubt bits
    bool needsCheck = false;  // doubts != 0: the user should confirm it
};

// Requires pose.personFound; the segmentation may be empty (the vertex then uses its fallback, and
// no point is doubted for lying off the person).
std::array<LandmarkGuess, kLandmarkCount> mapToLandmarks(const NetworkPose &pose);

// Stature in picture pixels estimated from the network's points (see kLegShareOfStature).
float estimatedStature(const NetworkPose &pose);

// Picture pixels to the program's model frame: x unchanged, z = area height - y, where the picture
// area is max(481, picture height + 1) pixels high.
struct ModelPoint {
    float x = 0, z = 0;
};
ModelPoint toModelFrame(cv::Point2f picturePoint, int pictureHeight);

}  // namespace pose
