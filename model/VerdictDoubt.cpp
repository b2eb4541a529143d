#include "model/VerdictDoubt.h"

#include <algorithm>
#include <cmath>

#include "model/Balance.h"
#include "model/ClassSEGMENT.h"

namespace pondera {
namespace {

double cogX(const ClassLANDMARK &landMarks, int16_t sex) {
    ClassSEGMENT segment(landMarks);
    segment.SetSex(sex);
    segment.CalcCOGB();
    return segment.GetCOGBX();
}

bool placed(const ClassLANDMARK &landMarks, int16_t i) {
    return landMarks.GetLandMarkX(i) != 0.0f || landMarks.GetLandMarkZ(i) != 0.0f;
}

}  // namespace

bool VerdictDependsOnMarks(const ClassLANDMARK &landMarks, int16_t sex,
                           const std::array<bool, 22> &marked) {
    if (std::none_of(marked.begin(), marked.end(), [](bool m) { return m; })) return false;
    ClassSEGMENT segment(landMarks);
    segment.SetSex(sex);
    segment.CalcCOGB();
    const double x = segment.GetCOGBX();
    const BalanceFigures f = CalcBalance(landMarks, segment.GetCOGBX(), segment.GetCOGBZ());
    if (!f.hasBase) return false;

    double stature = f.hasStature ? f.statureHeight : 0;
    if (!(stature > 0)) {
        float low = HUGE_VALF, high = -HUGE_VALF;
        for (int16_t i = 0; i < 22; ++i) {
            if (!placed(landMarks, i)) continue;
            low = std::min(low, landMarks.GetLandMarkZ(i));
            high = std::max(high, landMarks.GetLandMarkZ(i));
        }
        stature = high - low;
    }
    const double u = kMarkedUncertaintyShare * stature;

    // How far the centre can move: the sum over marked landmarks of |d cog x / d x_i| * u.
    double reach = 0;
    ClassLANDMARK moved = landMarks;
    for (int16_t i = 0; i < 22; ++i) {
        if (!marked[size_t(i)] || !placed(landMarks, i)) continue;
        const float original = moved.GetLandMarkX(i);
        moved.SetLandMarkX(i, original + 1.0f);
        reach += std::abs(cogX(moved, sex) - x) * u;
        moved.SetLandMarkX(i, original);
    }
    // The base's ends: each foot point moves by u when marked.
    double leftLow = HUGE_VAL, leftHigh = HUGE_VAL, rightLow = -HUGE_VAL, rightHigh = -HUGE_VAL;
    for (int16_t i : BalanceFigures::kFootPoints) {
        if (!placed(landMarks, i)) continue;
        const double fx = landMarks.GetLandMarkX(i), m = marked[size_t(i)] ? u : 0;
        leftLow = std::min(leftLow, fx - m), leftHigh = std::min(leftHigh, fx + m);
        rightLow = std::max(rightLow, fx - m), rightHigh = std::max(rightHigh, fx + m);
    }
    const double low = x - reach, high = x + reach;
    const bool inside = f.side == BalanceFigures::Side::Inside;
    // Inside can turn outside when the centre can pass an end the base can pull in; outside can
    // turn inside when the centre can reach the widest the base can grow.
    if (inside) return low < leftHigh || high > rightLow;
    return high >= leftLow && low <= rightHigh;
}

}  // namespace pondera
