// Record selection dialog: the list it builds from a record source, and what OK, Cancel, Esc and
// the close box hand back.
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QtTest>
#include <vector>

#include "dialogs/DialogLoad.h"

using namespace pondera;

namespace {

struct Record {
    int16_t sex;
    std::string picture;
};

// A record source that keeps a log of the calls made on it.
class FakeSource final : public LoadListSource {
  public:
    explicit FakeSource(std::vector<Record> records) : records_(std::move(records)) {}
    int16_t GetCodeMaxNum() override {
        log << QStringLiteral("max");
        return static_cast<int16_t>(records_.size() - 1);
    }
    int16_t GetCodeMinNum() override {
        log << QStringLiteral("min");
        return 0;
    }
    int16_t SetCurCode(int16_t intValue) override {
        log << QStringLiteral("set %1").arg(intValue);
        current_ = intValue;
        return 1;
    }
    int16_t GetCurSex() override {
        log << QStringLiteral("sex");
        return records_.at(static_cast<size_t>(current_)).sex;
    }
    std::string GetCurPictureName() override {
        log << QStringLiteral("name");
        return records_.at(static_cast<size_t>(current_)).picture;
    }
    int16_t current() const { return current_; }

    QStringList log;

  private:
    std::vector<Record> records_;
    int16_t current_ = -1;
};

std::vector<Record> DemoRecords(const std::string &dir) {
    return {{0, dir + "/DEMO/demo001.bmp"},
            {1, dir + "/DEMO/demo001.bmp"},
            {0, dir + "/DEMO/demo003.bmp"},
            {1, dir + "/DEMO/demo003.bmp"}};
}

QStringList Entries(const DialogLoad &dialog) {
    return qobject_cast<QStringListModel *>(dialog.ListProject()->model())->stringList();
}

void SelectRow(DialogLoad &dialog, int row) {
    QListView *list = dialog.ListProject();
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

}  // namespace

class DialogLoadTest : public QObject {
    Q_OBJECT
  private slots:
    void entries_data();
    void entries();
    void readsBoundsOnceThenEachRecordInOrder();
    void windowOpensWithoutSelectionAndFocusOnOK();
    void okOnThirdEntryGivesTwo();
    void closingWithoutChoiceKeepsCurIDCode_data();
    void closingWithoutChoiceKeepsCurIDCode();
    void entryOpensDirectly_data();
    void entryOpensDirectly();
    void opensScrolledToTheRecordShown();
    void fullStoreListsEveryCode();
};

void DialogLoadTest::entries_data() {
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("records");  // how many of the records below the store holds
    QTest::newRow("first start")
        << QStringList{QStringLiteral("0 0 /home/user/work/DEMO/demo001.bmp"),
                       QStringLiteral("1 1 /home/user/work/DEMO/demo001.bmp"),
                       QStringLiteral("2 0 /home/user/work/DEMO/demo003.bmp"),
                       QStringLiteral("3 1 /home/user/work/DEMO/demo003.bmp")}
        << 4;
    QTest::newRow("after New: no picture ends with the blank")
        << QStringList{QStringLiteral("0 0 /home/user/work/DEMO/demo001.bmp"),
                       QStringLiteral("1 1 /home/user/work/DEMO/demo001.bmp"),
                       QStringLiteral("2 0 /home/user/work/DEMO/demo003.bmp"),
                       QStringLiteral("3 1 /home/user/work/DEMO/demo003.bmp"),
                       QStringLiteral("4 0 ")}
        << 5;
    QTest::newRow("empty store") << QStringList{} << 0;
}

void DialogLoadTest::entries() {
    QFETCH(QStringList, expected);
    QFETCH(int, records);
    std::vector<Record> all = DemoRecords("/home/user/work");
    all.push_back({0, ""});
    all.resize(static_cast<size_t>(records));
    FakeSource source(all);
    int16_t cur = 3;
    DialogLoad dialog(source, cur);
    QCOMPARE(Entries(dialog), expected);
    QVERIFY(!dialog.ListProject()->selectionModel()->hasSelection());
    // While the dialog is open, the store stands on the record with the largest code.
    QCOMPARE(source.current(), static_cast<int16_t>(records - 1));
    QCOMPARE(cur, int16_t{3});
}

void DialogLoadTest::readsBoundsOnceThenEachRecordInOrder() {
    std::vector<Record> records(12, Record{1, "p"});
    FakeSource source(records);
    int16_t cur = 0;
    DialogLoad dialog(source, cur);
    QStringList expected{QStringLiteral("max"), QStringLiteral("min")};
    for (int code = 0; code < 12; ++code)
        expected << QStringLiteral("set %1").arg(code) << QStringLiteral("sex")
                 << QStringLiteral("name");
    QCOMPARE(source.log, expected);
    // Numeric order: code 10 follows code 9 and entry k belongs to code k.
    QCOMPARE(Entries(dialog).at(9), QStringLiteral("9 1 p"));
    QCOMPARE(Entries(dialog).at(10), QStringLiteral("10 1 p"));
}

void DialogLoadTest::windowOpensWithoutSelectionAndFocusOnOK() {
    FakeSource source(DemoRecords("/d"));
    int16_t cur = 3;
    DialogLoad dialog(source, cur);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Load"));
    QCOMPARE(dialog.size(), QSize(596, 213));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMinMaxButtonsHint));
    QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(dialog.OKButton()->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.CancelButton()->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QCOMPARE(dialog.OKButton()->geometry(), QRect(512, 8, 81, 25));
    QCOMPARE(dialog.CancelButton()->geometry(), QRect(512, 40, 81, 25));
    QCOMPARE(dialog.ListProject()->geometry(), QRect(8, 8, 497, 184));
    QCOMPARE(dialog.focusWidget(), dialog.OKButton());
    QVERIFY(!dialog.ListProject()->selectionModel()->hasSelection());
    // Neither button is the default button, not even after the dialog is shown.
    QVERIFY(!dialog.OKButton()->isDefault());
    QVERIFY(!dialog.CancelButton()->isDefault());
    // Tab order: OK, Cancel, list.
    QCOMPARE(dialog.OKButton()->nextInFocusChain(), dialog.CancelButton());
    QCOMPARE(dialog.CancelButton()->nextInFocusChain(), dialog.ListProject());
}

