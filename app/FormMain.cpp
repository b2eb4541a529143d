#include "app/FormMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <cmath>
#include <new>

#include "app/Graphics.h"
#include "app/ModuleMain.h"
#include "app/PictureBox.h"
#include "app/StatusPanel.h"
#include "dialogs/AppTitle.h"
#include "dialogs/DialogLoad.h"
#include "dialogs/FormAbout.h"
#include "dialogs/FormInformation.h"
#include "model/error.h"

namespace pondera {

namespace {

// Errors of our own beyond the shared ones: memory exhausted, and a fault of the program itself.
constexpr int kErrOutOfMemory = 7;
constexpr int kErrInternal = 51;

// Colours by the system colour index the window's layout is described with.
QColor systemColour(int index) {
    const QPalette palette = QApplication::palette();
    switch (index) {
        case 5:
            return palette.color(QPalette::Base);
        case 8:
            return palette.color(QPalette::Text);
        case 14:
            return palette.color(QPalette::HighlightedText);
        default:
            return palette.color(QPalette::Button);  // 15, button face
    }
}
const QColor kMagenta(128, 0, 128);

void setBackground(QWidget *widget, const QColor &colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}

QString indexed(const char *name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

// A float as general decimal text: up to seven significant digits, no trailing zeros.
QString generalText(float value) {
    return QString::number(static_cast<double>(value), 'g', 7);
}

// The largest whole number not above the value ("-0" never appears).
QString floorText(float value) {
    return QString::number(std::floor(static_cast<double>(value)) + 0.0, 'f', 0);
}

QString idCodeText(int16_t code) {
    return QStringLiteral("ID Code : %1").arg(code);
}

QLineEdit *makeBox(QWidget *parent, const QString &name, QRect geometry, Qt::Alignment align,
                   bool readOnly) {
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setAlignment(align | Qt::AlignVCenter);
    box->setReadOnly(readOnly);
    setBackground(box, systemColour(15));
    return box;
}

QRect twipRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// Loads a picture file for the picture area. An empty name is an empty picture; a folder that
// does not exist is error 76; a missing or unreadable file error 75.
QImage loadPicture(const QString &name) {
    if (name.isEmpty()) return {};
    const QFileInfo info(name);
    if (!info.absoluteDir().exists())
        throw Error(kErrPathNotFound, "Path not found: " + name.toStdString());
    if (!info.isFile()) throw Error(kErrFileAccess, "File not found: " + name.toStdString());
    QImageReader reader(name);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    QImage picture = reader.read();
    if (picture.isNull())
        throw Error(kErrFileAccess, "Cannot read picture " + name.toStdString() + ": " +
                                        reader.errorString().toStdString());
    return picture;
}

// Creates a folder; error 75 when it exists or cannot be made.
void makeFolder(const QString &path) {
    if (QFileInfo::exists(path)) throw Error(kErrFileAccess, "Exists: " + path.toStdString());
    if (!QDir().mkdir(path)) throw Error(kErrFileAccess, "Cannot create " + path.toStdString());
}

// Writes a photograph held in the resources as a 640 x 480, 24-bit bitmap file.
void saveBitmap(const QString &resource, const QString &path) {
    QImage picture(resource);
    if (picture.isNull()) throw Error(kErrFileAccess, "Missing resource " + resource.toStdString());
    if (picture.size() != QSize(640, 480))
        picture = picture.scaled(640, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture = picture.convertToFormat(QImage::Format_RGB888);
    if (!picture.save(path, "BMP"))
        throw Error(kErrFileAccess, "Cannot write " + path.toStdString());
}

}  // namespace

FormMain::FormMain(FormMainHooks hooks, QWidget *parent)
    : QMainWindow(parent), hooks_(std::move(hooks)) {
    if (!hooks_.message)
        hooks_.message = [this](const QString &text) {
            QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kAppTitle), text,
                            QMessageBox::Ok, this);
            box.exec();
        };
    if (!hooks_.chooseFile)
        hooks_.chooseFile = [](QWidget *owner) {
            const std::unique_ptr<QFileDialog> dialog = MakePictureDialog(owner);
            if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
                return QString();
            return dialog->selectedFiles().first();
        };
    if (!hooks_.runDialog) hooks_.runDialog = [](QDialog &dialog) { return dialog.exec(); };
    if (!hooks_.ask)
        hooks_.ask = [this](const QString &text) {
            return QMessageBox::question(this, QString::fromUtf8(kAppTitle), text,
                                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        };

    setWindowTitle(QStringLiteral("Pondera 2010 Ver 2.00") + QString(68, QLatin1Char(' ')) +
                   QStringLiteral("ZELMORA"));
    // A resizable border without minimize and maximize buttons.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    buildMenus();
    buildControls();
    buildAids();
    resize(twips(12705),
           twips(7965) + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    Form_Load();
}

FormMain::~FormMain() {
    // Release in the fixed order even when the window was never closed: the store first (it
    // closes the workbook), then the segment model and the landmark set it reads from.
    objExcel.reset();
    objSegment.reset();
    objLandMark.reset();
}

void FormMain::buildMenus() {
    struct Item {
        QAction **slot;
        const char *name;
        const char *caption;
        Qt::Key key;
        void (FormMain::*handler)();
    };
    const auto addMenu = [this](const char *name, std::initializer_list<Item> items) {
        QMenu *menu = menuBar()->addMenu(QString::fromUtf8(name));
        menu->setObjectName(QString::fromUtf8(name));
        for (const Item &item : items) {
            QAction *action = menu->addAction(QString::fromUtf8(item.caption));
            action->setObjectName(QString::fromUtf8(item.name));
            action->setShortcut(QKeySequence(Qt::CTRL | item.key));
            action->setShortcutContext(Qt::WindowShortcut);
            connect(action, &QAction::triggered, this, [this, h = item.handler] { (this->*h)(); });
            *item.slot = action;
            shortcutActions_.push_back(action);
        }
    };
    addMenu("Project", {{&MenuNew, "New", "New(&N)", Qt::Key_N, &FormMain::New_Click},
                        {&MenuLoad, "Load", "Load(&L)", Qt::Key_L, &FormMain::Load_Click},
                        {&MenuQuit, "Quit", "Quit(&Q)", Qt::Key_Q, &FormMain::Quit_Click}});
    addMenu("Picture", {{&MenuLoad_Picture, "Load_Picture", "Load Picture(&P)", Qt::Key_P,
                         &FormMain::Load_Picture_Click}});
    addMenu("Help", {{&MenuInformation, "Information", "Information(&I)", Qt::Key_I,
                      &FormMain::Information_Click},
                     {&MenuAbout, "About", "About(&V)", Qt::Key_V, &FormMain::About_Click}});
}

void FormMain::buildControls() {
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("FormMain"));
    setCentralWidget(client);

    Frame1 = new QGroupBox(QStringLiteral("Information"), client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipRect(120, 0, 12495, 7815));
    Frame1->setEnabled(false);  // until the first record is shown

    TextIDCode = new QLineEdit(QStringLiteral("ID Code "), Frame1);
    TextIDCode->setObjectName(QStringLiteral("TextIDCode"));
    TextIDCode->setGeometry(twipRect(120, 240, 1335, 210));
    TextIDCode->setFrame(false);
    setBackground(TextIDCode, systemColour(15));

    const std::array<const char *, 2> sexCaptions{"Male", "Female"};
    const std::array<QRect, 2> sexRects{twipRect(1560, 240, 735, 200),
                                        twipRect(2280, 240, 975, 200)};
    for (int i = 0; i < 2; ++i) {
        OptionSex[i] = new QRadioButton(QString::fromUtf8(sexCaptions[i]), Frame1);
        OptionSex[i]->setObjectName(indexed("OptionSex", i));
        OptionSex[i]->setGeometry(sexRects[i]);
        connect(OptionSex[i], &QRadioButton::clicked, this,
                [this, i] { OptionSex_Click(static_cast<int16_t>(i)); });
    }

    TextPICTURENAME = new QLineEdit(QStringLiteral("Picture Name"), Frame1);
    TextPICTURENAME->setObjectName(QStringLiteral("TextPICTURENAME"));
    TextPICTURENAME->setGeometry(twipRect(3240, 240, 7695, 200));
    TextPICTURENAME->setFrame(false);
    // The picture name changes through Load Picture only; typing here could never be stored.
    TextPICTURENAME->setReadOnly(true);
    setBackground(TextPICTURENAME, systemColour(15));

    TextMEMO = new QPlainTextEdit(QStringLiteral("MEMO"), Frame1);
    TextMEMO->setObjectName(QStringLiteral("TextMEMO"));
    TextMEMO->setGeometry(twipRect(9840, 480, 2535, 1095));
    setBackground(TextMEMO, systemColour(14));

    Frame2 = new QGroupBox(Frame1);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipRect(9720, 1440, 2655, 6255));

