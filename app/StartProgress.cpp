#include "app/StartProgress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QSplashScreen>
#include <QWindow>

#include "dialogs/AppTitle.h"
#include "store/platform/files.h"
#include "store/records/record_layout.h"

namespace pondera {

namespace {

int64_t steadyMilliseconds() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

}  // namespace

StartProgressTimer::StartProgressTimer(Clock clock, int64_t showAfterMs, uint64_t largeBytes,
                                       uint64_t largeConvertBytes)
    : clock_(clock ? std::move(clock) : Clock(steadyMilliseconds)),
      startedAt_(clock_()),
      showAfterMs_(showAfterMs),
      largeBytes_(largeBytes),
      largeConvertBytes_(largeConvertBytes) {}

bool StartProgressTimer::Begin(StartStep step, uint64_t workbookBytes) {
    if (step == StartStep::Ended) return showing_ = false;
    if (clock_() - startedAt_ >= showAfterMs_) showing_ = true;
    if (step == StartStep::Opening || step == StartStep::Writing)
        showing_ = showing_ || workbookBytes >= largeBytes_;
    if (step == StartStep::Converting) showing_ = showing_ || workbookBytes >= largeConvertBytes_;
    return showing_;
}

StartProgress::StartProgress(StartProgressTimer timer) : timer_(std::move(timer)) {}

StartProgress::~StartProgress() = default;

std::function<void(StartStep)> StartProgress::Reporter() {
    return [this](StartStep step) { Step(step); };
}

QString StartProgress::StepText(StartStep step) {
    const char *source = nullptr;
    switch (step) {
        case StartStep::Opening:
            source = QT_TRANSLATE_NOOP("pondera::StartProgress", "記録ファイルを開いています…");
            break;
        case StartStep::Converting:
            source = QT_TRANSLATE_NOOP("pondera::StartProgress", "記録ファイルを変換しています…");
            break;
        case StartStep::Recovering:
            source = QT_TRANSLATE_NOOP("pondera::StartProgress",
                                       "前回保存されなかった変更をジャーナルから復元しています…");
            break;
        case StartStep::Writing:
            source = QT_TRANSLATE_NOOP("pondera::StartProgress", "記録ファイルを書き込んでいます…");
            break;
        case StartStep::Ended:
            break;
    }
    return source ? QCoreApplication::translate("pondera::StartProgress", source) : QString();
}

void StartProgress::Step(StartStep step) {
    const uint64_t bytes = store::fileIdentity(store::layout::kFileName).size;
    if (!timer_.Begin(step, bytes)) {
        splash_.reset();
        return;
    }
    if (!splash_) {
        QPixmap blank(460, 120);
        blank.fill(QPalette().color(QPalette::Window));
        splash_ = std::make_unique<QSplashScreen>(blank);
        splash_->setWindowTitle(QString::fromUtf8(kAppTitle));
        splash_->show();
        // What is painted before the window system has put the splash on screen is lost, and the
        // step about to run blocks the thread: wait for it (briefly: a display that never
        // exposes the splash costs the start no more than this).
        QElapsedTimer waited;
        waited.start();
        while (splash_->windowHandle() && !splash_->windowHandle()->isExposed() &&
               waited.elapsed() < 250)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    }
    splash_->showMessage(QString::fromUtf8(kAppTitle) + QStringLiteral("\n\n") + StepText(step),
                         Qt::AlignCenter, QPalette().color(QPalette::WindowText));
    // The window's thread is busy with the start until the next step: let the splash appear and
    // paint now. Input waits, so that nothing reaches a window that is not built yet.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace pondera
