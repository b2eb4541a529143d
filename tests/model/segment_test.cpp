#include <gtest/gtest.h>

#include "base/error.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"
#include "tests/support/test_support.h"

using pondera::ClassLANDMARK;
using pondera::ClassSEGMENT;
using pondera::Error;
using pondera::testing::errorNumberOf;

namespace {

void placeAll(ClassLANDMARK &lm, float x, float y, float z) {
    for (int16_t i = 0; i <= 21; ++i) {
        lm.SetLandMarkX(i, x);
        lm.SetLandMarkY(i, y);
        lm.SetLandMarkZ(i, z);
    }
}

void placeDemo(ClassLANDMARK &lm, const pondera::DemoLandmarkSet &set) {
    for (int16_t i = 0; i <= 21; ++i) {
        lm.SetLandMarkX(i, static_cast<float>(set[i].x));
        lm.SetLandMarkY(i, 0);
        lm.SetLandMarkZ(i, static_cast<float>(set[i].z));
    }
}

struct Fixture {
    ClassLANDMARK lm;
    ClassSEGMENT seg{lm};
};

}  // namespace

TEST(ClassSEGMENT, ResultsAreZeroBeforeTheFirstComputation) {
    Fixture f;
    EXPECT_EQ(f.seg.GetSegMinNum(), 0);
    EXPECT_EQ(f.seg.GetSegMaxNum(), 14);
    EXPECT_EQ(f.seg.GetSex(), 0);
    for (int16_t sex : {0, 1}) {
        f.seg.SetSex(sex);
        EXPECT_EQ(f.seg.GetCOGBX(), 0.0f);
        EXPECT_EQ(f.seg.GetCOGBY(), 0.0f);
        EXPECT_EQ(f.seg.GetCOGBZ(), 0.0f);
        for (int16_t s = 0; s <= 14; ++s) {
            EXPECT_EQ(f.seg.GetCOGSX(s), 0.0f);
            EXPECT_EQ(f.seg.GetCOGSY(s), 0.0f);
            EXPECT_EQ(f.seg.GetCOGSZ(s), 0.0f);
        }
    }
}

