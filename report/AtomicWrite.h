#pragma once

#include <QByteArray>
#include <QString>

namespace pondera::report {

// Writes bytes to path through a temporary file in the same folder that is flushed and then
// renamed over path, so path holds either its former content or all of bytes, never a part.
// A failure raises Error(kErrFileAccess) with the path and the system's reason; the temporary
// file is removed.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

namespace testing {
// Makes the following writes fail as on a full disk once this many bytes of a file are
// written; a negative value turns the fault off.
void setWriteLimit(qint64 bytes);
}  // namespace testing

}  // namespace pondera::report
