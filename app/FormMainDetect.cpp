// Detect Landmarks: the main window's side of the pose detector (menu item, results, marks).
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <cmath>

#include "app/FormMain.h"
#include "app/PictureView.h"
#include "session/Graphics.h"

namespace pondera {

namespace {

// Shown in the landmark's row while it waits for the user to confirm it.
const QString kCheckPrefix = QStringLiteral("? ");
const QString kCheckStyle = QStringLiteral("background-color: #ffd27f;");
const char *const kCheckTip = QT_TRANSLATE_NOOP(
    "pondera::FormMain",
    "自動検出した位置です。確かめて、違っていれば画像上をクリックして置き直してください。");

}  // namespace

void FormMain::setUpDetection() {
    detection_ = std::make_unique<LandmarkDetection>(
        hooks_.poseModel ? hooks_.poseModel() : pose::locateModel(), pose::locateModule());
    connect(detection_.get(), &LandmarkDetection::finished, this,
            [this](const LandmarkDetectionResult &result) { placeDetectedLandmarks(result); });
    if (!detection_->Available()) {
        MenuDetect_Landmarks_->setEnabled(false);
        MenuDetect_Landmarks_->setToolTip(tr("自動検出は使用できません: ") +
                                          QString::fromStdString(detection_->WhyUnavailable()));
        if (auto *menu = qobject_cast<QMenu *>(MenuDetect_Landmarks_->parent()))
            menu->setToolTipsVisible(true);
    }
}

void FormMain::Detect_Landmarks_Click() {
    if (!session_ || !session_->IsShown()) return;
    command([this] {
        if (!detection_->Available()) {
            showMessage(tr("自動検出は使用できません。\n(%1)")
                            .arg(QString::fromStdString(detection_->WhyUnavailable())));
            return;
        }
        if (Picture1_->Picture().isNull()) {
            showMessage(tr("画像が読み込まれていないため、自動検出できません。"));
            return;
        }
        startDetection();
    });
}

void FormMain::startDetection() {
    if (detection_->Busy()) return;  // the running one reports for this record, or is dropped
    detectionTicket_ = detection_->Start(Picture1_->Picture());
    if (detectionTicket_ == 0) return;
    detectionCode_ = session_->ShownCode();
    detectionPicture_ = TextPICTURENAME_->text();
    placedDuringDetection_.fill(false);
    Picture1_->viewport()->setCursor(Qt::BusyCursor);
}

void FormMain::placeDetectedLandmarks(const LandmarkDetectionResult &result) {
    if (result.ticket != detectionTicket_) return;
    detectionTicket_ = 0;
    Picture1_->viewport()->setCursor(Qt::CrossCursor);
    // The user moved on to another record or picture meanwhile: the result is for neither.
    if (!session_ || !session_->IsShown() || session_->ShownCode() != detectionCode_ ||
        TextPICTURENAME_->text() != detectionPicture_)
        return;
    command([this, &result] {
        if (result.outcome == LandmarkDetectionResult::Outcome::kNoPerson) {
            showMessage(tr("画像に人物が見つからないため、ランドマークは変更していません。"));
            return;
        }
        if (result.outcome == LandmarkDetectionResult::Outcome::kFailed) {
            showMessage(tr("ランドマークを自動検出できませんでした。ランドマークは変更して"
                           "いません。\n(%1)")
                            .arg(result.message));
            return;
        }
        offerDemoCopy();
        std::array<LandMarkValue, kLandMarks> before{}, after{};
        for (int16_t i = 0; i < kLandMarks; ++i)
            before[static_cast<size_t>(i)] = landMarkValue(i);
        session_->SetArea(
            {RoundScale(Picture1_->ScaleWidth()), RoundScale(Picture1_->ScaleHeight())});
        after = before;
        for (int16_t i = 0; i < kLandMarks; ++i) {
            if (placedDuringDetection_[i]) continue;  // the user's own placement stands
            // Whole pixels, as a click on the pixel the point lies in gives.
            const auto [x, z] = session_->ToModel(float(std::floor(result.points[i].x())),
                                                  float(std::floor(result.points[i].y())));
            after[static_cast<size_t>(i)] = {i, x, z};
            setNeedsCheck(i, result.needsCheck[i]);
        }
        // The landmarks found are one undo step, their centres stored once.
        if (before != after)
            pushEdit(SetLandMarksCommand::AllLandMarks(*session_, before, after));
        else
            RedrawPicture();  // the marks to check
    });
}

void FormMain::setNeedsCheck(int16_t n, bool check) {
    if (needsCheck_[n] == check) return;
    needsCheck_[n] = check;
    QLineEdit *name = TextLandMark_[n];
    const QString plain = name->text().startsWith(kCheckPrefix)
                              ? name->text().mid(kCheckPrefix.size())
                              : name->text();
    name->setText(check ? kCheckPrefix + plain : plain);
    name->setStyleSheet(check ? kCheckStyle : QString());
    name->setToolTip(check ? tr(kCheckTip) : QString());
}

void FormMain::clearNeedsCheck() {
    for (int16_t i = 0; i < kLandMarks; ++i)
        setNeedsCheck(i, false);
}

}  // namespace pondera
