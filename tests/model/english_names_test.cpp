#include <gtest/gtest.h>

#include <set>
#include <string>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/EnglishNames.h"
#include "tests/support/test_support.h"

using namespace pondera;
using pondera::testing::errorNumberOf;

namespace {

// The side a Japanese name states by its first character (右 right, 左 left).
BodySide sideOfJapanese(const std::string &name) {
    if (name.rfind("右", 0) == 0) return BodySide::kRight;
    if (name.rfind("左", 0) == 0) return BodySide::kLeft;
    return BodySide::kCentre;
}

std::string sideWord(BodySide side) {
    return side == BodySide::kRight ? "right" : side == BodySide::kLeft ? "left" : "";
}

}  // namespace

// Each table row must stand beside the Japanese entry of the same index: a shifted row would
// put "right elbow" on the wrist and send the user to the wrong joint.
TEST(EnglishNames, LandMarksAgreeWithTheJapaneseSet) {
    ClassLANDMARK lm;
    std::set<std::string> seen;
    for (int16_t i = -1; i <= 21; ++i) {
        const std::string english = LandMarkEnglishName(i);
        const BodySide side = sideOfJapanese(lm.GetLandMarkName(i));
        EXPECT_EQ(LandMarkSide(i), side) << i;
        if (side != BodySide::kCentre) {
            EXPECT_EQ(english.rfind(sideWord(side), 0), 0u) << i;
        }
        EXPECT_TRUE(seen.insert(english).second) << english;
    }
    EXPECT_STREQ(LandMarkEnglishName(-1), "centre of gravity");
    EXPECT_STREQ(LandMarkEnglishName(0), "top of head");
    EXPECT_STREQ(LandMarkEnglishName(7), "right fingertip");
    EXPECT_STREQ(LandMarkEnglishName(16), "right toe tip");
    EXPECT_STREQ(LandMarkEnglishName(21), "left toe tip");
}

TEST(EnglishNames, SegmentsAgreeWithTheSegmentModel) {
    ClassLANDMARK lm;
    ClassSEGMENT seg(lm);
    std::set<std::string> seen;
    for (int16_t s = 0; s <= 14; ++s) {
        const BodySide side = sideOfJapanese(seg.GetCOGSName(s));
        EXPECT_EQ(SegmentSide(s), side) << s;
        EXPECT_TRUE(seen.insert(SegmentEnglishName(s)).second) << s;
    }
    EXPECT_STREQ(SegmentEnglishName(0), "head");
    EXPECT_STREQ(SegmentEnglishName(10), "right lower leg");
    EXPECT_STREQ(SegmentEnglishName(14), "left foot");
}

TEST(EnglishNames, IndexOutsideTheTablesIsSubscriptOutOfRange) {
    for (int16_t i : {int16_t{-2}, int16_t{22}}) {
        EXPECT_EQ(errorNumberOf([&] { LandMarkEnglishName(i); }), kErrSubscript);
        EXPECT_EQ(errorNumberOf([&] { LandMarkSide(i); }), kErrSubscript);
    }
    for (int16_t s : {int16_t{-1}, int16_t{15}}) {
        EXPECT_EQ(errorNumberOf([&] { SegmentEnglishName(s); }), kErrSubscript);
        EXPECT_EQ(errorNumberOf([&] { SegmentSide(s); }), kErrSubscript);
    }
}
