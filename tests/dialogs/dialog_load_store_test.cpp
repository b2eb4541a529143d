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
#include "tests/app/window_fixture.h"

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

class DialogLoadStoreTest : public QObject, private pondera::test::WindowFixture {
    Q_OBJECT
  private slots:
    void init() {
        setUpWindow();
        loadAction_ = nullptr;
    }
    void cleanup() { tearDownWindow(); }

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
        loadAction_ = [](DialogLoad &dialog) {
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
        loadAction_ = [](DialogLoad &dialog) {
            SelectRow(dialog, 1);
            QTest::mouseClick(dialog.OKButton(), Qt::LeftButton);
        };
        form_->Load_Click();
        QCOMPARE(CurIDCode, int16_t{1});
        form_->OptionLandMark_Click(5);
        const QString x0 = form_->TextX(0)->text();

        loadAction_ = [how](DialogLoad &dialog) {
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
    FormMainHooks hooks() override {
        FormMainHooks h = WindowFixture::hooks();
        h.runDialog = [this](QDialog &dialog) {
            // The dialog is opened as the user sees it, then acted on.
            dialog.show();
            if (auto *load = qobject_cast<DialogLoad *>(&dialog); load && loadAction_)
                loadAction_(*load);
            else
                dialog.reject();
            return dialog.result();
        };
        return h;
    }
    void start() {
        WindowFixture::start();
        messages_.clear();
    }

    std::function<void(DialogLoad &)> loadAction_;
};

QTEST_MAIN(DialogLoadStoreTest)
#include "dialog_load_store_test.moc"
