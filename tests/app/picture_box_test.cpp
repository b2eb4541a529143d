#include <QSignalSpy>
#include <QTest>

#include "app/PictureBox.h"

using namespace pondera;

namespace {

// Pixels of the drawing that are neither fully clear nor fully the drawing colour: there are
// none without antialiasing.
int blendedPixels(const QImage &overlay) {
    int count = 0;
    for (int y = 0; y < overlay.height(); ++y)
        for (int x = 0; x < overlay.width(); ++x) {
            const int alpha = qAlpha(overlay.pixel(x, y));
            if (alpha != 0 && alpha != 255) ++count;
        }
    return count;
}

bool drawn(QImage overlay, int x, int y) {
    return qAlpha(overlay.pixel(x, y)) == 255;
}

}  // namespace

class PictureBoxTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        box_ = std::make_unique<PictureBox>();
        box_->setGeometry(0, 0, 641, 481);
    }
    void cleanup() { box_.reset(); }

    void scaleIsInnerPixelSize() {
        QCOMPARE(box_->ScaleWidth(), 641.0f);
        QCOMPARE(box_->ScaleHeight(), 481.0f);
        QCOMPARE(box_->cursor().shape(), Qt::CrossCursor);
    }

    void pictureShownUnscaledFromTopLeft() {
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(QColor(200, 10, 20));
        box_->SetPicture(picture);
        const QImage shown = box_->Composed();
        QCOMPARE(shown.pixelColor(0, 0), QColor(200, 10, 20));
        QCOMPARE(shown.pixelColor(639, 479), QColor(200, 10, 20));
        // The last column and row are background (window background colour).
        const QColor background = box_->palette().color(QPalette::Base);
        QCOMPARE(shown.pixelColor(640, 100), background);
        QCOMPARE(shown.pixelColor(100, 480), background);
        box_->SetPicture(QImage());
        QCOMPARE(box_->Composed().pixelColor(10, 10), background);
    }

    void pressesOfEveryButtonReported_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("shift");
        QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers() << 1 << 0;
        QTest::newRow("right + shift")
            << Qt::RightButton << Qt::KeyboardModifiers(Qt::ShiftModifier) << 2 << 1;
        QTest::newRow("middle + ctrl + alt")
            << Qt::MiddleButton << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier) << 4
            << 6;
    }
    void pressesOfEveryButtonReported() {
        QFETCH(Qt::MouseButton, button);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, code);
        QFETCH(int, shift);
        QSignalSpy spy(box_.get(), &PictureBox::mouseDown);
        QTest::mousePress(box_.get(), button, modifiers, QPoint(100, 200));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), code);
        QCOMPARE(spy.at(0).at(1).toInt(), shift);
        QCOMPARE(spy.at(0).at(2).toFloat(), 100.0f);
        QCOMPARE(spy.at(0).at(3).toFloat(), 200.0f);
    }

    void circlesAndLinesAreOnePixelWithoutBlending() {
        const QColor colour(128, 0, 128);
        box_->Cls();
        box_->Circle(100, 200, 8, colour);
        box_->Line(50, 20, 60, 20, colour);
        const QImage overlay = box_->Overlay();
        QCOMPARE(blendedPixels(overlay), 0);
        // The outline passes through the four points at the radius; the centre stays clear.
        QVERIFY(drawn(overlay, 108, 200));
        QVERIFY(drawn(overlay, 92, 200));
        QVERIFY(drawn(overlay, 100, 192));
        QVERIFY(drawn(overlay, 100, 208));
        QVERIFY(!drawn(overlay, 100, 200));
        QVERIFY(!drawn(overlay, 104, 200));
        QCOMPARE(overlay.pixelColor(108, 200), colour);
        for (int x = 50; x <= 59; ++x)
            QVERIFY(drawn(overlay, x, 20));
        QVERIFY(!drawn(overlay, 55, 19));
        QVERIFY(!drawn(overlay, 55, 21));
    }

    void drawingSurvivesRepaintsUntilCls() {
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(Qt::white);
        box_->SetPicture(picture);
        box_->Line(10, 10, 30, 10, Qt::black);
        box_->show();
        QVERIFY(QTest::qWaitForWindowExposed(box_.get()));
        for (int i = 0; i < 3; ++i) {
            const QImage shown = box_->grab().toImage();
            QCOMPARE(shown.pixelColor(20, 10), QColor(Qt::black));
        }
        box_->Cls();
        const QImage shown = box_->grab().toImage();
        QCOMPARE(shown.pixelColor(20, 10), QColor(Qt::white));  // the picture stays
    }

  private:
    std::unique_ptr<PictureBox> box_;
};

QTEST_MAIN(PictureBoxTest)
#include "picture_box_test.moc"
