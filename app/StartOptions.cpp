#include "app/StartOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <iostream>
#include <string_view>

#include "base/version.h"
#include "dialogs/AppTitle.h"
#include "store/platform/files.h"

namespace pondera {

namespace {

constexpr const char *kUsage = "usage: pondera2d [--documents | --help | --version]";

constexpr const char *kHelp =
    "Pondera2D estimates the centre of gravity of a human body from one photograph.\n"
    "\n"
    "The records are kept in PONDERA2D_2010.xls in the folder the program is started in\n"
    "(the current directory); the demonstration pictures go to its DEMO folder.\n"
    "\n"
    "Options:\n"
    "  --documents  work in the Pondera2D folder of your documents folder, creating it\n"
    "               if missing (the desktop menu entry starts the program this way)\n"
    "  --help       show this text and exit\n"
    "  --version    show the version and exit\n";

}  // namespace

StartRequest ReadCommandLine(int argc, char **argv, std::ostream &out, std::ostream &err) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            out << kUsage << "\n\n" << kHelp;
            return {true, 0};
        }
        if (arg == "--version") {
            out << "pondera2d " << kVersion << "\n";
            return {true, 0};
        }
        if (arg != "--documents") {
            err << "pondera2d: unknown argument \"" << arg << "\"\n" << kUsage << "\n";
            return {true, 2};
        }
    }
    return {};
}

QString DocumentsStartFolder() {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) documents = QDir::homePath();
    return QDir(documents).filePath(QStringLiteral("Pondera2D"));
}

QString StartFolderProblem(const QString &folder) {
    // The kernel is asked itself, so a read-only file system counts as well as the modes.
    if (store::canWriteIn(QFile::encodeName(folder).toStdString())) return {};
    QString instead = DocumentsStartFolder();
    if (QDir(instead) == QDir(folder)) instead = QDir::homePath();
    return QCoreApplication::translate(
               "pondera::StartOptions",
               "このフォルダには書き込めないため、記録を保存できません:\n%1\n\n"
               "書き込めるフォルダで起動してください。例えば:\n%2\n"
               "(pondera2d --documents はこのフォルダを作って、そこで起動します)")
        .arg(QDir::toNativeSeparators(folder), QDir::toNativeSeparators(instead));
}

QString EnterStartFolder(const QStringList &arguments) {
    if (arguments.contains(QStringLiteral("--documents"))) {
        const QString folder = DocumentsStartFolder();
        if (!QDir().mkpath(folder) || !QDir::setCurrent(folder))
            return QCoreApplication::translate("pondera::StartOptions",
                                               "フォルダを作成できないため、起動できません:\n%1")
                .arg(QDir::toNativeSeparators(folder));
    }
    return StartFolderProblem(QDir::currentPath());
}

bool PrepareStartFolder(const QStringList &arguments) {
    const QString problem = EnterStartFolder(arguments);
    if (problem.isEmpty()) return true;
    std::cerr << "pondera2d: " << problem.toLocal8Bit().constData() << "\n";
    QMessageBox::critical(nullptr, QString::fromUtf8(kAppTitle), problem);
    return false;
}

}  // namespace pondera
