#include "ModuleMain.h"

#include <QApplication>

namespace pondera {

int16_t CurIDCode = -1;

int ModuleMain(int argc, char **argv) {
    QApplication app(argc, argv);
    CurIDCode = -1;
    return 0;
}

}  // namespace pondera
