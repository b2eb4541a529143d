#include "report/AtomicWrite.h"

#include <QDir>
#include <span>

#include "base/error.h"
#include "store/platform/files.h"

namespace pondera::report {

void writeFileAtomically(const QString &path, const QByteArray &bytes) {
    const std::string name = QDir::toNativeSeparators(path).toStdString();
    if (store::targetKind(name) == store::FileKind::Directory)
        throw Error(kErrFileAccess,
                    "Path/File access error: cannot write " + name + ": it is a folder.");
    const std::span<const uint8_t> data(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                        static_cast<size_t>(bytes.size()));
    try {
        store::replaceAtomically(store::saveTarget(name), name, data, {});
    } catch (const Error &e) {
        // Every failure to write an export is a file access error, a missing folder included;
        // the sentence keeps the system's reason and names the error it is shown with.
        std::string text = e.what();
        const std::string notFound = "Path not found";
        if (e.number() == kErrPathNotFound && text.starts_with(notFound))
            text.replace(0, notFound.size(), "Path/File access error");
        throw Error(kErrFileAccess, text);
    }
}

}  // namespace pondera::report
