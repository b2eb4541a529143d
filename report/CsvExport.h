#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "report/CsvText.h"
#include "report/RecordData.h"

namespace pondera::report {

// recordsCsvText as the window writes it.
QByteArray recordsCsv(const std::vector<RecordData> &records);

// recordsCsv written atomically to path; Error(kErrFileAccess) with the reason on failure.
void exportCsv(const QString &path, const std::vector<RecordData> &records);

}  // namespace pondera::report
