// The record session on the real store and workbook, without a QApplication: what each operation
// writes, in which frame clicks become coordinates, and that a redraw writes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/RecordSession.h"
#include "base/error.h"
#include "model/demo_landmarks.h"
#include "store/xls/workbook_engine.h"
#include "tests/support/test_support.h"

using namespace pondera;
namespace pt = pondera::testing;
namespace fs = std::filesystem;

namespace {

class RecordSessionTest : public ::testing::Test {
  protected:
    void TearDown() override { session_.reset(); }

    RecordSession &open() {
        session_.reset();
        ClassEXCEL::Options options;
        options.currentDir = dir_.string();
        session_ = std::make_unique<RecordSession>(options);
        return *session_;
    }
    // Bytes the journal holds on disk: what the commits so far made durable.
    std::uintmax_t journalBytes() const {
        const fs::path journal = dir_ / ".PONDERA2D_2010.xls.journal";
        return fs::exists(journal) ? fs::file_size(journal) : 0;
    }
    store::CellValue fileCell(const char *sheet, int row, int col) const {
        auto book = store::makeWorkbookEngine()->open((dir_ / "PONDERA2D_2010.xls").string());
        return book->sheet(sheet).cell(row, col);
    }

    pt::TempDir tmp_{"pondera_session_test"};
    const fs::path &dir_ = tmp_.path();
    std::unique_ptr<RecordSession> session_;
};

TEST_F(RecordSessionTest, ShowLoadsTheRecordIntoTheModels) {
    RecordSession &s = open();
    EXPECT_TRUE(s.IsNewWorkbook());
    ASSERT_EQ(s.NewestCode(), 3);
    const ShownRecord record = s.Show(3);
    EXPECT_EQ(record.sex, 1);
    EXPECT_EQ(record.memo, "demo3");
    EXPECT_EQ(record.pictureName, (dir_ / "DEMO" / "demo003.bmp").string());
    EXPECT_TRUE(record.badCells.empty());
    EXPECT_TRUE(s.IsShown());
    for (int16_t i = 0; i < 22; ++i) {
        EXPECT_EQ(s.LandMarks().GetLandMarkX(i), float(kDemoSetB[i].x));
        EXPECT_EQ(s.LandMarks().GetLandMarkZ(i), float(kDemoSetB[i].z));
    }
    EXPECT_EQ(s.Segment().GetSex(), 1);
    EXPECT_TRUE(s.CurrentCentres().drawable);
    EXPECT_EQ(s.CurrentCentres().bodyX, s.Segment().GetCOGBX());
    EXPECT_FALSE(s.HasCode(4));
    EXPECT_FALSE(s.HasCode(-1));
}

TEST_F(RecordSessionTest, UnchangedCentresAreNotWrittenAgain) {
    RecordSession &s = open();
    s.Show(3);
    s.Commit();
    const auto shown = journalBytes();
    // A redraw with nothing changed (a landmark row selected) journals nothing.
    s.StoreCentres();
    s.Commit();
    EXPECT_EQ(journalBytes(), shown);
    // A click moves a landmark and the centres it pulls along.
    s.Digitize(0, 100, 200);
    s.Commit();
    const auto clicked = journalBytes();
    EXPECT_GT(clicked, shown);
    // The same click again changes no value.
    s.Digitize(0, 100, 200);
    s.Commit();
    const auto again = journalBytes();
    EXPECT_LT(again - clicked, clicked - shown);
    s.Close();
    EXPECT_EQ(fileCell("LANDMARK", 6, 2).number, 100.0);
    EXPECT_EQ(fileCell("LANDMARK", 6, 3).number, 281.0);
    EXPECT_EQ(float(fileCell("ID", 6, 5).number), s.CurrentCentres().bodyX);
}

struct FrameCase {
    const char *name;
    AreaSize area;
    float picX, picY;
    float modelX, modelZ;
};

class RecordSessionFrameTest : public RecordSessionTest,
                               public ::testing::WithParamInterface<FrameCase> {};

TEST_P(RecordSessionFrameTest, ClickBecomesModelCoordinatesOfTheArea) {
    const FrameCase &c = GetParam();
    RecordSession &s = open();
    s.Show(3);
    s.SetArea(c.area);
    const auto [x, z] = s.Digitize(2, c.picX, c.picY);
    EXPECT_EQ(x, c.modelX);
    EXPECT_EQ(z, c.modelZ);
    EXPECT_EQ(s.Store().GetLandMarkX(2), c.modelX);
    EXPECT_EQ(s.Store().GetLandMarkZ(2), c.modelZ);
    const auto [px, py] = s.ToPicture(x, z);
    EXPECT_EQ(px, c.picX);
    EXPECT_EQ(py, c.picY);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, RecordSessionFrameTest,
    ::testing::Values(FrameCase{"designed", {641, 481}, 100, 200, 100, 281},
                      FrameCase{"top_row", {641, 481}, 0, 0, 0, 481},
                      FrameCase{"bottom_row", {641, 481}, 640, 480, 640, 1},
                      FrameCase{"phone_landscape", {4033, 3025}, 2016, 1512, 2016, 1513},
                      FrameCase{"phone_portrait", {1081, 1921}, 1079, 1919, 1079, 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(RecordSessionTest, SexChangeStoresSexAndCentres) {
    RecordSession &s = open();
    s.Show(3);
    const float female = s.CurrentCentres().bodyZ;
    s.SetSex(0);
    EXPECT_EQ(s.Store().GetCurSex(), 0);
    EXPECT_NE(s.CurrentCentres().bodyZ, female);
    EXPECT_EQ(s.LandMarks().GetLandMarkX(3), float(kDemoSetB[3].x));
    s.Close();
    EXPECT_EQ(fileCell("ID", 6, 3).number, 0.0);
    EXPECT_EQ(float(fileCell("ID", 6, 6).number), s.CurrentCentres().bodyZ);
}

TEST_F(RecordSessionTest, UnknownSexHasNoCentresUntilOneIsChosen) {
    RecordSession &s = open();
    s.Show(3);
    s.Store().PutSex(7);
    s.Commit();
    const ShownRecord record = s.Show(3);
    EXPECT_FALSE(record.sexDrawable);
    EXPECT_FALSE(s.CurrentCentres().drawable);
    const auto before = journalBytes();
    s.StoreCentres();
    s.Commit();
    EXPECT_EQ(journalBytes(), before);
    s.SetSex(1);
    EXPECT_TRUE(s.CurrentCentres().drawable);
}

TEST_F(RecordSessionTest, NewRecordsAndMemosKeepTheRecordShown) {
    RecordSession &s = open();
    s.Show(3);
    EXPECT_EQ(s.AddRecord(), 4);
    EXPECT_EQ(s.AddRecord(), 5);
    EXPECT_EQ(s.Store().GetCurCode(), 3);
    s.StoreMemo(4, "jump 2");
    EXPECT_EQ(s.Store().GetCurCode(), 3);
    s.StoreMemo(3, "mine");
    EXPECT_EQ(s.Store().GetCurMemo(), "mine");
    const ShownRecord fresh = s.Show(5);
    EXPECT_EQ(fresh.memo, "NEW");
    EXPECT_EQ(fresh.sex, 0);
    EXPECT_EQ(s.CurrentCentres().bodyX, 0.0f);
    s.Close();
    EXPECT_EQ(fileCell("ID", 7, 4).text, "jump 2");
    EXPECT_EQ(fileCell("ID", 6, 4).text, "mine");
}

TEST_F(RecordSessionTest, TextInALandmarkCellIsReadAsZeroAndNamed) {
    // Record 4: the demonstration records are restored at every start.
    RecordSession &s = open();
    s.Show(s.AddRecord());
    s.Digitize(1, 10, 20);
    s.Close();
    {
        const std::string path = (dir_ / "PONDERA2D_2010.xls").string();
        auto book = store::makeWorkbookEngine()->open(path);
        book->sheet("LANDMARK").setCell(7, 4, store::CellValue::str("abc"));
        book->saveAs(path);
    }
    RecordSession &again = open();
    const ShownRecord record = again.Show(4);
    ASSERT_EQ(record.badCells.size(), 1u);
    EXPECT_EQ(record.badCells[0], again.LandMarks().GetLandMarkName(1) + " X");
    EXPECT_EQ(again.LandMarks().GetLandMarkX(1), 0.0f);
    EXPECT_EQ(again.LandMarks().GetLandMarkZ(1), 461.0f);
}

TEST_F(RecordSessionTest, DigitizingWithoutARecordShownIsRefused) {
    RecordSession &s = open();
    EXPECT_EQ(pt::errorNumberOf([&] { s.Digitize(0, 1, 1); }), kErrInternal);
}

}  // namespace
