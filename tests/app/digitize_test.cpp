// Aids to digitizing in the real main window: the status bar, the landmark guide and the offer
// to copy a demonstration record before changing it. Values are read back through the store.
#include <QAction>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <memory>

#include "app/FormMain.h"
#include "app/LandmarkGuide.h"
#include "app/ModuleMain.h"
#include "app/PictureView.h"
#include "app/StatusPanel.h"
#include "model/ClassSEGMENT.h"
#include "model/EnglishNames.h"
#include "model/demo_landmarks.h"
#include "store/xls/workbook_engine.h"
#include "tests/app/window_fixture.h"

using namespace pondera;

namespace {

// The store as these tests read it, through the session: the record shown, or the one looked at.
class StoredView {
  public:
    explicit StoredView(RecordSession &session) : session_(session) {}
    int16_t GetCurCode() const { return code_ < 0 ? session_.ShownCode() : code_; }
    void SetCurCode(int16_t code) { code_ = code; }
    int16_t GetCodeMaxNum() { return session_.NewestCode(); }
    float GetLandMarkX(int16_t i) { return record().landmarks[static_cast<size_t>(i)].x; }
    float GetLandMarkZ(int16_t i) { return record().landmarks[static_cast<size_t>(i)].z; }
    int16_t GetCurSex() { return record().sex; }
    std::string GetCurPictureName() { return record().pictureName; }
    std::string GetCurMemo() { return record().memo; }
    RecordSession &Session() { return session_; }

  private:
    report::RecordData record() { return session_.StoredRecord(GetCurCode()); }
    RecordSession &session_;
    int16_t code_ = -1;
};

// A landmark of one record as the store holds it.
std::pair<float, float> storedLandMark(StoredView &store, int16_t code, int16_t index) {
    const report::Point p =
        store.Session().StoredRecord(code).landmarks[static_cast<size_t>(index)];
    return {p.x, p.z};
}

// Everything of the record shown that the store holds, read back through it.
struct RecordCells {
    std::array<std::pair<float, float>, 22> landMarks{};
    int16_t sex = 0;
    std::string picture, memo;
    bool operator==(const RecordCells &) const = default;
};

RecordCells cellsOf(RecordSession &session) {
    StoredView store(session);
    RecordCells cells;
    for (int16_t i = 0; i < 22; ++i)
        cells.landMarks[static_cast<size_t>(i)] = {store.GetLandMarkX(i), store.GetLandMarkZ(i)};
    cells.sex = store.GetCurSex();
    cells.picture = store.GetCurPictureName();
    cells.memo = store.GetCurMemo();
    return cells;
}

// A move of the pointer over the picture with the left button held.
void dragMove(QWidget *picture, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), picture->mapToGlobal(QPointF(at)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(picture, &move);
}

}  // namespace

class DigitizeTest : public QObject, private pondera::test::WindowFixture {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // Preferences go to a folder of the test's own, never the user's.
        QVERIFY(settingsDir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
    }
    void init() {
        QSettings(QStringLiteral("Pondera2D"), QStringLiteral("pondera2d")).clear();
        setUpWindow();
        startShown();
    }
    void cleanup() { tearDownWindow(); }

