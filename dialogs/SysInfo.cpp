#include "dialogs/SysInfo.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include "dialogs/AppTitle.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace pondera {

namespace {
constexpr long kErrorFileNotFound = 2;  // what the registry answers for a missing key or value
}  // namespace

long EmptyRegistry::OpenKey(uint32_t, const std::string &, uint32_t, uint32_t, Handle &key) {
    key = 0;
    return kErrorFileNotFound;
}

long EmptyRegistry::QueryValue(Handle, const std::string &, uint32_t &, unsigned char *,
                               uint32_t &) {
    return kErrorFileNotFound;
}

bool SystemLauncher::FileExists(const QString &path) {
    if (path.isEmpty()) return false;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
#else
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
#endif
}

bool SystemLauncher::Start(const QString &path) {
    if (path.isEmpty()) return false;
    return QProcess::startDetached(path, {});
}

QStringList SystemLauncher::FallbackToolNames() {
#ifdef _WIN32
    return {};  // the registry lookups are the way to the tool there
#else
    return {QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor")};
#endif
}

QString SystemLauncher::FindFallbackTool() {
    for (const QString &name : FallbackToolNames()) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty()) return found;
    }
    return {};
}

SysInfoServices SysInfoServices::Platform() {
    SysInfoServices services;
    services.registry = PlatformRegistry();
    services.launcher = std::make_shared<SystemLauncher>();
    services.showMessage = [](QWidget *parent, const QString &text) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kAppTitle), text, QMessageBox::Ok,
                        parent);
        box.exec();
    };
    return services;
}

#ifndef _WIN32
std::shared_ptr<RegistryReader> PlatformRegistry() {
    return std::make_shared<EmptyRegistry>();
}
#endif

}  // namespace pondera
