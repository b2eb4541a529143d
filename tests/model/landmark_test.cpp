#include <gtest/gtest.h>

#include "base/error.h"
#include "model/ClassLANDMARK.h"
#include "tests/support/test_support.h"

using pondera::ClassLANDMARK;
using pondera::Error;
using pondera::testing::errorNumberOf;

namespace {}  // namespace

TEST(ClassLANDMARK, NewInstanceIsAllZeroWithFixedNames) {
    ClassLANDMARK lm;
    EXPECT_EQ(lm.GetLandMarkMinNum(), 0);
    EXPECT_EQ(lm.GetLandMarkMaxNum(), 21);
    EXPECT_EQ(lm.GetLandMarkCurNum(), 0);
    EXPECT_EQ(lm.GetLandMarkCurName(), "頭頂");
    for (int16_t i = -1; i <= 21; ++i) {
        EXPECT_EQ(lm.GetLandMarkX(i), 0.0f);
        EXPECT_EQ(lm.GetLandMarkY(i), 0.0f);
        EXPECT_EQ(lm.GetLandMarkZ(i), 0.0f);
    }
}

struct NameCase {
    int16_t index;
    const char *name;
};
class LandMarkNames : public testing::TestWithParam<NameCase> {};
TEST_P(LandMarkNames, NameOfIndex) {
    ClassLANDMARK lm;
    EXPECT_EQ(lm.GetLandMarkName(GetParam().index), GetParam().name);
}
INSTANTIATE_TEST_SUITE_P(Table, LandMarkNames,
                         testing::Values(NameCase{-1, "重心"}, NameCase{0, "頭頂"},
                                         NameCase{3, "恥骨"}, NameCase{7, "右指"},
                                         NameCase{16, "右足"}, NameCase{21, "左足"}));

class LandMarkBadIndex : public testing::TestWithParam<int16_t> {};
TEST_P(LandMarkBadIndex, EveryIndexedOperationFailsWithNineAndStoresNothing) {
    ClassLANDMARK lm;
    const int16_t i = GetParam();
    EXPECT_EQ(errorNumberOf([&] { lm.GetLandMarkName(i); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.GetLandMarkX(i); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.GetLandMarkY(i); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.GetLandMarkZ(i); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.SetLandMarkX(i, 1); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.SetLandMarkY(i, 1); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.SetLandMarkZ(i, 1); }), 9);
    // The current number takes any value; only the next Cur operation fails.
    EXPECT_EQ(lm.SetLandMarkCurNum(i), 1);
    EXPECT_EQ(lm.GetLandMarkCurNum(), i);
    EXPECT_EQ(errorNumberOf([&] { lm.SetLandMarkCurX(7); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.SetLandMarkCurY(7); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.SetLandMarkCurZ(7); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.GetLandMarkCurX(); }), 9);
    EXPECT_EQ(errorNumberOf([&] { lm.GetLandMarkCurName(); }), 9);
    for (int16_t k = -1; k <= 21; ++k) {
        EXPECT_EQ(lm.GetLandMarkX(k), 0.0f);
        EXPECT_EQ(lm.GetLandMarkY(k), 0.0f);
        EXPECT_EQ(lm.GetLandMarkZ(k), 0.0f);
    }
}
INSTANTIATE_TEST_SUITE_P(Table, LandMarkBadIndex,
                         testing::Values<int16_t>(-2, 22, INT16_MIN, INT16_MAX));

TEST(ClassLANDMARK, CurAndIndexedOperationsAddressTheSameEntries) {
    ClassLANDMARK lm;
    EXPECT_EQ(lm.SetLandMarkX(5, 123.5f), 1);
    lm.SetLandMarkCurNum(5);
    EXPECT_EQ(lm.GetLandMarkCurX(), 123.5f);
    EXPECT_EQ(lm.GetLandMarkCurName(), "右肘関節");

    lm.SetLandMarkCurNum(-1);
    EXPECT_EQ(lm.SetLandMarkCurZ(5), 1);
    EXPECT_EQ(lm.GetLandMarkZ(-1), 5.0f);

    // Full float values come back unchanged, negative and fractional alike.
    lm.SetLandMarkCurNum(21);
    lm.SetLandMarkCurX(-0.1f);
    lm.SetLandMarkCurY(1e-7f);
    lm.SetLandMarkCurZ(481.25f);
    EXPECT_EQ(lm.GetLandMarkX(21), -0.1f);
    EXPECT_EQ(lm.GetLandMarkY(21), 1e-7f);
    EXPECT_EQ(lm.GetLandMarkZ(21), 481.25f);
    EXPECT_EQ(lm.GetLandMarkX(20), 0.0f);
}
