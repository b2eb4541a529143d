#pragma once

#include <cstdint>

// Facts of the body model that every layer counts on: how many landmarks and segments there are
// and which sex codes the segment table has coefficients for.
namespace pondera {

inline constexpr int kLandmarkCount = 22;  // landmarks 0..21
inline constexpr int kSegmentCount = 15;   // segments 0..14

// Sex codes: 0 male, 1 female. Any other value (a cell typed over in a spreadsheet) has no
// segment coefficients, so no centres of gravity.
inline constexpr int16_t kSexMale = 0;
inline constexpr int16_t kSexFemale = 1;
constexpr bool isValidSex(int sex) {
    return sex == kSexMale || sex == kSexFemale;
}

}  // namespace pondera
