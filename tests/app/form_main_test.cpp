#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <memory>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "app/PictureBox.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"
#include "store/xls/workbook_engine.h"

using namespace pondera;

namespace {

const char kWorkbook[] = "PONDERA2D_2010.xls";

// Cell (row, col) of a sheet as the file on disk holds it, read by a fresh engine.
store::CellValue fileCell(const char *sheet, int row, int col) {
    auto book =
        store::makeWorkbookEngine()->open(QDir::current().filePath(kWorkbook).toStdString());
    return book->sheet(sheet).cell(row, col);
}

// A number cell on disk; centres of gravity and coordinates are single precision.
float fileNumber(const char *sheet, int row, int col) {
    const store::CellValue v = fileCell(sheet, row, col);
    if (!v.isNumber()) throw std::runtime_error("not a number");
    return static_cast<float>(v.number);
}

// Rewrites cells of the workbook on disk, as a user editing it in a spreadsheet would.
void editFile(const std::function<void(store::Workbook &)> &edit) {
    const std::string path = QDir::current().filePath(kWorkbook).toStdString();
    auto book = store::makeWorkbookEngine()->open(path);
    edit(*book);
    book->saveAs(path);
}

// Whole-body centre of gravity of a landmark set for a sex, as the segment model gives it.
std::pair<float, float> bodyCentre(const DemoLandmarkSet &set, int16_t sex) {
    ClassLANDMARK landMarks;
    for (int16_t i = 0; i < 22; ++i) {
        landMarks.SetLandMarkX(i, static_cast<float>(set[i].x));
        landMarks.SetLandMarkZ(i, static_cast<float>(set[i].z));
    }
    ClassSEGMENT segment(landMarks);
    segment.SetSex(sex);
    segment.CalcCOGB();
    return {segment.GetCOGBX(), segment.GetCOGBZ()};
}

QString floorText(float v) {
    return QString::number(std::floor(static_cast<double>(v)), 'f', 0);
}

bool drawn(const QImage &overlay, int x, int y) {
    return qAlpha(overlay.pixel(x, y)) == 255;
}

QColor highlight() {
    return QApplication::palette().color(QPalette::HighlightedText);
}
QColor buttonFace() {
    return QApplication::palette().color(QPalette::Button);
}
QColor background(QWidget *w) {
    return w->palette().color(QPalette::Base);
}

}  // namespace

class FormMainTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(QDir::setCurrent(dir_->path()));
        messages_.clear();
        dialogs_.clear();
        nextFile_.clear();
        fileAsked_ = 0;
        dialogAction_ = nullptr;
        onMessage_ = nullptr;
    }
    void cleanup() {
        form_.reset();
        QDir::setCurrent(QDir::tempPath());
        dir_.reset();
    }

    // ---- start-up and layout ----

    void firstStartShowsNewestDemonstrationRecord() {
        start();
        // Both pictures written as 640 x 480 bitmaps of 24 bits per pixel.
        for (const char *name : {"DEMO/demo001.bmp", "DEMO/demo003.bmp"}) {
            QFile file(name);
            QVERIFY2(file.open(QIODevice::ReadOnly), name);
            const QByteArray header = file.read(54);
            QCOMPARE(header.left(2), QByteArray("BM"));
            QCOMPARE(qFromLittleEndian<qint32>(header.constData() + 18), 640);
            QCOMPARE(std::abs(qFromLittleEndian<qint32>(header.constData() + 22)), 480);
            QCOMPARE(qFromLittleEndian<quint16>(header.constData() + 28), quint16(24));
        }
        QCOMPARE(CurIDCode, int16_t(3));
        QCOMPARE(form_->TextIDCode()->text(), QString("ID Code : 3"));
        QVERIFY(form_->OptionSex(1)->isChecked());
        QVERIFY(!form_->OptionSex(0)->isChecked());
        QCOMPARE(form_->TextMEMO()->toPlainText(), QString("demo3"));
        QCOMPARE(form_->TextPICTURENAME()->text(), dir_->path() + "/DEMO/demo003.bmp");
        QCOMPARE(form_->Picture1()->Picture().size(), QSize(640, 480));
        QVERIFY(form_->Frame1()->isEnabled());
        QVERIFY(form_->OptionLandMark(0)->isChecked());
        QCOMPARE(form_->CurLandMarkNum(), int16_t(0));
        QCOMPARE(background(form_->TextX(0)), highlight());
        QCOMPARE(background(form_->TextZ(0)), highlight());
        QCOMPARE(background(form_->TextX(1)), buttonFace());
        QCOMPARE(form_->TextX(0)->text(), QString::number(kDemoSetB[0].x));
        QCOMPARE(form_->TextZ(21)->text(), QString::number(kDemoSetB[21].z));
        QCOMPARE(form_->TextCOG()->text(), QString("重心"));
        const auto [bx, bz] = bodyCentre(kDemoSetB, 1);
        QCOMPARE(form_->TextCOGX()->text(), floorText(bx));
        QCOMPARE(form_->TextCOGZ()->text(), floorText(bz));
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join("|")));
        form_->close();
        // The centres of gravity were written into record 3 (row 6).
        QCOMPARE(fileNumber("ID", 6, 5), bx);
        QCOMPARE(fileNumber("ID", 6, 6), bz);
        QVERIFY(fileCell("COGS", 6, 2).isNumber());
        QVERIFY(fileCell("COGS", 6, 31).isNumber());
    }

    void secondStartWritesNoPicturesAndShowsNewestRecord() {
        start();
        form_->New_Click();
        form_->close();
        QVERIFY(QFile::remove("DEMO/demo001.bmp"));
        start();
        QVERIFY(!QFile::exists("DEMO/demo001.bmp"));
        QCOMPARE(form_->TextIDCode()->text(), QString("ID Code : 4"));
    }

    void existingDemoFolderIsUsed() {
        QVERIFY(QDir().mkdir("DEMO"));
        start();
        QVERIFY(QFile::exists("DEMO/demo001.bmp"));
        QVERIFY(QFile::exists("DEMO/demo003.bmp"));
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join("|")));
    }

    void layoutCaptionsAndMenus() {
        startShown();
        QCOMPARE(form_->windowTitle(),
                 QString("Pondera 2010 Ver 2.00") + QString(68, ' ') + "ZELMORA");
        QCOMPARE(form_->centralWidget()->size(), QSize(847, 531));
        QCOMPARE(form_->Picture1()->geometry(), QRect(16, 32, 641, 481));
        QCOMPARE(form_->Frame1()->geometry(), QRect(8, 0, 833, 521));
        QCOMPARE(form_->Frame2()->geometry(), QRect(648, 96, 177, 417));
        QCOMPARE(form_->OptionLandMark(21)->geometry(), QRect(8, 368, 17, 17));
        QCOMPARE(form_->TextZ(21)->geometry(), QRect(144, 368, 33, 18));
        QCOMPARE(form_->TextCOGX()->geometry(), QRect(112, 392, 33, 18));
        QCOMPARE(form_->findChild<QLineEdit *>("TextX(7)"), form_->TextX(7));
        QCOMPARE(form_->findChild<QRadioButton *>("OptionSex(1)")->text(), QString("Female"));
        QVERIFY(form_->TextPICTURENAME()->isReadOnly());
        QVERIFY(!form_->TextMEMO()->isReadOnly());
        QVERIFY(form_->TextX(0)->isReadOnly());
        QCOMPARE(background(form_->TextMEMO()), highlight());
        QCOMPARE(form_->Picture1()->cursor().shape(), Qt::CrossCursor);
        const QList<std::pair<QAction *, QString>> items{
            {form_->MenuNew(), "New(&N)"},
            {form_->MenuLoad(), "Load(&L)"},
            {form_->MenuQuit(), "Quit(&Q)"},
            {form_->MenuLoad_Picture(), "Load Picture(&P)"},
            {form_->MenuInformation(), "Information(&I)"},
            {form_->MenuAbout(), "About(&V)"}};
        const QString keys = "NLQPIV";
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(items[i].first->text(), items[i].second);
            QCOMPARE(items[i].first->shortcut(), QKeySequence(QString("Ctrl+") + keys[i]));
        }
    }

    // ---- digitizing ----

    void clickStoresShowsAndDraws_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }
    void clickStoresShowsAndDraws() {
        QFETCH(Qt::MouseButton, button);
        start();
        QTest::mouseClick(form_->Picture1(), button, {}, QPoint(100, 200));
        QCOMPARE(form_->TextX(0)->text(), QString("100"));
        QCOMPARE(form_->TextZ(0)->text(), QString("281"));
        QCOMPARE(form_->LandMark()->GetLandMarkX(0), 100.0f);
        QCOMPARE(form_->LandMark()->GetLandMarkZ(0), 281.0f);
        QCOMPARE(form_->Excel()->GetLandMarkX(0), 100.0f);
        QCOMPARE(form_->Excel()->GetLandMarkZ(0), 281.0f);
        // The current landmark's cross is centred on the click.
        const QImage overlay = form_->Picture1()->Overlay();
        QVERIFY(drawn(overlay, 100, 200));
        QVERIFY(drawn(overlay, 102, 200));
        QVERIFY(drawn(overlay, 100, 198));
        QCOMPARE(overlay.pixelColor(102, 200), form_->Picture1()->ForeColor());
        QVERIFY(messages_.isEmpty());
        form_->close();
        QCOMPARE(fileNumber("LANDMARK", 6, 2), 100.0f);
        QCOMPARE(fileNumber("LANDMARK", 6, 3), 281.0f);
    }

    void clickIsCommittedAtOnce() {
        start();
        const auto journalSize = [] {
            const QStringList journals =
                QDir().entryList(QDir::Files | QDir::Hidden).filter("journal");
            return journals.size() == 1 ? QFileInfo(journals.first()).size() : -1;
        };
        const qint64 before = journalSize();
        QVERIFY(before >= 0);
        // Changes reach the journal file on commit only; the click's are there at once.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QVERIFY(journalSize() > before);
        const qint64 afterClick = journalSize();
        form_->OptionSex_Click(0);
        QVERIFY(journalSize() > afterClick);
    }

    void selectingAnotherLandmarkMovesHighlightOnly() {
        start();
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QTest::mouseClick(form_->OptionLandMark(5), Qt::LeftButton);
        QCOMPARE(form_->CurLandMarkNum(), int16_t(5));
        QCOMPARE(background(form_->TextX(0)), buttonFace());
        QCOMPARE(background(form_->TextZ(0)), buttonFace());
        QCOMPARE(background(form_->TextX(5)), highlight());
        QCOMPARE(background(form_->TextZ(5)), highlight());
        // No value changed.
        QCOMPARE(form_->LandMark()->GetLandMarkX(0), 100.0f);
        QCOMPARE(form_->LandMark()->GetLandMarkX(5), float(kDemoSetB[5].x));
        QCOMPARE(form_->Excel()->GetLandMarkX(0), 100.0f);
        QCOMPARE(form_->Excel()->GetLandMarkZ(5), float(kDemoSetB[5].z));
        QCOMPARE(form_->TextX(5)->text(), QString::number(kDemoSetB[5].x));
        // The cross moved to landmark 5; landmark 0 keeps a plain circle.
        const QImage overlay = form_->Picture1()->Overlay();
        const int x5 = kDemoSetB[5].x, y5 = 481 - kDemoSetB[5].z;
        QVERIFY(drawn(overlay, x5 + 2, y5));
        QVERIFY(drawn(overlay, x5 + 8, y5));
        QVERIFY(drawn(overlay, 104, 200));
        QVERIFY(!drawn(overlay, 102, 200));
        QVERIFY(!drawn(overlay, 108, 200));
        // The next click moves landmark 5.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(300, 100));
        QCOMPARE(form_->Excel()->GetLandMarkX(5), 300.0f);
        QCOMPARE(form_->Excel()->GetLandMarkX(0), 100.0f);
    }

    void twoClicksKeepTheSecond() {
        start();
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(150, 250));
        QCOMPARE(form_->CurLandMarkNum(), int16_t(0));
        QCOMPARE(form_->TextX(0)->text(), QString("150"));
        QCOMPARE(form_->TextZ(0)->text(), QString("231"));
        QCOMPARE(form_->LandMark()->GetLandMarkZ(0), 231.0f);
        QCOMPARE(form_->Excel()->GetLandMarkX(0), 150.0f);
        QCOMPARE(form_->Excel()->GetLandMarkZ(0), 231.0f);
        const QImage overlay = form_->Picture1()->Overlay();
        QVERIFY(!drawn(overlay, 102, 200));
        QVERIFY(drawn(overlay, 152, 250));
    }

    void fractionalClickShownAsGeneralNumber() {
        start();
        form_->Picture1_MouseDown(1, 0, 245.5f, 100.25f);
        QCOMPARE(form_->TextX(0)->text(), QString("245.5"));
        QCOMPARE(form_->TextZ(0)->text(), QString("380.75"));
    }

    // ---- record display and editing ----

    void newRecordHasAllLandmarksAtTheCorner() {
        startShown();
        QTest::keyClick(form_.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(CurIDCode, int16_t(4));
        QCOMPARE(form_->TextIDCode()->text(), QString("ID Code : 4"));
        QVERIFY(form_->Picture1()->Picture().isNull());
        QCOMPARE(form_->TextPICTURENAME()->text(), QString());
        QVERIFY(form_->OptionSex(0)->isChecked());
        QVERIFY(!form_->OptionSex(1)->isChecked());
        QCOMPARE(form_->TextMEMO()->toPlainText(), QString("NEW"));
        for (int i = 0; i < 22; ++i) {
            QCOMPARE(form_->TextX(i)->text(), QString("0"));
            QCOMPARE(form_->TextZ(i)->text(), QString("0"));
        }
        QCOMPARE(form_->TextCOGX()->text(), QString("0"));
        QCOMPARE(form_->TextCOGZ()->text(), QString("0"));
        // Every marker sits on the bottom-left corner, picture position (0, 481).
        const QImage overlay = form_->Picture1()->Overlay();
        QVERIFY(drawn(overlay, 0, 475));  // vertical stroke of the cross
        QVERIFY(!drawn(overlay, 20, 460));
        QVERIFY(messages_.isEmpty());
        // A second New gets the next code.
        form_->New_Click();
        QCOMPARE(CurIDCode, int16_t(5));
        form_->close();
        QCOMPARE(fileNumber("ID", 8, 1), 5.0f);
        QCOMPARE(fileCell("ID", 7, 4).text, std::string("NEW"));
        QCOMPARE(fileNumber("ID", 7, 5), 0.0f);
    }

    void sexChangeStoresAndRedraws() {
        start();  // record 3: female, set B
        const auto [fx, fz] = bodyCentre(kDemoSetB, 1);
        const auto [mx, mz] = bodyCentre(kDemoSetB, 0);
        QVERIFY(floorText(fx) != floorText(mx) || floorText(fz) != floorText(mz));
        QTest::mouseClick(form_->OptionSex(0), Qt::LeftButton);
        QVERIFY(form_->OptionSex(0)->isChecked());
        QCOMPARE(form_->Excel()->GetCurSex(), int16_t(0));
        QCOMPARE(form_->TextCOGX()->text(), floorText(mx));
        QCOMPARE(form_->TextCOGZ()->text(), floorText(mz));
        QCOMPARE(form_->Excel()->GetLandMarkX(3), float(kDemoSetB[3].x));
        // The body centre marker moved to the male position.
        const QImage overlay = form_->Picture1()->Overlay();
        const QColor magenta(128, 0, 128);
        QCOMPARE(overlay.pixelColor(qRound(mx) + 6, qRound(481 - mz)), magenta);
        form_->close();
        QCOMPARE(fileNumber("ID", 6, 3), 0.0f);
        QCOMPARE(fileNumber("ID", 6, 5), mx);
        QCOMPARE(fileNumber("ID", 6, 6), mz);
    }

    void memoIsStored_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("focus leaves the memo") << "focus";
        QTest::newRow("another record shown") << "new";
        QTest::newRow("window closed") << "close";
    }
    void memoIsStored() {
        QFETCH(QString, how);
        startShown();
        form_->TextMEMO()->setFocus();
        form_->TextMEMO()->selectAll();
        QTest::keyClicks(form_->TextMEMO(), "jump 2");
        if (how == "focus") {
            form_->TextX(3)->setFocus();
            QCOMPARE(form_->Excel()->GetCurMemo(), std::string("jump 2"));
        } else if (how == "new") {
            form_->New_Click();
            QCOMPARE(form_->TextMEMO()->toPlainText(), QString("NEW"));
        }
        form_->close();
        QCOMPARE(fileCell("ID", 6, 4).text, std::string("jump 2"));
    }

    void typingIntoIdCodeRedisplaysSameRecord() {
        start();
        form_->TextIDCode()->setFocus();
        QTest::keyClicks(form_->TextIDCode(), "9");
        QCOMPARE(form_->TextIDCode()->text(), QString("ID Code : 39"));
        QCOMPARE(form_->TextMEMO()->toPlainText(), QString("demo3"));
        QCOMPARE(form_->Excel()->GetCurCode(), int16_t(3));
    }

    void pictureThatCannotBeShown_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("message");
        QTest::newRow("folder missing") << "nofolder/x.bmp" << false;
        QTest::newRow("file missing in existing folder") << "DEMO/nothere.bmp" << true;
        QTest::newRow("file not a picture") << "PONDERA2D_2010.xls" << true;
    }
    void pictureThatCannotBeShown() {
        QFETCH(QString, path);
        QFETCH(bool, message);
        start();
        nextFile_ = QDir::current().filePath(path);
        form_->Load_Picture_Click();
        QCOMPARE(form_->TextPICTURENAME()->text(), nextFile_);
        QVERIFY(form_->Picture1()->Picture().isNull());
        QCOMPARE(form_->TextX(1)->text(), QString::number(kDemoSetB[1].x));
        if (message) {
            QCOMPARE(messages_.size(), 1);
            QVERIFY2(messages_[0].startsWith("エラー番号 75"), qPrintable(messages_[0]));
        } else {
            QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join("|")));
        }
        // The program goes on: a click still digitizes.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(10, 20));
        QCOMPARE(form_->Excel()->GetLandMarkZ(0), 461.0f);
        form_->close();
        QCOMPARE(fileCell("ID", 6, 2).text, nextFile_.toStdString());
    }

    void loadPictureShowsAndStoresIt() {
        startShown();
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(QColor(10, 200, 30));
        // A Japanese folder name and a path far beyond 255 bytes.
        const QString folder = "写真 " + QString(120, 'a') + "/" + QString(120, 'b');
        QVERIFY(QDir().mkpath(folder));
        nextFile_ = QDir::current().filePath(folder + "/Photo.JPEG");
        QVERIFY(nextFile_.toUtf8().size() > 255);
        QVERIFY(picture.save(nextFile_, "JPEG"));
        QTest::mouseClick(form_->OptionLandMark(4), Qt::LeftButton);
        QTest::keyClick(form_.get(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(fileAsked_, 1);
        QCOMPARE(form_->TextPICTURENAME()->text(), nextFile_);
        QCOMPARE(form_->Picture1()->Picture().size(), QSize(640, 480));
        QCOMPARE(form_->CurLandMarkNum(), int16_t(0));
        QVERIFY(messages_.isEmpty());
        form_->close();
        QCOMPARE(fileCell("ID", 6, 2).text, nextFile_.toStdString());
    }

    void cancelledPictureChoiceChangesNothing() {
        start();
        const QString before = form_->TextPICTURENAME()->text();
        nextFile_.clear();
        form_->Load_Picture_Click();
        QCOMPARE(messages_, QStringList{"キャンセルされました"});
        QCOMPARE(form_->TextPICTURENAME()->text(), before);
        QCOMPARE(form_->Excel()->GetCurPictureName(), before.toStdString());
    }

    void pictureDialogIsSetUp() {
        const auto dialog = FormMain::MakePictureDialog(nullptr);
        QCOMPARE(dialog->windowTitle(), QString("画像ファイルを選択"));
        QCOMPARE(QDir(dialog->directory()).canonicalPath(),
                 QDir(QCoreApplication::applicationDirPath()).canonicalPath());
        QCOMPARE(dialog->nameFilters().size(), 1);
        QVERIFY(dialog->nameFilters()[0].startsWith("画像ファイル(*.bmp,*.jpg)"));
        QVERIFY(dialog->nameFilters()[0].contains("*.jpeg"));
        QVERIFY(!(dialog->filter() & QDir::CaseSensitive));
        // What the dialog lists in a folder: bitmaps and JPEGs in any letter case.
        for (const char *name : {"a.BMP", "b.jpeg", "c.Jpg", "d.bmp", "e.png", "f.txt"}) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        dialog->setDirectory(QDir::currentPath());
        dialog->show();
        auto *view = dialog->findChild<QListView *>("listView");
        QVERIFY(view);
        QStringList listed;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                listed.clear();
                const QModelIndex root = view->rootIndex();
                for (int r = 0; r < view->model()->rowCount(root); ++r)
                    listed << view->model()->index(r, 0, root).data().toString();
                listed.sort();
                return listed.size() >= 4;
            }(),
            5000);
        QCOMPARE(listed, (QStringList{"a.BMP", "b.jpeg", "c.Jpg", "d.bmp"}));
        // The user sees the one filter by its description.
        auto *types = dialog->findChild<QComboBox *>("fileTypeCombo");
        QVERIFY(types);
        QCOMPARE(types->count(), 1);
        QCOMPARE(types->itemText(0), QString("画像ファイル(*.bmp,*.jpg)"));
        dialog->close();
    }

    void badCellsAreReportedAndTheRecordStillShown() {
        // Record 4 with landmarks of set B, then a sex of 7 and a text cell typed in by hand.
        start();
        form_->New_Click();
        for (int16_t i = 0; i < 22; ++i) {
            form_->OptionLandMark_Click(i);
            form_->Picture1_MouseDown(1, 0, float(kDemoSetB[i].x), float(481 - kDemoSetB[i].z));
        }
        form_->close();
        editFile([](store::Workbook &book) {
            book.sheet("ID").setCell(7, 3, store::CellValue::integer(7));
            book.sheet("LANDMARK").setCell(7, 4, store::CellValue::str("abc"));
        });
        start();
        QCOMPARE(messages_.size(), 2);
        QVERIFY2(messages_[0].startsWith("エラー番号 13"), qPrintable(messages_[0]));
        QVERIFY(messages_[0].contains("顎 X"));
        QVERIFY2(messages_[1].startsWith("エラー番号 9"), qPrintable(messages_[1]));
        QVERIFY(!form_->OptionSex(0)->isChecked());
        QVERIFY(!form_->OptionSex(1)->isChecked());
        QCOMPARE(form_->TextX(1)->text(), QString("0"));
        QCOMPARE(form_->TextZ(1)->text(), QString::number(kDemoSetB[1].z));
        QCOMPARE(form_->TextCOGX()->text(), QString());
        // Landmarks are drawn, centres of gravity are not.
        const QImage overlay = form_->Picture1()->Overlay();
        QVERIFY(drawn(overlay, kDemoSetB[3].x + 4, 481 - kDemoSetB[3].z));
        // Picking a sex draws and stores them.
        QTest::mouseClick(form_->OptionSex(1), Qt::LeftButton);
        QVERIFY(!form_->TextCOGX()->text().isEmpty());
        form_->close();
        QCOMPARE(fileNumber("ID", 7, 3), 1.0f);
    }

    void fullRecordListRefusesNewRecord() {
        // Codes up to 32764, whose row 32767 is the last the record arithmetic reaches.
        start();
        form_->close();
        editFile([](store::Workbook &book) {
            for (int row = 7; row <= 32767; ++row)
                book.sheet("ID").setCell(row, 1, store::CellValue::integer(int16_t(row - 3)));
        });
        start();
        QCOMPARE(CurIDCode, int16_t(32764));
        QVERIFY(messages_.isEmpty());
        form_->New_Click();
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].startsWith("エラー番号 6"), qPrintable(messages_[0]));
        QCOMPARE(CurIDCode, int16_t(32764));
        QCOMPARE(form_->TextIDCode()->text(), QString("ID Code : 32764"));
        QCOMPARE(form_->Excel()->GetCodeMaxNum(), int16_t(32764));
        // The record shown still takes clicks.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QCOMPARE(form_->Excel()->GetLandMarkZ(0), 281.0f);
        form_->close();
        QCOMPARE(fileNumber("LANDMARK", 32767, 3), 281.0f);
    }

    void storeReportsShownAtStart() {
        // A workbook that cannot be read is put aside and a new one made; the user is told.
        QFile bad(kWorkbook);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("this is no workbook");
        bad.close();
        CurIDCode = -1;
        form_ = std::make_unique<FormMain>(hooks());
        QVERIFY(form_->IsLoaded());
        QVERIFY(messages_.isEmpty());  // not before the window is up
        form_->ShowNotices();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(kWorkbook));
        QCOMPARE(form_->TextIDCode()->text(), QString("ID Code : 3"));
    }

    // ---- commands and shortcuts ----

    void shortcutsActEvenInTextBoxes_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QString>("result");
        QTest::newRow("Ctrl+V in memo opens About") << "TextMEMO" << Qt::Key_V << "FormAbout";
        QTest::newRow("Ctrl+V in ID code opens About") << "TextIDCode" << Qt::Key_V << "FormAbout";
        QTest::newRow("Ctrl+I opens Information") << "TextMEMO" << Qt::Key_I << "FormInformation";
        QTest::newRow("Ctrl+L opens Load") << "TextIDCode" << Qt::Key_L << "DialogLoad";
        QTest::newRow("Ctrl+P asks for a file") << "TextMEMO" << Qt::Key_P << "file";
        QTest::newRow("Ctrl+N adds a record") << "TextMEMO" << Qt::Key_N << "new";
    }
    void shortcutsActEvenInTextBoxes() {
        QFETCH(QString, focus);
        QFETCH(Qt::Key, key);
        QFETCH(QString, result);
        startShown();
        QApplication::clipboard()->setText("PASTED");
        auto *box = form_->findChild<QWidget *>(focus);
        box->setFocus();
        const QString memoBefore = form_->TextMEMO()->toPlainText();
        const QString idBefore = form_->TextIDCode()->text();
        QTest::keyClick(box, key, Qt::ControlModifier);
        if (result == "file") {
            QCOMPARE(fileAsked_, 1);
        } else if (result == "new") {
            QCOMPARE(CurIDCode, int16_t(4));
        } else {
            QCOMPARE(dialogs_, QStringList{"pondera::" + result});
            QCOMPARE(form_->TextMEMO()->toPlainText(), memoBefore);
            QCOMPARE(form_->TextIDCode()->text(), idBefore);
        }
    }

    void loadDialogChoiceIsShown() {
        startShown();
        // The user picks record 1 and confirms.
        dialogAction_ = [](QDialog &dialog) {
            CurIDCode = 1;
            dialog.accept();
        };
        QTest::keyClick(form_.get(), Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(form_->TextIDCode()->text(), QString("ID Code : 1"));
        QCOMPARE(form_->TextMEMO()->toPlainText(), QString("demo1"));
        QCOMPARE(form_->Excel()->GetCurCode(), int16_t(1));
        QCOMPARE(form_->TextX(0)->text(), QString::number(kDemoSetA[0].x));
        // A confirmation without a choice keeps the record shown.
        dialogAction_ = [](QDialog &) { CurIDCode = -1; };
        form_->Load_Click();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].startsWith("エラー番号 9"));
        QCOMPARE(CurIDCode, int16_t(1));
        QCOMPARE(form_->Excel()->GetCurCode(), int16_t(1));
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(10, 20));
        QCOMPARE(form_->Excel()->GetLandMarkX(0), 10.0f);
        form_->close();
        QCOMPARE(fileNumber("LANDMARK", 4, 2), 10.0f);
    }

    void quitAndCloseBoxBothSave_data() {
        QTest::addColumn<bool>("viaMenu");
        QTest::newRow("Quit(Q)") << true;
        QTest::newRow("close box") << false;
    }
    void quitAndCloseBoxBothSave() {
        QFETCH(bool, viaMenu);
        startShown();
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        if (viaMenu)
            form_->MenuQuit()->trigger();
        else
            form_->close();
        QVERIFY(!form_->isVisible());
        QCOMPARE(form_->Excel(), nullptr);
        QCOMPARE(fileNumber("LANDMARK", 6, 2), 100.0f);
        // Nothing of the session is left beside the workbook.
        QVERIFY(QDir().entryList(QDir::Files | QDir::Hidden).filter("journal").isEmpty());
    }

    void closeDuringACommandWaitsForIt() {
        startShown();
        // The window is asked to close while the command's message is still open.
        onMessage_ = [this] { QVERIFY(!form_->close()); };
        form_->Load_Picture_Click();
        QVERIFY(form_->Excel() != nullptr);  // the command finished on an open store
        QTRY_VERIFY(form_->Excel() == nullptr);
        QVERIFY(!form_->isVisible());
        QVERIFY(QDir().entryList(QDir::Files | QDir::Hidden).filter("journal").isEmpty());
    }

    void secondCopyInSameFolderStopsCleanly() {
        start();
        std::unique_ptr<FormMain> second = std::make_unique<FormMain>(hooks());
        QVERIFY(!second->IsLoaded());
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].startsWith("エラー番号"));
        second.reset();
        // The first copy is untouched and still works.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QCOMPARE(form_->Excel()->GetLandMarkX(0), 100.0f);
    }

  private:
    FormMainHooks hooks() {
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
        // The copy of a demonstration record is declined: these cases change the record itself.
        h.ask = [](const QString &) { return false; };
        return h;
    }
    void startShown() {
        start();
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }
    void start() {
        form_.reset();
        CurIDCode = -1;
        form_ = std::make_unique<FormMain>(hooks());
        QVERIFY(form_->IsLoaded());
        form_->ShowNotices();
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FormMain> form_;
    QStringList messages_;
    QStringList dialogs_;
    QString nextFile_;
    int fileAsked_ = 0;
    std::function<void(QDialog &)> dialogAction_;
    std::function<void()> onMessage_;
};

QTEST_MAIN(FormMainTest)
#include "form_main_test.moc"
