#include "app/FormMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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
#include <QToolBar>
#include <cmath>

#include "app/ExportCommands.h"
#include "app/MainControls.h"
#include "app/ModuleMain.h"
#include "app/PictureFiles.h"
#include "app/PictureView.h"
#include "app/ResultsPanel.h"
#include "app/StatusPanel.h"
#include "app/StoreTexts.h"
#include "base/error.h"
#include "base/version.h"
#include "dialogs/AppTitle.h"
#include "dialogs/DialogLoad.h"
#include "dialogs/FormAbout.h"
#include "dialogs/FormInformation.h"
#include "dialogs/ModelNames.h"
#include "session/Graphics.h"

namespace pondera {

namespace {

const QColor kMagenta(128, 0, 128);
const QColor kCheckColour(255, 140, 0);

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
                 showError(number,
                           QCoreApplication::translate("pondera::CommandTrap", sentence.c_str()),
                           StoreText(detail));
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
        hooks_.chooseFile = [this](QWidget *owner) {
            const std::unique_ptr<QFileDialog> dialog = MakePictureDialog(owner);
            if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
                return QString();
            return dialog->selectedFiles().first();
        };
    if (!hooks_.askRetry)
        hooks_.askRetry = [this](const QString &text) {
            QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kAppTitle), text,
                            QMessageBox::Retry | QMessageBox::Cancel, this);
            box.setDefaultButton(QMessageBox::Retry);
            return box.exec() == QMessageBox::Retry;
        };
    if (!hooks_.runDialog) hooks_.runDialog = [](QDialog &dialog) { return dialog.exec(); };
    if (!hooks_.ask)
        hooks_.ask = [this](const QString &text) {
            return QMessageBox::question(this, QString::fromUtf8(kAppTitle), text,
                                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        };

    setWindowTitle(QStringLiteral("Pondera 2010 Ver ") + QString::fromUtf8(kVersionShort) +
                   QString(68, QLatin1Char(' ')) + QStringLiteral("ZELMORA"));
    // A resizable border without minimize and maximize buttons.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    buildMenus();
    buildControls();
    connectControls();
    buildAids();
    setUpDetection();
    buildResults();
    // The results row and the status bar lie below the client area, which keeps its designed
    // size.
    resize(scale_.pixels(kClientWidthTwips),
           scale_.pixels(kClientHeightTwips) + menuBar()->sizeHint().height() +
               resultsBar_->sizeHint().height() + statusBar()->sizeHint().height());
    connect(&idleSave_, &QTimer::timeout, this, &FormMain::saveInBackground);
    Form_Load();
}

FormMain::~FormMain() {
    // The session releases the store first (it closes the workbook), then the two models.
    session_.reset();
}

// ---------------------------------------------------------------------------------------------
// Messages and the command trap

void FormMain::showMessage(const QString &text) {
    hooks_.message(text);
}

void FormMain::showError(int number, const QString &sentence, const QString &detail) {
    QString text = tr("エラー番号 %1\n%2").arg(number).arg(sentence);
    if (!detail.isEmpty()) text += QStringLiteral("\n(%1)").arg(detail);
    showMessage(text);
}

void FormMain::command(const std::function<void()> &body) {
    trap_.Run(body);
}

void FormMain::commandFinished() {
    checkWorkbook(true);
    scheduleBackgroundSave();
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
        lines << StoreText(notice);
    showMessage(lines.join(QLatin1Char('\n')));
}

// ---------------------------------------------------------------------------------------------
// Start and end

