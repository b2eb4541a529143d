// Aids to digitizing in the real main window: the status bar, the landmark guide and the offer
// to copy a demonstration record before changing it. Values are read back through the store.
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/FormMain.h"
#include "app/LandmarkGuide.h"
#include "app/ModuleMain.h"
#include "app/PictureBox.h"
#include "app/StatusPanel.h"
#include "model/EnglishNames.h"
#include "model/demo_landmarks.h"

using namespace pondera;

namespace {

// A landmark of one record as the store holds it; the store is put back on the record shown.
std::pair<float, float> storedLandMark(ClassEXCEL &store, int16_t code, int16_t index) {
    const int16_t shown = store.GetCurCode();
    store.SetCurCode(code);
    const std::pair<float, float> value{store.GetLandMarkX(index), store.GetLandMarkZ(index)};
    store.SetCurCode(shown);
    return value;
}

}  // namespace

class DigitizeTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(QDir::setCurrent(dir_->path()));
        questions_.clear();
        messages_.clear();
        answer_ = false;
        CurIDCode = -1;
        FormMainHooks h;
        h.message = [this](const QString &text) { messages_ << text; };
        h.chooseFile = [this](QWidget *) { return nextFile_; };
        h.runDialog = [](QDialog &dialog) { return int(dialog.result()); };
        h.ask = [this](const QString &text) {
            questions_ << text;
            return answer_;
        };
        form_ = std::make_unique<FormMain>(h);
        QVERIFY(form_->IsLoaded());
        form_->ShowNotices();
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }
    void cleanup() {
        form_.reset();
        QDir::setCurrent(QDir::tempPath());
        dir_.reset();
    }

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
        ClassEXCEL &store = *form_->Excel();
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
        QCOMPARE(form_->Excel()->GetCurCode(), int16_t{4});
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

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FormMain> form_;
    QStringList questions_;
    QStringList messages_;
    QString nextFile_;
    bool answer_ = false;
};

QTEST_MAIN(DigitizeTest)
#include "digitize_test.moc"
