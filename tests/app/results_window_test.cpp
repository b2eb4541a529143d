// The results row, the base-of-support overlay and the export commands, driven through the real
// window with its file-dialog hooks, in a temporary current directory per case.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "app/PictureView.h"
#include "app/ResultsPanel.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"
#include "report/AnnotatedPicture.h"
#include "report/ResultTexts.h"
#include "tests/app/window_fixture.h"

using namespace pondera;

namespace {

QAction *menuItem(QMainWindow &window, const QString &name) {
    return window.findChild<QAction *>(name);
}

int pdfPages(const QString &path) {
    QProcess p;
    p.start("pdfinfo", {path});
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString &line : out.split('\n'))
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
}

// The CSV as Python's csv module reads it: rows of fields.
QList<QStringList> csvRows(const QString &path) {
    QProcess p;
    p.start("python3",
            {"-c",
             "import csv,sys\n"
             "for r in csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')):\n"
             "    print('\\x1f'.join(f.replace('\\n', '\\\\n') for f in r))",
             path});
    p.waitForFinished(30000);
    QList<QStringList> rows;
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
        if (!line.isEmpty()) rows << line.split(QChar(0x1f));
    return rows;
}

}  // namespace

// The copy of a demonstration record is declined: these cases change the record itself.
class ResultsWindowTest : public QObject, private pondera::test::WindowFixture {
    Q_OBJECT

  private slots:
    void init() {
        setUpWindow();
        saveAsked_.clear();
        nextSave_.clear();
    }
    void cleanup() { tearDownWindow(); }

    void resultsRowShowsTheRecordShownWithoutMovingTheControls() {
        start();
        // Record 3: set B, female.
        const report::RecordData r = shownRecord();
        const report::Results res = report::computeResults(r);
        ResultsPanel *panel = form_->findChild<ResultsPanel *>("ResultsPanel");
        QVERIFY(panel);
        QCOMPARE(panel->LabelCOG->text(), report::cogText(res));
        QVERIFY(panel->LabelCOG->text().contains(report::oneDecimal(res.body.x)));
        QCOMPARE(panel->LabelStature->text(), report::statureText(res.balance));
        QCOMPARE(panel->LabelPlaced->text(), QString("22/22 landmarks placed"));
        // The controls keep their places in the client area; the row lies below it.
        QCOMPARE(form_->Picture1()->geometry(), QRect(16, 32, 641, 481));
        QCOMPARE(form_->Frame1()->geometry(), QRect(8, 0, 833, 521));
        QCOMPARE(form_->centralWidget()->size(), QSize(847, 531));
        QVERIFY(panel->isVisibleTo(form_.get()));
        QVERIFY(panel->mapTo(form_.get(), QPoint(0, 0)).y() >=
                form_->centralWidget()->geometry().bottom());

        // A new record has nothing placed: incomplete, no height, no base.
        form_->New_Click();
        QCOMPARE(panel->LabelPlaced->text(), QString("0/22 landmarks placed: incomplete"));
        QVERIFY(panel->LabelStature->text().contains("needs"));
        // Placing the vertex changes the count at once.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(300, 40));
        QCOMPARE(panel->LabelPlaced->text(), QString("1/22 landmarks placed: incomplete"));
    }

    void baseOfSupportLineIsSwitchable() {
        start();
        const report::Results res = report::computeResults(shownRecord());
        const QPointF left = report::modelToPicture(
            {float(res.balance.baseLeftX), float(res.balance.groundZ)}, areaHeight());
        // A point of the ground line between the foot points, off every landmark mark.
        const QPoint probe(int(left.x()) + 20, int(left.y()));
        QAction *toggle = menuItem(*form_, "Show_Base");
        QVERIFY(toggle && toggle->isCheckable() && toggle->isChecked());
        QVERIFY(qAlpha(form_->Picture1()->Overlay().pixel(probe)) == 255);
        toggle->trigger();
        QVERIFY(!toggle->isChecked());
        QCOMPARE(qAlpha(form_->Picture1()->Overlay().pixel(probe)), 0);
        toggle->trigger();
        QVERIFY(qAlpha(form_->Picture1()->Overlay().pixel(probe)) == 255);
    }

