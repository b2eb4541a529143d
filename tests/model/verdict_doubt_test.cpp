// Whether the base-of-support verdict depends on landmarks marked for checking.
#include <gtest/gtest.h>

#include <vector>

#include "model/Balance.h"
#include "model/ClassSEGMENT.h"
#include "model/VerdictDoubt.h"
#include "model/demo_landmarks.h"

namespace {

using pondera::ClassLANDMARK;
using Marks = std::array<bool, 22>;

// The demonstration person A (stature 418, base 280..325, the centre inside), feet shifted by
// `feetShift` pixels in x.
ClassLANDMARK person(float feetShift = 0) {
    ClassLANDMARK lm;
    for (int16_t i = 0; i <= 21; ++i) {
        const bool foot = i == 15 || i == 16 || i == 20 || i == 21;
        lm.SetLandMarkX(i, float(pondera::kDemoSetA[i].x) + (foot ? feetShift : 0));
        lm.SetLandMarkZ(i, float(pondera::kDemoSetA[i].z));
    }
    return lm;
}

Marks marks(std::initializer_list<int> which) {
    Marks m{};
    for (int i : which)
        m[size_t(i)] = true;
    return m;
}

float cogX(const ClassLANDMARK &lm) {
    pondera::ClassSEGMENT seg(lm);
    seg.CalcCOGB();
    return seg.GetCOGBX();
}

TEST(VerdictDoubt, OnlyMarksThatCanCarryTheCentreOrTheBaseAcrossTurnTheVerdict) {
    const ClassLANDMARK standing = person();
    const float x = cogX(standing);
    ASSERT_GT(x, 280);
    ASSERT_LT(x, 325);
    // Far outside: the centre stands 150 px right of the shifted feet's span.
    const ClassLANDMARK farOutside = person(x - 325 - 150);
    // Just outside: 10 px, less than a marked foot point can move (25 px).
    const ClassLANDMARK justOutside = person(x - 325 - 10);
    ClassLANDMARK noFeet = person();
    for (int16_t i : {15, 16, 20, 21})
        noFeet.SetLandMarkX(i, 0), noFeet.SetLandMarkZ(i, 0);

    const struct {
        const char *what;
        const ClassLANDMARK &landMarks;
        Marks marked;
        bool depends;
    } cases[] = {
        {"nothing marked", standing, marks({}), false},
        {"a finger tip: too light to carry the centre out", standing, marks({7}), false},
        {"every foot point: the base can shrink past the centre", standing, marks({15, 16, 20, 21}),
         true},
        {"far outside, the heel at the near end marked", farOutside, marks({15}), false},
        {"just outside, the heel at the base's near end marked", justOutside, marks({15}), true},
        {"just outside, nothing marked", justOutside, marks({}), false},
        {"no foot placed: no verdict to doubt", noFeet, marks({0, 7}), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pondera::VerdictDependsOnMarks(c.landMarks, 0, c.marked), c.depends);
    }
}

// The whole trunk and legs marked move the centre by up to the uncertainty itself: a centre
// closer to the base's end than that depends on them even with the feet sure.
TEST(VerdictDoubt, MarkedBodyPointsMoveTheCentre) {
    const ClassLANDMARK standing = person();
    const float x = cogX(standing);
    const ClassLANDMARK nearEnd = person(x - 325 + 5);  // 5 px inside the right end
    Marks body{};
    for (int i = 0; i <= 14; ++i)
        body[size_t(i)] = true;
    for (int i : {17, 18, 19})
        body[size_t(i)] = true;
    EXPECT_TRUE(pondera::VerdictDependsOnMarks(nearEnd, 1, body));
    EXPECT_FALSE(pondera::VerdictDependsOnMarks(nearEnd, 1, marks({})));
}

}  // namespace
