// The main window's aids to digitizing: the status bar, the landmark guide, the offer to copy a
// demonstration record before it is changed, undo and redo, landmark selection from the keyboard
// and the table, auto-advance, dragging and nudging, and the skeleton drawn under the markers.
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSettings>
#include <QUndoStack>
#include <cmath>

#include "app/FormMain.h"

#include "app/LandmarkGuide.h"
#include "app/ModuleMain.h"
#include "app/PictureView.h"
#include "app/StatusPanel.h"
#include "model/Balance.h"
#include "model/EnglishNames.h"
#include "session/Graphics.h"

namespace pondera {

namespace {

// Preferences of the view (never record data).
QSettings preferences() {
    return QSettings(QStringLiteral("Pondera2D"), QStringLiteral("pondera2d"));
}
const QString kAutoAdvanceKey = QStringLiteral("digitize/autoAdvance");
const QString kSkeletonKey = QStringLiteral("view/skeleton");

// Colours of the aids drawn under the markers: the subject's right and left clearly apart
// (also for the common colour-vision deficiencies), the midline, and the halo that keeps the
// dark markers visible on dark clothing.
const QColor kRightColour(0, 114, 230);
const QColor kLeftColour(240, 140, 0);
const QColor kMidColour(0, 170, 80);
const QColor kHalo(255, 255, 255, 200);
const QColor kCentreDot(128, 0, 128);

// A press on a landmark's name or value boxes selects that landmark, as its option button does.
class RowPress : public QObject {
  public:
    RowPress(QObject *parent, std::function<void(int16_t)> choose)
        : QObject(parent), choose_(std::move(choose)) {}
    void Watch(QWidget *widget, int16_t index) {
        rows_[widget] = index;
        widget->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto found = rows_.find(watched);
            if (found != rows_.end()) choose_(found->second);
        }
        return false;
    }

  private:
    std::function<void(int16_t)> choose_;
    std::map<QObject *, int16_t> rows_;
};

}  // namespace