void FormMain::Form_Load() {
    try {
        ClassEXCEL::Options options;
        options.progress = hooks_.startProgress;
        session_ = std::make_unique<RecordSession>(std::move(options));
    } catch (const std::exception &e) {
        const auto *error = dynamic_cast<const Error *>(&e);
        showError(error ? error->number() : kErrInternal,
                  tr("記録ファイル PONDERA2D_2010.xls を開けないため、終了します。"),
                  QString::fromStdString(e.what()));
        return;
    }
    loaded_ = true;
    connect(session_.get(), &RecordSession::changed, this, &FormMain::sessionChanged);
    command([this] {
        if (session_->IsNewWorkbook())
            for (const QString &failure : WriteDemoPictures(QDir::currentPath()))
                showMessage(failure);
        CurIDCode = session_->NewestCode();
        displayRecord();
    });
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
        const auto [x, z] = session_->ToModel(X, Y);
        placedDuringDetection_[curLandMarkNum_] = true;
        setNeedsCheck(curLandMarkNum_, false);
        dragPress_ = {curLandMarkNum_, x, z};
        pushEdit(new SetLandMarksCommand(*session_, SetLandMarksCommand::Kind::kPlace, {before},
                                         {dragPress_}));
        dragging_ = true;
        dragMoved_ = false;
    });
}

// Draws the landmarks and centres of gravity of the record shown; writes nothing.
void FormMain::RedrawPicture() {
    status_->SetPlacedCount(session_->PlacedCount());
    Picture1_->Cls();
    drawAids();
    drawBaseOfSupport();  // beneath the marks
    const ClassLANDMARK &landMarks = session_->LandMarks();
    const QColor fore = Picture1_->ForeColor();
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i) {
        const auto [px, py] =
            session_->ToPicture(landMarks.GetLandMarkX(i), landMarks.GetLandMarkZ(i));
        const bool current = i == curLandMarkNum_;
        Picture1_->Marker(px, py, current ? 8 : 4, fore, current);
        if (needsCheck_[i]) {
            // A detected landmark to confirm: a wide orange ring around its mark.
            Picture1_->Marker(px, py, 11, kCheckColour, false);
        }
    }
    const Centres &centres = session_->CurrentCentres();
    if (!centres.drawable) {
        TextCOGX_->clear();
        TextCOGZ_->clear();
        showResults();
        return;
    }
    const auto [bx, by] = session_->ToPicture(centres.bodyX, centres.bodyZ);
    Picture1_->Marker(bx, by, 6, kMagenta, true);
    for (int s = 0; s < ClassSEGMENT::kSegments; ++s) {
        const auto [px, py] = session_->ToPicture(centres.segX[s], centres.segZ[s]);
        Picture1_->Marker(px, py, 1, kMagenta, true);
    }
    TextCOGX_->setText(floorText(centres.bodyX));
    TextCOGZ_->setText(floorText(centres.bodyZ));
    showResults();
}

// ---------------------------------------------------------------------------------------------
// Record display and editing

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
    memoDirty_ = false;
    if (!session_->IsShown() || memoCode_ != session_->ShownCode()) {
        session_->StoreMemo(memoCode_, after);  // a record no longer shown: no undo step
        return;
    }
    const std::string before = session_->ShownData().memo;
    if (before != after)
        pushEdit(new SetTextCommand(*session_, SetTextCommand::Field::kMemo, before, after));
}

void FormMain::TextIDCode_Change() {
    if (!session_) return;
    command([this] { displayRecord(); });
}

void FormMain::showMemo(const std::string &memo) {
    memoCode_ = session_->ShownCode();
    memoDirty_ = false;
    const QString text = QString::fromStdString(memo);
    if (TextMEMO_->toPlainText() == text) return;
    fillingMemo_ = true;
    TextMEMO_->setPlainText(text);
    fillingMemo_ = false;
}

// The value boxes of every landmark whose value changed.
void FormMain::showLandMarkValues() {
    const ClassLANDMARK &landMarks = session_->LandMarks();
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i) {
        for (auto [box, value] : {std::pair{TextX_[i], landMarks.GetLandMarkX(i)},
                                  std::pair{TextZ_[i], landMarks.GetLandMarkZ(i)}}) {
            const QString text = generalText(value);
            if (box->text() != text) box->setText(text);
        }
    }
}

