#include "ModuleMain.h"

#include <QApplication>
#include <QTimer>
#include <memory>

#include "FormMain.h"

namespace pondera {

int16_t CurIDCode = -1;

int ModuleMain(int argc, char **argv) {
    QApplication app(argc, argv);
    CurIDCode = -1;
    // Loading the window runs Form_Load, which shows the newest record before the window
    // appears. Without a record store there is nothing to work on and nothing to lose.
    auto form = std::make_unique<FormMain>();
    if (!form->IsLoaded()) return 1;
    form->show();
    // What the store had to say at start-up, once the window is on screen behind the message.
    QTimer::singleShot(0, form.get(), [window = form.get()] { window->ShowNotices(); });
    const int status = app.exec();
    // Closing the window has released the store; the window itself goes before the application.
    form.reset();
    return status;
}

}  // namespace pondera
