#include "app/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTranslator>

namespace pondera {

namespace {

constexpr const char *kPrefix = "pondera2d_";

QString findFile(const QString &base, const QStringList &folders) {
    for (const QString &folder : folders)
        if (QFileInfo::exists(QDir(folder).filePath(base + QStringLiteral(".qm"))))
            return QDir(folder).filePath(base);
    return {};
}

}  // namespace

QString TranslationFor(const QLocale &locale, const QStringList &folders) {
    if (locale.language() == QLocale::C) return {};
    for (QString language : locale.uiLanguages()) {
        if (language == QLatin1String("C") || language == QLatin1String("POSIX") ||
            language.startsWith(QLatin1String("ja")))
            return {};
        language.replace(QLatin1Char('-'), QLatin1Char('_'));
        if (!findFile(kPrefix + language, folders).isEmpty()) return kPrefix + language;
    }
    return QString::fromLatin1(kPrefix) + QStringLiteral("en");
}

QStringList TranslationFolders() {
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral("../share/pondera2d/translations"));
    return {QDir::cleanPath(installed), QStringLiteral(PONDERA_BUILD_QM_DIR)};
}

void InstallTranslations() {
    const QStringList folders = TranslationFolders();
    const QString base = TranslationFor(QLocale::system(), folders);
    if (base.isEmpty()) return;
    const QString file = findFile(base, folders);
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!file.isEmpty() && translator->load(file)) QCoreApplication::installTranslator(translator);
}

}  // namespace pondera
