#include "app/ExportCommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>

#include "base/error.h"
#include "report/AnnotatedPicture.h"
#include "report/CsvExport.h"
#include "report/PdfReport.h"

namespace pondera {

namespace {

QString defaultChooseSaveFile(QWidget *owner, const QString &caption, const QString &suggested,
                              const QString &filter) {
    QFileDialog dialog(owner, caption, suggested, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

bool defaultChoosePrinter(QWidget *owner, QPrinter &printer) {
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

// The folder and stem of the record's picture, or the current folder and "record<code>".
QString stemFor(const report::RecordData &record) {
    const QFileInfo picture(QString::fromStdString(record.pictureName));
    if (record.pictureName.empty() || !picture.dir().exists())
        return QDir::current().filePath(QStringLiteral("record%1").arg(record.code));
    return picture.dir().filePath(
        QStringLiteral("%1_record%2").arg(picture.completeBaseName()).arg(record.code));
}

// A name typed without an extension gets the one of the format written.
QString withSuffix(const QString &path, const QStringList &accepted, const QString &suffix) {
    const QString s = QFileInfo(path).suffix().toLower();
    return accepted.contains(s) ? path : path + QLatin1Char('.') + suffix;
}

}  // namespace

ExportCommands::ExportCommands(ExportContext context) : c_(std::move(context)) {
    if (!c_.chooseSaveFile) c_.chooseSaveFile = defaultChooseSaveFile;
    if (!c_.choosePrinter) c_.choosePrinter = defaultChoosePrinter;
    if (!c_.now) c_.now = [] { return QDateTime::currentDateTime(); };
    if (!c_.drawBase) c_.drawBase = [] { return true; };
}

QString ExportCommands::SuggestedPictureName(const report::RecordData &record) {
    return stemFor(record) + QStringLiteral("_annotated.png");
}

QString ExportCommands::SuggestedReportName(const report::RecordData &record) {
    return stemFor(record) + QStringLiteral("_report.pdf");
}

QString ExportCommands::SuggestedCsvName() {
    return QDir::current().filePath(QStringLiteral("PONDERA2D_2010.csv"));
}

void ExportCommands::run(const QString &path, const std::function<void()> &write) {
    try {
        write();
    } catch (const Error &e) {
        c_.error(e.number(),
                 QCoreApplication::translate("pondera::ExportCommands",
                                             "ファイルを保存できませんでした。%1 は書かれていません"
                                             "（同じ名前の既存のファイルはそのままです）。")
                     .arg(QDir::toNativeSeparators(path)),
                 QString::fromStdString(e.what()));
        return;
    }
    if (c_.done) c_.done(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path)));
}

void ExportCommands::SaveAnnotatedPicture() {
    const report::RecordData record = c_.shownRecord();
    QString path = c_.chooseSaveFile(c_.owner, QStringLiteral("Save Annotated Picture"),
                                     SuggestedPictureName(record),
                                     QStringLiteral("PNG (*.png);;JPEG (*.jpg *.jpeg)"));
    if (path.isEmpty()) return;
    path = withSuffix(path, {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg")},
                      QStringLiteral("png"));
    const QImage picture = c_.shownPicture();
    run(path, [&] {
        report::OverlayOptions options;
        options.baseOfSupport = c_.drawBase();
        report::saveAnnotatedPicture(
            path,
            report::annotatedPicture(record, report::computeResults(record), picture, options));
    });
}

void ExportCommands::ExportCsv() {
    QString path = c_.chooseSaveFile(c_.owner, QStringLiteral("Export CSV"), SuggestedCsvName(),
                                     QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) return;
    path = withSuffix(path, {QStringLiteral("csv")}, QStringLiteral("csv"));
    const std::vector<report::RecordData> records = c_.allRecords();
    run(path, [&] { report::exportCsv(path, records); });
}

void ExportCommands::ReportPdf() {
    const report::RecordData record = c_.shownRecord();
    QString path = c_.chooseSaveFile(c_.owner, QStringLiteral("Report (PDF)"),
                                     SuggestedReportName(record), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) return;
    path = withSuffix(path, {QStringLiteral("pdf")}, QStringLiteral("pdf"));
    const QImage picture = c_.shownPicture();
    run(path, [&] {
        report::saveReport(path, record, report::computeResults(record), picture, c_.now());
    });
}

void ExportCommands::Print() {
    const report::RecordData record = c_.shownRecord();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
    printer.setDocName(QStringLiteral("Pondera2D record %1").arg(record.code));
    if (!c_.choosePrinter(c_.owner, printer)) return;
    try {
        report::paintReport(printer, record, report::computeResults(record), c_.shownPicture(),
                            c_.now());
    } catch (const Error &e) {
        c_.error(e.number(),
                 QCoreApplication::translate("pondera::ExportCommands", "印刷できませんでした。"),
                 QString::fromStdString(e.what()));
    }
}

}  // namespace pondera
