#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

namespace pondera {

// What the command line asks for, read before any window or display exists.
struct StartRequest {
    bool exitNow = false;  // --help, --version or a refused argument: end with `status`
    int status = 0;
};

// The program has no command line of its own beyond these:
//   --help       usage and options on standard output
//   --version    name and version on standard output
//   --documents  work in the documents folder's Pondera2D subfolder (what the desktop entry uses)
// Anything else is refused with a usage line on standard error (status 2).
StartRequest ReadCommandLine(int argc, char **argv, std::ostream &out, std::ostream &err);

// <documents folder>/Pondera2D: where the program works when started from the desktop menu.
QString DocumentsStartFolder();

// Why the program cannot work in `folder` (it needs to write the workbook and its journal
// there), or the empty text when it can. Names the folder and where to start instead.
QString StartFolderProblem(const QString &folder);

// Moves into the start folder: the current directory, or with --documents among `arguments`
// the documents subfolder, created if missing. Returns the message to show when the program
// cannot work there, else the empty text.
QString EnterStartFolder(const QStringList &arguments);

// EnterStartFolder, and when the program cannot work there, the message on standard error and in
// a message box. False means: end the program, nothing has been touched.
bool PrepareStartFolder(const QStringList &arguments);

}  // namespace pondera
