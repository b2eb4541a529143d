#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "base/error.h"

namespace pondera::testing {

struct Run {
    int status = -1;
    QByteArray out, err;
};

// Runs a program to its end with the arguments and optional standard input.
inline Run run(const QString &program, const QStringList &args, const QByteArray &input = {}) {
    QProcess p;
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(10000)) {
        r.err = "cannot start " + program.toUtf8();
        return r;
    }
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The CSV file as Python's csv module reads it (UTF-8, byte-order mark dropped), as JSON:
// {"bom": true, "rows": [[...], ...]}.
inline const char *kCsvReader = R"(
import csv, json, sys
data = open(sys.argv[1], 'rb').read()
rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')))
json.dump({'bom': data.startswith(b'\xef\xbb\xbf'), 'rows': rows}, sys.stdout, ensure_ascii=False)
)";

}  // namespace pondera::testing
