// The picture view: the frame rule, fit and zoom limits, that a click reports the picture pixel
// the screen shows under it, markers of constant screen size on the pixel they mark, the
// magnifier and panning. The ctest entries run this program at device pixel ratios 1, 1.25, 1.5
// and 2 (QT_SCALE_FACTOR), so the mapping is checked on real device pixels at each.
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <memory>

#include "app/PictureView.h"

using namespace pondera;

namespace {

// A picture whose every pixel names its own position: red and green the low bits of x and y,
// blue their high nibbles (pictures up to 4096 x 4096).
QImage codedPicture(int w, int h) {
    QImage picture(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb(x & 255, y & 255, ((x >> 8) << 4) | (y >> 8));
    }
    return picture;
}
QPoint decoded(QRgb c) {
    return {qRed(c) | ((qBlue(c) >> 4) << 8), qGreen(c) | ((qBlue(c) & 15) << 8)};
}

int blendedPixels(const QImage &overlay) {
    int count = 0;
    for (int y = 0; y < overlay.height(); ++y)
        for (int x = 0; x < overlay.width(); ++x) {
            const int alpha = qAlpha(overlay.pixel(x, y));
            if (alpha != 0 && alpha != 255) ++count;
        }
    return count;
}

bool drawn(const QImage &overlay, int x, int y) {
    return qAlpha(overlay.pixel(x, y)) == 255;
}

}  // namespace

class PictureViewTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        view_ = std::make_unique<PictureView>();
        view_->setGeometry(0, 0, 641, 481);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
        // The entries that set a scale factor really run at that device pixel ratio.
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QCOMPARE(view_->viewport()->devicePixelRatioF(),
                     qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }
    void cleanup() { view_.reset(); }

    void frameRuleAndFit_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<double>("fit");
        QTest::newRow("640 x 480") << QSize(640, 480) << QSize(641, 481) << 1.0;
        QTest::newRow("100 x 80") << QSize(100, 80) << QSize(641, 481) << 1.0;
        QTest::newRow("4032 x 3024") << QSize(4032, 3024) << QSize(4033, 3025) << 641.0 / 4033;
        QTest::newRow("1080 x 1920") << QSize(1080, 1920) << QSize(1081, 1921) << 481.0 / 1921;
        QTest::newRow("none") << QSize() << QSize(641, 481) << 1.0;
    }
    void frameRuleAndFit() {
        QFETCH(QSize, picture);
        QFETCH(QSize, area);
        QFETCH(double, fit);
        QImage image;
        if (picture.isValid()) {
            image = QImage(picture, QImage::Format_RGB32);
            image.fill(Qt::white);
        }
        view_->SetPicture(image);
        QCOMPARE(view_->ScaleWidth(), float(area.width()));
        QCOMPARE(view_->ScaleHeight(), float(area.height()));
        QVERIFY(view_->IsFitted());
        QVERIFY(qAbs(view_->Zoom() - fit) < 1e-9);
        // Fitted, the whole area is in view: no scrolling.
        QCOMPARE(view_->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(view_->verticalScrollBar()->maximum(), 0);
        QVERIFY(area.width() * view_->Zoom() <= 641 + 1e-9);
        QVERIFY(area.height() * view_->Zoom() <= 481 + 1e-9);
    }

    void clicksLandOnThePixelShown_data() {
        QTest::addColumn<double>("zoom");
        QTest::newRow("1:1") << 1.0;
        QTest::newRow("one step in") << StepZoom(1.0, 1);
        QTest::newRow("2") << 2.0;
        QTest::newRow("seven steps in") << StepZoom(1.0, 7);
        QTest::newRow("16") << 16.0;
    }
    void clicksLandOnThePixelShown() {
        QFETCH(double, zoom);
        view_->SetPicture(codedPicture(1200, 900));
        view_->SetZoom(zoom, QPointF(0, 0));
        view_->horizontalScrollBar()->setValue(
            std::min(37, view_->horizontalScrollBar()->maximum()));
        view_->verticalScrollBar()->setValue(std::min(53, view_->verticalScrollBar()->maximum()));
        const double ratio = view_->viewport()->devicePixelRatioF();
        const QImage shown = view_->viewport()->grab().toImage();
        QSignalSpy spy(view_.get(), &PictureView::mouseDown);
        for (const QPoint at : {QPoint(0, 1), QPoint(1, 1), QPoint(3, 7), QPoint(101, 203),
                                QPoint(333, 222), QPoint(639, 479)}) {
            const QPoint device(Axis::DeviceAt(at.x(), ratio), Axis::DeviceAt(at.y(), ratio));
            const QPoint expected = decoded(shown.pixel(device));
            QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, at);
            QVERIFY(!spy.isEmpty());
            const QList<QVariant> args = spy.takeLast();
            QCOMPARE(QPoint(args.at(2).toInt(), args.at(3).toInt()), expected);
            QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, at);
        }
    }

    void markersKeepScreenSizeOnTheirPixel_data() {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<double>("ratio");
        for (const double zoom : {1.0, 3.0, 8.0})
            for (const double ratio : {1.0, 1.25, 1.5, 2.0})
                QTest::addRow("zoom %g ratio %g", zoom, ratio) << zoom << ratio;
    }
    void markersKeepScreenSizeOnTheirPixel() {
        QFETCH(double, zoom);
        QFETCH(double, ratio);
        QImage white(640, 480, QImage::Format_RGB32);
        white.fill(Qt::white);
        view_->SetPicture(white);
        view_->SetZoom(zoom, QPointF(0, 0));
        view_->horizontalScrollBar()->setValue(int(90 * zoom) - 100);
        view_->verticalScrollBar()->setValue(int(190 * zoom) - 100);
        const QColor magenta(128, 0, 128);
        view_->Marker(100, 200, 8, magenta, true);
        const QImage shown = view_->Render(ratio);
        const ViewTransform t = view_->Transform(ratio);
        const int cx = int(t.x.DeviceCentreOf(100)), cy = int(t.y.DeviceCentreOf(200));
        QCOMPARE(t.x.PictureAtDevice(cx), 100L);
        QCOMPARE(t.y.PictureAtDevice(cy), 200L);
        const int r = int(std::lround(8 * ratio));
        QCOMPARE(shown.pixelColor(cx, cy), magenta);  // the cross
        QCOMPARE(shown.pixelColor(cx + r, cy), magenta);
        QCOMPARE(shown.pixelColor(cx, cy - r), magenta);
        QCOMPARE(shown.pixelColor(cx + r + 2, cy), QColor(Qt::white));
        QCOMPARE(shown.pixelColor(cx + 2, cy + 2), QColor(Qt::white));
    }

    void circlesAndCrossesAreOnePixelWithoutBlending() {
        const QColor colour(128, 0, 128);
        view_->Marker(100, 200, 8, colour, false);
        view_->Marker(50, 20, 4, colour, true);
        const QImage overlay = view_->Overlay();
        QCOMPARE(blendedPixels(overlay), 0);
        // The outline passes through the four points at the radius; the centre stays clear.
        QVERIFY(drawn(overlay, 108, 200));
        QVERIFY(drawn(overlay, 92, 200));
        QVERIFY(drawn(overlay, 100, 192));
        QVERIFY(drawn(overlay, 100, 208));
        QVERIFY(!drawn(overlay, 100, 200));
        QVERIFY(!drawn(overlay, 104, 200));
        QCOMPARE(overlay.pixelColor(108, 200), colour);
        for (int x = 46; x <= 54; ++x)
            QVERIFY(drawn(overlay, x, 20));
        QVERIFY(!drawn(overlay, 52, 19));
        view_->Cls();
        QVERIFY(!drawn(view_->Overlay(), 108, 200));
    }

    void pictureShownUnscaledFromTopLeft() {
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(QColor(200, 10, 20));
        view_->SetPicture(picture);
        const QImage shown = view_->Composed();
        QCOMPARE(shown.pixelColor(0, 0), QColor(200, 10, 20));
        QCOMPARE(shown.pixelColor(639, 479), QColor(200, 10, 20));
        // The last column and row are background (window background colour).
        const QColor background = view_->palette().color(QPalette::Base);
        QCOMPARE(shown.pixelColor(640, 100), background);
        QCOMPARE(shown.pixelColor(100, 480), background);
        view_->SetPicture(QImage());
        QCOMPARE(view_->Composed().pixelColor(10, 10), background);
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
        QSignalSpy spy(view_.get(), &PictureView::mouseDown);
        QTest::mousePress(view_->viewport(), button, modifiers, QPoint(100, 200));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), code);
        QCOMPARE(spy.at(0).at(1).toInt(), shift);
        if (view_->viewport()->devicePixelRatioF() == 1.0) {
            QCOMPARE(spy.at(0).at(2).toFloat(), 100.0f);
            QCOMPARE(spy.at(0).at(3).toFloat(), 200.0f);
        }
    }

    void drawingSurvivesRepaintsUntilCls() {
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(Qt::white);
        view_->SetPicture(picture);
        view_->Marker(20, 10, 4, Qt::black, true);
        for (int i = 0; i < 3; ++i) {
            view_->viewport()->repaint();
            QCOMPARE(view_->Composed().pixelColor(20, 10), QColor(Qt::black));
        }
        view_->Cls();
        QCOMPARE(view_->Composed().pixelColor(20, 10), QColor(Qt::white));  // the picture stays
    }

    void zoomLimitsAndZoomAboutThePointer() {
        view_->SetPicture(codedPicture(4032, 3024));
        const double fit = view_->Zoom();
        view_->SetZoom(1000, QPointF(10, 10));
        QCOMPARE(view_->Zoom(), kMaxZoom);
        QVERIFY(kMaxZoom >= 16);
        view_->SetZoom(1e-4, QPointF(10, 10));
        QCOMPARE(view_->Zoom(), fit);
        QVERIFY(view_->IsFitted());
        // Ctrl+wheel zooms about the pointer: the picture pixel under it stays there.
        const QPointF at(200, 150);
        for (int i = 0; i < 12; ++i) {
            const ViewTransform before = view_->Transform(1.0);
            QWheelEvent wheel(at, view_->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120),
                              Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view_->viewport(), &wheel);
            const ViewTransform after = view_->Transform(1.0);
            QVERIFY(view_->Zoom() > before.x.scale);
            // Within a screen pixel: scroll positions are whole pixels.
            const long slack = std::max(1L, long(std::ceil(1.0 / before.x.scale)));
            QVERIFY(qAbs(after.PictureX(at.x()) - before.PictureX(at.x())) <= slack);
            QVERIFY(qAbs(after.PictureY(at.y()) - before.PictureY(at.y())) <= slack);
        }
        // Keys: - out, + in, 0 fits.
        view_->setFocus();
        const double z = view_->Zoom();
        QTest::keyClick(view_.get(), Qt::Key_Minus);
        QVERIFY(view_->Zoom() < z);
        QTest::keyClick(view_.get(), Qt::Key_Plus);
        QVERIFY(qAbs(view_->Zoom() - z) < 1e-9);
        QTest::keyClick(view_.get(), Qt::Key_0);
        QVERIFY(view_->IsFitted());
        // A small picture is never shown below 1:1.
        view_->SetPicture(codedPicture(100, 80));
        QTest::keyClick(view_.get(), Qt::Key_Minus);
        QCOMPARE(view_->Zoom(), 1.0);
    }

    void panningWithWheelAndKeys() {
        view_->SetPicture(codedPicture(4032, 3024));
        view_->SetZoom(1.0, QPointF(0, 0));
        QScrollBar *h = view_->horizontalScrollBar();
        QScrollBar *v = view_->verticalScrollBar();
        h->setValue(500);
        v->setValue(500);
        const auto wheel = [&](QPoint delta, Qt::KeyboardModifiers modifiers) {
            QWheelEvent event(QPointF(50, 50), view_->viewport()->mapToGlobal(QPointF(50, 50)),
                              QPoint(), delta, Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view_->viewport(), &event);
        };
        wheel(QPoint(0, -120), Qt::NoModifier);
        QVERIFY(v->value() > 500);
        QCOMPARE(h->value(), 500);
        wheel(QPoint(0, -120), Qt::ShiftModifier);
        QVERIFY(h->value() > 500);
        const int x = h->value(), y = v->value();
        view_->setFocus();
        QTest::keyClick(view_.get(), Qt::Key_Left);
        QVERIFY(h->value() < x);
        QTest::keyClick(view_.get(), Qt::Key_Up);
        QVERIFY(v->value() < y);
        QCOMPARE(view_->Zoom(), 1.0);  // panning never zooms
    }

    void magnifierShowsThePixelUnderThePointer() {
        view_->SetPicture(codedPicture(4032, 3024));  // fitted: six picture pixels per screen one
        const QPointF at(300, 200);
        view_->SetHover(at);
        const double ratio = 1.0;
        const QImage shown = view_->Render(ratio);
        const ViewTransform t = view_->Transform(ratio);
        const long px = t.PictureX(at.x()), py = t.PictureY(at.y());
        // The loupe sits below right of the pointer; the pixel under the pointer is its centre,
        // kLoupeZoom screen pixels wide.
        const int left = 300 + 16, top = 200 + 16;
        const int scale = PictureView::kLoupeZoom;
        const long offX = std::lround((px + 0.5) * scale - PictureView::kLoupeSize / 2.0);
        const long offY = std::lround((py + 0.5) * scale - PictureView::kLoupeSize / 2.0);
        const int cx = int(left + px * scale - offX + 1), cy = int(top + py * scale - offY + 1);
        QCOMPARE(decoded(shown.pixel(cx, cy)), QPoint(int(px), int(py)));
        // Its neighbours, away from the cross-hair through the centre.
        QCOMPARE(decoded(shown.pixel(cx + scale, cy - 1)), QPoint(int(px + 1), int(py)));
        QCOMPARE(decoded(shown.pixel(cx - 1, cy - scale)), QPoint(int(px), int(py - 1)));
        // Switched off, the view shows no loupe there.
        view_->SetMagnifierEnabled(false);
        QVERIFY(decoded(view_->Render(ratio).pixel(cx + scale, cy)) !=
                QPoint(int(px + 1), int(py)));
        // Zoomed in far enough, the view itself shows the pixels; no loupe.
        view_->SetMagnifierEnabled(true);
        view_->SetZoom(8.0, at);
        const QImage hovered = view_->Render(ratio);
        view_->SetHover(std::nullopt);
        QCOMPARE(hovered, view_->Render(ratio));
    }

  private:
    std::unique_ptr<PictureView> view_;
};

QTEST_MAIN(PictureViewTest)
#include "picture_view_test.moc"
