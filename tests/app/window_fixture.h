#pragma once

#include <QDialog>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "report/RecordData.h"
#include "session/RecordSession.h"

namespace pondera::test {

// What every test of the real main window sets up: a temporary current directory of its own,
// the window's services answered without a person (messages and questions recorded, the picture
// file and the dialogs' results given by the test), and the window started in it.
class WindowFixture {
  protected:
    virtual ~WindowFixture() = default;

    // For init() and cleanup().
    void setUpWindow() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(QDir::setCurrent(dir_->path()));
        messages_.clear();
        questions_.clear();
        dialogs_.clear();
        nextFile_.clear();
        fileAsked_ = 0;
        answer_ = false;
        dialogAction_ = nullptr;
        onMessage_ = nullptr;
    }
    void tearDownWindow() {
        form_.reset();
        QDir::setCurrent(QDir::tempPath());
        dir_.reset();
    }

    // The services: a message is recorded, the picture asked for is nextFile_, a modal window
    // gets dialogAction_ and returns its result, a question is recorded and answered answer_
    // (a copy of a demonstration record is declined unless a test says otherwise).
    virtual FormMainHooks hooks() {
        FormMainHooks h;
        h.message = [this](const QString &text) {
            messages_ << text;
            if (onMessage_) onMessage_();
        };
        h.chooseFile = [this](QWidget *) {
            ++fileAsked_;
            return nextFile_;
        };
        h.runDialog = [this](QDialog &dialog) {
            dialogs_ << dialog.metaObject()->className();
            if (dialogAction_) dialogAction_(dialog);
            return int(dialog.result());
        };
        h.ask = [this](const QString &text) {
            questions_ << text;
            return answer_;
        };
        return h;
    }
    // Starts a window (a running one is closed first) and shows its start-up notices.
    void start() {
        form_.reset();
        CurIDCode = -1;
        form_ = std::make_unique<FormMain>(hooks());
        QVERIFY(form_->IsLoaded());
        form_->ShowNotices();
    }
    void startShown() {
        start();
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }
    // The record the window shows, as the store holds it.
    report::RecordData stored() const {
        RecordSession *session = form_->Session();
        return session->StoredRecord(session->ShownCode());
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FormMain> form_;
    QStringList messages_;
    QStringList questions_;
    QStringList dialogs_;
    QString nextFile_;
    int fileAsked_ = 0;
    bool answer_ = false;
    std::function<void(QDialog &)> dialogAction_;
    std::function<void()> onMessage_;
};

}  // namespace pondera::test
