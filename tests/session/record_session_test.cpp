// The record session on the real store and workbook, without a QApplication: what each operation
// writes, in which frame clicks become coordinates, and that a redraw writes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include <QUndoStack>

#include "base/error.h"
#include "model/demo_landmarks.h"
#include "session/EditCommands.h"
#include "session/RecordSession.h"
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
    // A change that moves no landmark journals nothing.
    s.PlaceLandMarks({});
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
    EXPECT_EQ(s.StoredRecord(3).landmarks[2].x, c.modelX);
    EXPECT_EQ(s.StoredRecord(3).landmarks[2].z, c.modelZ);
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
    EXPECT_EQ(s.StoredRecord(3).sex, 0);
    EXPECT_NE(s.CurrentCentres().bodyZ, female);
    EXPECT_EQ(s.LandMarks().GetLandMarkX(3), float(kDemoSetB[3].x));
    s.Close();
    EXPECT_EQ(fileCell("ID", 6, 3).number, 0.0);
    EXPECT_EQ(float(fileCell("ID", 6, 6).number), s.CurrentCentres().bodyZ);
}

TEST_F(RecordSessionTest, UnknownSexHasNoCentresUntilOneIsChosen) {
    RecordSession &s = open();
    s.Show(3);
    s.SetSex(7);
    s.Commit();
    const ShownRecord record = s.Show(3);
    EXPECT_FALSE(record.sexDrawable);
    EXPECT_FALSE(s.CurrentCentres().drawable);
    EXPECT_FALSE(s.ShownResults().computable);
    const auto before = journalBytes();
    s.Show(3);
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
    s.StoreMemo(4, "jump 2");
    s.StoreMemo(3, "mine");
    EXPECT_EQ(s.StoredRecord(3).memo, "mine");
    EXPECT_EQ(s.ShownData().memo, "mine");
    // Edits still land on the record shown.
    s.PutLandMark(0, 5, 6);
    EXPECT_EQ(s.StoredRecord(3).landmarks[0].x, 5.0f);
    EXPECT_EQ(s.StoredRecord(4).landmarks[0].x, 0.0f);
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

// Landmarks placed together (detection places all 22) are one change: the centres are computed
// and stored once, not once per landmark, and the window hears of it once.
TEST_F(RecordSessionTest, ManyLandmarksAreOneChange) {
    RecordSession &s = open();
    s.Show(s.AddRecord());
    std::vector<LandMarkValue> values;
    for (int16_t i = 0; i < 22; ++i)
        values.push_back({i, float(kDemoSetB[i].x), float(kDemoSetB[i].z)});
    s.Commit();
    const auto start = journalBytes();
    std::vector<unsigned> changes;
    QObject::connect(&s, &RecordSession::changed, [&](unsigned what) { changes.push_back(what); });
    s.PlaceLandMarks(values);
    s.Commit();
    const auto together = journalBytes() - start;
    EXPECT_EQ(changes, std::vector<unsigned>{RecordSession::kLandMarks});
    EXPECT_TRUE(s.ShownResults().balance.Complete());

    s.Show(s.AddRecord());
    s.Commit();
    const auto start2 = journalBytes();
    for (const LandMarkValue &value : values)
        s.PutLandMark(value.index, value.x, value.z);
    s.Commit();
    EXPECT_LT(together, journalBytes() - start2);
    // Either way the record holds the same landmarks and centres.
    EXPECT_EQ(s.StoredRecord(4).landmarks[7].x, float(kDemoSetB[7].x));
    EXPECT_EQ(s.StoredRecord(5).landmarks[7].x, float(kDemoSetB[7].x));
}

// An undo step makes its change when pushed and takes it back on undo, through the session.
TEST_F(RecordSessionTest, UndoStepsMakeTheirChangeOnTheSession) {
    RecordSession &s = open();
    s.Show(s.AddRecord());
    QUndoStack stack;
    stack.push(new SetLandMarksCommand(s, SetLandMarksCommand::Kind::kPlace, {s.LandMark(2)},
                                       {{2, 10, 20}}));
    EXPECT_EQ(s.StoredRecord(4).landmarks[2].x, 10.0f);
    stack.push(new SetLandMarksCommand(s, SetLandMarksCommand::Kind::kDragEnd, {{2, 10, 20}},
                                       {{2, 30, 40}}));
    EXPECT_EQ(stack.count(), 1);  // a drag's end joins its press
    stack.push(new SetSexCommand(s, 0, 1));
    stack.push(new SetTextCommand(s, SetTextCommand::Field::kMemo, "NEW", "jump"));
    EXPECT_EQ(s.StoredRecord(4).sex, 1);
    EXPECT_EQ(s.StoredRecord(4).memo, "jump");
    stack.undo();
    stack.undo();
    stack.undo();
    const report::RecordData back = s.StoredRecord(4);
    EXPECT_EQ(back.landmarks[2].x, 0.0f);
    EXPECT_EQ(back.sex, 0);
    EXPECT_EQ(back.memo, "NEW");
    stack.redo();
    EXPECT_EQ(s.LandMark(2), (LandMarkValue{2, 30, 40}));
    EXPECT_EQ(s.StoredRecord(4).landmarks[2].z, 40.0f);
}

TEST_F(RecordSessionTest, DigitizingWithoutARecordShownIsRefused) {
    RecordSession &s = open();
    EXPECT_EQ(pt::errorNumberOf([&] { s.Digitize(0, 1, 1); }), kErrInternal);
}

}  // namespace
