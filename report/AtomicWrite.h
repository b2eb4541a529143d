#pragma once

#include <QByteArray>
#include <QString>

namespace pondera::report {

// Writes an export through the platform layer's atomic replace: path holds either its former
// content or all of bytes, never a part, and a new name is durable in its folder once this
// returns. A failure raises Error(kErrFileAccess) with the path and the system's reason; no
// temporary file is left behind.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

}  // namespace pondera::report
