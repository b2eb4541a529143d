#pragma once

#include <array>

namespace pondera::report {

// English names of the landmarks and segments, by index, beside the Japanese names the model
// gives (ClassLANDMARK::GetLandMarkName, ClassSEGMENT::GetCOGSName).
inline constexpr std::array<const char *, 22> kLandMarkEnglish{
    "vertex",      "chin",           "sternum",         "pubis",         "right shoulder",
    "right elbow", "right wrist",    "right fingertip", "left shoulder", "left elbow",
    "left wrist",  "left fingertip", "right hip",       "right knee",    "right ankle",
    "right heel",  "right toe",      "left hip",        "left knee",     "left ankle",
    "left heel",   "left toe",
};

inline constexpr std::array<const char *, 15> kSegmentEnglish{
    "head",          "neck",           "trunk",           "right upper arm",
    "right forearm", "right hand",     "left upper arm",  "left forearm",
    "left hand",     "right thigh",    "right lower leg", "right foot",
    "left thigh",    "left lower leg", "left foot",
};

// Where the segment coefficients come from, as the Information window cites it.
inline constexpr const char kCoefficientSource[] = "松井秀治（1958）";
// The program's version as the About window shows it.
inline constexpr const char kProgramVersion[] = "Version 2.00-2010";

}  // namespace pondera::report
