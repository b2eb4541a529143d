#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

namespace pondera {

// The interface texts are written in Japanese, which is also what a Japanese or the C/POSIX
// locale shows. Any other language gets its own translation when one is installed
// (pondera2d_<language>.qm), else English.
//
// The translation file for `locale`: its base name ("pondera2d_en"), or the empty text for the
// Japanese source texts.
QString TranslationFor(const QLocale &locale, const QStringList &folders);

// Folders searched for .qm files: <executable>/../share/pondera2d/translations (an installation,
// wherever its prefix is), then the build tree's.
QStringList TranslationFolders();

// Installs the translation the system locale asks for into the running application.
void InstallTranslations();

}  // namespace pondera
