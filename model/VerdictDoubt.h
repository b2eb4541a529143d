#pragma once

#include <array>
#include <cstdint>

#include "model/ClassLANDMARK.h"

namespace pondera {

// A landmark marked for checking may lie this far from its true place, as a share of stature:
// detection's accuracy goal for the landmarks it leaves unmarked, so a marked one is taken as no
// better.
inline constexpr double kMarkedUncertaintyShare = 0.06;

// Whether moving the marked landmarks, each by up to kMarkedUncertaintyShare of stature, could
// turn the base-of-support verdict (centre of gravity inside the feet's span or outside it) the
// other way, for the segment table of `sex` (0 or 1). The centre's x is linear in the landmarks'
// x, so the bound is exact for the centre; the base's ends move with their marked foot points.
// False when nothing is marked or there is no base (no foot point placed). Stature: the vertex
// above the ground, else the landmarks' height span.
bool VerdictDependsOnMarks(const ClassLANDMARK &landMarks, int16_t sex,
                           const std::array<bool, 22> &marked);

}  // namespace pondera
