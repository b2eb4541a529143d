#include "report/AtomicWrite.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "model/error.h"

namespace pondera::report {

namespace {

qint64 g_writeLimit = -1;

[[noreturn]] void fail(const QString &path, const QString &reason) {
    throw Error(kErrFileAccess, QStringLiteral("Cannot write %1: %2")
                                    .arg(QDir::toNativeSeparators(path), reason)
                                    .toStdString());
}

}  // namespace

namespace testing {
void setWriteLimit(qint64 bytes) {
    g_writeLimit = bytes;
}
}  // namespace testing

void writeFileAtomically(const QString &path, const QByteArray &bytes) {
    if (QFileInfo(path).isDir()) fail(path, QStringLiteral("it is a folder"));
    QSaveFile file(path);
    // Never fall back to writing the target in place, which is what would leave half a file.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) fail(path, file.errorString());
    qint64 toWrite = bytes.size();
    if (g_writeLimit >= 0 && toWrite > g_writeLimit) toWrite = g_writeLimit;
    errno = 0;
    const qint64 written = file.write(bytes.constData(), toWrite);
    if (written != toWrite) {
        // On a full disk the write comes back short without an error of the device, and a
        // commit would then rename the short file over path: the system's reason is in errno.
        const int cause = errno;
        QString reason =
            file.error() != QFileDevice::NoError ? file.errorString()
            : cause != 0
                ? QString::fromLocal8Bit(std::strerror(cause))
                : QStringLiteral("only %1 of %2 bytes were written").arg(written).arg(toWrite);
        file.cancelWriting();
        fail(path, reason);
    }
    if (toWrite < bytes.size()) {
        file.cancelWriting();
        fail(path, QStringLiteral("No space left on device"));
    }
    if (!file.commit()) fail(path, file.errorString());
}

}  // namespace pondera::report
