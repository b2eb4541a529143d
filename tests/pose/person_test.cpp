// The person stage on hand-made detector outputs: decoding anchors, merging overlapping detections,
// choosing the main person and the person under a point.
#include <gtest/gtest.h>

#include <vector>

#include "pose/PersonDetector.h"

namespace {

using pose::PersonBox;

// Raw detector outputs with every anchor at a certain "no".
struct RawOutputs {
    std::vector<float> scores = std::vector<float>(pose::kDetectorAnchors, -10.0f);
    std::vector<float> regressions =
        std::vector<float>(size_t(pose::kDetectorAnchors) * pose::kDetectorValues, 0.0f);

    // A detection at the stride-8 anchor of cell (cx, cy), which sits at ((cx + 0.5) * 8, (cy +
    // 0.5) * 8): box of `size` about that centre, hips `hip` and body point `body` from it.
    void add(int cx, int cy, float logit, float size, cv::Point2f hip, cv::Point2f body,
             int anchor = 0) {
        const int i = (cy * 28 + cx) * 2 + anchor;
        scores[i] = logit;
        float *v = &regressions[size_t(i) * pose::kDetectorValues];
        v[2] = v[3] = size;
        v[4] = hip.x, v[5] = hip.y, v[6] = body.x, v[7] = body.y;
    }
    std::vector<PersonBox> decode(const cv::Matx23d &toPicture = {1, 0, 0, 0, 1, 0}) const {
        return pose::decodeDetections(scores.data(), regressions.data(), toPicture);
    }
};

TEST(PersonStage, DetectionsAreDecodedFromTheirAnchorsIntoPicturePixels) {
    RawOutputs raw;
    // Cell (10, 20): anchor centre (84, 164); hips 6 px right, body point 40 px up.
    raw.add(10, 20, 3.0f, 30, {6, 0}, {6, -40});
    // Picture twice the detector's input, shifted by (100, 50).
    const auto people = raw.decode({2, 0, 100, 0, 2, 50});
    ASSERT_EQ(people.size(), 1u);
    EXPECT_NEAR(people[0].score, 1 / (1 + std::exp(-3.0f)), 1e-5);
    EXPECT_NEAR(people[0].hipCentre.x, 100 + 2 * 90, 1e-3);
    EXPECT_NEAR(people[0].hipCentre.y, 50 + 2 * 164, 1e-3);
    EXPECT_NEAR(people[0].radius(), 80, 1e-3);
    EXPECT_NEAR(people[0].box.width, 60, 1e-3);
    EXPECT_NEAR(people[0].box.x, 100 + 2 * (84 - 15), 1e-3);
}

TEST(PersonStage, WeakAndTinyDetectionsAreDropped) {
    RawOutputs raw;
    raw.add(5, 5, -0.1f, 30, {0, 0}, {0, -40});   // just below even odds
    raw.add(20, 5, 4.0f, 30, {0, 0}, {0, -2});    // a body two input pixels across
    raw.add(20, 20, 1e9f, 30, {0, 0}, {0, -40});  // a runaway logit is clipped, not overflowed
    const auto people = raw.decode();
    ASSERT_EQ(people.size(), 1u);
    EXPECT_NEAR(people[0].hipCentre.x, 164, 1e-3);
}

// Neighbouring anchors seeing one person are merged, weighted by score; a second person
// elsewhere stays apart, and the stronger comes first.
TEST(PersonStage, OverlappingDetectionsMergeByScoreAndOthersStayApart) {
    RawOutputs raw;
    raw.add(10, 10, 2.0f, 40, {0, 0}, {0, -40}, 0);
    raw.add(10, 10, 0.5f, 40, {8, 0}, {8, -40}, 1);  // the same cell's second anchor
    raw.add(24, 10, 3.0f, 40, {0, 0}, {0, -60});
    const auto people = raw.decode();
    ASSERT_EQ(people.size(), 2u);
    EXPECT_NEAR(people[0].hipCentre.x, 24 * 8 + 4, 1e-3);
    const float w1 = 1 / (1 + std::exp(-2.0f)), w2 = 1 / (1 + std::exp(-0.5f));
    EXPECT_NEAR(people[1].hipCentre.x, 84 + 8 * w2 / (w1 + w2), 1e-3);
    EXPECT_NEAR(people[1].score, w1, 1e-5);
}

PersonBox person(cv::Point2f hip, float radius) {
    PersonBox p;
    p.score = 0.9f;
    p.hipCentre = hip;
    p.bodyPoint = hip + cv::Point2f(0, -radius);
    p.box = cv::Rect2f(hip.x - radius / 4, hip.y - radius, radius / 2, radius / 2);
    return p;
}

TEST(PersonStage, MainPersonHasMostOfTheBodyInsideThenIsTheLarger) {
    const cv::Size picture(640, 480);
    const PersonBox whole = person({150, 250}, 180);       // head to feet inside
    const PersonBox cutOff = person({640, 250}, 220);      // half beyond the right edge
    const PersonBox smallWhole = person({400, 300}, 100);  // inside, smaller
    const struct {
        const char *what;
        std::vector<PersonBox> people;
        float expectedHipX;
    } cases[] = {
        {"the whole one over a larger one cut off", {cutOff, whole}, 150},
        {"between two whole ones, the larger", {smallWhole, whole}, 150},
        {"the larger whole one listed second", {whole, smallWhole}, 150},
        {"one person", {cutOff}, 640},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto chosen = pose::mainPerson(c.people, picture);
        ASSERT_TRUE(chosen);
        EXPECT_FLOAT_EQ(chosen->hipCentre.x, c.expectedHipX);
    }
    EXPECT_FALSE(pose::mainPerson({}, picture));
    EXPECT_NEAR(whole.insideShare(picture), 1.0f, 1e-6);
    EXPECT_NEAR(cutOff.insideShare(picture), 0.5f, 0.1f);
}

TEST(PersonStage, PeopleAtAPointAreThoseWhoseBodyHoldsItNearestFirst) {
    const PersonBox left = person({150, 250}, 180), right = person({400, 250}, 180);
    const auto both = pose::peopleAt({left, right}, {290, 250});
    ASSERT_EQ(both.size(), 2u);
    EXPECT_FLOAT_EQ(both[0].hipCentre.x, 400);
    EXPECT_EQ(pose::peopleAt({left, right}, {150, 100}).size(), 1u);
    EXPECT_TRUE(pose::peopleAt({left, right}, {630, 10}).empty());
    EXPECT_TRUE(pose::peopleAt({}, {100, 100}).empty());
}

}  // namespace