void FormMain::sessionChanged(unsigned what) {
    // A record coming on screen is shown by displayRecord, which asked for it.
    if (what & RecordSession::kRecord || !session_->IsShown()) return;
    const report::RecordData &data = session_->ShownData();
    if (what & RecordSession::kPicture) {
        // Another picture is another area and frame: the record is shown anew over it.
        showRecord(session_->ShownCode());
        return;
    }
    if (what & RecordSession::kMemo) showMemo(data.memo);
    if (what & RecordSession::kSex) setSexButtons(data.sex);
    if (what & RecordSession::kLandMarks) showLandMarkValues();
    if (what & (RecordSession::kLandMarks | RecordSession::kSex)) RedrawPicture();
}

void FormMain::showPicture(const QString &name, QStringList &problems) {
    try {
        bool incomplete = false;
        Picture1_->SetPicture(pictures_.Load(name, &incomplete));
        if (incomplete)
            problems << tr("エラー番号 %1\n画像ファイル %2 は途中で切れているため、読み込めた"
                           "部分だけを表示します。")
                            .arg(kErrFileAccess)
                            .arg(name);
    } catch (const Error &e) {
        Picture1_->SetPicture(QImage());
        // A folder that no longer exists (a record from another computer) shows the record
        // without its picture quietly; a file that is missing or broken is worth a word.
        if (e.number() != kErrPathNotFound)
            problems << tr("エラー番号 %1\n画像ファイル %2 を読み込めないため、"
                           "画像なしで表示します。\n(%3)")
                            .arg(e.number())
                            .arg(name, QString::fromStdString(e.what()));
    }
    session_->SetArea(Picture1_->Area());
}

void FormMain::displayRecord() {
    storeMemo();
    const int16_t code = CurIDCode;
    if (!session_->HasCode(code)) {
        showError(kErrSubscript,
                  tr("ID コード %1 の記録はありません。表示中の記録のままにします。").arg(code));
        CurIDCode = session_->IsShown() ? session_->ShownCode() : -1;
        session_->Reselect();
        return;
    }
    // Undo reaches back to how the record was when it was shown, not into another record.
    if (!session_->IsShown() || session_->ShownCode() != code) undo_->clear();
    showRecord(code);
}

void FormMain::showRecord(int16_t code) {
    const ShownRecord record = session_->Show(code);
    TextIDCode_->setText(idCodeText(code));
    status_->SetRecord(code);
    clearNeedsCheck();
    setSexButtons(record.sex);
    showMemo(record.memo);
    TextPICTURENAME_->setText(QString::fromStdString(record.pictureName));

    QStringList problems;
    showPicture(QString::fromStdString(record.pictureName), problems);
    Frame1_->setEnabled(true);
    const ClassLANDMARK &landMarks = session_->LandMarks();
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i)
        TextLandMark_[i]->setText(LandMarkNameText(landMarks.GetLandMarkName(i)));
    TextCOG_->setText(LandMarkNameText(landMarks.GetLandMarkName(-1)));
    showLandMarkValues();
    if (!record.badCells.empty()) {
        QStringList cells;
        for (const std::string &cell : record.badCells)
            // "name X": the landmark's name in the interface language, then the axis.
            cells << LandMarkNameText(cell.substr(0, cell.size() - 2)) +
                         QString::fromStdString(cell.substr(cell.size() - 2));
        problems << tr("エラー番号 %1\n記録 %2 の座標のセルに数値でない値があるため、"
                       "0 として読みました: %3")
                        .arg(kErrTypeMismatch)
                        .arg(code)
                        .arg(cells.join(QStringLiteral(", ")));
    }
    if (record.sexCellText)
        problems << tr("エラー番号 %1\n記録 %2 の性別のセル (シート ID の C%3) には数値でない"
                       "「%4」が入っているため、性別なしで表示します。性別を選ぶとセルはその値で"
                       "書き直されます。")
                        .arg(kErrTypeMismatch)
                        .arg(code)
                        .arg(code + 3)
                        .arg(QString::fromStdString(*record.sexCellText));
    else if (!record.sexDrawable)
        problems << tr("エラー番号 %1\n記録 %2 の性別の値 %3 は 0 (Male) でも 1 "
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
        const int16_t before = session_->ShownData().sex;
        if (before != Index)
            pushEdit(new SetSexCommand(*session_, before, Index));
        else
            session_->SetSex(Index);
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
                          ? tr("記録の数が上限に達しているため、新しい記録を追加"
                               "できません。")
                          : tr("新しい記録を追加できませんでした。"),
                      QString::fromStdString(e.what()));
            return;
        }
        CurIDCode = code;
        displayRecord();
    });
}

