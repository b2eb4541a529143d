#include <QTest>
#include <cfloat>

#include "base/error.h"
#include "session/Graphics.h"

using namespace pondera;

class GraphicsTest : public QObject {
    Q_OBJECT
  private slots:
    void pictureToModel_data() {
        QTest::addColumn<float>("picX");
        QTest::addColumn<float>("picY");
        QTest::addColumn<float>("modelX");
        QTest::addColumn<float>("modelZ");
        QTest::newRow("click at (100, 200)") << 100.0f << 200.0f << 100.0f << 281.0f;
        QTest::newRow("top pixel row") << 0.0f << 0.0f << 0.0f << 481.0f;
        QTest::newRow("bottom pixel row") << 640.0f << 480.0f << 640.0f << 1.0f;
        QTest::newRow("fractional position") << 12.25f << 100.5f << 12.25f << 380.5f;
        QTest::newRow("outside below") << -3.0f << 500.0f << -3.0f << -19.0f;
    }
    void pictureToModel() {
        QFETCH(float, picX);
        QFETCH(float, picY);
        QFETCH(float, modelX);
        QFETCH(float, modelZ);
        const int32_t width = 641, height = 481;
        QCOMPARE(PicToModelX(picX, width), modelX);
        QCOMPARE(PicToModelZ(picY, height), modelZ);
        // And back, with the unrounded size.
        QCOMPARE(ModelToPicX(modelX, 641.0f), picX);
        QCOMPARE(ModelToPicY(modelZ, 481.0f), picY);
    }

    void widthIsIgnored() {
        QCOMPARE(PicToModelX(7.5f, 0), 7.5f);
        QCOMPARE(ModelToPicX(7.5f, -1.0f), 7.5f);
    }

    void modelToPictureKeepsFraction() { QCOMPARE(ModelToPicY(0.25f, 480.5f), 480.25f); }

    void roundScale_data() {
        QTest::addColumn<float>("scale");
        QTest::addColumn<int>("rounded");
        QTest::newRow("whole") << 481.0f << 481;
        QTest::newRow("below half") << 481.4f << 481;
        QTest::newRow("above half") << 481.6f << 482;
        QTest::newRow("tie to even, down") << 640.5f << 640;
        QTest::newRow("tie to even, up") << 641.5f << 642;
        QTest::newRow("negative tie") << -2.5f << -2;
    }
    void roundScale() {
        QFETCH(float, scale);
        QFETCH(int, rounded);
        QCOMPARE(RoundScale(scale), rounded);
    }

    void overflowRaisesError6() {
        try {
            ModelToPicY(-FLT_MAX, FLT_MAX);
            QFAIL("no error raised");
        } catch (const Error &e) {
            QCOMPARE(e.number(), 6);
        }
        try {
            PicToModelZ(FLT_MAX, INT32_MIN);
        } catch (const Error &) {
            QFAIL("a finite difference is no overflow");
        }
        try {
            RoundScale(3e9f);
            QFAIL("no error raised");
        } catch (const Error &e) {
            QCOMPARE(e.number(), 6);
        }
    }
};

QTEST_APPLESS_MAIN(GraphicsTest)
#include "graphics_test.moc"
