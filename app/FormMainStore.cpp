// The main window's side of saving: the background save after a pause, the close save, changes
// made to the workbook by another program, and the memo box's limit.
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/FormMain.h"
#include "base/error.h"
#include "dialogs/AppTitle.h"

namespace pondera {

namespace {

// What one cell holds, in UTF-16 code units, as the store counts a memo.
constexpr qsizetype kMaxMemoLength = 32767;

// The pause after a change before the workbook file is brought up to date: long enough that a
// run of clicks is one save, short enough that a spreadsheet opened meanwhile sees the work.
// After a failed save the next try waits longer (a full disk rarely clears in seconds).
constexpr int kIdleSaveMs = 2000;
constexpr int kRetrySaveMs = 30000;

int errorNumber(const std::exception &e) {
    const auto *error = dynamic_cast<const Error *>(&e);
    return error ? error->number() : kErrInternal;
}

}  // namespace

void FormMain::closeEvent(QCloseEvent *event) {
    if (trap_.Running()) {
        // A command is still on the stack (a message or a modal window of it is open, as when
        // the system asks the program to end meanwhile): finish it first, then close.
        closeRequested_ = true;
        if (QWidget *modal = QApplication::activeModalWidget()) modal->close();
        event->ignore();
        return;
    }
    if (!Form_Unload()) {
        event->ignore();
        return;
    }
    event->accept();
}

void FormMain::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    // Coming back to the window after working in another program is when a workbook edited
    // there is most likely; say so at once rather than at the next command.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) checkWorkbook(false);
}

void FormMain::checkWorkbook(bool reportErrors) {
    if (!session_ || trap_.Running() || startupNoticesPending_ || checkingWorkbook_) return;
    checkingWorkbook_ = true;
    try {
        session_->CheckWorkbook();
    } catch (const std::exception &e) {
        // On activation a failure stays unsaid: its message would reactivate the window and
        // be shown again; the next command looks again and reports it.
        if (reportErrors)
            showError(errorNumber(e), tr("記録ファイルの状態を確かめられませんでした。"),
                      QString::fromStdString(e.what()));
    }
    ShowNotices();
    checkingWorkbook_ = false;
}

void FormMain::scheduleBackgroundSave() {
    if (!session_ || !session_->HasUnsavedChanges()) return;
    idleSave_.setSingleShot(true);
    idleSave_.start(session_->BackgroundSaveFailed() ? kRetrySaveMs : kIdleSaveMs);
}

// The snapshot is taken here, on the window's thread, between two events; the writing runs on
// the store's thread and reports back through the event loop.
void FormMain::saveInBackground() {
    if (!session_) return;
    if (trap_.Running()) {
        // A command (or its message) is still open: its end schedules the save again.
        return;
    }
    try {
        session_->SaveInBackground([this] {
            QMetaObject::invokeMethod(
                this, [this] { backgroundSaveEnded(); }, Qt::QueuedConnection);
        });
    } catch (const std::exception &) {
        // The snapshot could not be taken; the journal holds everything, the close saves.
    }
}

void FormMain::backgroundSaveEnded() {
    if (!session_) return;  // the close took the save in
    session_->FinishBackgroundSave();
    // Changes made while it wrote wait for the next pause (or for this one, if already over).
    if (!idleSave_.isActive()) scheduleBackgroundSave();
    // A failure is told once; a command still open shows it when it ends.
    if (!trap_.Running() && !startupNoticesPending_) ShowNotices();
}

// Every change must be in the journal before the window may go: a change known only in memory
// would be lost with the process.
bool FormMain::commitBeforeClose() {
    for (;;) {
        try {
            session_->Commit();
            return true;
        } catch (const std::exception &e) {
            const QString text = tr("エラー番号 %1\n変更を記録ファイルに保存できませんでした。"
                                    "このまま終了すると、保存されていない変更は失われます。"
                                    "ディスクの空きを確かめてから再試行してください。"
                                    "キャンセルするとウィンドウは開いたままになります。")
                                     .arg(errorNumber(e)) +
                                 QStringLiteral("\n(%1)").arg(QString::fromStdString(e.what()));
            if (!hooks_.askRetry(text)) return false;
        }
    }
}

bool FormMain::Form_Unload() {
    if (!session_) return true;
    try {
        storeMemo();
    } catch (const std::exception &e) {
        showError(errorNumber(e), tr("メモを記録できませんでした。"),
                  QString::fromStdString(e.what()));
    }
    if (!commitBeforeClose()) return false;
    try {
        session_->Close();
    } catch (const std::exception &e) {
        if (session_->HasUncommittedChanges()) {
            // The close save found the journal unwritable too: nothing guards those changes.
            showError(errorNumber(e),
                      tr("記録ファイルを保存できませんでした。保存されていない変更があるため、"
                         "ウィンドウは開いたままにします。"),
                      QString::fromStdString(e.what()));
            return false;
        }
        // Every change is in the journal, which stays for the next start to replay.
        showError(errorNumber(e),
                  tr("記録ファイルを保存できませんでした。"
                     "変更は失われず、次に起動したときに復元されます。"),
                  QString::fromStdString(e.what()));
    }
    idleSave_.stop();
    session_.reset();
    return true;
}

void FormMain::limitMemo() {
    const QString text = TextMEMO_->toPlainText();
    if (text.size() <= kMaxMemoLength) return;
    qsizetype keep = kMaxMemoLength;
    if (text[keep - 1].isHighSurrogate()) --keep;  // never half a character
    TextMEMO_->setPlainText(text.left(keep));
    TextMEMO_->moveCursor(QTextCursor::End);
    showError(kErrInvalidCall,
              tr("メモは %1 文字までです。超えた部分は入力されませんでした。").arg(kMaxMemoLength));
}

}  // namespace pondera
