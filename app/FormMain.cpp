#include "app/FormMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
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

#include "app/Graphics.h"
#include "app/MainControls.h"
#include "app/ModuleMain.h"
#include "app/PictureBox.h"
#include "app/PictureFiles.h"
#include "app/StatusPanel.h"
#include "dialogs/AppTitle.h"
#include "dialogs/DialogLoad.h"
#include "dialogs/FormAbout.h"
#include "dialogs/FormInformation.h"
#include "model/error.h"

namespace pondera {

namespace {

const QColor kMagenta(128, 0, 128);

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

}  // namespace

FormMain::FormMain(FormMainHooks hooks, QWidget *parent)
    : QMainWindow(parent),
      hooks_(std::move(hooks)),
      trap_({[this](int number, const std::string &sentence, const std::string &detail) {
                 showError(number, QString::fromStdString(sentence),
                           QString::fromStdString(detail));
             },
             [this] {
                 if (!session_) return;
                 session_->Reselect();
                 if (session_->IsShown()) CurIDCode = session_->ShownCode();
             },
             [this] {
                 if (session_) session_->Commit();
             },
             [this] { commandFinished(); }}),
      scale_(TwipScaleForFont(QApplication::font())) {
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
    connectControls();
    buildAids();
    resize(scale_.pixels(kClientWidthTwips), scale_.pixels(kClientHeightTwips) +
                                                 menuBar()->sizeHint().height() +
                                                 statusBar()->sizeHint().height());
    Form_Load();
}

FormMain::~FormMain() {
    // The session releases the store first (it closes the workbook), then the two models.
    session_.reset();
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
    addMenu("Project", {{&MenuNew_, "New", "New(&N)", Qt::Key_N, &FormMain::New_Click},
                        {&MenuLoad_, "Load", "Load(&L)", Qt::Key_L, &FormMain::Load_Click},
                        {&MenuQuit_, "Quit", "Quit(&Q)", Qt::Key_Q, &FormMain::Quit_Click}});
    addMenu("Picture", {{&MenuLoad_Picture_, "Load_Picture", "Load Picture(&P)", Qt::Key_P,
                         &FormMain::Load_Picture_Click}});
    addMenu("Help", {{&MenuInformation_, "Information", "Information(&I)", Qt::Key_I,
                      &FormMain::Information_Click},
                     {&MenuAbout_, "About", "About(&V)", Qt::Key_V, &FormMain::About_Click}});
}

void FormMain::buildControls() {
    for (const ControlSpec &spec : MainWindowControls()) {
        QWidget *parent = spec.parent.empty()
                              ? static_cast<QWidget *>(this)
                              : findChild<QWidget *>(QString::fromStdString(spec.parent));
        QWidget *control = MakeControl(spec, parent);
        control->setObjectName(QString::fromStdString(spec.name));
        if (spec.kind == ControlKind::Client) setCentralWidget(control);
    }
    const auto get = [this]<typename T>(T *&slot, const QString &name) {
        slot = findChild<T *>(name);
        Q_ASSERT(slot);
    };
    const auto at = [](const char *name, int i) {
        return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
    };
    get(Picture1_, QStringLiteral("Picture1"));
    get(Frame1_, QStringLiteral("Frame1"));
    get(Frame2_, QStringLiteral("Frame2"));
    get(TextIDCode_, QStringLiteral("TextIDCode"));
    get(TextPICTURENAME_, QStringLiteral("TextPICTURENAME"));
    get(TextMEMO_, QStringLiteral("TextMEMO"));
    get(LabelLandMark_, QStringLiteral("LabelLandMark(22)"));
    get(LabelX_, QStringLiteral("LabelX(23)"));
    get(LabelZ_, QStringLiteral("LabelZ(23)"));
    get(TextCOG_, QStringLiteral("TextCOG"));
    get(TextCOGX_, QStringLiteral("TextCOGX"));
    get(TextCOGZ_, QStringLiteral("TextCOGZ"));
    for (int i = 0; i < 2; ++i)
        get(OptionSex_[i], at("OptionSex", i));
    for (int n = 0; n < kLandMarks; ++n) {
        get(OptionLandMark_[n], at("OptionLandMark", n));
        get(TextLandMark_[n], at("TextLandMark", n));
        get(TextX_[n], at("TextX", n));
        get(TextZ_[n], at("TextZ", n));
    }
    Frame1_->setEnabled(false);  // until the first record is shown
    Picture1_->raise();
    placeControls();
}

void FormMain::placeControls() {
    for (const ControlSpec &spec : MainWindowControls()) {
        if (spec.kind == ControlKind::Client) continue;
        findChild<QWidget *>(QString::fromStdString(spec.name))->setGeometry(scale_.rect(spec));
    }
}

void FormMain::connectControls() {
    for (int i = 0; i < 2; ++i)
        connect(OptionSex_[i], &QRadioButton::clicked, this,
                [this, i] { OptionSex_Click(static_cast<int16_t>(i)); });
    for (int n = 0; n < kLandMarks; ++n)
        connect(OptionLandMark_[n], &QRadioButton::clicked, this,
                [this, n] { OptionLandMark_Click(static_cast<int16_t>(n)); });
    connect(Picture1_, &PictureBox::mouseDown, this,
            [this](int button, int shift, float x, float y) {
                Picture1_MouseDown(static_cast<int16_t>(button), static_cast<int16_t>(shift), x, y);
            });
    connect(TextIDCode_, &QLineEdit::textChanged, this, [this] { TextIDCode_Change(); });
    connect(TextMEMO_, &QPlainTextEdit::textChanged, this, [this] {
        if (fillingMemo_) return;
        memoDirty_ = true;
        // Asked once the keystroke is through, so the box is not refilled under its own edit.
        if (!demoCopyAsked_ && StatusPanel::IsDemoCode(memoCode_))
            QTimer::singleShot(0, this, [this] { command([this] { offerDemoCopy(true); }); });
    });
    TextMEMO_->installEventFilter(this);
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
            if (action->shortcuts().contains(pressed)) {
                event->ignore();
                return true;
            }
        }
    } else if (event->type() == QEvent::FocusOut && watched == TextMEMO_) {
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
    trap_.Run(body);
}