    void demoCopyOffer_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("change");
        for (const char *change : {"click", "sex", "picture", "memo"}) {
            QTest::addRow("Yes, %s", change) << true << QString::fromLatin1(change);
            QTest::addRow("No, %s", change) << false << QString::fromLatin1(change);
        }
    }
    // The first change to a demonstration record asks once whether to work on a copy; Yes
    // moves the change into a new record holding the same picture, sex and landmarks, No makes
    // it on the demonstration record. Either way nothing the user did is dropped.
    void demoCopyOffer() {
        QFETCH(bool, yes);
        QFETCH(QString, change);
        answer_ = yes;
        StoredView store(*form_->Session());
        QCOMPARE(store.GetCurCode(), int16_t{3});
        QVERIFY(!form_->Status()->DemoBanner()->isHidden());
        const std::string demoPicture = store.GetCurPictureName();
        const std::string demoMemo = store.GetCurMemo();
        QTest::mouseClick(form_->OptionLandMark(5), Qt::LeftButton);

        if (change == "click") {
            QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        } else if (change == "sex") {
            QTest::mouseClick(form_->OptionSex(0), Qt::LeftButton);
        } else if (change == "picture") {
            nextFile_ = dir_->filePath("DEMO/demo001.bmp");
            form_->Load_Picture_Click();
        } else {
            form_->TextMEMO()->setFocus();
            QTest::keyClicks(form_->TextMEMO(), "ab");
            QTRY_COMPARE(questions_.size(), 1);
            form_->TextIDCode()->setFocus();  // leaving the box stores the memo
        }
        QCOMPARE(questions_.size(), 1);
        QVERIFY(questions_[0].contains("デモ"));

        const int16_t target = yes ? 4 : 3;
        QCOMPARE(store.GetCodeMaxNum(), target);
        QCOMPARE(store.GetCurCode(), target);
        QCOMPARE(CurIDCode, target);
        QCOMPARE(form_->Status()->DemoBanner()->isHidden(), yes);
        // Showing a new picture makes landmark 0 current, as every record display does.
        QCOMPARE(form_->CurLandMarkNum(), change == "picture" ? int16_t{0} : int16_t{5});
        // The change landed on the target record.
        if (change == "click") {
            QCOMPARE(storedLandMark(store, target, 5), std::make_pair(100.0f, 281.0f));
        } else if (change == "sex") {
            QCOMPARE(store.GetCurSex(), int16_t{0});
            QVERIFY(form_->OptionSex(0)->isChecked());
        } else if (change == "picture") {
            QCOMPARE(store.GetCurPictureName(), nextFile_.toStdString());
        } else {
            QCOMPARE(QString::fromStdString(store.GetCurMemo()),
                     QString::fromStdString("ab" + demoMemo));
        }
        if (!yes) return;
        // The copy carries the record's data; the demonstration record is as it was.
        QCOMPARE(store.GetCurSex(), change == "sex" ? int16_t{0} : int16_t{1});
        if (change != "picture") QCOMPARE(store.GetCurPictureName(), demoPicture);
        for (int16_t i = 0; i < 22; ++i) {
            const std::pair<float, float> demo{float(kDemoSetB[i].x), float(kDemoSetB[i].z)};
            QCOMPARE(storedLandMark(store, 3, i), demo);
            if (i != 5 || change != "click") QCOMPARE(storedLandMark(store, 4, i), demo);
        }
        store.SetCurCode(3);
        // (Typing that led to the question stays in the demonstration record too.)
        if (change != "memo") QCOMPARE(store.GetCurMemo(), demoMemo);
        QCOMPARE(store.GetCurSex(), int16_t{1});
        store.SetCurCode(4);
    }

    void demoCopyIsOfferedOncePerRun() {
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(20, 20));
        CurIDCode = 1;
        form_->TextIDCode_Change();
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(30, 30));
        QCOMPARE(questions_.size(), 1);
        // Own records are never asked about, and the banner's button starts one.
        QTest::mouseClick(form_->Status()->DemoNewButton(), Qt::LeftButton);
        QCOMPARE(form_->Session()->ShownCode(), int16_t{4});
        QVERIFY(form_->Status()->DemoBanner()->isHidden());
    }

    // Placed landmarks and the pointer's model coordinates in the status bar.
    void statusBarCountsAndFollowsThePointer() {
        QCOMPARE(form_->Status()->PlacedText()->text(), QStringLiteral("22/22 配置済み"));
        form_->New_Click();
        QCOMPARE(form_->Status()->PlacedText()->text(), QStringLiteral("0/22 配置済み"));
        // The bottom-left pixel gives (0, 1), never (0, 0), so it counts as placed.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(0, 480));
        QCOMPARE(form_->Status()->PlacedText()->text(), QStringLiteral("1/22 配置済み"));
        QTest::mouseMove(form_->Picture1(), QPoint(100, 200));
        QCOMPARE(form_->Status()->PointerText()->text(), QStringLiteral("x 100  z 281"));
        QCOMPARE(form_->Status()->LandMarkText()->text(), QStringLiteral("頭頂 = top of head"));
        QTest::mouseClick(form_->OptionLandMark(16), Qt::LeftButton);
        QCOMPARE(form_->Status()->LandMarkText()->text(),
                 QStringLiteral("右足 = right toe tip (subject's right)"));
    }

    // Resting on a row of the landmark table shows the figure for that row's landmark.
    void guideTipShowsTheRowsLandMark() {
        QWidget *row = form_->TextLandMark(9);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), row->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(row, &help);
        LandmarkGuide *tip = form_->GuideTips()->Tip();
        QVERIFY(tip->isVisible());
        QCOMPARE(tip->LandMark(), int16_t{9});
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(row, &leave);
        QVERIFY(!tip->isVisible());
    }

    // The figure faces the viewer: the subject's right lies on its left half, and each right
    // landmark mirrors its left partner.
    void guideFigureIsAFrontView() {
        const double middle = LandmarkGuide::kFigureFrame.width() / 2;
        for (int16_t i = 0; i < 22; ++i) {
            const QPointF at = LandmarkGuide::FigurePoint(i);
            switch (LandMarkSide(i)) {
                case BodySide::kRight:
                    QVERIFY2(at.x() < middle, LandMarkEnglishName(i));
                    break;
                case BodySide::kLeft:
                    QVERIFY2(at.x() > middle, LandMarkEnglishName(i));
                    break;
                case BodySide::kCentre:
                    QCOMPARE(at.x(), middle);
                    break;
            }
        }
        // Head above the feet, hands above the knees.
        QVERIFY(LandmarkGuide::FigurePoint(0).y() < LandmarkGuide::FigurePoint(16).y());
        QVERIFY(LandmarkGuide::FigurePoint(7).y() < LandmarkGuide::FigurePoint(13).y());
        QCOMPARE(LandmarkGuide::Caption(7),
                 QStringLiteral("右指 = right fingertip (subject's right)"));
        QCOMPARE(LandmarkGuide::Caption(22), QString());
    }

    // A press, moves with the button held and the release: the value boxes follow the pointer,
    // the record gets the press and then only the final position, and one undo step takes the
    // landmark back to where it was before the press.
    void dragStoresTheEndAndUndoesInOneStep() {
        form_->New_Click();
        StoredView store(*form_->Session());
        QTest::mouseClick(form_->TextLandMark(3), Qt::LeftButton);
        QCOMPARE(form_->CurLandMarkNum(), int16_t{3});
        QWidget *picture = form_->Picture1();
        QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(100, 200));
        QCOMPARE(store.GetLandMarkX(3), 100.0f);
        for (const QPoint at : {QPoint(110, 205), QPoint(130, 230), QPoint(150, 250)})
            dragMove(picture, at);
        QCOMPARE(form_->TextX(3)->text(), QStringLiteral("150"));
        QCOMPARE(form_->TextZ(3)->text(), QStringLiteral("231"));
        QCOMPARE(form_->Session()->LandMarks().GetLandMarkX(3), 150.0f);
        QCOMPARE(store.GetLandMarkX(3), 100.0f);  // nothing written while moving
        QCOMPARE(store.GetLandMarkZ(3), 281.0f);
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(150, 250));
        QCOMPARE(store.GetLandMarkX(3), 150.0f);
        QCOMPARE(store.GetLandMarkZ(3), 231.0f);
        QCOMPARE(form_->UndoStack()->count(), 1);
        QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(store.GetLandMarkX(3), 0.0f);
        QCOMPARE(store.GetLandMarkZ(3), 0.0f);
        QCOMPARE(form_->TextX(3)->text(), QStringLiteral("0"));
        QTest::keyClick(form_.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(store.GetLandMarkX(3), 150.0f);
        QCOMPARE(store.GetLandMarkZ(3), 231.0f);
    }

    // On a photo larger than the area (shown fitted, zoomed out) a drag follows the pointer in
    // the picture's own pixels, exactly as a press maps it.
    void dragOnAFittedPhotoUsesTheViewTransform() {
        QImage photo(2000, 1500, QImage::Format_RGB32);
        photo.fill(QColor(90, 120, 150));
        nextFile_ = dir_->filePath("large.png");
        QVERIFY(photo.save(nextFile_));
        form_->New_Click();
        form_->Load_Picture_Click();
        PictureView *view = form_->Picture1();
        QVERIFY(view->Zoom() < 0.5);
        const ViewTransform t = view->Transform(view->viewport()->devicePixelRatioF());
        const QPoint press(100, 80), end(250, 190);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, press);
        const float height = view->ScaleHeight();
        QCOMPARE(stored().landmarks[0].x, float(t.PictureX(press.x())));
        dragMove(view->viewport(), end);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, end);
        QCOMPARE(stored().landmarks[0].x, float(t.PictureX(end.x())));
        QCOMPARE(stored().landmarks[0].z, height - float(t.PictureY(end.y())));
        QCOMPARE(form_->Status()->PointerText()->text(),
                 QStringLiteral("x %1  z %2")
                     .arg(t.PictureX(end.x()))
                     .arg(double(height) - double(t.PictureY(end.y()))));
    }

    // Every kind of edit, undone back to the record as it was shown and redone again, compared
    // cell by cell through the store; the centres on file follow the landmarks undo wrote.
    void undoRedoEveryKindOfEdit() {
        form_->New_Click();
        StoredView store(*form_->Session());
        QWidget *picture = form_->Picture1();
        std::vector<RecordCells> states{cellsOf(store.Session())};
        QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(10, 20));
        states.push_back(cellsOf(store.Session()));
        QTest::mouseClick(form_->TextLandMark(1), Qt::LeftButton);
        QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(30, 40));
        dragMove(picture, QPoint(35, 45));
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(35, 45));
        states.push_back(cellsOf(store.Session()));
        QTest::keyClick(picture, Qt::Key_Right);  // picture has the focus from the press
        QTest::keyClick(picture, Qt::Key_Up, Qt::ShiftModifier);
        states.push_back(cellsOf(store.Session()));
        QTest::mouseClick(form_->OptionSex(1), Qt::LeftButton);
        states.push_back(cellsOf(store.Session()));
        nextFile_ = dir_->filePath("DEMO/demo001.bmp");
        form_->Load_Picture_Click();
        states.push_back(cellsOf(store.Session()));
        form_->TextMEMO()->setFocus();
        QTest::keyClicks(form_->TextMEMO(), "x");
        picture->setFocus();  // leaving the memo stores it
        states.push_back(cellsOf(store.Session()));
        std::array<LandMarkValue, 22> found{};
        for (int16_t i = 0; i < 22; ++i)
            found[static_cast<size_t>(i)] = {i, float(kDemoSetA[i].x), float(kDemoSetA[i].z)};
        form_->SetAllLandMarks(found);
        states.push_back(cellsOf(store.Session()));
        for (size_t k = 1; k < states.size(); ++k)
            QVERIFY2(!(states[k] == states[k - 1]), qPrintable(QString::number(k)));
        QCOMPARE(form_->UndoStack()->count(), int(states.size()) - 1);

        for (size_t k = states.size() - 1; k-- > 0;) {
            form_->MenuUndo()->trigger();
            QVERIFY2(cellsOf(store.Session()) == states[k], qPrintable(QString::number(k)));
        }
        QVERIFY(!form_->MenuUndo()->isEnabled());
        for (size_t k = 1; k < states.size(); ++k) {
            QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY2(cellsOf(store.Session()) == states[k], qPrintable(QString::number(k)));
        }
        form_->MenuUndo()->trigger();  // the automatic landmarks, as one step
        QVERIFY(cellsOf(store.Session()) == states[states.size() - 2]);

        // The centres undo stored are those of the landmarks it put back.
        ClassLANDMARK landMarks;
        for (int16_t i = 0; i < 22; ++i) {
            landMarks.SetLandMarkX(i, states[states.size() - 2].landMarks[i].first);
            landMarks.SetLandMarkZ(i, states[states.size() - 2].landMarks[i].second);
        }
        ClassSEGMENT segment(landMarks);
        segment.SetSex(1);
        segment.CalcCOGB();
        form_->close();
        auto book =
            store::makeWorkbookEngine()->open(dir_->filePath("PONDERA2D_2010.xls").toStdString());
        QCOMPARE(static_cast<float>(book->sheet("ID").cell(7, 5).number), segment.GetCOGBX());
        QCOMPARE(static_cast<float>(book->sheet("ID").cell(7, 6).number), segment.GetCOGBZ());
    }

    void nudgeMovesByOneOrTen_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<float>("dx");
        QTest::addColumn<float>("dz");
        QTest::newRow("right") << int(Qt::Key_Right) << false << 1.0f << 0.0f;
        QTest::newRow("left") << int(Qt::Key_Left) << false << -1.0f << 0.0f;
        QTest::newRow("up is z up") << int(Qt::Key_Up) << false << 0.0f << 1.0f;
        QTest::newRow("down") << int(Qt::Key_Down) << false << 0.0f << -1.0f;
        QTest::newRow("Shift+right") << int(Qt::Key_Right) << true << 10.0f << 0.0f;
        QTest::newRow("Shift+down") << int(Qt::Key_Down) << true << 0.0f << -10.0f;
    }
    // Each nudge is stored at once; a run of them is one undo step.
    void nudgeMovesByOneOrTen() {
        QFETCH(int, key);
        QFETCH(bool, shift);
        QFETCH(float, dx);
        QFETCH(float, dz);
        form_->New_Click();
        StoredView store(*form_->Session());
        QTest::mouseClick(form_->TextX(6), Qt::LeftButton);
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(200, 100));
        const Qt::KeyboardModifiers mods = shift ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::keyClick(form_->Picture1(), Qt::Key(key), mods);
        QCOMPARE(store.GetLandMarkX(6), 200.0f + dx);
        QCOMPARE(store.GetLandMarkZ(6), 381.0f + dz);
        QCOMPARE(form_->TextX(6)->text(), QString::number(200.0 + dx));
        QTest::keyClick(form_->Picture1(), Qt::Key(key), mods);
        QCOMPARE(store.GetLandMarkX(6), 200.0f + 2 * dx);
        QCOMPARE(store.GetLandMarkZ(6), 381.0f + 2 * dz);
        QCOMPARE(form_->UndoStack()->count(), 2);  // the click, then the run of nudges
        form_->MenuUndo()->trigger();
        QCOMPARE(store.GetLandMarkX(6), 200.0f);
        QCOMPARE(store.GetLandMarkZ(6), 381.0f);
    }

    void autoAdvance_data() {
        QTest::addColumn<bool>("on");
        QTest::newRow("off") << false;
        QTest::newRow("on") << true;
    }
    // A finished placement selects the next landmark when the option is on, 21 going to 0;
    // the option is off at first and remembered for the next start.
    void autoAdvance() {
        QFETCH(bool, on);
        QVERIFY(!form_->MenuAutoAdvance()->isChecked());
        QCOMPARE(form_->MenuAutoAdvance()->text(), QStringLiteral("次のLandMarkへ自動で進む"));
        form_->MenuAutoAdvance()->setChecked(on);
        form_->New_Click();
        QTest::mouseClick(form_->OptionLandMark(20), Qt::LeftButton);
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(form_->CurLandMarkNum(), on ? int16_t{21} : int16_t{20});
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(6, 6));
        QCOMPARE(form_->CurLandMarkNum(), on ? int16_t{0} : int16_t{20});
        QCOMPARE(form_->OptionLandMark(form_->CurLandMarkNum())->isChecked(), true);
        QCOMPARE(stored().landmarks[20].x, on ? 5.0f : 6.0f);
        QCOMPARE(stored().landmarks[21].x, on ? 6.0f : 0.0f);
        form_.reset();
        CurIDCode = -1;
        FormMain again;
        QCOMPARE(again.MenuAutoAdvance()->isChecked(), on);
    }

    // Landmarks are chosen by their name and value boxes and by keys anywhere in the window,
    // wrapping at both ends; choosing stores nothing.
    void selectionByBoxesAndKeys() {
        const RecordCells before = cellsOf(*form_->Session());
        QTest::mouseClick(form_->TextLandMark(7), Qt::LeftButton);
        QCOMPARE(form_->CurLandMarkNum(), int16_t{7});
        QVERIFY(form_->OptionLandMark(7)->isChecked());
        QCOMPARE(form_->TextX(7)->palette().color(QPalette::Base),
                 QApplication::palette().color(QPalette::HighlightedText));
        QTest::mouseClick(form_->TextZ(21), Qt::LeftButton);
        QCOMPARE(form_->CurLandMarkNum(), int16_t{21});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(form_->CurLandMarkNum(), int16_t{0});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(form_->CurLandMarkNum(), int16_t{21});
        form_->TextMEMO()->setFocus();  // also while typing in a text box
        QTest::keyClick(form_->TextMEMO(), Qt::Key_PageDown);
        QCOMPARE(form_->CurLandMarkNum(), int16_t{0});
        QTest::keyClick(form_->TextMEMO(), Qt::Key_PageUp);
        QTest::keyClick(form_->TextMEMO(), Qt::Key_PageUp);
        QCOMPARE(form_->CurLandMarkNum(), int16_t{20});
        QVERIFY(form_->OptionLandMark(20)->isChecked());
        QCOMPARE(form_->TextMEMO()->toPlainText().contains('\t'), false);
        QVERIFY(cellsOf(*form_->Session()) == before);
        QVERIFY(questions_.isEmpty());
    }

    // Skeleton lines lie under the markers, the subject's right and left in different colours,
    // and go away with the view option.
    void skeletonLinesBySide() {
        form_->New_Click();
        const auto place = [this](int n, QPoint at) {
            QTest::mouseClick(form_->TextLandMark(n), Qt::LeftButton);
            QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, at);
        };
        place(2, QPoint(400, 100));  // sternum over pubis: the trunk, on the midline
        place(3, QPoint(400, 300));
        place(5, QPoint(200, 150));  // right elbow to right wrist
        place(6, QPoint(260, 150));
        place(9, QPoint(500, 150));  // left elbow to left wrist
        place(10, QPoint(560, 150));
        const auto colourAt = [this](int x, int y) {
            return QColor::fromRgba(form_->Picture1()->Overlay().pixel(x, y));
        };
        const QColor trunk = colourAt(400, 200), right = colourAt(230, 150),
                     left = colourAt(530, 150);
        for (const QColor &c : {trunk, right, left})
            QCOMPARE(c.alpha(), 255);
        QVERIFY(right != left && right != trunk && left != trunk);
        // Markers stay on top in the window text colour.
        QCOMPARE(colourAt(400 + 4, 300), form_->Picture1()->ForeColor());
        form_->MenuShowSkeleton()->setChecked(false);
        QCOMPARE(colourAt(230, 150).alpha(), 0);
        QCOMPARE(colourAt(400, 200).alpha(), 0);
    }

  private:
    QTemporaryDir settingsDir_;
};

QTEST_MAIN(DigitizeTest)
#include "digitize_test.moc"