// Whole-body results, to two decimals, for landmark layouts of known answer.
struct BodyCase {
    const char *what;
    void (*place)(ClassLANDMARK &);
    float male[3];
    float female[3];
};
class BodyCentre : public testing::TestWithParam<BodyCase> {};
TEST_P(BodyCentre, MatchesCheckValues) {
    const BodyCase &c = GetParam();
    Fixture f;
    c.place(f.lm);
    EXPECT_EQ(f.seg.CalcCOGB(), 1);
    const float *want[] = {c.male, c.female};
    for (int16_t sex : {0, 1}) {
        SCOPED_TRACE(sex);
        f.seg.SetSex(sex);
        EXPECT_NEAR(f.seg.GetCOGBX(), want[sex][0], 0.005);
        EXPECT_NEAR(f.seg.GetCOGBY(), want[sex][1], 0.005);
        EXPECT_NEAR(f.seg.GetCOGBZ(), want[sex][2], 0.005);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Table, BodyCentre,
    testing::Values(
        BodyCase{"all at origin",
                 [](ClassLANDMARK &lm) { placeAll(lm, 0, 0, 0); },
                 {0, 0, 0},
                 {0, 0, 0}},
        // A body collapsed onto one point has its centre there, whatever the mass total.
        BodyCase{"all at (100,0,50)",
                 [](ClassLANDMARK &lm) { placeAll(lm, 100, 0, 50); },
                 {100, 0, 50},
                 {100, 0, 50}},
        BodyCase{"demo set A",
                 [](ClassLANDMARK &lm) { placeDemo(lm, pondera::kDemoSetA); },
                 {308.42f, 0, 246.04f},
                 {307.51f, 0, 243.06f}},
        BodyCase{"demo set B",
                 [](ClassLANDMARK &lm) { placeDemo(lm, pondera::kDemoSetB); },
                 {320.36f, 0, 259.01f},
                 {320.29f, 0, 257.79f}}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(ClassSEGMENT, CollapsedBodyKeepsEverySegmentOnThePoint) {
    Fixture f;
    placeAll(f.lm, 100, 0, 50);
    f.seg.CalcCOGB();
    for (int16_t sex : {0, 1}) {
        f.seg.SetSex(sex);
        // float sums round at every step; the body may differ from the point in the last bits
        EXPECT_NEAR(f.seg.GetCOGBX(), 100.0f, 1e-3);
        EXPECT_NEAR(f.seg.GetCOGBZ(), 50.0f, 1e-3);
        for (int16_t s = 0; s <= 14; ++s) {
            EXPECT_EQ(f.seg.GetCOGSX(s), 100.0f);
            EXPECT_EQ(f.seg.GetCOGSZ(s), 50.0f);
        }
    }
}

// Single segments: the COG position ratio runs from the proximal to the distal landmark.
struct SegmentCase {
    int16_t proximal, distal, segment;
    float from[3], to[3];
    float male[3], female[3];
};
class SegmentCentre : public testing::TestWithParam<SegmentCase> {};
TEST_P(SegmentCentre, PlacesTheCentreAlongTheSegment) {
    const SegmentCase &c = GetParam();
    Fixture f;
    f.lm.SetLandMarkX(c.proximal, c.from[0]);
    f.lm.SetLandMarkY(c.proximal, c.from[1]);
    f.lm.SetLandMarkZ(c.proximal, c.from[2]);
    f.lm.SetLandMarkX(c.distal, c.to[0]);
    f.lm.SetLandMarkY(c.distal, c.to[1]);
    f.lm.SetLandMarkZ(c.distal, c.to[2]);
    f.seg.CalcCOGB();
    const float *want[] = {c.male, c.female};
    for (int16_t sex : {0, 1}) {
        f.seg.SetSex(sex);
        EXPECT_NEAR(f.seg.GetCOGSX(c.segment), want[sex][0], 1e-4);
        EXPECT_NEAR(f.seg.GetCOGSY(c.segment), want[sex][1], 1e-4);
        EXPECT_NEAR(f.seg.GetCOGSZ(c.segment), want[sex][2], 1e-4);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Table, SegmentCentre,
    testing::Values(
        // head: chin to vertex, 0.63 for both
        SegmentCase{1, 0, 0, {10, 0, 200}, {10, 0, 300}, {10, 0, 263}, {10, 0, 263}},
        // right forearm: elbow to wrist, 0.41 male / 0.42 female
        SegmentCase{5, 6, 4, {0, 0, 30}, {100, 0, 30}, {41, 0, 30}, {42, 0, 30}},
        // left lower leg, y carried through the computation
        SegmentCase{18, 19, 13, {0, 100, 0}, {0, 0, 100}, {0, 59, 41}, {0, 58, 42}},
        // demo set A head, either sex
        SegmentCase{
            1, 0, 0, {300, 0, 372}, {294, 0, 438}, {296.22f, 0, 413.58f}, {296.22f, 0, 413.58f}}));

TEST(ClassSEGMENT, SexSelectsStoredResultsWithoutRecomputing) {
    Fixture f;
    placeDemo(f.lm, pondera::kDemoSetA);
    f.seg.CalcCOGB();
    const float male = f.seg.GetCOGBX();
    f.seg.SetSex(1);
    const float female = f.seg.GetCOGBX();
    EXPECT_NE(male, female);
    // A moved landmark changes nothing until the next computation.
    f.lm.SetLandMarkX(0, 1000);
    EXPECT_EQ(f.seg.GetCOGBX(), female);
    f.seg.SetSex(0);
    EXPECT_EQ(f.seg.GetCOGBX(), male);
    f.seg.CalcCOGB();
    EXPECT_GT(f.seg.GetCOGBX(), male);
}

TEST(ClassSEGMENT, SegmentNames) {
    Fixture f;
    const char *names[] = {"頭",     "頸",     "体幹",   "右上腕", "右前腕",
                           "右手",   "左上腕", "左前腕", "左手",   "右大腿",
                           "右下腿", "右足",   "左大腿", "左下腿", "左足"};
    for (int16_t s = 0; s <= 14; ++s)
        EXPECT_EQ(f.seg.GetCOGSName(s), names[s]);
    // Foot segments share their names with the toe landmarks.
    EXPECT_EQ(f.seg.GetCOGSName(11), f.lm.GetLandMarkName(16));
    EXPECT_EQ(f.seg.GetCOGSName(14), f.lm.GetLandMarkName(21));
}

class SegmentBadIndex : public testing::TestWithParam<int16_t> {};
TEST_P(SegmentBadIndex, FailsWithNine) {
    Fixture f;
    const int16_t s = GetParam();
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGSName(s); }), 9);
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGSX(s); }), 9);
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGSY(s); }), 9);
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGSZ(s); }), 9);
}
INSTANTIATE_TEST_SUITE_P(Table, SegmentBadIndex, testing::Values<int16_t>(-1, 15, INT16_MIN));

class BadSex : public testing::TestWithParam<int16_t> {};
TEST_P(BadSex, IsStoredButEveryResultReadFailsWithNine) {
    Fixture f;
    placeAll(f.lm, 1, 2, 3);
    EXPECT_EQ(f.seg.SetSex(GetParam()), 1);
    EXPECT_EQ(f.seg.GetSex(), GetParam());
    EXPECT_EQ(f.seg.CalcCOGB(), 1);  // the computation does not depend on the sex
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGBX(); }), 9);
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGBY(); }), 9);
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGBZ(); }), 9);
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGSX(0); }), 9);
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGSY(0); }), 9);
    EXPECT_EQ(errorNumberOf([&] { f.seg.GetCOGSZ(0); }), 9);
    EXPECT_EQ(f.seg.GetCOGSName(0), "頭");  // names do not depend on the sex
    f.seg.SetSex(1);
    EXPECT_EQ(f.seg.GetCOGBX(), 1.0f);
}
INSTANTIATE_TEST_SUITE_P(Table, BadSex, testing::Values<int16_t>(2, -1, INT16_MAX));
