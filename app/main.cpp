#include <iostream>

#include "app/ModuleMain.h"
#include "app/StartOptions.h"

int main(int argc, char **argv) {
    // --help and --version answer without a display; anything unknown is refused before a window.
    const pondera::StartRequest start = pondera::ReadCommandLine(argc, argv, std::cout, std::cerr);
    if (start.exitNow) return start.status;
    return pondera::ModuleMain(argc, argv);
}
