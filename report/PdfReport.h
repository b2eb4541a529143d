#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

#include "report/RecordData.h"

class QPagedPaintDevice;

namespace pondera::report {

// Lays one record out on one page of the device: the annotated picture, the landmark and segment
// tables, the body centre of gravity and the balance figures, sex, memo, the date, the source of
// the coefficients and the program version. Used for the PDF and for printing.
void paintReport(QPagedPaintDevice &device, const RecordData &record, const Results &results,
                 const QImage &picture, const QDateTime &when);

// The report as a one-page A4 PDF document.
QByteArray pdfReport(const RecordData &record, const Results &results, const QImage &picture,
                     const QDateTime &when);

// pdfReport written atomically; Error(kErrFileAccess) with the reason on failure.
void saveReport(const QString &path, const RecordData &record, const Results &results,
                const QImage &picture, const QDateTime &when);

}  // namespace pondera::report
