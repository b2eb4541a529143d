#include "report/CsvExport.h"

#include "report/AtomicWrite.h"

namespace pondera::report {

QByteArray recordsCsv(const std::vector<RecordData> &records) {
    const std::string text = recordsCsvText(records);
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

void exportCsv(const QString &path, const std::vector<RecordData> &records) {
    writeFileAtomically(path, recordsCsv(records));
}

}  // namespace pondera::report