    const auto makeLabel = [this](const char *name, int index, const char *caption, QRect rect) {
        auto *label = new QLabel(QString::fromUtf8(caption), Frame2);
        label->setObjectName(indexed(name, index));
        label->setGeometry(rect);
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setLineWidth(1);
        label->setAlignment(Qt::AlignCenter);
        return label;
    };
    LabelLandMark = makeLabel("LabelLandMark", 22, "LandMark", twipRect(480, 240, 1215, 255));
    LabelX = makeLabel("LabelX", 23, "X", twipRect(1680, 240, 495, 255));
    LabelZ = makeLabel("LabelZ", 23, "Z", twipRect(2160, 240, 495, 255));

    for (int n = 0; n < kLandMarks; ++n) {
        const int top = 480 + 240 * n;
        OptionLandMark[n] = new QRadioButton(QStringLiteral("Option2"), Frame2);
        OptionLandMark[n]->setObjectName(indexed("OptionLandMark", n));
        OptionLandMark[n]->setGeometry(twipRect(120, top, 255, 255));
        connect(OptionLandMark[n], &QRadioButton::clicked, this,
                [this, n] { OptionLandMark_Click(static_cast<int16_t>(n)); });
        TextLandMark[n] = makeBox(Frame2, indexed("TextLandMark", n), twipRect(480, top, 1215, 270),
                                  Qt::AlignHCenter, true);
        TextX[n] = makeBox(Frame2, indexed("TextX", n), twipRect(1680, top, 495, 270),
                           Qt::AlignRight, true);
        TextZ[n] = makeBox(Frame2, indexed("TextZ", n), twipRect(2160, top, 495, 270),
                           Qt::AlignRight, true);
    }
    TextCOG = makeBox(Frame2, QStringLiteral("TextCOG"), twipRect(480, 5880, 1215, 270),
                      Qt::AlignHCenter, true);
    TextCOGX = makeBox(Frame2, QStringLiteral("TextCOGX"), twipRect(1680, 5880, 495, 270),
                       Qt::AlignRight, true);
    TextCOGZ = makeBox(Frame2, QStringLiteral("TextCOGZ"), twipRect(2160, 5880, 495, 270),
                       Qt::AlignRight, true);

