// The mapping from network points to landmarks, on hand-made network outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "pose/LandmarkMapping.h"

namespace {

using pose::NetworkPose;

// A standing person facing the camera, 200 px tall: every point distinct, all clearly visible.
NetworkPose standing() {
    NetworkPose p;
    p.personFound = true;
    p.poseFlag = 1;
    for (int i = 0; i < pose::kBodyPoints; ++i)
        p.points[i] = {{float(3 * i), float(500 + i)}, 0.95f};
    auto at = [&](int i, float x, float y) { p.points[i].pos = {x, y}; };
    at(pose::kRightEye, 95, 140), at(pose::kLeftEye, 105, 140);
    at(pose::kRightEar, 90, 145), at(pose::kLeftEar, 110, 145);
    at(pose::kMouthRight, 97, 154), at(pose::kMouthLeft, 103, 154);
    at(pose::kRightShoulder, 80, 175), at(pose::kLeftShoulder, 120, 175);
    at(pose::kRightHip, 88, 240), at(pose::kLeftHip, 112, 240);
    at(pose::kRightWrist, 70, 240), at(pose::kRightPinky, 68, 250), at(pose::kRightIndex, 72, 252);
    at(pose::kLeftWrist, 130, 240), at(pose::kLeftPinky, 132, 248), at(pose::kLeftIndex, 128, 250);
    at(pose::kRightElbow, 72, 208), at(pose::kLeftElbow, 128, 208);
    at(pose::kRightKnee, 88, 290), at(pose::kLeftKnee, 112, 290);
    at(pose::kRightAnkle, 88, 335), at(pose::kLeftAnkle, 112, 335);
    // Feet turned out, heel just behind and below the ankle, toe ahead.
    at(pose::kRightHeel, 90, 342), at(pose::kLeftHeel, 110, 342);
    at(pose::kRightToe, 80, 348), at(pose::kLeftToe, 120, 348);
    return p;
}

// A head-shaped disk on a neck and trunk, as the segmentation would show the person above.
cv::Mat headMask(int headTop) {
    cv::Mat m = cv::Mat::zeros(400, 300, CV_8U);
    const int radius = 18;
    cv::circle(m, {100, headTop + radius}, radius, cv::Scalar(255), cv::FILLED);
    cv::rectangle(m, cv::Rect(92, headTop + radius, 16, 40), cv::Scalar(255), cv::FILLED);
    cv::rectangle(m, cv::Rect(78, 170, 44, 80), cv::Scalar(255), cv::FILLED);
    return m;
}

void expectNear(cv::Point2f got, cv::Point2f want, float tolerance, const char *what) {
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
}

TEST(Mapping, TableCoversEveryLandmarkOnce) {
    std::array<int, pose::kLandmarkCount> seen{};
    for (const auto &e : pose::kLandmarkTable) {
        ASSERT_GE(e.landmark, 0);
        ASSERT_LT(e.landmark, pose::kLandmarkCount);
        ++seen[e.landmark];
    }
    for (int i = 0; i < pose::kLandmarkCount; ++i)
        EXPECT_EQ(seen[i], 1) << "landmark " << i;
}

// The subject's right side is the network's even points; a swap would mirror the whole body.
TEST(Mapping, DirectLandmarksTakeTheirNetworkPointOnTheSubjectsSide) {
    const NetworkPose p = standing();
    const auto lm = pose::mapToLandmarks(p);
    const std::pair<int, int> direct[] = {
        {4, 12},  {5, 14},  {6, 16},  {8, 11},  {9, 13},  {10, 15}, {12, 24}, {13, 26},
        {14, 28}, {15, 30}, {16, 32}, {17, 23}, {18, 25}, {19, 27}, {20, 29}, {21, 31}};
    for (auto [landmark, point] : direct) {
        SCOPED_TRACE("landmark " + std::to_string(landmark));
        EXPECT_EQ(lm[landmark].pos, p.points[point].pos);
        EXPECT_FALSE(lm[landmark].derived);
        EXPECT_FALSE(lm[landmark].needsCheck);
        EXPECT_FLOAT_EQ(lm[landmark].confidence, 0.95f);
    }
}

TEST(Mapping, DerivedLandmarksFollowTheirRules) {
    NetworkPose p = standing();
    p.segmentation.map = headMask(110);
    const auto lm = pose::mapToLandmarks(p);
    expectNear(lm[2].pos, {100, 175}, 1e-4f, "sternum: mid-shoulder");
    expectNear(lm[3].pos, {100, 240}, 1e-4f, "pubis: mid-hip");
    // mid-mouth (100, 154) + 0.55 * ((100, 154) - mid-eye (100, 140))
    expectNear(lm[1].pos, {100, 154 + 0.55f * 14}, 1e-4f, "chin");
    // knuckles' midpoint (70, 251) + 1 * ((70, 251) - wrist (70, 240))
    expectNear(lm[7].pos, {70, 262}, 1e-4f, "right finger");
    expectNear(lm[11].pos, {130, 258}, 1e-4f, "left finger");
    expectNear(lm[0].pos, {100, 110}, 1.0f, "vertex at the top of the head disk");
    for (int i : {0, 1, 2, 3, 7, 11}) {
        EXPECT_TRUE(lm[i].derived) << i;
        EXPECT_TRUE(lm[i].doubts & pose::kDoubtDerived) << i;
        EXPECT_TRUE(lm[i].needsCheck) << i;
    }
}

TEST(Mapping, VertexFollowsATiltedHeadAndStopsAtTheFirstGap) {
    NetworkPose p = standing();
    cv::Mat mask = headMask(110);
    // A ball held above the head, separated from the hair by a gap: not part of the head.
    cv::circle(mask, {100, 70}, 15, cv::Scalar(255), cv::FILLED);
    p.segmentation.map = mask;
    expectNear(pose::mapToLandmarks(p)[0].pos, {100, 110}, 1.0f, "vertex below the ball");

    // Head and body leaning 30 degrees to the picture's right about the mid-shoulder point.
    const cv::Point2f pivot(100, 175);
    const cv::Mat turn = cv::getRotationMatrix2D(pivot, -30, 1.0);
    cv::Mat turned;
    cv::warpAffine(headMask(110), turned, turn, mask.size(), cv::INTER_NEAREST);
    auto rotate = [&](cv::Point2f q) {
        return cv::Point2f(float(turn.at<double>(0, 0) * q.x + turn.at<double>(0, 1) * q.y +
                                 turn.at<double>(0, 2)),
                           float(turn.at<double>(1, 0) * q.x + turn.at<double>(1, 1) * q.y +
                                 turn.at<double>(1, 2)));
    };
    for (auto &pt : p.points)
        pt.pos = rotate(pt.pos);
    p.segmentation.map = turned;
    expectNear(pose::mapToLandmarks(p)[0].pos, rotate({100, 110}), 1.5f,
               "vertex of the tilted head");
}

TEST(Mapping, VertexWithoutSegmentationIsPlacedAboveTheEarsAtLowerConfidence) {
    NetworkPose p = standing();
    const auto lm = pose::mapToLandmarks(p);
    // mid-ear (100, 145) + 0.7 * ((100, 145) - mid-shoulder (100, 175))
    expectNear(lm[0].pos, {100, 145 - 0.7f * 30}, 1e-4f, "fallback vertex");
    EXPECT_FLOAT_EQ(lm[0].confidence, 0.95f * pose::kFallbackConfidenceFactor);
}

TEST(Mapping, ConfidenceIsTheWeakestSourcePoint) {
    NetworkPose p = standing();
    p.points[pose::kLeftAnkle].visibility = 0.6f;
    p.points[pose::kRightIndex].visibility = 0.3f;
    p.points[pose::kLeftShoulder].visibility = 0.85f;
    const auto lm = pose::mapToLandmarks(p);
    EXPECT_FLOAT_EQ(lm[19].confidence, 0.6f);
    EXPECT_TRUE(lm[19].needsCheck) << "a direct landmark below the check threshold";
    EXPECT_FALSE(lm[19].derived);
    EXPECT_FLOAT_EQ(lm[7].confidence, 0.3f) << "finger from an uncertain index knuckle";
    EXPECT_FLOAT_EQ(lm[2].confidence, 0.85f) << "sternum from the weaker shoulder";
    EXPECT_FLOAT_EQ(lm[8].confidence, 0.85f);
    EXPECT_FALSE(lm[8].needsCheck);
}

// A point the network puts past the picture's edge is marked however visible it says it is.
TEST(Mapping, PointsOffThePictureAreMarkedForChecking) {
    const struct {
        cv::Point2f ankle;
        bool check;
    } cases[] = {
        {{150, 399.5f}, false}, {{150, 400.5f}, true}, {{-0.5f, 300}, true},
        {{0, 300}, false},      {{300, 300}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "left ankle at (" << c.ankle.x << ", " << c.ankle.y << ")");
        NetworkPose p = standing();
        p.picture = {300, 400};
        p.points[pose::kLeftAnkle].pos = c.ankle;
        const auto lm = pose::mapToLandmarks(p);
        EXPECT_EQ((lm[19].doubts & pose::kDoubtOffPicture) != 0, c.check);
        EXPECT_FALSE(lm[8].needsCheck) << "a shoulder inside the picture";
    }
}

// The person's silhouette as the segmentation would show the standing person: its limbs as thick
// lines between the joints.
cv::Mat silhouette(const NetworkPose &p) {
    cv::Mat m = cv::Mat::zeros(400, 300, CV_8U);
    const int chains[][4] = {
        {pose::kRightShoulder, pose::kRightElbow, pose::kRightWrist, pose::kRightIndex},
        {pose::kLeftShoulder, pose::kLeftElbow, pose::kLeftWrist, pose::kLeftIndex},
        {pose::kRightHip, pose::kRightKnee, pose::kRightAnkle, pose::kRightToe},
        {pose::kLeftHip, pose::kLeftKnee, pose::kLeftAnkle, pose::kLeftToe},
        {pose::kRightAnkle, pose::kRightHeel, pose::kRightToe, pose::kRightHeel},
        {pose::kLeftAnkle, pose::kLeftHeel, pose::kLeftToe, pose::kLeftHeel},
    };
    for (const auto &c : chains) {
        for (int k = 0; k < 3; ++k) {
            cv::line(m, p.points[c[k]].pos, p.points[c[k + 1]].pos, cv::Scalar(255), 8);
        }
    }
    cv::rectangle(m, cv::Rect(78, 110, 44, 140), cv::Scalar(255), cv::FILLED);
    return m;
}

// Each rule about the body on a sound standing person with one thing wrong: the landmarks it
// marks, with its reason, and no others.
TEST(Mapping, DoubtRulesMarkWhatIsWrongWithTheBodyAndNothingElse) {
    using Edit = void (*)(NetworkPose &);
    const struct {
        const char *what;
        Edit edit;
        std::vector<int> marked;
        unsigned doubt;
        bool maskFirst = false;  // the segmentation shows the body before the edit
    } cases[] = {
        {"a sound body", [](NetworkPose &) {}, {}, 0},
        {"a hidden ankle",
         [](NetworkPose &p) { p.points[pose::kLeftAnkle].visibility = 0.6f; },
         {19},
         pose::kDoubtLowVisibility},
        {"a toe on the background beside the person",
         [](NetworkPose &p) {
             p.points[pose::kRightToe].pos = {60, 370};
         },
         {15, 16},
         pose::kDoubtOffPerson | pose::kDoubtFoot,
         true},
        {"a heel beside the person takes its toe with it",
         [](NetworkPose &p) {
             p.points[pose::kRightHeel].pos = {99, 338};
         },
         {15, 16},
         pose::kDoubtOffPerson | pose::kDoubtFoot,
         true},
        {"a toe nearer the ankle than the heel",
         [](NetworkPose &p) {
             p.points[pose::kRightToe].pos = {89, 338};
         },
         {15, 16},
         pose::kDoubtFoot},
        {"a foot far longer than a foot",
         [](NetworkPose &p) {
             p.points[pose::kLeftToe].pos = {175, 352};
         },
         {20, 21},
         pose::kDoubtFoot},
        {"one foot a stub beside a full one",
         [](NetworkPose &p) {
             p.points[pose::kRightToe].pos = {86, 344};
             p.points[pose::kLeftToe].pos = {135, 348};
         },
         {15, 16},
         pose::kDoubtFoot},
        {"a side view with one foot's heel and toe ahead of the ankle",
         [](NetworkPose &p) {
             p.points[pose::kLeftHeel].pos = {105, 342}, p.points[pose::kLeftToe].pos = {125, 348};
             p.points[pose::kRightHeel].pos = {95, 342}, p.points[pose::kRightToe].pos = {100, 348};
         },
         {15, 16},
         pose::kDoubtFoot},
        {"an upper arm a quarter of the other",
         [](NetworkPose &p) {
             p.points[pose::kRightElbow].pos = {78, 182};
         },
         {5, 9},
         pose::kDoubtLimbLengths},
        {"a vertex and a sternum from a doubtful shoulder",
         [](NetworkPose &p) { p.points[pose::kRightShoulder].visibility = 0.5f; },
         {0, 2, 4},
         pose::kDoubtSources | pose::kDoubtLowVisibility},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        NetworkPose p = standing();
        if (c.maskFirst) p.segmentation.map = silhouette(p);
        c.edit(p);
        if (!c.maskFirst) p.segmentation.map = silhouette(p);
        const auto lm = pose::mapToLandmarks(p);
        unsigned reasons = 0;
        for (int i = 0; i < pose::kLandmarkCount; ++i) {
            // Every derived landmark is marked for its rule; the rules under test add to that.
            const unsigned ruled = lm[i].doubts & ~unsigned(pose::kDoubtDerived);
            const bool expected = std::find(c.marked.begin(), c.marked.end(), i) != c.marked.end();
            EXPECT_EQ(ruled != 0, expected) << "landmark " << i << " doubts " << lm[i].doubts;
            EXPECT_EQ(lm[i].needsCheck, lm[i].doubts != 0);
            EXPECT_EQ((lm[i].doubts & pose::kDoubtDerived) != 0, lm[i].derived);
            if (expected) reasons |= ruled;
        }
        EXPECT_EQ(reasons, c.doubt);
    }
}

TEST(Mapping, ModelFrameFlipsYInThePictureArea) {
    // The area is at least 481 pixels high; larger pictures get one row more than they have.
    EXPECT_FLOAT_EQ(pose::toModelFrame({100, 200}, 480).z, 281);
    EXPECT_FLOAT_EQ(pose::toModelFrame({100, 0}, 300).z, 481);
    EXPECT_FLOAT_EQ(pose::toModelFrame({100, 200}, 3024).z, 3025 - 200);
    EXPECT_FLOAT_EQ(pose::toModelFrame({12.5f, 0}, 3024).x, 12.5f);
}

}  // namespace
