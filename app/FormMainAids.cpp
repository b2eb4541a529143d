// The main window's aids to digitizing: the status bar, the landmark guide and the offer to
// copy a demonstration record before it is changed.
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "app/FormMain.h"
#include "app/LandmarkGuide.h"
#include "app/ModuleMain.h"
#include "app/PictureBox.h"
#include "app/StatusPanel.h"

namespace pondera {

namespace {

// Reports the model coordinates under the pointer while it moves over the picture area.
class PointerWatch : public QObject {
  public:
    PointerWatch(PictureBox *picture, StatusPanel *status)
        : QObject(picture), picture_(picture), status_(status) {
        picture->setMouseTracking(true);
        picture->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::MouseMove) {
            const QPointF at = static_cast<QMouseEvent *>(event)->position();
            // The conversions a press uses: x as it is, z from the rounded area height.
            const auto height = static_cast<float>(std::lround(picture_->ScaleHeight()));
            status_->SetPointer(
                QPointF(static_cast<float>(at.x()), height - static_cast<float>(at.y())));
        } else if (event->type() == QEvent::Leave) {
            status_->SetPointer(std::nullopt);
        }
        return false;
    }

  private:
    PictureBox *picture_;
    StatusPanel *status_;
};

}  // namespace

void FormMain::buildAids() {
    status_ = new StatusPanel(this);
    connect(status_, &StatusPanel::newRecordRequested, this, [this] { New_Click(); });
    new PointerWatch(Picture1_, status_);

    guideTips_ = new LandmarkGuideTips(this);
    for (int n = 0; n < kLandMarks; ++n) {
        const auto index = static_cast<int16_t>(n);
        for (QWidget *widget :
             {static_cast<QWidget *>(OptionLandMark_[n]), static_cast<QWidget *>(TextLandMark_[n]),
              static_cast<QWidget *>(TextX_[n]), static_cast<QWidget *>(TextZ_[n])})
            guideTips_->Watch(widget, [index] { return index; });
    }
    guideTips_->Watch(status_->LandMarkText(), [this] { return curLandMarkNum_; });
}

int FormMain::placedCount() const {
    // A press always gives z of at least 1 (the area's bottom row), so (0, 0) is never placed.
    const ClassLANDMARK &landMarks = session_->LandMarks();
    int placed = 0;
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i)
        if (landMarks.GetLandMarkX(i) != 0 || landMarks.GetLandMarkZ(i) != 0) ++placed;
    return placed;
}

void FormMain::offerDemoCopy(bool fromMemo) {
    if (demoCopyAsked_ || !session_->IsShown() || !StatusPanel::IsDemoCode(session_->ShownCode()))
        return;
    demoCopyAsked_ = true;
    const QString memo = TextMEMO_->toPlainText();
    const bool yes =
        hooks_.ask(tr("記録 %1 はデモ用の記録で、起動のたびに元に戻ります。\n"
                      "画像・性別・LandMark を新しい記録にコピーして、そちらを変更しますか?\n"
                      "(いいえ: このデモの記録をそのまま変更します)")
                       .arg(session_->ShownCode()));
    if (yes) copyShownRecord(fromMemo ? &memo : nullptr);
}

void FormMain::copyShownRecord(const QString *memo) {
    storeMemo();
    const int16_t landMark = curLandMarkNum_;
    ClassEXCEL &store = session_->Store();
    const ClassLANDMARK &landMarks = session_->LandMarks();
    const int16_t sex = store.GetCurSex();
    const std::string picture = store.GetCurPictureName();
    const int16_t code = session_->AddRecord();
    store.SetCurCode(code);
    store.PutPictureName(picture);
    store.PutSex(sex);
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i) {
        store.PutLandMarkX(i, landMarks.GetLandMarkX(i));
        store.PutLandMarkZ(i, landMarks.GetLandMarkZ(i));
    }
    CurIDCode = code;
    if (!setIdCodeText(code)) displayRecord();
    // The change that led here goes on with the landmark it was made with.
    if (landMark != curLandMarkNum_) {
        OptionLandMark_[landMark]->setChecked(true);
        selectLandMarkRow(landMark);
    }
    if (memo) {
        TextMEMO_->setPlainText(*memo);  // marks the memo edited, stored like any typing
        TextMEMO_->moveCursor(QTextCursor::End);
    }
}

}  // namespace pondera
