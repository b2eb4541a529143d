// The landmark guide: its caption is never cut at any font size, and the foot landmarks get a
// side view that the front view cannot give.
#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include "app/LandmarkGuide.h"

using namespace pondera;

class GuideTest : public QObject {
    Q_OBJECT
  private slots:
    void captionFitsAtEveryFontSize_data() {
        QTest::addColumn<int>("pixels");
        QTest::addColumn<int>("landMark");
        // 96 dpi and 144 dpi interface fonts, and a large-print one.
        for (const int pixels : {10, 13, 16, 20, 28})
            for (const int landMark : {0, 7, 12, 16, 21})
                QTest::addRow("%dpx-landmark-%d", pixels, landMark) << pixels << landMark;
    }
    void captionFitsAtEveryFontSize() {
        QFETCH(int, pixels);
        QFETCH(int, landMark);
        LandmarkGuide guide;
        QFont font = guide.font();
        font.setPixelSize(pixels);
        guide.setFont(font);
        guide.SetLandMark(static_cast<int16_t>(landMark));
        guide.resize(guide.sizeHint());

        const LandmarkGuide::Layout layout = guide.LayoutFor(guide.width());
        const QRect needed = QFontMetrics(font).boundingRect(
            QRect(0, 0, static_cast<int>(layout.text.width()), 100000),
            Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, guide.Text());
        // Every wrapped line of the caption lies inside the text area, and the area inside the
        // widget, so the last line ("...the subject's right is on your left") is never cut.
        QVERIFY(needed.height() <= layout.text.height() + 0.5);
        QVERIFY(needed.width() <= layout.text.width() + 0.5);
        QVERIFY(layout.text.bottom() <= guide.height());
        QVERIFY(layout.figure.bottom() <= layout.text.top());
        QVERIFY(guide.rect().toRectF().contains(layout.figure));
    }

    // The side view is drawn for the ankles, heels and toe tips only, beside the front view and
    // above the caption, inside the widget.
    void footLandmarksGetASideView() {
        LandmarkGuide guide;
        for (int16_t i = 0; i < 22; ++i) {
            guide.SetLandMark(i);
            guide.resize(guide.sizeHint());
            const LandmarkGuide::Layout layout = guide.LayoutFor(guide.width());
            const bool foot = i == 14 || i == 15 || i == 16 || i == 19 || i == 20 || i == 21;
            QCOMPARE(LandmarkGuide::HasSideView(i), foot);
            QCOMPARE(!layout.side.isEmpty(), foot);
            if (!foot) continue;
            QVERIFY(guide.rect().toRectF().contains(layout.side));
            QVERIFY(!layout.side.intersects(layout.figure));
            QVERIFY(layout.side.bottom() <= layout.text.top());
            QCOMPARE(guide.Text().count(QLatin1Char('\n')), 2);
        }
    }

    // What the guide paints for a heel differs from what it paints for the ankle of the same
    // foot: the ring moves in the side view although both sit almost together in the front view.
    void sideViewRingsTheChosenFootPoint() {
        const auto paint = [](int16_t index) {
            LandmarkGuide guide;
            guide.SetLandMark(index);
            guide.resize(guide.sizeHint());
            QImage image(guide.size(), QImage::Format_ARGB32);
            guide.render(&image);
            return image.copy(guide.LayoutFor(guide.width()).side.toAlignedRect());
        };
        QVERIFY(paint(15) != paint(16));
        QVERIFY(paint(15) != paint(14));
        QCOMPARE(paint(15), paint(20));
    }
};

QTEST_MAIN(GuideTest)
#include "guide_test.moc"