void DialogLoadTest::okOnThirdEntryGivesTwo() {
    FakeSource source(DemoRecords("/d"));
    int16_t cur = 3;
    DialogLoad dialog(source, cur);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    SelectRow(dialog, 2);
    QTest::mouseClick(dialog.OKButton(), Qt::LeftButton);
    QCOMPARE(cur, int16_t{2});
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
}

void DialogLoadTest::closingWithoutChoiceKeepsCurIDCode_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("selectFirst");
    QTest::newRow("Cancel after choosing") << QStringLiteral("cancel") << true;
    QTest::newRow("close box after choosing") << QStringLiteral("close") << true;
    QTest::newRow("Esc after choosing") << QStringLiteral("esc") << true;
    QTest::newRow("OK with nothing chosen") << QStringLiteral("ok") << false;
    QTest::newRow("Enter on OK with nothing chosen") << QStringLiteral("enter") << false;
}

void DialogLoadTest::closingWithoutChoiceKeepsCurIDCode() {
    QFETCH(QString, how);
    QFETCH(bool, selectFirst);
    FakeSource source(DemoRecords("/d"));
    int16_t cur = 1;
    DialogLoad dialog(source, cur);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    if (selectFirst) SelectRow(dialog, 3);
    if (how == QLatin1String("cancel")) {
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    } else if (how == QLatin1String("close")) {
        QVERIFY(dialog.close());
    } else if (how == QLatin1String("esc")) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
    } else if (how == QLatin1String("ok")) {
        QTest::mouseClick(dialog.OKButton(), Qt::LeftButton);
    } else {
        dialog.OKButton()->setFocus();
        QTest::keyClick(dialog.OKButton(), Qt::Key_Return);
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(cur, int16_t{1});
}

void DialogLoadTest::entryOpensDirectly_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("double click") << QStringLiteral("double click");
    QTest::newRow("Enter after moving down") << QStringLiteral("down enter");
    QTest::newRow("keypad Enter after a click") << QStringLiteral("click keypad");
}

void DialogLoadTest::entryOpensDirectly() {
    QFETCH(QString, how);
    FakeSource source(DemoRecords("/d"));
    int16_t cur = 0;
    DialogLoad dialog(source, cur);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QListView *list = dialog.ListProject();
    const QRect rect = list->visualRect(list->model()->index(1, 0));
    if (how == QLatin1String("double click")) {
        // A real double click starts with a press of its own, which QTest's leaves out.
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    } else if (how == QLatin1String("down enter")) {
        list->setFocus();  // the entry of the record shown (0) is current
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(dialog.isVisible());
        QTest::keyClick(list, Qt::Key_Return);
    } else {
        SelectRow(dialog, 1);
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(cur, int16_t{1});
    QCOMPARE(Entries(dialog).at(1), QStringLiteral("1 1 /d/DEMO/demo001.bmp"));
}

void DialogLoadTest::opensScrolledToTheRecordShown() {
    std::vector<Record> records(500, Record{0, "p"});
    FakeSource source(records);
    int16_t cur = 420;
    DialogLoad dialog(source, cur);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QListView *list = dialog.ListProject();
    const QModelIndex shown = list->model()->index(420, 0);
    QCOMPARE(list->currentIndex(), shown);
    QVERIFY(list->viewport()->rect().contains(list->visualRect(shown)));
    // Current is not chosen: OK still keeps the record, and the focus stays on OK.
    QVERIFY(!list->selectionModel()->hasSelection());
    QCOMPARE(dialog.focusWidget(), dialog.OKButton());
    QTest::mouseClick(dialog.OKButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(cur, int16_t{420});
}

void DialogLoadTest::fullStoreListsEveryCode() {
    // The largest code a 16-bit store can hold: the list must end there and not wrap around.
    std::vector<Record> records(32768, Record{0, ""});
    FakeSource source(records);
    int16_t cur = 0;
    DialogLoad dialog(source, cur);
    const QStringList entries = Entries(dialog);
    QCOMPARE(entries.size(), 32768);
    QCOMPARE(entries.last(), QStringLiteral("32767 0 "));
    QCOMPARE(source.current(), int16_t{32767});
}

QTEST_MAIN(DialogLoadTest)
#include "dialog_load_test.moc"
