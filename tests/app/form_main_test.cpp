#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QImageWriter>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyleOptionFrame>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <memory>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "app/PictureFiles.h"
#include "app/PictureView.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"
#include "store/xls/workbook_engine.h"
#include "tests/app/window_fixture.h"

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

// A PNG file whose header claims 20000 x 20000 pixels (400 megapixels), with no pixels behind it.
// A 30,000 x 30,000, 24-bit bitmap: its header alone, or the whole 2.7 GB file (sparse, so
// it takes no room on the disk). Qt's reader declines to give its size.
void writeHugeBitmap(const QString &path, bool complete) {
    const quint32 width = 30000, row = (width * 3 + 3) / 4 * 4, data = row * width;
    QByteArray header(54, '\0');
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian<quint32>(54 + data, header.data() + 2);
    qToLittleEndian<quint32>(54, header.data() + 10);
    qToLittleEndian<quint32>(40, header.data() + 14);
    qToLittleEndian<qint32>(qint32(width), header.data() + 18);
    qToLittleEndian<qint32>(qint32(width), header.data() + 22);
    qToLittleEndian<quint16>(1, header.data() + 26);
    qToLittleEndian<quint16>(24, header.data() + 28);
    qToLittleEndian<quint32>(data, header.data() + 34);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(header);
    if (complete) QVERIFY(file.resize(54 + qint64(data)));
}

void writeHugePngHeader(const QString &path) {
    const auto crc = [](const QByteArray &data) {
        quint32 c = 0xffffffffu;
        for (const char byte : data) {
            c ^= static_cast<quint8>(byte);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ 0xedb88320u : c >> 1;
        }
        return c ^ 0xffffffffu;
    };
    const auto chunk = [&](const char *type, const QByteArray &body) {
        QByteArray out(4, '\0');
        qToBigEndian<quint32>(quint32(body.size()), out.data());
        const QByteArray typed = QByteArray(type) + body;
        QByteArray sum(4, '\0');
        qToBigEndian<quint32>(crc(typed), sum.data());
        return out + typed + sum;
    };
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(20000, header.data());
    qToBigEndian<quint32>(20000, header.data() + 4);
    header[8] = 8;  // bit depth
    header[9] = 2;  // RGB
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write fixture");
    file.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) +
               chunk("IDAT", QByteArray(16, '\0')));
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

