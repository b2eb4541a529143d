// Picture → Detect Landmarks in the real main window, offscreen: detection after Load Picture, a
// photo without a person, the user's placements during a detection, and a build without the
// network.
#include <QAction>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "app/PictureView.h"
#include "pose/ModelLocation.h"
#include "tests/app/window_fixture.h"

using namespace pondera;

namespace {

const QString kPhotos = QStringLiteral(POSE_TEST_PHOTOS);
constexpr int kWaitMs = 30000;  // a detection takes a fraction of a second; the machine may be busy

}  // namespace

// The copy of a demonstration record is declined: these cases change the record itself.
class DetectWindowTest : public QObject, private pondera::test::WindowFixture {
    Q_OBJECT
  private slots:
    void init() {
        setUpWindow();
        model_ = pose::locateModel(POSE_TEST_MODEL_DIR);
    }
    void cleanup() { tearDownWindow(); }

    void loadPictureOnAnUnplacedRecordDetectsAllLandmarks() {
        requireModel();
        start();
        form_->New_Click();
        QVERIFY(form_->MenuDetect_Landmarks()->isEnabled());
        nextFile_ = standingMan();
        form_->Load_Picture_Click();
        QVERIFY(form_->Detection()->Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!form_->Detection()->Busy(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(form_->TextX(4)->text() != "0", kWaitMs);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));

        // Every landmark is in the record as its row shows it, in the 641 x 481 area's frame.
        const report::RecordData record = stored();
        for (int16_t i = 0; i < 22; ++i) {
            QCOMPARE(form_->TextX(i)->text(),
                     QString::number(double(record.landmarks[i].x), 'g', 7));
            QCOMPARE(form_->TextZ(i)->text(),
                     QString::number(double(record.landmarks[i].z), 'g', 7));
        }
        // The right shoulder, placed by hand at picture (48, 162).
        QVERIFY(std::abs(record.landmarks[4].x - 48) < 12);
        QVERIFY(std::abs(record.landmarks[4].z - (481 - 162)) < 12);
        QVERIFY(!form_->TextCOGX()->text().isEmpty());

        // Derived landmarks are marked in their rows and on the picture until the user places them.
        for (int16_t i : {0, 1, 2, 3, 7, 11}) {
            QVERIFY(form_->NeedsCheck(i));
            QVERIFY(form_->TextLandMark(i)->text().startsWith("? "));
        }
        QVERIFY(!form_->NeedsCheck(4));
        QCOMPARE(form_->TextLandMark(4)->text(), QString("右肩関節"));
        form_->OptionLandMark(0)->click();
        form_->Picture1_MouseDown(1, 0, 80, 80);
        QVERIFY(!form_->NeedsCheck(0));
        QCOMPARE(form_->TextLandMark(0)->text(), QString("頭頂"));
        QCOMPARE(stored().landmarks[0].z, 481.0f - 80);
    }

    void aPhotoWithoutAPersonChangesNothing() {
        requireModel();
        start();  // the newest demonstration record, its landmarks placed
        const QString before = form_->TextX(5)->text() + form_->TextZ(5)->text();
        nextFile_ = kPhotos + "/fruits.jpg";
        form_->Load_Picture_Click();
        QVERIFY2(!form_->Detection()->Busy(), "placed landmarks: no detection of its own");
        form_->Detect_Landmarks_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!messages_.isEmpty(), kWaitMs);
        QVERIFY2(messages_.last().contains("人物が見つからない"), qPrintable(messages_.last()));
        QCOMPARE(form_->TextX(5)->text() + form_->TextZ(5)->text(), before);
        for (int16_t i = 0; i < 22; ++i)
            QVERIFY(!form_->NeedsCheck(i));
    }

    void aLandmarkPlacedDuringTheDetectionIsKept() {
        requireModel();
        start();
        form_->New_Click();
        nextFile_ = standingMan();
        form_->Load_Picture_Click();
        QVERIFY(form_->Detection()->Busy());
        form_->OptionLandMark(5)->click();
        form_->Picture1_MouseDown(1, 0, 10, 20);
        QTRY_VERIFY_WITH_TIMEOUT(!form_->Detection()->Busy(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(form_->TextX(4)->text() != "0", kWaitMs);
        QCOMPARE(stored().landmarks[5].x, 10.0f);
        QCOMPARE(stored().landmarks[5].z, 481.0f - 20);
        QVERIFY(!form_->NeedsCheck(5));
    }

    void withoutTheNetworkTheItemIsGreyedAndSaysWhy() {
        model_ = {{}, "The pose network was not built: npm was not found."};
        start();
        QAction *item = form_->MenuDetect_Landmarks();
        QCOMPARE(item->text(), QString("Detect Landmarks(&D)"));
        QCOMPARE(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
        QVERIFY(!item->isEnabled());
        QVERIFY(item->toolTip().contains("npm was not found"));
        form_->New_Click();
        nextFile_ = standingMan();
        form_->Load_Picture_Click();
        QVERIFY(!form_->Detection()->Busy());
        QCOMPARE(form_->TextX(4)->text(), QString("0"));
        QVERIFY(messages_.isEmpty());
    }

  private:
    void requireModel() {
        if (!model_.found())
            QSKIP(qPrintable("no pose network in this build: " +
                             QString::fromStdString(model_.whyMissing)));
    }
    // The left 300 columns of basketball1.png: one man standing.
    QString standingMan() {
        const QString path = QDir::current().filePath("standing.png");
        QImage whole(kPhotos + "/basketball1.png");
        if (whole.isNull() || !whole.copy(0, 0, 300, 480).save(path)) return {};
        return path;
    }
    FormMainHooks hooks() override {
        FormMainHooks h = WindowFixture::hooks();
        h.poseModel = [this] { return model_; };
        return h;
    }

    pose::ModelLocation model_;
};

QTEST_MAIN(DetectWindowTest)
#include "detect_window_test.moc"
