#include "model/EnglishNames.h"

#include <array>
#include <string>

#include "base/error.h"

namespace pondera {

namespace {

struct Named {
    const char *name;
    BodySide side;
};

constexpr BodySide C = BodySide::kCentre;
constexpr BodySide R = BodySide::kRight;
constexpr BodySide L = BodySide::kLeft;

// Index -1 first, then 0 to 21 in the landmark set's order.
constexpr std::array<Named, 23> kLandMarks{{
    {"centre of gravity", C}, {"top of head", C},  {"chin", C},
    {"sternum", C},           {"pubis", C},        {"right shoulder", R},
    {"right elbow", R},       {"right wrist", R},  {"right fingertip", R},
    {"left shoulder", L},     {"left elbow", L},   {"left wrist", L},
    {"left fingertip", L},    {"right hip", R},    {"right knee", R},
    {"right ankle", R},       {"right heel", R},   {"right toe tip", R},
    {"left hip", L},          {"left knee", L},    {"left ankle", L},
    {"left heel", L},         {"left toe tip", L},
}};

constexpr std::array<Named, 15> kSegments{{
    {"head", C},
    {"neck", C},
    {"trunk", C},
    {"right upper arm", R},
    {"right forearm", R},
    {"right hand", R},
    {"left upper arm", L},
    {"left forearm", L},
    {"left hand", L},
    {"right thigh", R},
    {"right lower leg", R},
    {"right foot", R},
    {"left thigh", L},
    {"left lower leg", L},
    {"left foot", L},
}};

const Named &landMark(int16_t index) {
    if (index < -1 || index > 21)
        throw Error(kErrSubscript,
                    "Subscript out of range: landmark " + std::to_string(index) + " (-1..21)");
    return kLandMarks[static_cast<size_t>(index + 1)];
}

const Named &segment(int16_t index) {
    if (index < 0 || index > 14)
        throw Error(kErrSubscript,
                    "Subscript out of range: segment " + std::to_string(index) + " (0..14)");
    return kSegments[static_cast<size_t>(index)];
}

}  // namespace

const char *LandMarkEnglishName(int16_t intValue) {
    return landMark(intValue).name;
}
const char *SegmentEnglishName(int16_t intSegNum) {
    return segment(intSegNum).name;
}
BodySide LandMarkSide(int16_t intValue) {
    return landMark(intValue).side;
}
BodySide SegmentSide(int16_t intSegNum) {
    return segment(intSegNum).side;
}

}  // namespace pondera
