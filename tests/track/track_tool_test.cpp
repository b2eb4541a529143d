// pondera2d-workbook track: the demonstration figure's video tracked into a workbook, and the
// command lines and videos it refuses without touching the workbook.

#include <gtest/gtest.h>

#include <filesystem>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"
#include "pose/ModelLocation.h"
#include "store/records/ClassEXCEL.h"
#include "tests/support/test_support.h"
#include "tests/video/video_maker.h"
#include "tools/demo-pictures/demo_scene.h"
#include "video/VideoFile.h"

namespace fs = std::filesystem;
using pondera::testing::RunResult;
using pondera::testing::shellQuote;
using pondera::testing::TempDir;

namespace {

RunResult tool(const std::string &args) {
    return pondera::testing::runCommand(shellQuote(PONDERA_WORKBOOK_TOOL) + " " + args);
}

std::vector<std::string> split(const std::string &s, char by) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at; (at = s.find(by, from)) != std::string::npos; from = at + 1)
        parts.push_back(s.substr(from, at - from));
    if (from < s.size()) parts.push_back(s.substr(from));
    return parts;
}

TEST(TrackTool, EveryThirdFrameBecomesARecordWithItsPicture) {
    const pose::ModelLocation model = pose::locateModel(POSE_TEST_MODEL_DIR);
    if (!model.found()) GTEST_SKIP() << "no pose network in this build: " << model.whyMissing;
    TempDir dir("pondera_track_tool");
    const std::string video = dir / "walk.mp4";
    pondera::testing::TestVideo clip;
    clip.width = pondera::demo::kPictureWidth;
    clip.height = pondera::demo::kPictureHeight;
    clip.frames = 12;
    ASSERT_EQ(pondera::testing::encodeVideo(video, clip,
                                            [](int i) {
                                                pondera::DemoLandmarkSet set = pondera::kDemoSetB;
                                                for (auto &p : set)
                                                    p.x += 4 * i;
                                                return pondera::demo::renderPicture(set);
                                            }),
              "");
    // From 0.1 s (frame 3) to 0.3 s (frame 9), every third frame: 3, 6, 9.
    const RunResult r =
        tool("track " + shellQuote(video) + " --from 0.1 --to 0.3 --every 3 --into " +
             shellQuote(dir.path().string()) + " --sex 1");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = split(r.out, '\n');
    ASSERT_EQ(rows.size(), 4u) << r.out;
    EXPECT_EQ(split(rows[0], ',')[0], "time (s)");
    for (int k = 0; k < 3; ++k) {
        const auto fields = split(rows[1 + k], ',');
        EXPECT_EQ(fields[1], std::to_string(3 + 3 * k));
        EXPECT_NEAR(std::stod(fields[0]), (3 + 3 * k) / 30.0, 1e-9);
    }
    pondera::ClassLANDMARK lm;
    pondera::ClassSEGMENT seg(lm);
    pondera::ClassEXCEL store(lm, seg, {dir.path().string(), {}});
    ASSERT_EQ(store.GetCodeMaxNum(), 6);
    for (int16_t code = 4; code <= 6; ++code) {
        store.SetCurCode(code);
        const std::string picture = pondera::video::frameFilePath(video, 3 * (code - 3));
        EXPECT_EQ(store.GetCurPictureName(), picture);
        EXPECT_TRUE(fs::is_regular_file(picture)) << picture;
        EXPECT_EQ(store.GetCurSex(), 1);
        // The figure moves 4 pixels a frame; its right ankle with it.
        EXPECT_NEAR(store.GetLandMarkX(14), pondera::kDemoSetB[14].x + 4 * 3 * (code - 3), 8);
    }
    store.Close();
}

struct Refusal {
    const char *name, *args;
    int status;
    const char *says;
};

class TrackToolRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(TrackToolRefuses, WithoutTouchingTheWorkbook) {
    TempDir dir("pondera_track_tool");
    const std::string video = dir / "count.mp4";
    pondera::testing::TestVideo clip;
    clip.frames = 10;
    ASSERT_EQ(pondera::testing::encodeVideo(
                  video, clip, [](int i) { return pondera::testing::numberedFrame(160, 96, i); }),
              "");
    pondera::testing::writeText(dir / "broken.mp4", "not a video");
    std::string args = GetParam().args;
    for (const auto &[from, to] : {std::pair<std::string, std::string>{"VIDEO", video},
                                   {"BROKEN", dir / "broken.mp4"},
                                   {"DIR", dir.path().string()}})
        for (size_t at; (at = args.find(from)) != std::string::npos;)
            args.replace(at, from.size(), shellQuote(to));
    const RunResult r = tool("track " + args);
    EXPECT_EQ(r.status, GetParam().status) << r.err;
    EXPECT_NE(r.err.find(GetParam().says), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(fs::exists(dir / "count_frames"));
    EXPECT_FALSE(fs::exists(dir / "PONDERA2D_2010.xls"));
}

INSTANTIATE_TEST_SUITE_P(
    Tools, TrackToolRefuses,
    ::testing::Values(Refusal{"NoVideo", "--into DIR --sex 0", 2, "needs a video"},
                      Refusal{"NoWorkbook", "VIDEO --sex 0", 2, "needs --into and --sex"},
                      Refusal{"BadEvery", "VIDEO --every 0 --into DIR --sex 0", 2, "--every"},
                      Refusal{"BadTime", "VIDEO --from x --into DIR --sex 0", 2, "seconds"},
                      Refusal{"Backwards", "VIDEO --from 2 --to 1 --into DIR --sex 0", 2,
                              "before --from"},
                      Refusal{"NotAVideo", "BROKEN --into DIR --sex 0", 1, "error 75"},
                      Refusal{"PastTheEnd", "VIDEO --from 5 --into DIR --sex 0", 1, "error 9"}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