void FormMain::Load_Click() {
    if (!session_) return;
    command([this] {
        storeMemo();
        const int16_t before = CurIDCode;
        {
            DialogLoad dialog(session_->RecordList(), CurIDCode, this);
            if (!dialog.Problems().isEmpty()) {
                // Said once per opening however many records it concerns.
                constexpr qsizetype kNamed = 5;
                QStringList named;
                for (const QString &problem : dialog.Problems().mid(0, kNamed))
                    named << StoreText(problem.toStdString());
                QString detail = named.join(QLatin1Char('\n'));
                if (dialog.Problems().size() > kNamed)
                    detail += tr("\nほか %1 件").arg(dialog.Problems().size() - kNamed);
                showError(kErrTypeMismatch,
                          tr("性別のセルに数値でない値がある記録は、一覧にセルの内容をそのまま"
                             "表示します。"),
                          detail);
            }
            hooks_.runDialog(dialog);
        }
        if (!session_->HasCode(CurIDCode)) {
            showError(kErrSubscript, tr("記録が選ばれていないため、表示中の記録のままにします。"));
            CurIDCode = before;
        }
        // The same record again keeps its current landmark: nothing is shown anew.
        if (session_->IsShown() && CurIDCode == session_->ShownCode())
            session_->Reselect();
        else
            displayRecord();
    });
}

// ---------------------------------------------------------------------------------------------
// Picture loading

std::unique_ptr<QFileDialog> FormMain::MakePictureDialog(QWidget *owner) const {
    return MakePictureFileDialog(owner,
                                 pictureFolder_.isEmpty() ? QDir::currentPath() : pictureFolder_);
}

void FormMain::Load_Picture_Click() {
    if (!session_) return;
    command([this] {
        const QString path = hooks_.chooseFile(this);
        if (path.isEmpty()) {
            // A dialog closed because the program is ending was not cancelled by the user.
            if (!closeRequested_) showMessage(tr("キャンセルされました"));
            return;
        }
        pictureFolder_ = QFileInfo(path).absolutePath();
        // The picture is decoded before its name is stored: a file that is no picture leaves
        // the record with the picture it had.
        try {
            pictures_.Load(path);
        } catch (const Error &e) {
            const bool tooLarge = e.number() == kErrOutOfMemory;
            showError(tooLarge ? kErrOutOfMemory : kErrFileAccess,
                      tooLarge ? tr("画像が大きすぎるため読み込めません。画像は変更されません。")
                               : tr("画像ファイルとして読み込めません。画像は変更されません。"),
                      QString::fromStdString(e.what()));
            return;
        }
        storeMemo();
        offerDemoCopy();
        const std::string before = session_->ShownData().pictureName;
        const std::string after = path.toStdString();
        // The same file again is shown anew (it may have changed on disk) without an undo step.
        if (before == after)
            session_->StorePictureName(after);
        else
            pushEdit(
                new SetTextCommand(*session_, SetTextCommand::Field::kPictureName, before, after));
        // A record with no landmark placed yet gets the network's suggestion at once.
        const ClassLANDMARK &marks = session_->LandMarks();
        bool unplaced = true;
        for (int16_t i = marks.GetLandMarkMinNum(); i <= marks.GetLandMarkMaxNum(); ++i)
            unplaced = unplaced && marks.GetLandMarkX(i) == 0 && marks.GetLandMarkZ(i) == 0;
        if (unplaced && detection_->Available() && !Picture1_->Picture().isNull()) startDetection();
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
