#include "app/StatusPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <algorithm>

#include "app/LandmarkGuide.h"

namespace pondera {

namespace {

QString number(double value) {
    return QString::number(value, 'g', 7);
}

}  // namespace

StatusPanel::StatusPanel(QMainWindow *window) : QObject(window) {
    QStatusBar *bar = window->statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);

    demoBanner_ = new QWidget(bar);
    demoBanner_->setObjectName(QStringLiteral("DemoBanner"));
    auto *layout = new QHBoxLayout(demoBanner_);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *text = new QLabel(tr("デモ用の記録です (起動のたびに元に戻ります)"), demoBanner_);
    text->setObjectName(QStringLiteral("DemoBannerText"));
    text->setStyleSheet(QStringLiteral("color: #a00000;"));
    demoNew_ = new QPushButton(tr("新しい記録で始める"), demoBanner_);
    demoNew_->setObjectName(QStringLiteral("DemoNew"));
    demoNew_->setFocusPolicy(Qt::NoFocus);
    // The banner is short; it keeps its whole text, and the landmark caption beside it yields.
    text->setMinimumWidth(text->sizeHint().width());
    QStyle *style = demoNew_->style();
    const int chrome = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, demoNew_) +
                            style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, demoNew_));
    demoNew_->setMinimumWidth(
        std::max(demoNew_->sizeHint().width(),
                 demoNew_->fontMetrics().horizontalAdvance(demoNew_->text()) + chrome));
    layout->addWidget(text);
    layout->addWidget(demoNew_);
    bar->addWidget(demoBanner_);
    demoBanner_->hide();
    connect(demoNew_, &QPushButton::clicked, this, &StatusPanel::newRecordRequested);

    landMark_ = new QLabel(bar);
    landMark_->setObjectName(QStringLiteral("StatusLandMark"));
    bar->addWidget(landMark_, 1);

    placed_ = new QLabel(bar);
    placed_->setObjectName(QStringLiteral("StatusPlaced"));
    bar->addPermanentWidget(placed_);

    pointer_ = new QLabel(bar);
    pointer_->setObjectName(QStringLiteral("StatusPointer"));
    pointer_->setMinimumWidth(
        pointer_->fontMetrics().horizontalAdvance(QStringLiteral("x 00000.00  z 00000.00")));
    bar->addPermanentWidget(pointer_);
}

void StatusPanel::SetRecord(int16_t code) {
    demoBanner_->setVisible(IsDemoCode(code));
}

void StatusPanel::SetCurrentLandMark(int16_t index) {
    landMark_->setText(LandmarkGuide::Caption(index));
}

void StatusPanel::SetPlacedCount(int placed) {
    placed_->setText(tr("%1/22 配置済み").arg(placed));
}

void StatusPanel::SetPointer(std::optional<QPointF> model) {
    if (!model) {
        pointer_->clear();
        return;
    }
    pointer_->setText(tr("x %1  z %2").arg(number(model->x()), number(model->y())));
}

}  // namespace pondera