    // The picture area lies above Frame1, outside it, so it is never disabled with it.
    Picture1 = new PictureBox(client);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(twipRect(240, 480, 9615, 7215));
    Picture1->raise();
    connect(Picture1, &PictureBox::mouseDown, this,
            [this](int button, int shift, float x, float y) {
                Picture1_MouseDown(static_cast<int16_t>(button), static_cast<int16_t>(shift), x, y);
            });

    connect(TextIDCode, &QLineEdit::textChanged, this, [this] { TextIDCode_Change(); });
    connect(TextMEMO, &QPlainTextEdit::textChanged, this, [this] {
        if (fillingMemo_) return;
        memoDirty_ = true;
        // Asked once the keystroke is through, so the box is not refilled under its own edit.
        if (!demoCopyAsked_ && StatusPanel::IsDemoCode(memoCode_))
            QTimer::singleShot(0, this, [this] { command([this] { offerDemoCopy(true); }); });
    });
    TextMEMO->installEventFilter(this);
    for (QLineEdit *box : findChildren<QLineEdit *>())
        box->installEventFilter(this);
}

bool FormMain::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Text boxes claim keys such as Ctrl+V for themselves; the menu shortcuts of this window
        // come first wherever the focus is, so leave the key to the shortcut map.
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QAction *action : shortcutActions_) {
            if (action->shortcut() == pressed) {
                event->ignore();
                return true;
            }
        }
    } else if (event->type() == QEvent::FocusOut && watched == TextMEMO) {
        if (memoDirty_) command([this] { storeMemo(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Messages and the command trap

void FormMain::showMessage(const QString &text) {
    hooks_.message(text);
}

void FormMain::showError(int number, const QString &sentence, const QString &detail) {
    QString text = QStringLiteral("エラー番号 %1\n%2").arg(number).arg(sentence);
    if (!detail.isEmpty()) text += QStringLiteral("\n(%1)").arg(detail);
    showMessage(text);
}

void FormMain::command(const std::function<void()> &body) {
    ++commandDepth_;
    try {
        body();
    } catch (const Error &e) {
        showError(e.number(), QStringLiteral("操作を最後まで実行できませんでした。"),
                  QString::fromStdString(e.what()));
        reselectShownRecord();
    } catch (const std::bad_alloc &) {
        showError(kErrOutOfMemory, QStringLiteral("メモリが足りないため、操作を中止しました。"));
        reselectShownRecord();
    } catch (const std::exception &e) {
        showError(kErrInternal, QStringLiteral("予期しないエラーのため、操作を中止しました。"),
                  QString::fromStdString(e.what()));
        reselectShownRecord();
    }
    if (--commandDepth_ == 0) {
        commit();
        if (closeRequested_) {
            closeRequested_ = false;
            QTimer::singleShot(0, this, &QWidget::close);
        }
    }
}

void FormMain::commit() {
    if (!objExcel) return;
    try {
        objExcel->Commit();
    } catch (const Error &e) {
        showError(e.number(),
                  QStringLiteral("記録ファイルへの書き込みに失敗しました。"
                                 "ディスクの空きと書き込み権限を確かめてください。"),
                  QString::fromStdString(e.what()));
    } catch (const std::exception &e) {
        showError(kErrInternal, QStringLiteral("記録ファイルへの書き込みに失敗しました。"),
                  QString::fromStdString(e.what()));
    }
    if (!startupNoticesPending_) ShowNotices();
}

void FormMain::ShowNotices() {
    startupNoticesPending_ = false;
    if (!objExcel) return;
    const std::vector<std::string> notices = objExcel->TakeNotices();
    if (notices.empty()) return;
    QStringList lines;
    for (const std::string &notice : notices)
        lines << QString::fromStdString(notice);
    showMessage(lines.join(QLatin1Char('\n')));
}

// After a failed command the store may point at another record (the record list moves it, a
// failed selection leaves it on the code it tried); later writes must go to the record shown.
void FormMain::reselectShownRecord() {
    if (!objExcel || !recordShown_) return;
    try {
        if (objExcel->GetCurCode() != shownCode_) objExcel->SetCurCode(shownCode_);
        CurIDCode = shownCode_;
    } catch (const std::exception &) {
        // The record shown cannot be selected any more: refuse edits until another is shown.
        recordShown_ = false;
    }
}

// ---------------------------------------------------------------------------------------------
// Start and end

void FormMain::Form_Load() {
    try {
        objLandMark = std::make_unique<ClassLANDMARK>();
        objSegment = std::make_unique<ClassSEGMENT>(*objLandMark);
        objExcel = std::make_unique<ClassEXCEL>(*objLandMark, *objSegment);
    } catch (const Error &e) {
        showError(e.number(),
                  QStringLiteral("記録ファイル PONDERA2D_2010.xls を開けないため、終了します。"),
                  QString::fromStdString(e.what()));
        return;
    } catch (const std::exception &e) {
        showError(kErrInternal,
                  QStringLiteral("記録ファイル PONDERA2D_2010.xls を開けないため、終了します。"),
                  QString::fromStdString(e.what()));
        return;
    }
    loaded_ = true;
    command([this] {
        if (objExcel->GetNewExlFileFlag() == 1) writeDemoPictures();
        CurIDCode = objExcel->GetCodeMaxNum();
        setIdCodeText(CurIDCode);
    });
}

void FormMain::writeDemoPictures() {
    const QString folder = QDir::currentPath() + QLatin1Char(kPathSeparator) + "DEMO";
    try {
        makeFolder(folder);
    } catch (const Error &e) {
        if (e.number() != kErrFileAccess) throw;  // an existing folder is used as it is
    }
    const std::array<std::pair<const char *, const char *>, 2> pictures{
        {{":/demo/demo001.jpg", "demo001.bmp"}, {":/demo/demo003.jpg", "demo003.bmp"}}};
    for (const auto &[resource, file] : pictures) {
        const QString path = folder + QLatin1Char(kPathSeparator) + QString::fromUtf8(file);
        try {
            saveBitmap(QString::fromUtf8(resource), path);
        } catch (const Error &e) {
            showError(e.number(),
                      QStringLiteral("デモ画像 %1 を書き込めませんでした。"
                                     "デモの記録は画像なしで表示されます。")
                          .arg(path),
                      QString::fromStdString(e.what()));
        }
    }
}

void FormMain::closeEvent(QCloseEvent *event) {
    if (commandDepth_ > 0) {
        // A command is still on the stack (a message or a modal window of it is open, as when
        // the system asks the program to end meanwhile): finish it first, then close.
        closeRequested_ = true;
        if (QWidget *modal = QApplication::activeModalWidget()) modal->close();
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void FormMain::Form_Unload() {
    if (!objExcel) return;
    try {
        storeMemo();
    } catch (const std::exception &e) {
        showError(kErrFileAccess, QStringLiteral("メモを記録できませんでした。"),
                  QString::fromStdString(e.what()));
    }
    try {
        objExcel->Close();
    } catch (const std::exception &e) {
        const auto *error = dynamic_cast<const Error *>(&e);
        showError(error ? error->number() : kErrInternal,
                  QStringLiteral("記録ファイルを保存できませんでした。"
                                 "変更は失われず、次に起動したときに復元されます。"),
                  QString::fromStdString(e.what()));
    }
    objExcel.reset();
    objSegment.reset();
    objLandMark.reset();
    recordShown_ = false;
}

void FormMain::Quit_Click() {
    close();
}

// ---------------------------------------------------------------------------------------------
// Digitizing and drawing

void FormMain::selectLandMarkRow(int16_t index) {
    setBackground(TextX[curLandMarkNum_], systemColour(15));
    setBackground(TextZ[curLandMarkNum_], systemColour(15));
    curLandMarkNum_ = index;
    setBackground(TextX[curLandMarkNum_], systemColour(14));
    setBackground(TextZ[curLandMarkNum_], systemColour(14));
    status_->SetCurrentLandMark(index);
}

void FormMain::OptionLandMark_Click(int16_t Index) {
    if (Index < 0 || Index >= kLandMarks) return;
    command([this, Index] {
        selectLandMarkRow(Index);
        if (recordShown_) RedrawPicture();
    });
}

void FormMain::Picture1_MouseDown(int16_t, int16_t, float X, float Y) {
    if (!recordShown_ || !objExcel) return;
    command([this, X, Y] {
        offerDemoCopy();
        const int32_t width = RoundScale(Picture1->ScaleWidth());
        const int32_t height = RoundScale(Picture1->ScaleHeight());
        const float x = PicToModelX(X, width);
        const float z = PicToModelZ(Y, height);
        objLandMark->SetLandMarkCurNum(curLandMarkNum_);
        objLandMark->SetLandMarkCurX(x);
        objLandMark->SetLandMarkCurY(0);
        objLandMark->SetLandMarkCurZ(z);
        objExcel->PutLandMarkX(curLandMarkNum_, x);
        objExcel->PutLandMarkZ(curLandMarkNum_, z);
        TextX[curLandMarkNum_]->setText(generalText(x));
        TextZ[curLandMarkNum_]->setText(generalText(z));
        RedrawPicture();
    });
}

bool FormMain::sexDrawable() const {
    const int16_t sex = objSegment->GetSex();
    return sex == 0 || sex == 1;
}

void FormMain::RedrawPicture() {
    status_->SetPlacedCount(placedCount());
    Picture1->Cls();
    const float width = Picture1->ScaleWidth();
    const float height = Picture1->ScaleHeight();
    const QColor fore = Picture1->ForeColor();
    for (int16_t i = objLandMark->GetLandMarkMinNum(); i <= objLandMark->GetLandMarkMaxNum(); ++i) {
        const float px = ModelToPicX(objLandMark->GetLandMarkX(i), width);
        const float py = ModelToPicY(objLandMark->GetLandMarkZ(i), height);
        if (i != curLandMarkNum_) {
            Picture1->Circle(px, py, 4, fore);
        } else {
            Picture1->Circle(px, py, 8, fore);
            Picture1->Line(px - 8, py, px + 8, py, fore);
            Picture1->Line(px, py - 8, px, py + 8, fore);
        }
    }
    // A record whose sex is unknown has no centres of gravity until the user picks a sex.
    if (!sexDrawable()) {
        TextCOGX->clear();
        TextCOGZ->clear();
        return;
    }
    objSegment->CalcCOGB();
    const float bodyX = objSegment->GetCOGBX();
    const float bodyZ = objSegment->GetCOGBZ();
    {
        const float px = ModelToPicX(bodyX, width);
        const float py = ModelToPicY(bodyZ, height);
        Picture1->Circle(px, py, 6, kMagenta);
        Picture1->Line(px - 6, py, px + 6, py, kMagenta);
        Picture1->Line(px, py - 6, px, py + 6, kMagenta);
    }
    objExcel->PutCOGBX(bodyX);
    objExcel->PutCOGBZ(bodyZ);
    for (int16_t s = objSegment->GetSegMinNum(); s <= objSegment->GetSegMaxNum(); ++s) {
        const float segX = objSegment->GetCOGSX(s);
        const float segZ = objSegment->GetCOGSZ(s);
        const float px = ModelToPicX(segX, width);
        const float py = ModelToPicY(segZ, height);
        Picture1->Circle(px, py, 1, kMagenta);
        Picture1->Line(px - 1, py, px + 1, py, kMagenta);
        Picture1->Line(px, py - 1, px, py + 1, kMagenta);
        objExcel->PutCOGSX(s, segX);
        objExcel->PutCOGSZ(s, segZ);
    }
    TextCOGX->setText(floorText(bodyX));
    TextCOGZ->setText(floorText(bodyZ));
}

// ---------------------------------------------------------------------------------------------
// Record display and editing

bool FormMain::setIdCodeText(int16_t code) {
    const QString text = idCodeText(code);
    if (TextIDCode->text() == text) return false;
    TextIDCode->setText(text);  // runs the record display
    return true;
}

void FormMain::setSexButtons(int16_t sex) {
    for (int i = 0; i < 2; ++i) {
        // A checked button of an exclusive group cannot be cleared while it is exclusive.
        OptionSex[i]->setAutoExclusive(false);
        OptionSex[i]->setChecked(sex == i);
        OptionSex[i]->setAutoExclusive(true);
    }
}

void FormMain::storeMemo() {
    if (!memoDirty_ || !objExcel || memoCode_ < 0) return;
    const std::string text = TextMEMO->toPlainText().toStdString();
    const int16_t current = objExcel->GetCurCode();
    if (current != memoCode_) {
        objExcel->SetCurCode(memoCode_);
        objExcel->PutMemo(text);
        objExcel->SetCurCode(current);
    } else {
        objExcel->PutMemo(text);
    }
    memoDirty_ = false;
}

void FormMain::TextIDCode_Change() {
    if (!objExcel) return;
    command([this] { displayRecord(); });
}

void FormMain::displayRecord() {
    storeMemo();
    const int16_t code = CurIDCode;
    if (code < objExcel->GetCodeMinNum() || code > objExcel->GetCodeMaxNum()) {
        const int16_t kept = recordShown_ ? shownCode_ : -1;
        showError(kErrSubscript,
                  QStringLiteral("ID コード %1 の記録はありません。表示中の記録のままにします。")
                      .arg(code));
        CurIDCode = kept;
        reselectShownRecord();
        return;
    }
    objExcel->SetCurCode(code);
    shownCode_ = code;
    recordShown_ = false;
    status_->SetRecord(code);

    const int16_t sex = objExcel->GetCurSex();
    setSexButtons(sex);
    fillingMemo_ = true;
    TextMEMO->setPlainText(QString::fromStdString(objExcel->GetCurMemo()));
    fillingMemo_ = false;
    memoDirty_ = false;
    memoCode_ = code;
    const QString pictureName = QString::fromStdString(objExcel->GetCurPictureName());
    TextPICTURENAME->setText(pictureName);

    QStringList problems;
    try {
        Picture1->SetPicture(loadPicture(pictureName));
    } catch (const Error &e) {
        Picture1->SetPicture(QImage());
        // A folder that no longer exists (a record from another computer) shows the record
        // without its picture quietly; a file that is missing or broken is worth a word.
        if (e.number() != kErrPathNotFound)
            problems << QStringLiteral(
                            "エラー番号 %1\n画像ファイル %2 を読み込めないため、"
                            "画像なしで表示します。\n(%3)")
                            .arg(e.number())
                            .arg(pictureName, QString::fromStdString(e.what()));
    }
    Frame1->setEnabled(true);

    QStringList badCells;
    const auto readCell = [&](int16_t i, bool isX) {
        try {
            return isX ? objExcel->GetLandMarkX(i) : objExcel->GetLandMarkZ(i);
        } catch (const Error &e) {
            if (e.number() != kErrTypeMismatch) throw;
            badCells << QString::fromStdString(objLandMark->GetLandMarkName(i)) +
                            (isX ? QStringLiteral(" X") : QStringLiteral(" Z"));
            return 0.0f;
        }
    };
    for (int16_t i = objLandMark->GetLandMarkMinNum(); i <= objLandMark->GetLandMarkMaxNum(); ++i) {
        objLandMark->SetLandMarkX(i, readCell(i, true));
        objLandMark->SetLandMarkY(i, 0);
        objLandMark->SetLandMarkZ(i, readCell(i, false));
        TextLandMark[i]->setText(QString::fromStdString(objLandMark->GetLandMarkName(i)));
        TextX[i]->setText(generalText(objLandMark->GetLandMarkX(i)));
        TextZ[i]->setText(generalText(objLandMark->GetLandMarkZ(i)));
    }
    if (!badCells.isEmpty())
        problems << QStringLiteral(
                        "エラー番号 %1\n記録 %2 の座標のセルに数値でない値があるため、"
                        "0 として読みました: %3")
                        .arg(kErrTypeMismatch)
                        .arg(code)
                        .arg(badCells.join(QStringLiteral(", ")));
    TextCOG->setText(QString::fromStdString(objLandMark->GetLandMarkName(-1)));
    objSegment->SetSex(sex);
    if (!sexDrawable())
        problems << QStringLiteral(
                        "エラー番号 %1\n記録 %2 の性別の値 %3 は 0 (Male) でも 1 "
                        "(Female) でもありません。性別を選ぶまで重心は描かれず、"
                        "記録されません。")
                        .arg(kErrSubscript)
                        .arg(code)
                        .arg(sex);

    const int16_t first = objLandMark->GetLandMarkMinNum();
    if (!OptionLandMark[first]->isChecked() || curLandMarkNum_ != first) {
        OptionLandMark[first]->setChecked(true);
        selectLandMarkRow(first);
    }
    recordShown_ = true;
    RedrawPicture();
    for (const QString &problem : problems)
        showMessage(problem);
}

void FormMain::OptionSex_Click(int16_t Index) {
    if (!recordShown_ || !objExcel) return;
    command([this, Index] {
        offerDemoCopy();
        setSexButtons(Index);
        objSegment->SetSex(Index);
        objExcel->PutSex(Index);
        RedrawPicture();
    });
}

void FormMain::New_Click() {
    if (!objExcel) return;
    command([this] {
        storeMemo();
        int16_t code = -1;
        try {
            code = objExcel->AddCode();
        } catch (const Error &e) {
            reselectShownRecord();
            showError(e.number(),
                      e.number() == kErrOverflow
                          ? QStringLiteral("記録の数が上限に達しているため、新しい記録を追加"
                                           "できません。")
                          : QStringLiteral("新しい記録を追加できませんでした。"),
                      QString::fromStdString(e.what()));
            return;
        }
        CurIDCode = code;
        objExcel->SetCurCode(CurIDCode);
        if (!setIdCodeText(CurIDCode)) displayRecord();
    });
}

void FormMain::Load_Click() {
    if (!objExcel) return;
    command([this] {
        storeMemo();
        const int16_t before = CurIDCode;
        {
            DialogLoad dialog(*objExcel, CurIDCode, this);
            hooks_.runDialog(dialog);
        }
        if (CurIDCode < objExcel->GetCodeMinNum() || CurIDCode > objExcel->GetCodeMaxNum()) {
            showError(kErrSubscript,
                      QStringLiteral("記録が選ばれていないため、表示中の記録のままにします。"));
            CurIDCode = before;
        }
        objExcel->SetCurCode(CurIDCode);
        setIdCodeText(CurIDCode);
    });
}

// ---------------------------------------------------------------------------------------------
// Picture loading

std::unique_ptr<QFileDialog> FormMain::MakePictureDialog(QWidget *owner) {
    auto dialog = std::make_unique<QFileDialog>(owner, QStringLiteral("画像ファイルを選択"),
                                                QCoreApplication::applicationDirPath());
    // The same dialog everywhere, so the filter behaves alike on every desktop.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    // Show the description only; the patterns behind it also take .jpeg, in any letter case.
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setNameFilter(QStringLiteral("画像ファイル(*.bmp,*.jpg) (*.bmp *.jpg *.jpeg)"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setWindowModality(Qt::WindowModal);
    return dialog;
}

void FormMain::Load_Picture_Click() {
    if (!objExcel) return;
    command([this] {
        const QString path = hooks_.chooseFile(this);
        if (path.isEmpty()) {
            // A dialog closed because the program is ending was not cancelled by the user.
            if (!closeRequested_) showMessage(QStringLiteral("キャンセルされました"));
            return;
        }
        storeMemo();
        offerDemoCopy();
        objExcel->PutPictureName(path.toStdString());
        TextPICTURENAME->setText(QString::fromStdString(objExcel->GetCurPictureName()));
        TextIDCode_Change();
    });
}

// ---------------------------------------------------------------------------------------------
// Help

void FormMain::Information_Click() {
    command([this] {
        FormInformation window;
        hooks_.runDialog(window);
    });
}

void FormMain::About_Click() {
    command([this] {
        FormAbout window(this);
        hooks_.runDialog(window);
    });
}

}  // namespace pondera