void FormMain::commandFinished() {
    if (!startupNoticesPending_) ShowNotices();
    if (closeRequested_) {
        closeRequested_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void FormMain::ShowNotices() {
    startupNoticesPending_ = false;
    if (!session_) return;
    const std::vector<std::string> notices = session_->TakeNotices();
    if (notices.empty()) return;
    QStringList lines;
    for (const std::string &notice : notices)
        lines << QString::fromStdString(notice);
    showMessage(lines.join(QLatin1Char('\n')));
}

// ---------------------------------------------------------------------------------------------
// Start and end

void FormMain::Form_Load() {
    try {
        session_ = std::make_unique<RecordSession>();
    } catch (const std::exception &e) {
        const auto *error = dynamic_cast<const Error *>(&e);
        showError(error ? error->number() : kErrInternal,
                  QStringLiteral("記録ファイル PONDERA2D_2010.xls を開けないため、終了します。"),
                  QString::fromStdString(e.what()));
        return;
    }
    loaded_ = true;
    command([this] {
        if (session_->IsNewWorkbook())
            for (const QString &failure : WriteDemoPictures(QDir::currentPath()))
                showMessage(failure);
        CurIDCode = session_->NewestCode();
        setIdCodeText(CurIDCode);
    });
}

void FormMain::closeEvent(QCloseEvent *event) {
    if (trap_.Running()) {
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
    if (!session_) return;
    try {
        storeMemo();
    } catch (const std::exception &e) {
        showError(kErrFileAccess, QStringLiteral("メモを記録できませんでした。"),
                  QString::fromStdString(e.what()));
    }
    try {
        session_->Close();
    } catch (const std::exception &e) {
        const auto *error = dynamic_cast<const Error *>(&e);
        showError(error ? error->number() : kErrInternal,
                  QStringLiteral("記録ファイルを保存できませんでした。"
                                 "変更は失われず、次に起動したときに復元されます。"),
                  QString::fromStdString(e.what()));
    }
    session_.reset();
}

void FormMain::Quit_Click() {
    close();
}

// ---------------------------------------------------------------------------------------------
// Digitizing and drawing

void FormMain::selectLandMarkRow(int16_t index) {
    SetBackground(TextX_[curLandMarkNum_], SystemColour(15));
    SetBackground(TextZ_[curLandMarkNum_], SystemColour(15));
    curLandMarkNum_ = index;
    SetBackground(TextX_[curLandMarkNum_], SystemColour(14));
    SetBackground(TextZ_[curLandMarkNum_], SystemColour(14));
    status_->SetCurrentLandMark(index);
}

void FormMain::OptionLandMark_Click(int16_t Index) {
    if (Index < 0 || Index >= kLandMarks) return;
    command([this, Index] {
        selectLandMarkRow(Index);
        if (session_ && session_->IsShown()) RedrawPicture();
    });
}

void FormMain::Picture1_MouseDown(int16_t, int16_t, float X, float Y) {
    if (!session_ || !session_->IsShown()) return;
    command([this, X, Y] {
        offerDemoCopy();
        const LandMarkValue before = landMarkValue(curLandMarkNum_);
        session_->SetArea(
            {RoundScale(Picture1_->ScaleWidth()), RoundScale(Picture1_->ScaleHeight())});
        const auto [x, z] = session_->Digitize(curLandMarkNum_, X, Y);
        TextX_[curLandMarkNum_]->setText(generalText(x));
        TextZ_[curLandMarkNum_]->setText(generalText(z));
        RedrawPicture();
        dragPress_ = landMarkValue(curLandMarkNum_);
        dragging_ = true;
        dragMoved_ = false;
        pushEdit(new SetLandMarksCommand(*this, SetLandMarksCommand::Kind::kPlace, {before},
                                         {dragPress_}));
    });
}

// Draws the landmarks and centres of gravity of the record shown; writes nothing.
void FormMain::RedrawPicture() {
    status_->SetPlacedCount(placedCount());
    Picture1_->Cls();
    drawAids();
    session_->SetArea({RoundScale(Picture1_->ScaleWidth()), RoundScale(Picture1_->ScaleHeight())});
    const ClassLANDMARK &landMarks = session_->LandMarks();
    const QColor fore = Picture1_->ForeColor();
    const auto cross = [this](float px, float py, float radius, const QColor &colour) {
        Picture1_->Circle(px, py, radius, colour);
        Picture1_->Line(px - radius, py, px + radius, py, colour);
        Picture1_->Line(px, py - radius, px, py + radius, colour);
    };
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i) {
        const auto [px, py] =
            session_->ToPicture(landMarks.GetLandMarkX(i), landMarks.GetLandMarkZ(i));
        if (i != curLandMarkNum_)
            Picture1_->Circle(px, py, 4, fore);
        else
            cross(px, py, 8, fore);
    }
    const Centres &centres = session_->CurrentCentres();
    if (!centres.drawable) {
        TextCOGX_->clear();
        TextCOGZ_->clear();
        return;
    }
    const auto [bx, by] = session_->ToPicture(centres.bodyX, centres.bodyZ);
    cross(bx, by, 6, kMagenta);
    for (int s = 0; s < ClassSEGMENT::kSegments; ++s) {
        const auto [px, py] = session_->ToPicture(centres.segX[s], centres.segZ[s]);
        cross(px, py, 1, kMagenta);
    }
    TextCOGX_->setText(floorText(centres.bodyX));
    TextCOGZ_->setText(floorText(centres.bodyZ));
}

// ---------------------------------------------------------------------------------------------
// Record display and editing

bool FormMain::setIdCodeText(int16_t code) {
    const QString text = idCodeText(code);
    if (TextIDCode_->text() == text) return false;
    TextIDCode_->setText(text);  // runs the record display
    return true;
}

void FormMain::setSexButtons(int16_t sex) {
    for (int i = 0; i < 2; ++i) {
        // A checked button of an exclusive group cannot be cleared while it is exclusive.
        OptionSex_[i]->setAutoExclusive(false);
        OptionSex_[i]->setChecked(sex == i);
        OptionSex_[i]->setAutoExclusive(true);
    }
}

void FormMain::storeMemo() {
    if (!memoDirty_ || !session_ || memoCode_ < 0) return;
    const std::string after = TextMEMO_->toPlainText().toStdString();
    const bool shown = session_->IsShown() && memoCode_ == session_->ShownCode() &&
                       session_->Store().GetCurCode() == memoCode_;
    const std::string before = shown ? session_->Store().GetCurMemo() : std::string();
    session_->StoreMemo(memoCode_, after);
    memoDirty_ = false;
    if (shown && before != after) pushEdit(new SetMemoCommand(*this, before, after));
}

void FormMain::TextIDCode_Change() {
    if (!session_) return;
    command([this] { displayRecord(); });
}

void FormMain::showRecordFields(const ShownRecord &record) {
    setSexButtons(record.sex);
    fillingMemo_ = true;
    TextMEMO_->setPlainText(QString::fromStdString(record.memo));
    fillingMemo_ = false;
    memoDirty_ = false;
    memoCode_ = record.code;
    TextPICTURENAME_->setText(QString::fromStdString(record.pictureName));
}

void FormMain::showLandMarkValues() {
    const ClassLANDMARK &landMarks = session_->LandMarks();
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i) {
        TextLandMark_[i]->setText(QString::fromStdString(landMarks.GetLandMarkName(i)));
        TextX_[i]->setText(generalText(landMarks.GetLandMarkX(i)));
        TextZ_[i]->setText(generalText(landMarks.GetLandMarkZ(i)));
    }
    TextCOG_->setText(QString::fromStdString(landMarks.GetLandMarkName(-1)));
}

void FormMain::displayRecord() {
    storeMemo();
    const int16_t code = CurIDCode;
    if (!session_->HasCode(code)) {
        showError(kErrSubscript,
                  QStringLiteral("ID コード %1 の記録はありません。表示中の記録のままにします。")
                      .arg(code));
        CurIDCode = session_->IsShown() ? session_->ShownCode() : -1;
        session_->Reselect();
        return;
    }
    // Undo reaches back to how the record was when it was shown, not into another record.
    if (!session_->IsShown() || session_->ShownCode() != code) undo_->clear();
    const ShownRecord record = session_->Show(code);
    status_->SetRecord(code);
    showRecordFields(record);

    QStringList problems;
    const QString pictureName = QString::fromStdString(record.pictureName);
    try {
        Picture1_->SetPicture(LoadPicture(pictureName));
    } catch (const Error &e) {
        Picture1_->SetPicture(QImage());
        // A folder that no longer exists (a record from another computer) shows the record
        // without its picture quietly; a file that is missing or broken is worth a word.
        if (e.number() != kErrPathNotFound)
            problems << QStringLiteral(
                            "エラー番号 %1\n画像ファイル %2 を読み込めないため、"
                            "画像なしで表示します。\n(%3)")
                            .arg(e.number())
                            .arg(pictureName, QString::fromStdString(e.what()));
    }
    Frame1_->setEnabled(true);
    showLandMarkValues();
    if (!record.badCells.empty()) {
        QStringList cells;
        for (const std::string &cell : record.badCells)
            cells << QString::fromStdString(cell);
        problems << QStringLiteral(
                        "エラー番号 %1\n記録 %2 の座標のセルに数値でない値があるため、"
                        "0 として読みました: %3")
                        .arg(kErrTypeMismatch)
                        .arg(code)
                        .arg(cells.join(QStringLiteral(", ")));
    }
    if (!record.sexDrawable)
        problems << QStringLiteral(
                        "エラー番号 %1\n記録 %2 の性別の値 %3 は 0 (Male) でも 1 "
                        "(Female) でもありません。性別を選ぶまで重心は描かれず、"
                        "記録されません。")
                        .arg(kErrSubscript)
                        .arg(code)
                        .arg(record.sex);
    const int16_t first = session_->LandMarks().GetLandMarkMinNum();
    if (!OptionLandMark_[first]->isChecked() || curLandMarkNum_ != first) {
        OptionLandMark_[first]->setChecked(true);
        selectLandMarkRow(first);
    }
    RedrawPicture();
    for (const QString &problem : problems)
        showMessage(problem);
}

void FormMain::OptionSex_Click(int16_t Index) {
    if (!session_ || !session_->IsShown()) return;
    command([this, Index] {
        offerDemoCopy();
        const int16_t before = session_->Store().GetCurSex();
        setSexButtons(Index);
        session_->SetSex(Index);
        RedrawPicture();
        if (before != Index) pushEdit(new SetSexCommand(*this, before, Index));
    });
}

void FormMain::New_Click() {
    if (!session_) return;
    command([this] {
        storeMemo();
        int16_t code = -1;
        try {
            code = session_->AddRecord();
        } catch (const Error &e) {
            session_->Reselect();
            showError(e.number(),
                      e.number() == kErrOverflow
                          ? QStringLiteral("記録の数が上限に達しているため、新しい記録を追加"
                                           "できません。")
                          : QStringLiteral("新しい記録を追加できませんでした。"),
                      QString::fromStdString(e.what()));
            return;
        }
        CurIDCode = code;
        if (!setIdCodeText(CurIDCode)) displayRecord();
    });
}

void FormMain::Load_Click() {
    if (!session_) return;
    command([this] {
        storeMemo();
        const int16_t before = CurIDCode;
        {
            DialogLoad dialog(session_->Store(), CurIDCode, this);
            hooks_.runDialog(dialog);
        }
        if (!session_->HasCode(CurIDCode)) {
            showError(kErrSubscript,
                      QStringLiteral("記録が選ばれていないため、表示中の記録のままにします。"));
            CurIDCode = before;
        }
        session_->Store().SetCurCode(CurIDCode);
        setIdCodeText(CurIDCode);
    });
}

// ---------------------------------------------------------------------------------------------
// Picture loading

std::unique_ptr<QFileDialog> FormMain::MakePictureDialog(QWidget *owner) {
    return MakePictureFileDialog(owner);
}

void FormMain::Load_Picture_Click() {
    if (!session_) return;
    command([this] {
        const QString path = hooks_.chooseFile(this);
        if (path.isEmpty()) {
            // A dialog closed because the program is ending was not cancelled by the user.
            if (!closeRequested_) showMessage(QStringLiteral("キャンセルされました"));
            return;
        }
        storeMemo();
        offerDemoCopy();
        const std::string before = session_->Store().GetCurPictureName();
        const std::string after = session_->StorePictureName(path.toStdString());
        TextPICTURENAME_->setText(QString::fromStdString(after));
        TextIDCode_Change();
        if (before != after) pushEdit(new SetPictureNameCommand(*this, before, after));
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
