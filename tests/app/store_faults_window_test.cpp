// The main window under store faults: a disk that fills during a run and at the close save, a
// memo longer than a cell, the workbook changed by another program, cells typed over by hand.
// The full disk is a file size limit on this process (SIGXFSZ ignored, so writes fail EFBIG).
#include <sys/resource.h>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "app/PictureView.h"
#include "store/xls/workbook_engine.h"
#include "tests/app/window_fixture.h"

using namespace pondera;

namespace {

const char kWorkbook[] = "PONDERA2D_2010.xls";
const char kJournal[] = ".PONDERA2D_2010.xls.journal";

std::string workbookPath() {
    return QDir::current().filePath(kWorkbook).toStdString();
}

store::CellValue fileCell(const char *sheet, int row, int col) {
    return store::makeWorkbookEngine()->open(workbookPath())->sheet(sheet).cell(row, col);
}

void editFile(const std::function<void(store::Workbook &)> &edit) {
    auto book = store::makeWorkbookEngine()->open(workbookPath());
    edit(*book);
    book->saveAs(workbookPath());
}

// Files this process writes cannot grow beyond a size while it lives.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(qint64 bytes) {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = static_cast<rlim_t>(bytes);
        active_ = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() { lift(); }
    void lift() {
        if (active_) ::setrlimit(RLIMIT_FSIZE, &old_);
        active_ = false;
    }
    bool active() const { return active_; }

  private:
    rlimit old_{};
    bool active_ = false;
};

bool anyContains(const QStringList &texts, const QString &part) {
    for (const QString &text : texts)
        if (text.contains(part)) return true;
    return false;
}

}  // namespace

class StoreFaultsWindowTest : public QObject, private pondera::test::WindowFixture {
    Q_OBJECT
  private slots:
    void init() {
        setUpWindow();
        asked_.clear();
        onAsk_ = nullptr;
    }
    void cleanup() { tearDownWindow(); }

    // The journal cannot grow: the click is said not to be saved yet, it is retried at the next
    // command, and the window does not close while it is only in memory.
    void diskFullDuringRunKeepsTheWindowUntilSaved() {
        start();
        form_->New_Click();
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QVERIFY(messages_.isEmpty());
        FileSizeLimit full(QFileInfo(kJournal).size() + 16);
        QVERIFY(full.active());

        form_->OptionLandMark_Click(1);
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(150, 250));
        QVERIFY2(anyContains(messages_, "エラー番号 75"), qPrintable(messages_.join('|')));
        QVERIFY(anyContains(messages_, "まだ保存されていません"));
        QVERIFY(form_->Session()->HasUncommittedChanges());
        // The next command tries again and says so again.
        messages_.clear();
        form_->OptionLandMark_Click(2);
        QVERIFY(anyContains(messages_, "エラー番号 75"));

        // Closing: the user is asked, cancels, and the window stays with its store.
        messages_.clear();
        onAsk_ = [] { return false; };
        form_->close();
        QCOMPARE(asked_.size(), 1);
        QVERIFY(asked_[0].startsWith("エラー番号 75"));
        QVERIFY(!anyContains(messages_ + asked_, "変更は失われず"));
        QVERIFY(form_->Session() != nullptr);

