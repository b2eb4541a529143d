// The record selection dialog on the real record store, alone and through the main window's
// Load command, each case in a temporary current directory of its own.
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "dialogs/DialogLoad.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "session/StoreListSource.h"
#include "store/records/ClassEXCEL.h"

using namespace pondera;

namespace {

QStringList Entries(const DialogLoad &dialog) {
    return qobject_cast<QStringListModel *>(dialog.ListProject()->model())->stringList();
}

void SelectRow(DialogLoad &dialog, int row) {
    QListView *list = dialog.ListProject();
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect);
}

}  // namespace

class DialogLoadStoreTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(QDir::setCurrent(dir_->path()));
        dialogAction_ = nullptr;
        messages_.clear();
    }
    void cleanup() {
        form_.reset();
        QDir::setCurrent(QDir::tempPath());
        dir_.reset();
    }

    void firstStartThenNew() {
        ClassLANDMARK landMark;
        ClassSEGMENT segment(landMark);
        ClassEXCEL store(landMark, segment);
        const QString demo = QDir::currentPath() + QStringLiteral("/DEMO/");
        const QStringList first{QStringLiteral("0 0 ") + demo + QStringLiteral("demo001.bmp"),
                                QStringLiteral("1 1 ") + demo + QStringLiteral("demo001.bmp"),
                                QStringLiteral("2 0 ") + demo + QStringLiteral("demo003.bmp"),
                                QStringLiteral("3 1 ") + demo + QStringLiteral("demo003.bmp")};
        int16_t cur = 0;
        {
            StoreListSource source(store);
            DialogLoad dialog(source, cur);
            QCOMPARE(Entries(dialog), first);
            QCOMPARE(store.GetCurCode(), int16_t{3});
        }
        store.SetCurCode(1);
        QCOMPARE(store.AddCode(), int16_t{4});
        StoreListSource source(store);
        DialogLoad dialog(source, cur);
        QCOMPARE(Entries(dialog), first + QStringList{QStringLiteral("4 0 ")});
        QCOMPARE(store.GetCurCode(), int16_t{4});
        QCOMPARE(cur, int16_t{0});
        store.Close();
    }

    void loadCommandShowsTheChoice() {
        start();
        dialogAction_ = [](DialogLoad &dialog) {
            SelectRow(dialog, 2);
            QTest::mouseClick(dialog.OKButton(), Qt::LeftButton);
        };
        form_->Load_Click();
        QCOMPARE(CurIDCode, int16_t{2});
        QCOMPARE(form_->TextIDCode()->text(), QStringLiteral("ID Code : 2"));
        QCOMPARE(form_->Session()->ShownCode(), int16_t{2});
        QVERIFY(messages_.isEmpty());
    }

    void loadCommandWithoutChoiceKeepsRecordAndLandMark_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << QStringLiteral("cancel");
        QTest::newRow("close box") << QStringLiteral("close");
        QTest::newRow("OK with nothing chosen") << QStringLiteral("ok");
        QTest::newRow("same record chosen") << QStringLiteral("same");
    }
    void loadCommandWithoutChoiceKeepsRecordAndLandMark() {
        QFETCH(QString, how);
        start();
        form_->New_Click();   // record 4, the one shown
        form_->Load_Click();  // closed untouched: record 4 stays
        QCOMPARE(CurIDCode, int16_t{4});
        QCOMPARE(form_->TextIDCode()->text(), QStringLiteral("ID Code : 4"));
        dialogAction_ = [](DialogLoad &dialog) {
            SelectRow(dialog, 1);
            QTest::mouseClick(dialog.OKButton(), Qt::LeftButton);
        };
        form_->Load_Click();
        QCOMPARE(CurIDCode, int16_t{1});
        form_->OptionLandMark_Click(5);
        const QString x0 = form_->TextX(0)->text();

        dialogAction_ = [how](DialogLoad &dialog) {
            if (how == QLatin1String("cancel")) {
                SelectRow(dialog, 3);
                QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
            } else if (how == QLatin1String("close")) {
                SelectRow(dialog, 3);
                dialog.close();
            } else if (how == QLatin1String("ok")) {
                QTest::mouseClick(dialog.OKButton(), Qt::LeftButton);
            } else {
                SelectRow(dialog, 1);
                QTest::mouseClick(dialog.OKButton(), Qt::LeftButton);
            }
        };
        form_->Load_Click();
        QCOMPARE(CurIDCode, int16_t{1});
        QCOMPARE(form_->TextIDCode()->text(), QStringLiteral("ID Code : 1"));
        // The dialog moved the store through every code; it is back on the record shown.
        QCOMPARE(form_->Session()->ShownCode(), int16_t{1});
        QCOMPARE(form_->CurLandMarkNum(), int16_t{5});
        QCOMPARE(form_->TextX(0)->text(), x0);
        QVERIFY(messages_.isEmpty());
    }

  private:
    void start() {
        form_.reset();
        CurIDCode = -1;
        FormMainHooks hooks;
        hooks.message = [this](const QString &text) { messages_ << text; };
        hooks.chooseFile = [](QWidget *) { return QString(); };
        hooks.runDialog = [this](QDialog &dialog) {
            // The dialog is opened as the user sees it, then acted on.
            dialog.show();
            if (auto *load = qobject_cast<DialogLoad *>(&dialog); load && dialogAction_)
                dialogAction_(*load);
            else
                dialog.reject();
            return dialog.result();
        };
        form_ = std::make_unique<FormMain>(hooks);
        QVERIFY(form_->IsLoaded());
        messages_.clear();
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FormMain> form_;
    QStringList messages_;
    std::function<void(DialogLoad &)> dialogAction_;
};

QTEST_MAIN(DialogLoadStoreTest)
#include "dialog_load_store_test.moc"
