#include <gtest/gtest.h>

#include <vector>

#include "model/Balance.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"

using pondera::BalanceFigures;
using pondera::CalcBalance;
using pondera::ClassLANDMARK;
using Side = BalanceFigures::Side;

namespace {

struct Placement {
    int16_t index;
    float x, z;
};

// A body standing on the floor: vertex at z 400, heels and toes between x 280 and 330 at
// z 10..14, every other landmark somewhere on the body. Cases move some points from there.
std::vector<Placement> standing() {
    std::vector<Placement> p;
    for (int16_t i = 0; i <= 21; ++i)
        p.push_back({i, 300.0f + static_cast<float>(i % 3), 380.0f - 15.0f * i});
    p[0] = {0, 300, 400};
    p[15] = {15, 290, 12};
    p[16] = {16, 330, 10};
    p[20] = {20, 280, 14};
    p[21] = {21, 320, 11};
    return p;
}

std::vector<Placement> with(std::vector<Placement> p, std::initializer_list<Placement> changes) {
    for (const Placement &c : changes)
        p[static_cast<size_t>(c.index)] = c;
    return p;
}

struct BalanceCase {
    const char *what;
    std::vector<Placement> landmarks;
    float cogX, cogZ;
    int placed;
    bool hasStature;
    double percent;  // of stature
    bool hasBase;
    double left, right;
    Side side;
    double outsideBy;
    bool hasPosition;
    double position;
};

class Balance : public ::testing::TestWithParam<BalanceCase> {};

TEST_P(Balance, Figures) {
    const BalanceCase &c = GetParam();
    ClassLANDMARK lm;
    for (const Placement &p : c.landmarks) {
        lm.SetLandMarkX(p.index, p.x);
        lm.SetLandMarkZ(p.index, p.z);
    }
    const BalanceFigures f = CalcBalance(lm, c.cogX, c.cogZ);
    EXPECT_EQ(f.placedCount, c.placed);
    EXPECT_EQ(f.Complete(), c.placed == 22);
    ASSERT_EQ(f.hasStature, c.hasStature);
    if (c.hasStature) {
        EXPECT_NEAR(f.cogHeightPercent, c.percent, 0.01);
    }
    ASSERT_EQ(f.hasBase, c.hasBase);
    if (c.hasBase) {
        EXPECT_EQ(f.baseLeftX, c.left);
        EXPECT_EQ(f.baseRightX, c.right);
        EXPECT_EQ(f.side, c.side);
        EXPECT_NEAR(f.outsideBy, c.outsideBy, 1e-4);
    }
    ASSERT_EQ(f.hasBasePosition, c.hasPosition);
    if (c.hasPosition) {
        EXPECT_NEAR(f.basePercent, c.position, 0.01);
    }
}

// Ground is z 10 (landmark 16), stature 390, base 280..330.
INSTANTIATE_TEST_SUITE_P(
    model, Balance,
    ::testing::Values(
        BalanceCase{"standing", standing(), 305, 205, 22, true, 50.0, true, 280, 330, Side::Inside,
                    0, true, 50.0},
        BalanceCase{"over the left-most foot point", standing(), 280, 10, 22, true, 0.0, true, 280,
                    330, Side::Inside, 0, true, 0.0},
        BalanceCase{"leaning forward past the toes", standing(), 345.5f, 200, 22, true, 48.72, true,
                    280, 330, Side::Right, 15.5, true, 131.0},
        BalanceCase{"leaning back past the heels", standing(), 270, 190, 22, true, 46.15, true, 280,
                    330, Side::Left, 10, true, -20.0},
        // Vertex down to z 250: the same centre height is a larger share of a shorter body.
        BalanceCase{"squat", with(standing(), {{0, 300, 250}}), 300, 100, 22, true, 37.5, true, 280,
                    330, Side::Inside, 0, true, 40.0},
        // Landmark 16 not placed: the ground and the base come from the other three points;
        // landmark 3 at (0, 5) is placed, only exactly (0, 0) is not.
        BalanceCase{"a toe not placed", with(standing(), {{16, 0, 0}, {3, 0, 5}}), 300, 111, 21,
                    true, 25.71, true, 280, 320, Side::Inside, 0, true, 50.0},
        BalanceCase{"vertex not placed", with(standing(), {{0, 0, 0}}), 300, 100, 21, false, 0,
                    true, 280, 330, Side::Inside, 0, true, 40.0},
        // All four foot points on one x: a base of no width has no position across it.
        BalanceCase{"feet on one vertical",
                    with(standing(), {{15, 300, 12}, {16, 300, 10}, {20, 300, 14}, {21, 300, 11}}),
                    302, 205, 22, true, 50.0, true, 300, 300, Side::Right, 2, false, 0},
        BalanceCase{"vertex below the feet", with(standing(), {{0, 300, 5}}), 300, 100, 22, false,
                    0, true, 280, 330, Side::Inside, 0, true, 40.0},
        BalanceCase{
            "nothing placed", {}, 0, 0, 0, false, 0, false, 0, 0, Side::Inside, 0, false, 0}),
    [](const ::testing::TestParamInfo<BalanceCase> &info) {
        std::string name;
        for (const char *p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

// The demonstration person A with the centre the segment model gives for a man: ground 20 (the
// right toe), stature 418, base 280..325.
TEST(BalanceDemo, StandingPersonOfTheDemonstrationPicture) {
    ClassLANDMARK lm;
    pondera::ClassSEGMENT seg(lm);
    for (int16_t i = 0; i <= 21; ++i) {
        lm.SetLandMarkX(i, static_cast<float>(pondera::kDemoSetA[i].x));
        lm.SetLandMarkZ(i, static_cast<float>(pondera::kDemoSetA[i].z));
    }
    seg.CalcCOGB();
    const BalanceFigures f = CalcBalance(lm, seg.GetCOGBX(), seg.GetCOGBZ());
    EXPECT_TRUE(f.Complete());
    EXPECT_EQ(f.groundZ, 20);
    EXPECT_NEAR(f.cogHeightPercent, (seg.GetCOGBZ() - 20.0) / 418 * 100, 1e-9);
    EXPECT_EQ(f.side, Side::Inside);
    EXPECT_NEAR(f.basePercent, (seg.GetCOGBX() - 280.0) / 45 * 100, 1e-9);
}

}  // namespace