        // The user frees space and retries: everything reaches the workbook.
        onAsk_ = [&full] {
            full.lift();
            return true;
        };
        form_->close();
        QCOMPARE(asked_.size(), 2);
        QCOMPARE(form_->Session(), nullptr);
        QCOMPARE(fileCell("LANDMARK", 7, 4).number, 150.0);
        QCOMPARE(fileCell("LANDMARK", 7, 2).number, 100.0);
    }

    // The journal has every change but the workbook cannot be written: the message that they
    // come back at the next start is true, and they do.
    void closeSaveFailsWithEverythingJournalled() {
        {
            const std::unique_ptr<FileSizeLimit> full = startWithRoomForTheJournalOnly();
            QVERIFY(full);
            QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
            QVERIFY(messages_.isEmpty());
            form_->close();
            QVERIFY(asked_.isEmpty());
            QCOMPARE(messages_.size(), 1);
            QVERIFY2(messages_[0].contains("変更は失われず"), qPrintable(messages_[0]));
            QCOMPARE(form_->Session(), nullptr);
        }
        form_.reset();
        QVERIFY(QFileInfo::exists(kJournal));
        start();
        QCOMPARE(form_->Session()->NewestCode(), int16_t(4));
        QCOMPARE(stored().landmarks[0].x, 100.0f);
    }

    // A pause after a change brings the workbook file up to date while the window goes on; the
    // program's own save is not mistaken for another program's.
    void pauseAfterAChangeBringsTheFileUpToDate() {
        start();
        form_->New_Click();
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QTRY_VERIFY_WITH_TIMEOUT(fileCell("LANDMARK", 7, 2).isNumber(), 15000);
        QCOMPARE(fileCell("LANDMARK", 7, 2).number, 100.0);
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(120, 200));
        QTRY_COMPARE_WITH_TIMEOUT(fileCell("LANDMARK", 7, 2).number, 120.0, 15000);
        form_->OptionLandMark_Click(1);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
        QVERIFY(QDir().entryList({"PONDERA2D_2010.changed-*"}).isEmpty());
    }

    // The workbook cannot be written while the journal can: one message, which says truly that
    // nothing is lost, and the close save brings everything in once there is room.
    void failedBackgroundSaveIsToldOnceAndLosesNothing() {
        const std::unique_ptr<FileSizeLimit> full = startWithRoomForTheJournalOnly();
        QVERIFY(full);
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QTRY_VERIFY_WITH_TIMEOUT(!messages_.isEmpty(), 15000);
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains("自動で保存できませんでした") &&
                     messages_[0].contains("失われていません"),
                 qPrintable(messages_[0]));
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(130, 200));
        QCOMPARE(messages_.size(), 1);
        QVERIFY(fileCell("LANDMARK", 7, 2).isEmpty());  // the previous file stays
        full->lift();
        form_->close();
        QCOMPARE(form_->Session(), nullptr);
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(fileCell("LANDMARK", 7, 2).number, 130.0);
    }

    void memoLongerThanACellIsCutWithAMessage_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("kept");
        QTest::newRow("one over") << QString(32768, 'a') << 32767;
        QTest::newRow("far over") << QString(100000, 'm') << 32767;
        // A character outside the basic plane across the limit goes whole.
        QTest::newRow("pair across") << QString(32766, 'a') + QString::fromUtf8("😀") << 32766;
        QTest::newRow("exactly full") << QString(32767, 'f') << 32767;
    }
    void memoLongerThanACellIsCutWithAMessage() {
        QFETCH(QString, typed);
        QFETCH(int, kept);
        start();
        form_->TextMEMO()->setPlainText(typed);
        QCOMPARE(form_->TextMEMO()->toPlainText().size(), qsizetype(kept));
        const bool cut = typed.size() > 32767;
        QCOMPARE(messages_.size(), cut ? 1 : 0);
        if (cut) QVERIFY2(messages_[0].startsWith("エラー番号 5"), qPrintable(messages_[0]));
        form_->close();
        QCOMPARE(form_->Session(), nullptr);
        QCOMPARE(QString::fromStdString(fileCell("ID", 6, 4).text), typed.left(kept));
    }

    void changeMadeElsewhereIsToldAtTheNextCommand() {
        startShown();
        form_->New_Click();
        editFile([](store::Workbook &book) {
            book.sheet("ID").setCell(6, 4, store::CellValue::str("edited elsewhere"));
        });
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QCOMPARE(messages_.size(), 1);
        const QStringList kept = QDir().entryList({"PONDERA2D_2010.changed-*"});
        QCOMPARE(kept.size(), 1);
        QVERIFY2(messages_[0].contains(kept[0]), qPrintable(messages_[0]));
        // Told once.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(110, 200));
        QCOMPARE(messages_.size(), 1);
    }

    void changeMadeElsewhereIsToldWhenTheWindowIsActivated() {
        startShown();
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        editFile([](store::Workbook &book) {
            book.sheet("ID").setCell(6, 4, store::CellValue::str("edited elsewhere"));
        });
        QVERIFY(messages_.isEmpty());
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QTRY_COMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(".changed-"));
    }

    // A sex typed as text in a spreadsheet: the record list still opens, that entry shows the
    // text, and the cell is reported once.
    void loadListOpensWithATextSexCell() {
        start();
        form_->New_Click();
        form_->New_Click();
        form_->New_Click();
        form_->close();
        editFile([](store::Workbook &book) {
            book.sheet("ID").setCell(7, 3, store::CellValue::str("女"));
            book.sheet("ID").setCell(8, 3, store::CellValue::str("male"));
        });
        start();
        QStringList entries;
        dialogAction_ = [&entries](QDialog &dialog) {
            auto *list = dialog.findChild<QListView *>();
            entries = qobject_cast<QStringListModel *>(list->model())->stringList();
        };
        form_->Load_Click();
        QCOMPARE(entries.size(), 7);
        QCOMPARE(entries[4], QString("4 女 "));
        QCOMPARE(entries[5], QString("5 male "));
        QCOMPARE(entries[6], QString("6 0 "));
        QCOMPARE(entries[3], QString("3 1 ") + QDir::current().filePath("DEMO/demo003.bmp"));
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].startsWith("エラー番号 13"), qPrintable(messages_[0]));
        QVERIFY2(messages_[0].contains("C7") && messages_[0].contains("C8"),
                 qPrintable(messages_[0]));
    }

    // A record whose sex cell holds text is shown with neither sex, one message names the cell and
    // its text, and choosing a sex repairs the cell.
    void textSexCellRecordIsShownWithoutASexUntilOneIsChosen() {
        start();
        form_->New_Click();
        form_->close();
        editFile([](store::Workbook &book) {
            book.sheet("ID").setCell(7, 3, store::CellValue::str("女"));
            book.sheet("ID").setCell(7, 4, store::CellValue::str("memo of 4"));
        });
        start();  // shows the newest record, 4
        QCOMPARE(form_->TextIDCode()->text(), QString("ID Code : 4"));
        QCOMPARE(form_->TextMEMO()->toPlainText(), QString("memo of 4"));
        QVERIFY(!form_->OptionSex(0)->isChecked() && !form_->OptionSex(1)->isChecked());
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].startsWith("エラー番号 13") && messages_[0].contains("C7") &&
                     messages_[0].contains("「女」"),
                 qPrintable(messages_[0]));
        QTest::mouseClick(form_->OptionSex(1), Qt::LeftButton);
        QVERIFY(form_->OptionSex(1)->isChecked());
        form_->close();
        QCOMPARE(fileCell("ID", 7, 3).number, 1.0);
        QCOMPARE(fileCell("ID", 7, 4).text, std::string("memo of 4"));
    }

    // Showing a record with a landmark cell that is no number writes no centres; changing the
    // record does.
    void textLandmarkCellLeavesStoredCentresUntilAChange() {
        // Record 4 (the demonstration records are restored at every start).
        start();
        form_->New_Click();
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        form_->close();
        editFile([](store::Workbook &book) {
            book.sheet("LANDMARK").setCell(7, 4, store::CellValue::str("abc"));
            book.sheet("COGS").setCell(7, 2, store::CellValue::real(123.5));
        });
        start();
        QVERIFY2(anyContains(messages_, "エラー番号 13"), qPrintable(messages_.join("|")));
        form_->close();
        QCOMPARE(fileCell("COGS", 7, 2).number, 123.5);
        start();
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(300, 100));
        form_->close();
        QVERIFY(fileCell("COGS", 7, 2).number != 123.5);
    }

  private:
    // Editing a demonstration record offers a copy of it; these tests decline. Retry is
    // answered by onAsk_.
    FormMainHooks hooks() override {
        FormMainHooks h = WindowFixture::hooks();
        h.askRetry = [this](const QString &text) {
            asked_ << text;
            return onAsk_ ? onAsk_() : false;
        };
        return h;
    }
    // Starts and adds a record; from then on files grow only as far as the journal needs, so
    // the workbook no longer fits. Null when that limit cannot be set.
    std::unique_ptr<FileSizeLimit> startWithRoomForTheJournalOnly() {
        start();
        form_->New_Click();
        const qint64 limit = QFileInfo(kJournal).size() + 4096;
        if (!form_->IsLoaded() || limit >= QFileInfo(kWorkbook).size()) return nullptr;
        auto full = std::make_unique<FileSizeLimit>(limit);
        return full->active() ? std::move(full) : nullptr;
    }
    void startShown() {
        start();
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QVERIFY(messages_.isEmpty());
    }

    QStringList asked_;
    std::function<bool()> onAsk_;
};

QTEST_MAIN(StoreFaultsWindowTest)
#include "store_faults_window_test.moc"
