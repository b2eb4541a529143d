// pondera2d-workbook detect as a user runs it: the CSV it prints, the records it appends, its
// refusals.
#include <gtest/gtest.h>

#include <sstream>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "pose/ModelLocation.h"
#include "store/records/ClassEXCEL.h"
#include "store/records/check_marks.h"
#include "tests/support/test_support.h"

using pondera::testing::runCommand;
using pondera::testing::RunResult;
using pondera::testing::shellQuote;
using pondera::testing::TempDir;

namespace {

const std::string kPhotos = POSE_TEST_PHOTOS;
const std::string kFootballer = kPhotos + "/messi5.jpg";

RunResult tool(const std::string &args) {
    return runCommand(shellQuote(PONDERA_WORKBOOK_TOOL) + " " + args);
}

std::vector<std::string> split(const std::string &s, char sep) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep))
        parts.push_back(part);
    if (sep == ',' && !s.empty() && s.back() == sep) parts.emplace_back();  // an empty last field
    return parts;
}

class DetectTool : public ::testing::Test {
  protected:
    void SetUp() override {
        const pose::ModelLocation where = pose::locateModel(POSE_TEST_MODEL_DIR);
        if (!where.found()) GTEST_SKIP() << "no pose network in this build: " << where.whyMissing;
    }
};

TEST_F(DetectTool, PrintsLandmarksInTheModelFrameAndBothCentres) {
    RunResult r = tool("detect " + shellQuote(kFootballer));
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = split(r.out, '\n');
    ASSERT_EQ(lines.size(), 2u) << r.out;
    auto header = split(lines[0], ','), row = split(lines[1], ',');
    ASSERT_EQ(header.size(), 3u + 44u + 4u + 1u);
    ASSERT_EQ(row.size(), header.size());
    EXPECT_EQ(header[3], "vertex_x");
    EXPECT_EQ(header[46], "left_toe_z");
    EXPECT_EQ(header[47], "cog_male_x");
    EXPECT_EQ(row[0], kFootballer);
    EXPECT_EQ(row[1], "548");
    EXPECT_EQ(row[2], "342");
    // The vertex, placed by hand at picture (245, 63): z counts up from the 481-pixel area's
    // bottom.
    EXPECT_NEAR(std::stof(row[3]), 245, 16);
    EXPECT_NEAR(std::stof(row[4]), 481 - 63, 16);
    // The centres lie within the body's extent, and the sexes differ.
    for (int c : {47, 49}) {
        EXPECT_GT(std::stof(row[c]), 150);
        EXPECT_LT(std::stof(row[c]), 400);
    }
    EXPECT_NE(row[47] + row[48], row[49] + row[50]);
    // The toes the network puts off the boots, marked (landmark numbers, blank-separated).
    EXPECT_NE((" " + row[51] + " ").find(" 16 "), std::string::npos) << row[51];
    EXPECT_NE((" " + row[51] + " ").find(" 21 "), std::string::npos) << row[51];
}