void FormMain::buildAids() {
    status_ = new StatusPanel(this);
    connect(status_, &StatusPanel::newRecordRequested, this, [this] { New_Click(); });
    Picture1_->SetNudgeKeys(true);
    connect(Picture1_, &PictureView::dragTo, this, &FormMain::dragTo);
    connect(Picture1_, &PictureView::released, this, &FormMain::dragEnd);
    connect(Picture1_, &PictureView::nudged, this, &FormMain::nudge);
    connect(Picture1_, &PictureView::pointerOver, this, [this](std::optional<QPoint> pixel) {
        if (!pixel || !session_) {
            status_->SetPointer(std::nullopt);
            return;
        }
        const auto [x, z] = session_->ToModel(float(pixel->x()), float(pixel->y()));
        status_->SetPointer(QPointF(x, z));
    });

    auto *rows = new RowPress(this, [this](int16_t index) { chooseLandMark(index); });
    for (int n = 0; n < kLandMarks; ++n)
        for (QWidget *box : {static_cast<QWidget *>(TextLandMark_[n]),
                             static_cast<QWidget *>(TextX_[n]), static_cast<QWidget *>(TextZ_[n])})
            rows->Watch(box, static_cast<int16_t>(n));
    buildEditMenus();

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
    CurIDCode = session_->CopyShownRecord();
    displayRecord();
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

// ---------------------------------------------------------------------------------------------
// Undo and redo, selection, auto-advance

void FormMain::buildEditMenus() {
    undo_ = new QUndoStack(this);
    const auto add = [this](QMenu *menu, const char *name, const QString &caption,
                            QList<QKeySequence> keys) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromUtf8(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        if (!keys.isEmpty()) shortcutActions_.push_back(action);
        return action;
    };
    QMenu *help = menuBar()->findChild<QMenu *>(QStringLiteral("Help"));
    auto *edit = new QMenu(tr("Edit"), this);
    edit->setObjectName(QStringLiteral("Edit"));
    menuBar()->insertMenu(help ? help->menuAction() : nullptr, edit);
    MenuUndo_ = add(edit, "Undo", tr("Undo(&U)"), {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    MenuRedo_ =
        add(edit, "Redo", tr("Redo(&R)"),
            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    MenuUndo_->setEnabled(false);
    MenuRedo_->setEnabled(false);
    connect(undo_, &QUndoStack::canUndoChanged, MenuUndo_, &QAction::setEnabled);
    connect(undo_, &QUndoStack::canRedoChanged, MenuRedo_, &QAction::setEnabled);
    connect(MenuUndo_, &QAction::triggered, this, [this] { undoRedo(false); });
    connect(MenuRedo_, &QAction::triggered, this, [this] { undoRedo(true); });
    edit->addSeparator();
    MenuAutoAdvance_ = add(edit, "AutoAdvance", tr("次のLandMarkへ自動で進む"), {});
    MenuAutoAdvance_->setCheckable(true);
    MenuAutoAdvance_->setChecked(preferences().value(kAutoAdvanceKey, false).toBool());
    connect(MenuAutoAdvance_, &QAction::toggled, this,
            [](bool on) { preferences().setValue(kAutoAdvanceKey, on); });

    auto *view = new QMenu(tr("View"), this);
    view->setObjectName(QStringLiteral("View"));
    menuBar()->insertMenu(help ? help->menuAction() : nullptr, view);
    MenuShowSkeleton_ = add(view, "ShowSkeleton", tr("骨格線と目印の縁取り(&S)"), {});
    MenuShowSkeleton_->setCheckable(true);
    MenuShowSkeleton_->setChecked(preferences().value(kSkeletonKey, true).toBool());
    connect(MenuShowSkeleton_, &QAction::toggled, this, [this](bool on) {
        preferences().setValue(kSkeletonKey, on);
        command([this] {
            if (session_->IsShown()) RedrawPicture();
        });
    });

    // Landmark selection from anywhere in the window.
    for (const auto &[name, keys, delta] :
         std::initializer_list<std::tuple<const char *, QList<QKeySequence>, int>>{
             {"NextLandMark", {QKeySequence(Qt::Key_Tab), QKeySequence(Qt::Key_PageDown)}, 1},
             {"PreviousLandMark",
              {QKeySequence(Qt::Key_Backtab), QKeySequence(Qt::SHIFT | Qt::Key_Backtab),
               QKeySequence(Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::Key_PageUp)},
              -1}}) {
        auto *action = new QAction(this);
        action->setObjectName(QString::fromUtf8(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        shortcutActions_.push_back(action);
        connect(action, &QAction::triggered, this, [this, d = delta] { stepLandMark(d); });
    }
}

void FormMain::pushEdit(QUndoCommand *step) {
    // The stack takes the step only once its first redo has made the change; a change that
    // failed leaves no step behind.
    std::unique_ptr<QUndoCommand> owned(step);
    undo_->push(step);
    owned.release();
}

void FormMain::undoRedo(bool redo) {
    if (!session_ || !session_->IsShown()) return;
    command([this, redo] {
        storeMemo();  // typing not yet stored is a step of its own, the first one undone
        if (redo ? !undo_->canRedo() : !undo_->canUndo()) return;
        dragging_ = false;
        if (redo)
            undo_->redo();
        else
            undo_->undo();
    });
}

void FormMain::chooseLandMark(int16_t index) {
    if (index < 0 || index >= kLandMarks || !session_ || !session_->IsShown()) return;
    if (index == curLandMarkNum_ && OptionLandMark_[index]->isChecked()) return;
    OptionLandMark_[index]->setChecked(true);
    OptionLandMark_Click(index);
}

void FormMain::stepLandMark(int delta) {
    chooseLandMark(static_cast<int16_t>((curLandMarkNum_ + delta + kLandMarks) % kLandMarks));
}

void FormMain::placementDone() {
    if (MenuAutoAdvance_->isChecked()) stepLandMark(1);
}

LandMarkValue FormMain::landMarkValue(int16_t index) const {
    return session_->LandMark(index);
}

void FormMain::dragTo(float picX, float picY) {
    if (!dragging_ || !session_ || !session_->IsShown()) return;
    command([this, picX, picY] {
        const auto [x, z] = session_->ToModel(picX, picY);
        const int16_t n = dragPress_.index;
        if (!dragMoved_ && x == dragPress_.x && z == dragPress_.z) return;
        dragMoved_ = true;
        session_->MoveLandMark(n, x, z);
    });
}

void FormMain::dragEnd() {
    if (!dragging_) return;
    dragging_ = false;
    if (!session_ || !session_->IsShown()) return;
    command([this] {
        if (dragMoved_) {
            // The record receives the place the drag ended at, once; with the press it is one
            // undo step.
            const LandMarkValue end = landMarkValue(dragPress_.index);
            pushEdit(new SetLandMarksCommand(*session_, SetLandMarksCommand::Kind::kDragEnd,
                                             {dragPress_}, {end}));
        }
        placementDone();
    });
}

void FormMain::nudge(int dx, int dz) {
    if (!session_ || !session_->IsShown() || dragging_) return;
    command([this, dx, dz] {
        offerDemoCopy();
        const LandMarkValue before = landMarkValue(curLandMarkNum_);
        const LandMarkValue after{before.index, before.x + static_cast<float>(dx),
                                  before.z + static_cast<float>(dz)};
        pushEdit(new SetLandMarksCommand(*session_, SetLandMarksCommand::Kind::kNudge, {before},
                                         {after}));
    });
}

void FormMain::SetAllLandMarks(const std::array<LandMarkValue, 22> &values) {
    if (!session_ || !session_->IsShown()) return;
    command([this, values] {
        offerDemoCopy();
        std::array<LandMarkValue, 22> before{};
        for (int16_t i = 0; i < kLandMarks; ++i)
            before[static_cast<size_t>(i)] = landMarkValue(i);
        pushEdit(SetLandMarksCommand::AllLandMarks(*session_, before, values));
    });
}

// ---------------------------------------------------------------------------------------------
// Drawing beneath the markers

void FormMain::drawAids() {
    if (!MenuShowSkeleton_ || !MenuShowSkeleton_->isChecked() || !session_->IsShown()) return;
    const ClassLANDMARK &landMarks = session_->LandMarks();
    const ClassSEGMENT &segment = session_->Segment();
    const auto at = [&](int16_t i) {
        return session_->ToPicture(landMarks.GetLandMarkX(i), landMarks.GetLandMarkZ(i));
    };
    for (int16_t s = segment.GetSegMinNum(); s <= segment.GetSegMaxNum(); ++s) {
        const auto [x1, y1] = at(segment.GetSegProximalNum(s));
        const auto [x2, y2] = at(segment.GetSegDistalNum(s));
        const BodySide side = SegmentSide(s);
        const QColor &colour = side == BodySide::kRight  ? kRightColour
                               : side == BodySide::kLeft ? kLeftColour
                                                         : kMidColour;
        Picture1_->Line(x1, y1, x2, y2, colour);
    }
    // A light ring inside and outside every marker circle.
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i) {
        const auto [px, py] = at(i);
        const int radius = i == curLandMarkNum_ ? 8 : 4;
        Picture1_->Marker(px, py, radius + 1, kHalo, false);
        Picture1_->Marker(px, py, radius - 1, kHalo, false);
    }
    // Segment centres as small discs, so they show as more than the one-pixel cross.
    const Centres &centres = session_->CurrentCentres();
    if (!centres.drawable) return;
    for (int s = 0; s < ClassSEGMENT::kSegments; ++s) {
        const auto [px, py] = session_->ToPicture(centres.segX[s], centres.segZ[s]);
        Picture1_->Marker(px, py, 3, kHalo, false);
        Picture1_->Marker(px, py, 2, kCentreDot, false);
        Picture1_->Marker(px, py, 1, kCentreDot, false);
    }
}

}  // namespace pondera
