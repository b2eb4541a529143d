#include "app/ModuleMain.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "app/FormMain.h"
#include "app/StartOptions.h"
#include "app/StartProgress.h"
#include "app/Translations.h"
#include "store/platform/system.h"

namespace pondera {

int16_t CurIDCode = -1;

namespace {

// A request to end (logout, kill, Ctrl+C in the terminal) closes the window as Quit does, so
// the workbook is left complete and unlocked. The window reacts to it on the event loop.
void closeOnEndSignals(FormMain &form) {
    const int fd = store::endRequestPipe();
    if (fd < 0) return;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form, fd] {
        store::takeEndRequest(fd);
        form.close();
    });
}

}  // namespace

int ModuleMain(int argc, char **argv) {
    QApplication app(argc, argv);
    InstallTranslations();
    if (!PrepareStartFolder(app.arguments())) return 1;
    CurIDCode = -1;
    // Loading the window runs Form_Load, which shows the newest record before the window
    // appears. Without a record store there is nothing to work on and nothing to lose.
    // A long start shows its steps meanwhile (the workbook is opened before the window appears).
    StartProgress progress;
    FormMainHooks hooks;
    hooks.startProgress = progress.Reporter();
    auto form = std::make_unique<FormMain>(std::move(hooks));
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
