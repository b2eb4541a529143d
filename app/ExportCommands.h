#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <functional>
#include <vector>

#include "report/RecordData.h"

class QPrinter;
class QWidget;

namespace pondera {

// The commands that take results out of the program: Save Annotated Picture, Export CSV,
// Report (PDF) and Print. They read the record on screen and the records of the store and write
// only the file the user names (beside it first, then renamed), never the workbook.
struct ExportContext {
    QWidget *owner = nullptr;
    // The record on screen with its landmarks as drawn, and its picture as loaded (null: none).
    std::function<report::RecordData()> shownRecord;
    std::function<QImage()> shownPicture;
    // Every record of the store as it is now.
    std::function<std::vector<report::RecordData>()> allRecords;
    // Asks for the name to save under; the empty text means cancelled.
    std::function<QString(QWidget *owner, const QString &caption, const QString &suggested,
                          const QString &filter)>
        chooseSaveFile;
    // Sets up the printer through the platform's print dialog; false means cancelled.
    std::function<bool(QWidget *owner, QPrinter &printer)> choosePrinter;
    // Tells the user an error (number, sentence, the system's reason) or that a file was saved.
    std::function<void(int number, const QString &sentence, const QString &detail)> error;
    std::function<void(const QString &text)> done;
    // The base of support and the COG's projection are drawn as on screen.
    std::function<bool()> drawBase;
    std::function<QDateTime()> now;
};

class ExportCommands {
  public:
    explicit ExportCommands(ExportContext context);

    void SaveAnnotatedPicture();
    void ExportCsv();
    void ReportPdf();
    void Print();

    // The names the save dialogs propose.
    static QString SuggestedPictureName(const report::RecordData &record);
    static QString SuggestedReportName(const report::RecordData &record);
    static QString SuggestedCsvName();

  private:
    // Runs one export: a failure to write is error 75 with the reason, and the message says
    // truly that the chosen file was not written (a file of that name keeps its content).
    void run(const QString &path, const std::function<void()> &write);

    ExportContext c_;
};

}  // namespace pondera