    void menuItemsWriteTheChosenFiles_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("name");
        QTest::newRow("annotated PNG") << "Save_Annotated_Picture"
                                       << "out.png";
        QTest::newRow("annotated JPEG") << "Save_Annotated_Picture"
                                        << "out.jpg";
        QTest::newRow("annotated, no extension typed") << "Save_Annotated_Picture"
                                                       << "out";
        QTest::newRow("CSV") << "Export_CSV"
                             << "records.csv";
        QTest::newRow("PDF") << "Report_PDF"
                             << "report.pdf";
    }
    void menuItemsWriteTheChosenFiles() {
        QFETCH(QString, item);
        QFETCH(QString, name);
        start();
        // A change just made is part of every export, though the workbook file is written
        // only at the end.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(111, 222));
        nextSave_ = QDir::current().filePath(name);
        menuItem(*form_, item)->trigger();
        QCOMPARE(saveAsked_.size(), 1);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        if (item == "Save_Annotated_Picture") {
            const QString written = name.contains('.') ? nextSave_ : nextSave_ + ".png";
            const QImage image(written);
            QCOMPARE(image.size(), form_->Picture1()->Picture().size());
            const QPointF cog =
                report::modelToPicture(report::computeResults(shownRecord()).body, areaHeight());
            const QRgb c = image.pixel(cog.toPoint());
            // Magenta (128, 0, 128), within what JPEG makes of a small mark on a photograph.
            QVERIFY2(qRed(c) > 70 && qBlue(c) > 70 && qGreen(c) < qRed(c) / 2,
                     qPrintable(QString::number(c, 16)));
            QVERIFY(saveAsked_[0].endsWith("DEMO/demo003_record3_annotated.png"));
        } else if (item == "Export_CSV") {
            const QList<QStringList> rows = csvRows(nextSave_);
            QCOMPARE(rows.size(), 5);  // header, records 0 to 3
            QCOMPARE(rows[4][0], QString("3"));
            QCOMPARE(rows[4][36], QString("111"));  // the vertex as just clicked
            QCOMPARE(rows[4][37], QString("259"));
        } else {
            QCOMPARE(pdfPages(nextSave_), 1);
        }
        // The workbook is only read: the shown record and its landmark stay current.
        QCOMPARE(form_->Session()->ShownCode(), int16_t(3));
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(120, 230));
        QCOMPARE(stored().landmarks[0].x, 120.0f);
    }

    void failedOrCancelledExportsSayWhatHappened() {
        start();
        // Cancelled: nothing written, nothing said.
        nextSave_.clear();
        menuItem(*form_, "Export_CSV")->trigger();
        QVERIFY(messages_.isEmpty());
        // A folder that does not exist: error 75 with the reason, no file.
        nextSave_ = QDir::current().filePath("missing/records.csv");
        menuItem(*form_, "Export_CSV")->trigger();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].startsWith("エラー番号 75"));
        QVERIFY(messages_[0].contains("missing/records.csv"));
        QVERIFY(!QFile::exists(nextSave_));
        // The window goes on as before.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QCOMPARE(stored().landmarks[0].z, 281.0f);
    }

    void printGoesThroughThePrintDialog() {
        start();
        const QString out = QDir::current().filePath("printed.pdf");
        printerAction_ = [out](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(out);
            return true;
        };
        menuItem(*form_, "Print")->trigger();
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        QCOMPARE(pdfPages(out), 1);
        printerAction_ = [](QPrinter &) { return false; };
        QFile::remove(out);
        menuItem(*form_, "Print")->trigger();
        QVERIFY(!QFile::exists(out));
    }

  private:
    int areaHeight() const { return report::areaHeightFor(form_->Picture1()->Picture().size()); }
    report::RecordData shownRecord() const {
        report::RecordData r;
        r.code = form_->Session()->ShownCode();
        r.sex = stored().sex;
        for (int16_t i = 0; i < 22; ++i)
            r.landmarks[size_t(i)] = {form_->Session()->LandMarks().GetLandMarkX(i),
                                      form_->Session()->LandMarks().GetLandMarkZ(i)};
        return r;
    }
    FormMainHooks hooks() override {
        FormMainHooks h = WindowFixture::hooks();
        h.chooseSaveFile = [this](QWidget *, const QString &, const QString &suggested,
                                  const QString &) {
            saveAsked_ << suggested;
            return nextSave_;
        };
        h.choosePrinter = [this](QWidget *, QPrinter &printer) {
            return printerAction_ ? printerAction_(printer) : false;
        };
        return h;
    }
    void start() {
        WindowFixture::start();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    QStringList saveAsked_;
    QString nextSave_;
    std::function<bool(QPrinter &)> printerAction_;
};

QTEST_MAIN(ResultsWindowTest)
#include "results_window_test.moc"
