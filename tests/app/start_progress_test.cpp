// Progress on a long start: the timer's rule without a widget, and the real window started in
// a folder of its own with the store's steps slowed down by an injected clock.
#include <QDir>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "app/StartProgress.h"

using namespace pondera;

namespace {

struct StepSeen {
    StartStep step;
    bool shown;
    QString message;
};

}  // namespace

class StartProgressTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(QDir::setCurrent(dir_->path()));
    }
    void cleanup() {
        QDir::setCurrent(QDir::tempPath());
        dir_.reset();
    }

    // Each row: milliseconds the clock moves before each of the four steps, the workbook's size,
    // and which of the steps are shown.
    void timerShowsOnlyALongStart_data() {
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<qulonglong>("bytes");
        QTest::addColumn<QString>("shown");  // one letter per step: y or n
        QTest::newRow("quick") << QList<int>{0, 100, 100, 100} << 1000ull << "nnnn";
        QTest::newRow("just under") << QList<int>{0, 0, 0, 499} << 1000ull << "nnnn";
        QTest::newRow("slow open") << QList<int>{0, 600, 0, 0} << 1000ull << "nyyy";
        QTest::newRow("slow late") << QList<int>{0, 0, 0, 500} << 1000ull << "nnny";
        QTest::newRow("large file") << QList<int>{0, 0, 0, 0} << (64ull << 20) << "yyyy";
        // Converting is slow for its size: a package of a few megabytes is shown from its start.
        QTest::newRow("large package") << QList<int>{0, 0, 0, 0} << (4ull << 20) << "nyyy";
    }
    void timerShowsOnlyALongStart() {
        QFETCH(QList<int>, before);
        QFETCH(qulonglong, bytes);
        QFETCH(QString, shown);
        int64_t now = 0;
        StartProgressTimer timer([&now] { return now; });
        const StartStep steps[] = {StartStep::Opening, StartStep::Converting, StartStep::Recovering,
                                   StartStep::Writing};
        QString seen;
        for (int i = 0; i < 4; ++i) {
            now += before[i];
            seen += timer.Begin(steps[i], bytes) ? 'y' : 'n';
        }
        QCOMPARE(seen, shown);
        QVERIFY2(!timer.Begin(StartStep::Ended, bytes), "the last step closes the progress");
    }

    // The window started in the folder: a slow open puts a splash naming each later step on
    // screen until the store is ready, and it is gone before the window shows anything; a quick
    // start shows none.
    void windowShowsTheStepsOfASlowStart_data() {
        QTest::addColumn<int>("openTakes");
        QTest::newRow("quick") << 0;
        QTest::newRow("slow") << 600;
    }
    void windowShowsTheStepsOfASlowStart() {
        QFETCH(int, openTakes);
        createWorkbook();  // the start under test opens it
        int64_t now = 0;
        StartProgress progress(StartProgressTimer([&now] { return now; }));
        std::vector<StepSeen> seen;
        FormMainHooks hooks = quietHooks();
        hooks.startProgress = [&](StartStep step) {
            progress.Step(step);
            QSplashScreen *splash = progress.Splash();
            seen.push_back(
                {step, splash && splash->isVisible(), splash ? splash->message() : QString()});
            if (step == StartStep::Opening) now += openTakes;
        };
        CurIDCode = -1;
        FormMain form(std::move(hooks));
        QVERIFY(form.IsLoaded());
        QCOMPARE(progress.Splash(), nullptr);

        QCOMPARE(seen.size(), size_t(3));
        QCOMPARE(seen[0].step, StartStep::Opening);
        QCOMPARE(seen[1].step, StartStep::Writing);
        QCOMPARE(seen[2].step, StartStep::Ended);
        QVERIFY(!seen[0].shown);
        QCOMPARE(seen[1].shown, openTakes > 0);
        if (openTakes > 0)
            QVERIFY2(seen[1].message.contains(QString::fromUtf8("記録ファイルを書き込んでいます")),
                     qPrintable(seen[1].message));
        QVERIFY(!seen[2].shown);
    }

  private:
    static FormMainHooks quietHooks() {
        FormMainHooks h;
        h.message = [](const QString &text) { QFAIL(qPrintable(text)); };
        h.ask = [](const QString &) { return false; };
        return h;
    }
    static void createWorkbook() {
        CurIDCode = -1;
        FormMain form(quietHooks());
        QVERIFY(form.IsLoaded());
    }

    std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_MAIN(StartProgressTest)
#include "start_progress_test.moc"