TEST_F(DetectTool, ReportsEveryPhotoItCannotUseAndGoesOn) {
    TempDir dir;
    pondera::testing::writeText(dir / "notes.jpg", "not a picture");
    RunResult r =
        tool("detect " + shellQuote(kPhotos + "/fruits.jpg") + " " + shellQuote(dir / "gone.jpg") +
             " " + shellQuote(dir / "notes.jpg") + " " + shellQuote(kFootballer));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(split(r.out, '\n').size(), 2u) << "header and the one photo with a person";
    EXPECT_NE(r.err.find("fruits.jpg: no person found"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("gone.jpg: no such file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("notes.jpg: not a picture that can be read"), std::string::npos) << r.err;
}

TEST_F(DetectTool, AppendsOneRecordPerPhotoThroughTheRecordStore) {
    TempDir dir;
    const std::string book = dir / "PONDERA2D_2010.xls";
    RunResult first = tool("detect " + shellQuote(kFootballer) + " " + shellQuote(kFootballer) +
                           " --into " + shellQuote(book) + " --sex 1");
    ASSERT_EQ(first.status, 0) << first.err;
    RunResult second = tool("detect " + shellQuote(kFootballer) + " --into " +
                            shellQuote(dir.path().string()) + " --sex 0");
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_FALSE(std::filesystem::exists(dir / ".PONDERA2D_2010.xls.journal"));

    auto rows = split(first.out, '\n');
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(split(rows[1], ',')[1], "4");
    EXPECT_EQ(split(rows[2], ',')[1], "5");
    EXPECT_EQ(split(split(second.out, '\n')[1], ',')[1], "6");

    pondera::ClassLANDMARK lm;
    pondera::ClassSEGMENT seg(lm);
    pondera::ClassEXCEL store(lm, seg, {dir.path().string(), {}});
    ASSERT_EQ(store.GetCodeMaxNum(), 6);
    auto fields = split(rows[1], ',');
    store.SetCurCode(4);
    EXPECT_EQ(store.GetCurSex(), 1);
    EXPECT_EQ(store.GetCurPictureName(), kFootballer);
    for (int16_t i = 0; i < 22; ++i) {
        EXPECT_FLOAT_EQ(store.GetLandMarkX(i), std::stof(fields[4 + 2 * i])) << i;
        EXPECT_FLOAT_EQ(store.GetLandMarkZ(i), std::stof(fields[5 + 2 * i])) << i;
    }
    // The landmarks to check are kept with the record, as the check column lists them.
    pondera::store::CheckMarks listed{};
    std::istringstream check(fields.back());
    for (int n; check >> n;)
        listed[size_t(n)] = true;
    EXPECT_EQ(pondera::store::GetCheckMarks(store), listed);
    EXPECT_TRUE(listed[16]);
    store.SetCurCode(6);
    EXPECT_EQ(store.GetCurSex(), 0);
    store.Close();
}

// --at picks the person under a picture point of basketball1.png: the man on the left, the one
// cut off at the right edge; a point on the wall or outside the photo appends nothing.
TEST_F(DetectTool, AtAPointTakesThePersonThereOrSaysThereIsNone) {
    TempDir dir;
    const std::string photo = shellQuote(kPhotos + "/basketball1.png");
    const std::string into = " --into " + shellQuote(dir.path().string()) + " --sex 0";
    const struct {
        const char *at;
        int status;
        float vertexMinX, vertexMaxX;
        const char *message;
    } cases[] = {
        {"90,250", 0, 40, 130, ""},
        {"560,250", 0, 450, 640, ""},
        {"300,200", 1, 0, 0, "basketball1.png: no person at (300, 200)"},
        {"640,10", 1, 0, 0, "the point (640, 10) is outside the picture (640 × 480 pixels)"},
        {"-0.5,10", 1, 0, 0, "is outside the picture"},
    };
    int appended = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.at);
        RunResult r = tool("detect " + photo + " --at " + c.at + into);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        auto rows = split(r.out, '\n');
        if (c.status != 0) {
            EXPECT_EQ(rows.size(), 1u) << "the header only";
            continue;
        }
        ++appended;
        ASSERT_EQ(rows.size(), 2u);
        const float vertexX = std::stof(split(rows[1], ',')[4]);
        EXPECT_GE(vertexX, c.vertexMinX);
        EXPECT_LE(vertexX, c.vertexMaxX);
    }
    pondera::ClassLANDMARK lm;
    pondera::ClassSEGMENT seg(lm);
    pondera::ClassEXCEL store(lm, seg, {dir.path().string(), {}});
    EXPECT_EQ(store.GetCodeMaxNum(), 3 + appended) << "one record per person found, none else";
    store.Close();
}

TEST_F(DetectTool, RefusesAWorkbookTheProgramHasOpen) {
    TempDir dir;
    pondera::ClassLANDMARK lm;
    pondera::ClassSEGMENT seg(lm);
    auto open = std::make_unique<pondera::ClassEXCEL>(
        lm, seg, pondera::ClassEXCEL::Options{dir.path().string(), {}});
    RunResult r = tool("detect " + shellQuote(kFootballer) + " --into " +
                       shellQuote(dir.path().string()) + " --sex 0");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("pondera2d-workbook: error 75: cannot append to the workbook"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(open->GetCodeMaxNum(), 3) << "nothing appended";
    open->Close();
    open.reset();
    pondera::ClassEXCEL again(lm, seg, {dir.path().string(), {}});
    EXPECT_EQ(again.GetCodeMaxNum(), 3);
    again.Close();
}

TEST(DetectToolUsage, WrongCommandLinesExitWithTwo) {
    const char *cases[] = {"detect",
                           "detect a.jpg --sex 2 --into x",
                           "detect a.jpg --into x",
                           "detect a.jpg --sex 0",
                           "detect a.jpg --into",
                           "detect a.jpg --at",
                           "detect a.jpg --at 12",
                           "detect a.jpg --at 12,",
                           "detect a.jpg --at x,4",
                           "detect a.jpg --at 1,2,3"};
    for (const char *c : cases) {
        RunResult r = tool(c);
        EXPECT_EQ(r.status, 2) << c << ": " << r.err;
    }
}

}  // namespace