// The copy of a demonstration record is declined: these cases change the record itself.
class FormMainTest : public QObject, private pondera::test::WindowFixture {
    Q_OBJECT
  private slots:
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

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
        QCOMPARE(form_->Session()->LandMarks().GetLandMarkX(0), 100.0f);
        QCOMPARE(form_->Session()->LandMarks().GetLandMarkZ(0), 281.0f);
        QCOMPARE(stored().landmarks[0].x, 100.0f);
        QCOMPARE(stored().landmarks[0].z, 281.0f);
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
        QCOMPARE(form_->Session()->LandMarks().GetLandMarkX(0), 100.0f);
        QCOMPARE(form_->Session()->LandMarks().GetLandMarkX(5), float(kDemoSetB[5].x));
        QCOMPARE(stored().landmarks[0].x, 100.0f);
        QCOMPARE(stored().landmarks[5].z, float(kDemoSetB[5].z));
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
        QCOMPARE(stored().landmarks[5].x, 300.0f);
        QCOMPARE(stored().landmarks[0].x, 100.0f);
    }

    void twoClicksKeepTheSecond() {
        start();
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(150, 250));
        QCOMPARE(form_->CurLandMarkNum(), int16_t(0));
        QCOMPARE(form_->TextX(0)->text(), QString("150"));
        QCOMPARE(form_->TextZ(0)->text(), QString("231"));
        QCOMPARE(form_->Session()->LandMarks().GetLandMarkZ(0), 231.0f);
        QCOMPARE(stored().landmarks[0].x, 150.0f);
        QCOMPARE(stored().landmarks[0].z, 231.0f);
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
        QCOMPARE(stored().sex, int16_t(0));
        QCOMPARE(form_->TextCOGX()->text(), floorText(mx));
        QCOMPARE(form_->TextCOGZ()->text(), floorText(mz));
        QCOMPARE(stored().landmarks[3].x, float(kDemoSetB[3].x));
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
            QCOMPARE(stored().memo, std::string("jump 2"));
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
        QCOMPARE(form_->Session()->ShownCode(), int16_t(3));
    }

    void pictureThatCannotBeShown_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("message");
        QTest::newRow("folder missing") << "nofolder/x.bmp" << false;
        QTest::newRow("file missing in existing folder") << "DEMO/nothere.bmp" << true;
        QTest::newRow("file not a picture") << "PONDERA2D_2010.xls" << true;
    }
    void pictureThatCannotBeShown() {
        // A record whose stored picture has gone or was replaced by something else.
        QFETCH(QString, path);
        QFETCH(bool, message);
        start();
        nextFile_ = QDir::current().filePath(path);
        // The record shows itself anew over the picture it now names.
        form_->Session()->StorePictureName(nextFile_.toStdString());
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
        QCOMPARE(stored().landmarks[0].z, 461.0f);
        form_->close();
        QCOMPARE(fileCell("ID", 6, 2).text, nextFile_.toStdString());
    }

    void pictureThatCannotBeReadIsRefused_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("number");
        QTest::newRow("not a picture") << "PONDERA2D_2010.xls" << 75;
        QTest::newRow("file missing") << "DEMO/nothere.jpg" << 75;
        QTest::newRow("folder missing") << "nofolder/x.jpg" << 75;
        QTest::newRow("too large") << "huge.png" << 7;
        QTest::newRow("bitmap too large, header only") << "huge-head.bmp" << 7;
        QTest::newRow("bitmap too large, complete") << "huge-full.bmp" << 7;
        // Neither is a file to decode; reading a FIFO would wait for a writer.
        QTest::newRow("a folder") << "DEMO" << 75;
        QTest::newRow("a FIFO") << "pipe.jpg" << 75;
    }
    void pictureThatCannotBeReadIsRefused() {
        QFETCH(QString, path);
        QFETCH(int, number);
        start();
        writeHugePngHeader("huge.png");
        writeHugeBitmap("huge-head.bmp", false);
        writeHugeBitmap("huge-full.bmp", true);
        QVERIFY(::mkfifo("pipe.jpg", 0644) == 0);
        const QString before = form_->TextPICTURENAME()->text();
        nextFile_ = QDir::current().filePath(path);
        form_->Load_Picture_Click();
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].startsWith(QString("エラー番号 %1\n").arg(number)),
                 qPrintable(messages_[0]));
        if (number == 7) QVERIFY(messages_[0].contains("大きすぎる"));
        if (path == "DEMO" || path == "pipe.jpg")
            QVERIFY(messages_[0].contains("Not a picture file"));
        // The record keeps its picture name and its picture.
        QCOMPARE(form_->TextPICTURENAME()->text(), before);
        QCOMPARE(stored().pictureName, before.toStdString());
        QCOMPARE(form_->Picture1()->Picture().size(), QSize(640, 480));
        form_->close();
        QCOMPARE(fileCell("ID", 6, 2).text, before.toStdString());
    }

    void pictureBeyondQtsDefaultAllocationLimitLoads() {
        // 9000 x 8000 pixels take 288 MB decoded, more than Qt's reader allows by default.
        QImage big(9000, 8000, QImage::Format_RGB32);
        big.fill(QColor(30, 60, 90));
        const QString path = dir_->filePath("big.jpg");
        QVERIFY(big.save(path, "JPEG", 50));
        big = QImage();
        const QImage loaded = LoadPicture(path);
        QCOMPARE(loaded.size(), QSize(9000, 8000));
        QVERIFY(PictureLimitPixels() >= 9000LL * 8000);
    }

    void phonePhotoIsFittedAndDigitizedInItsOwnPixels() {
        startShown();
        QImage photo(4032, 3024, QImage::Format_RGB32);
        photo.fill(QColor(90, 120, 150));
        nextFile_ = QDir::current().filePath("phone.jpg");
        QVERIFY(photo.save(nextFile_, "JPEG", 80));
        form_->Load_Picture_Click();
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join("|")));
        PictureView *view = form_->Picture1();
        QCOMPARE(view->Picture().size(), QSize(4032, 3024));
        QCOMPARE(view->ScaleHeight(), 3025.0f);
        QVERIFY(view->IsFitted());
        QCOMPARE(view->geometry(), QRect(16, 32, 641, 481));
        // A click stores the picture pixel under it, z over the grown frame.
        const ViewTransform t = view->Transform(view->viewport()->devicePixelRatioF());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(320, 240));
        const float x = float(t.PictureX(320)), y = float(t.PictureY(240));
        QCOMPARE(stored().landmarks[0].x, x);
        QCOMPARE(stored().landmarks[0].z, 3025.0f - y);
        QCOMPARE(form_->TextZ(0)->text(), QString::number(3025 - int(y)));
        // Zoomed in, the same photo pixel is still the same model point.
        view->SetZoom(4.0, QPointF(320, 240));
        const ViewTransform z = view->Transform(view->viewport()->devicePixelRatioF());
        const QPoint at(int(z.x.DeviceCentreOf(x) / z.ratio), int(z.y.DeviceCentreOf(y) / z.ratio));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(stored().landmarks[0].x, x);
        QCOMPARE(stored().landmarks[0].z, 3025.0f - y);
    }

    void exifOrientationIsApplied_data() {
        QTest::addColumn<int>("transformation");
        QTest::addColumn<QPoint>("redCorner");
        // Orientation 6: stored turned left, shown turned right; 8 the other way.
        QTest::newRow("orientation 6")
            << int(QImageIOHandler::TransformationRotate90) << QPoint(1, 0);
        QTest::newRow("orientation 8")
            << int(QImageIOHandler::TransformationRotate270) << QPoint(0, 1);
    }
    void exifOrientationIsApplied() {
        QFETCH(int, transformation);
        QFETCH(QPoint, redCorner);
        start();
        // 300 x 200 as stored, red in the stored top-left corner.
        QImage stored(300, 200, QImage::Format_RGB32);
        stored.fill(Qt::white);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                stored.setPixelColor(x, y, Qt::red);
        nextFile_ = QDir::current().filePath("turned.jpg");
        QImageWriter writer(nextFile_, "jpeg");
        writer.setTransformation(QImageIOHandler::Transformations(transformation));
        QVERIFY(writer.write(stored));
        form_->Load_Picture_Click();
        const QImage shown = form_->Picture1()->Picture();
        QCOMPARE(shown.size(), QSize(200, 300));
        const QPoint corner(redCorner.x() * 199, redCorner.y() * 299);
        const QColor c = shown.pixelColor(corner);
        QVERIFY2(c.red() > 200 && c.green() < 60, qPrintable(c.name()));
        QVERIFY(shown.pixelColor(199 - corner.x(), 299 - corner.y()).green() > 200);
    }

    void windowResizeGoesToThePicture() {
        startShown();
        const QRect frame2 = form_->Frame2()->geometry();
        const QRect picture = form_->Picture1()->geometry();
        form_->resize(form_->width() + 300, form_->height() + 200);
        QTRY_COMPARE(form_->Picture1()->size(), picture.size() + QSize(300, 200));
        QCOMPARE(form_->Picture1()->pos(), picture.topLeft());
        QCOMPARE(form_->Frame2()->geometry(), frame2.translated(300, 0));
        QCOMPARE(form_->TextX(0)->geometry().size(), QSize(33, 18));
    }

    void largeFontShowsWholeTexts() {
        const QFont designed = QApplication::font();
        QFont large = designed;
        large.setPointSize(16);
        QApplication::setFont(large);
        start();
        QApplication::setFont(designed);
        // A long value in every box, as a phone photo's coordinates are.
        for (int i = 0; i < 22; ++i)
            form_->Picture1_MouseDown(1, 0, 309, 100);
        const auto fits = [](QLineEdit *box) {
            QStyleOptionFrame option;
            option.initFrom(box);
            option.rect = box->rect();
            option.lineWidth = box->hasFrame() ? box->style()->pixelMetric(
                                                     QStyle::PM_DefaultFrameWidth, &option, box)
                                               : 0;
            const QRect contents =
                box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
            // The line edit keeps two pixels of margin each side of the text.
            return box->fontMetrics().horizontalAdvance(box->text()) <= contents.width() - 4;
        };
        for (int i = 0; i < 22; ++i) {
            QVERIFY2(fits(form_->TextLandMark(i)), qPrintable(form_->TextLandMark(i)->text()));
            QVERIFY2(fits(form_->TextX(i)), qPrintable(form_->TextX(i)->text()));
            QVERIFY2(fits(form_->TextZ(i)), qPrintable(form_->TextZ(i)->text()));
        }
        QVERIFY(fits(form_->TextCOGX()));
        QVERIFY(fits(form_->TextIDCode()));
        // Text boxes are tall enough for the font's line.
        QVERIFY(form_->TextX(0)->height() >= form_->TextX(0)->fontMetrics().height());
        // The picture area grew with the rest.
        QVERIFY(form_->Picture1()->width() > 641);
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

    // A JPEG cut short decodes in part: the part is shown and stored, and the message says the
    // file is incomplete, whenever the record is shown.
    void pictureCutShortIsShownAndSaidIncomplete() {
        startShown();
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(QColor(200, 30, 30));
        nextFile_ = QDir::current().filePath("cut.jpg");
        QVERIFY(picture.save(nextFile_, "JPEG", 90));
        {
            QFile file(nextFile_);
            QVERIFY(file.resize(file.size() / 2));
        }
        form_->Load_Picture_Click();
        QCOMPARE(form_->TextPICTURENAME()->text(), nextFile_);
        QCOMPARE(form_->Picture1()->Picture().size(), QSize(640, 480));
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains("途中で切れている") && messages_[0].contains("cut.jpg"),
                 qPrintable(messages_[0]));
        // A whole one says nothing.
        messages_.clear();
        QVERIFY(picture.save(nextFile_, "JPEG", 90));
        form_->Load_Picture_Click();
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join("|")));
        form_->close();
    }

    void cancelledPictureChoiceChangesNothing() {
        start();
        const QString before = form_->TextPICTURENAME()->text();
        nextFile_.clear();
        form_->Load_Picture_Click();
        QCOMPARE(messages_, QStringList{"キャンセルされました"});
        QCOMPARE(form_->TextPICTURENAME()->text(), before);
        QCOMPARE(stored().pictureName, before.toStdString());
    }

    void pictureDialogIsSetUp() {
        start();
        auto dialog = form_->MakePictureDialog(nullptr);
        QCOMPARE(dialog->windowTitle(), QString("画像ファイルを選択"));
        // The current directory until a picture is chosen, then that picture's folder.
        QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir::current().canonicalPath());
        QCOMPARE(dialog->nameFilters().size(), 3);
        QVERIFY(dialog->nameFilters()[0].startsWith("画像ファイル(*.bmp,*.jpg)"));
        QVERIFY(dialog->nameFilters()[0].contains("*.jpeg"));
        QVERIFY(dialog->nameFilters()[1].contains("*.png"));
        QVERIFY(dialog->nameFilters()[2].endsWith("(*)"));
        QVERIFY(!(dialog->filter() & QDir::CaseSensitive));
        // What the dialog lists in a folder: bitmaps and JPEGs in any letter case.
        QVERIFY(QDir().mkdir("pick"));
        for (const char *name : {"a.BMP", "b.jpeg", "c.Jpg", "d.bmp", "e.png", "f.txt"}) {
            QFile file(QString("pick/") + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        dialog = MakePictureFileDialog(nullptr, QDir::current().filePath("pick"));
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
        QCOMPARE(types->count(), 3);
        QCOMPARE(types->itemText(0), QString("画像ファイル(*.bmp,*.jpg)"));
        dialog->close();
        QVERIFY(QDir().mkdir("photos"));
        nextFile_ = QDir::current().filePath("photos/none.jpg");
        form_->Load_Picture_Click();
        QCOMPARE(QDir(form_->MakePictureDialog(nullptr)->directory()).canonicalPath(),
                 QDir("photos").canonicalPath());
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
        QCOMPARE(form_->Session()->NewestCode(), int16_t(32764));
        // The record shown still takes clicks.
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(100, 200));
        QCOMPARE(stored().landmarks[0].z, 281.0f);
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
        // A text box keeps its editing keys; the menu has them everywhere else.
        QTest::newRow("Ctrl+V in memo pastes") << "TextMEMO" << Qt::Key_V << "pasted";
        QTest::newRow("Ctrl+V on the picture opens About")
            << "Picture1" << Qt::Key_V << "FormAbout";
        QTest::newRow("Ctrl+V on a landmark option opens About")
            << "OptionLandMark(3)" << Qt::Key_V << "FormAbout";
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
        } else if (result == "pasted") {
            QVERIFY(dialogs_.isEmpty());
            QVERIFY2(form_->TextMEMO()->toPlainText().contains("PASTED"),
                     qPrintable(form_->TextMEMO()->toPlainText()));
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
        QCOMPARE(form_->Session()->ShownCode(), int16_t(1));
        QCOMPARE(form_->TextX(0)->text(), QString::number(kDemoSetA[0].x));
        // A confirmation without a choice keeps the record shown.
        dialogAction_ = [](QDialog &) { CurIDCode = -1; };
        form_->Load_Click();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].startsWith("エラー番号 9"));
        QCOMPARE(CurIDCode, int16_t(1));
        QCOMPARE(form_->Session()->ShownCode(), int16_t(1));
        QTest::mouseClick(form_->Picture1(), Qt::LeftButton, {}, QPoint(10, 20));
        QCOMPARE(stored().landmarks[0].x, 10.0f);
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
        QCOMPARE(form_->Session(), nullptr);
        QCOMPARE(fileNumber("LANDMARK", 6, 2), 100.0f);
        // Nothing of the session is left beside the workbook.
        QVERIFY(QDir().entryList(QDir::Files | QDir::Hidden).filter("journal").isEmpty());
    }

    void closeDuringACommandWaitsForIt() {
        startShown();
        // The window is asked to close while the command's message is still open.
        onMessage_ = [this] { QVERIFY(!form_->close()); };
        form_->Load_Picture_Click();
        QVERIFY(form_->Session() != nullptr);  // the command finished on an open store
        QTRY_VERIFY(form_->Session() == nullptr);
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
        QCOMPARE(stored().landmarks[0].x, 100.0f);
    }
};

QTEST_MAIN(FormMainTest)
#include "form_main_test.moc"
