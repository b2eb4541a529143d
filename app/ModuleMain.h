#pragma once

#include <cstdint>

namespace pondera {

// ID code of the record shown in the main window; -1 until start-up has chosen one.
extern int16_t CurIDCode;

// Entry procedure: sets CurIDCode to -1, loads and shows FormMain, runs the event loop.
int ModuleMain(int argc, char **argv);

}  // namespace pondera
