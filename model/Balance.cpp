#include "model/Balance.h"

#include <algorithm>

namespace pondera {

namespace {

bool placed(const ClassLANDMARK &landMarks, int16_t i) {
    return landMarks.GetLandMarkX(i) != 0.0f || landMarks.GetLandMarkZ(i) != 0.0f;
}

}  // namespace

int CountPlaced(const ClassLANDMARK &landMarks) {
    int count = 0;
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i)
        if (placed(landMarks, i)) ++count;
    return count;
}

BalanceFigures CalcBalance(const ClassLANDMARK &landMarks, float cogX, float cogZ) {
    BalanceFigures f;
    f.placedCount = CountPlaced(landMarks);

    for (int16_t i : BalanceFigures::kFootPoints) {
        if (!placed(landMarks, i)) continue;
        const double x = landMarks.GetLandMarkX(i), z = landMarks.GetLandMarkZ(i);
        if (!f.hasGround) {
            f.hasGround = f.hasBase = true;
            f.groundZ = z;
            f.baseLeftX = f.baseRightX = x;
            continue;
        }
        f.groundZ = std::min(f.groundZ, z);
        f.baseLeftX = std::min(f.baseLeftX, x);
        f.baseRightX = std::max(f.baseRightX, x);
    }

    const double x = cogX, z = cogZ;
    if (f.hasGround && placed(landMarks, BalanceFigures::kVertex)) {
        const double stature = landMarks.GetLandMarkZ(BalanceFigures::kVertex) - f.groundZ;
        if (stature > 0) {
            f.hasStature = true;
            f.statureHeight = stature;
            f.cogHeightPercent = (z - f.groundZ) / stature * 100.0;
        }
    }
    if (f.hasBase) {
        if (x < f.baseLeftX) {
            f.side = BalanceFigures::Side::Left;
            f.outsideBy = f.baseLeftX - x;
        } else if (x > f.baseRightX) {
            f.side = BalanceFigures::Side::Right;
            f.outsideBy = x - f.baseRightX;
        }
        const double span = f.baseRightX - f.baseLeftX;
        if (span > 0) {
            f.hasBasePosition = true;
            f.basePercent = (x - f.baseLeftX) / span * 100.0;
        }
    }
    return f;
}

}  // namespace pondera
