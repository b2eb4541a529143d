#include "app/ModuleMain.h"

#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <memory>

#include "app/FormMain.h"
#include "app/StartOptions.h"
#include "app/Translations.h"

namespace pondera {

int16_t CurIDCode = -1;

namespace {

// A request to end (logout, kill, Ctrl+C in the terminal) closes the window as Quit does, so
// the workbook is left complete and unlocked. The handler only writes a byte; the window
// reacts to it on the event loop.
int signalPipe[2] = {-1, -1};

void onEndSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void closeOnEndSignals(FormMain &form) {
    if (::pipe(signalPipe) != 0) return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        form.close();
    });
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

}  // namespace

int ModuleMain(int argc, char **argv) {
    QApplication app(argc, argv);
    InstallTranslations();
    if (!PrepareStartFolder(app.arguments())) return 1;
    CurIDCode = -1;
    // Loading the window runs Form_Load, which shows the newest record before the window
    // appears. Without a record store there is nothing to work on and nothing to lose.
    auto form = std::make_unique<FormMain>();
    if (!form->IsLoaded()) return 1;
    form->show();
    closeOnEndSignals(*form);
    // What the store had to say at start-up, once the window is on screen behind the message.
    QTimer::singleShot(0, form.get(), [window = form.get()] { window->ShowNotices(); });
    const int status = app.exec();
    // Closing the window has released the store; the window itself goes before the application.
    form.reset();
    return status;
}

}  // namespace pondera
