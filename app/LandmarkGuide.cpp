#include "app/LandmarkGuide.h"

#include <QApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <array>
#include <utility>

#include "model/ClassLANDMARK.h"
#include "model/EnglishNames.h"

namespace pondera {

namespace {

// Front view, 60 x 120: the subject's right (landmarks 4-7 and 12-16) on the left half.
constexpr std::array<QPointF, 22> kPoints{{
    {30, 3},    // top of head
    {30, 17},   // chin
    {30, 25},   // sternum
    {30, 59},   // pubis
    {20, 24},   // right shoulder
    {15, 41},   // right elbow
    {12, 56},   // right wrist
    {11, 66},   // right fingertip
    {40, 24},   // left shoulder
    {45, 41},   // left elbow
    {48, 56},   // left wrist
    {49, 66},   // left fingertip
    {23, 58},   // right hip
    {22, 83},   // right knee
    {22, 106},  // right ankle
    {23, 112},  // right heel
    {16, 115},  // right toe tip
    {37, 58},   // left hip
    {38, 83},   // left knee
    {38, 106},  // left ankle
    {37, 112},  // left heel
    {44, 115},  // left toe tip
}};

// The limbs and the trunk as the figure draws them (landmark pairs).
constexpr std::array<std::pair<int, int>, 20> kBones{{
    {1, 2},   {2, 4},   {4, 5},   {5, 6},   {6, 7},   {2, 8},   {8, 9},
    {9, 10},  {10, 11}, {2, 3},   {3, 12},  {12, 13}, {13, 14}, {14, 15},
    {14, 16}, {3, 17},  {17, 18}, {18, 19}, {19, 20}, {19, 21},
}};

constexpr int kScale = 2;  // screen pixels per figure unit
constexpr int kCaptionLines = 2;

bool inRange(int16_t index) {
    return index >= 0 && index <= 21;
}

}  // namespace

LandmarkGuide::LandmarkGuide(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LandmarkGuide"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LandmarkGuide::SetLandMark(int16_t index) {
    if (landMark_ == index) return;
    landMark_ = index;
    update();
}

QString LandmarkGuide::Caption(int16_t index) {
    if (!inRange(index)) return {};
    static const ClassLANDMARK names;
    const QString japanese = QString::fromStdString(names.GetLandMarkName(index));
    const QString english = QString::fromUtf8(LandMarkEnglishName(index));
    QString caption;
    switch (LandMarkSide(index)) {
        case BodySide::kRight:
            caption = tr("%1 = %2 (subject's right)");
            break;
        case BodySide::kLeft:
            caption = tr("%1 = %2 (subject's left)");
            break;
        case BodySide::kCentre:
            caption = tr("%1 = %2");
            break;
    }
    // Filled by name rather than by arg(): an English caption leaves the Japanese name out, and
    // arg() would then put it where the English one belongs.
    return caption.replace(QLatin1String("%1"), japanese).replace(QLatin1String("%2"), english);
}

QPointF LandmarkGuide::FigurePoint(int16_t index) {
    return inRange(index) ? kPoints[static_cast<size_t>(index)] : QPointF();
}

QSize LandmarkGuide::sizeHint() const {
    const int text = fontMetrics().lineSpacing() * kCaptionLines;
    const int width = std::max(static_cast<int>(kFigureFrame.width()) * kScale + 16,
                               fontMetrics().horizontalAdvance(Caption(16)) + 16);
    return {width, static_cast<int>(kFigureFrame.height()) * kScale + 16 + text};
}

void LandmarkGuide::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF origin((width() - kFigureFrame.width() * kScale) / 2.0, 8);
    const auto at = [&](int i) { return origin + kPoints[static_cast<size_t>(i)] * kScale; };

    const QColor ink = palette().color(QPalette::ToolTipText);
    QColor body = ink;
    body.setAlphaF(0.45f);
    painter.setPen(QPen(body, 2, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    // Head: an outline through the vertex and the chin.
    const QPointF top = at(0), chin = at(1);
    const double headR = (chin.y() - top.y()) / 2.0;
    painter.drawEllipse(QPointF(top.x(), top.y() + headR), headR * 0.8, headR);
    for (const auto &[a, b] : kBones)
        painter.drawLine(at(a), at(b));

    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    for (int i = 0; i < 22; ++i)
        painter.drawEllipse(at(i), 2.0, 2.0);

    if (inRange(landMark_)) {
        const QColor mark(200, 0, 0);
        painter.setBrush(mark);
        painter.drawEllipse(at(landMark_), 3.0, 3.0);
        painter.setPen(QPen(mark, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(at(landMark_), 7.0, 7.0);
    }

    // The subject's sides, as the subject faces us.
    painter.setPen(ink);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.setFont(small);
    const QRectF figure(origin, kFigureFrame * kScale);
    painter.drawText(figure.adjusted(-8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, tr("右"));
    painter.drawText(figure.adjusted(0, 0, 8, 0), Qt::AlignRight | Qt::AlignVCenter, tr("左"));

    painter.setFont(font());
    const QRectF text(4, figure.bottom() + 4, width() - 8, height() - figure.bottom() - 6);
    painter.drawText(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     Caption(landMark_) + QLatin1Char('\n') +
                         tr("front view: the subject's right is on your left"));
}

LandmarkGuideTips::LandmarkGuideTips(QWidget *window) : QObject(window) {
    tip_ = new LandmarkGuide(window);
    tip_->setWindowFlags(Qt::ToolTip);
    tip_->hide();
}

void LandmarkGuideTips::Watch(QWidget *widget, std::function<int16_t()> landMarkOf) {
    watched_[widget] = std::move(landMarkOf);
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this, widget] { watched_.erase(widget); });
}

bool LandmarkGuideTips::eventFilter(QObject *watched, QEvent *event) {
    const auto found = watched_.find(watched);
    if (found == watched_.end()) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int16_t index = found->second();
        if (index < 0 || index > 21) {
            tip_->hide();
            return true;
        }
        tip_->SetLandMark(index);
        tip_->resize(tip_->sizeHint());
        QPoint pos = help->globalPos() + QPoint(16, 16);
        if (const QScreen *screen = QApplication::screenAt(help->globalPos())) {
            const QRect free = screen->availableGeometry();
            if (pos.x() + tip_->width() > free.right()) pos.rx() -= tip_->width() + 32;
            if (pos.y() + tip_->height() > free.bottom()) pos.ry() -= tip_->height() + 32;
        }
        tip_->move(pos);
        tip_->show();
        return true;
    }
    if (event->type() == QEvent::Leave || event->type() == QEvent::MouseButtonPress ||
        event->type() == QEvent::Hide)
        tip_->hide();
    return QObject::eventFilter(watched, event);
}

}  // namespace pondera
