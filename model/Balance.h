#pragma once

#include <array>
#include <cstdint>

#include "model/BodyFacts.h"
#include "model/ClassLANDMARK.h"

namespace pondera {

// Figures that put a body centre of gravity in relation to the body and the feet, derived from
// the landmarks alone (nothing of it is stored). A landmark at exactly (0, 0) has not been
// placed: that is where a new record puts all of them. Figures that need a landmark that has not
// been placed are left out rather than computed from the corner of the picture.
struct BalanceFigures {
    static constexpr int kLandMarks = kLandmarkCount;
    // The heel and toe landmarks whose lowest z is the ground and whose x span is the base.
    static constexpr std::array<int16_t, 4> kFootPoints{15, 16, 20, 21};
    static constexpr int16_t kVertex = 0;

    enum class Side { Inside, Left, Right };

    int placedCount = 0;
    bool Complete() const { return placedCount == kLandMarks; }

    // Ground: the lowest z of the placed heel and toe landmarks.
    bool hasGround = false;
    double groundZ = 0;

    // Height of the centre of gravity above the ground as a percentage of the stature (vertex z
    // minus ground); needs the vertex placed above the ground.
    bool hasStature = false;
    double statureHeight = 0;
    double cogHeightPercent = 0;

    // Base of support: the x span of the placed heel and toe landmarks, at ground height.
    bool hasBase = false;
    double baseLeftX = 0, baseRightX = 0;
    Side side = Side::Inside;
    double outsideBy = 0;  // pixels beyond the nearer end of the base; 0 inside
    // 0 at the left-most foot point, 100 at the right-most; below 0 or above 100 outside. Needs
    // a base wider than a point.
    bool hasBasePosition = false;
    double basePercent = 0;
};

// The figures for the landmark set's landmarks 0..21 and a centre of gravity (model x, z).
BalanceFigures CalcBalance(const ClassLANDMARK &landMarks, float cogX, float cogZ);
// How many landmarks are placed; one at exactly (0, 0) is not.
int CountPlaced(const ClassLANDMARK &landMarks);

}  // namespace pondera
