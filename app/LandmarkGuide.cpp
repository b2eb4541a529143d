#include "app/LandmarkGuide.h"

#include <QApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
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
constexpr double kMargin = 8;

// Side view of a foot, toes to the right, 44 x 36 units (y downward): the front view cannot
// show a heel behind the ankle or a toe tip in front of it, so the foot landmarks get this
// profile beside the figure.
constexpr QSizeF kSideFrame{44, 36};
constexpr QPointF kSideAnkle{14, 20};
constexpr QPointF kSideHeel{5, 30};
constexpr QPointF kSideToe{40, 31};
// The outline of the lower leg and foot in that view: down the back of the shank, round the
// heel, along the sole to the toe tip, back over the instep and up the front of the shank.
constexpr std::array<QPointF, 9> kSideFoot{{
    {9, 0},
    {9, 20},
    {3, 27},
    {5, 33},
    {41, 33},
    {40, 28},
    {24, 22},
    {19, 16},
    {19, 0},
}};

bool inRange(int16_t index) {
    return index >= 0 && index <= 21;
}

// Where the foot landmark sits in the side view; nothing for the landmarks it does not show.
std::optional<QPointF> sidePoint(int16_t index) {
    switch (index) {
        case 14:
        case 19:
            return kSideAnkle;
        case 15:
        case 20:
            return kSideHeel;
        case 16:
        case 21:
            return kSideToe;
        default:
            return std::nullopt;
    }
}

void drawMark(QPainter &painter, QPointF at) {
    const QColor mark(200, 0, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(mark);
    painter.drawEllipse(at, 3.0, 3.0);
    painter.setPen(QPen(mark, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(at, 7.0, 7.0);
}

constexpr int kTextFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

}  // namespace

LandmarkGuide::LandmarkGuide(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LandmarkGuide"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LandmarkGuide::SetLandMark(int16_t index) {
    if (landMark_ == index) return;
    landMark_ = index;
    updateGeometry();
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

bool LandmarkGuide::HasSideView(int16_t index) {
    return sidePoint(index).has_value();
}

QString LandmarkGuide::Text() const {
    QString text =
        Caption(landMark_) + QLatin1Char('\n') + tr("正面から見た図：被験者の右はあなたの左側です");
    if (HasSideView(landMark_))
        text += QLatin1Char('\n') + tr("右の図：足を横から見たところ（つま先が右）");
    return text;
}

LandmarkGuide::Layout LandmarkGuide::LayoutFor(int width) const {
    Layout layout;
    const QSizeF figure = kFigureFrame * kScale;
    const QSizeF side = HasSideView(landMark_) ? kSideFrame * kScale : QSizeF();
    const double gap = side.isEmpty() ? 0 : kMargin;
    const double drawingWidth = figure.width() + gap + side.width();
    const double left = (width - drawingWidth) / 2.0;
    layout.figure = QRectF(QPointF(left, kMargin), figure);
    if (!side.isEmpty())
        layout.side = QRectF(
            QPointF(layout.figure.right() + gap, layout.figure.bottom() - side.height()), side);
    // The caption wraps to the widget's width and takes as many lines as its text needs, at
    // whatever font the guide has.
    const int textWidth = std::max(1, width - 8);
    const QRect needed =
        fontMetrics().boundingRect(QRect(0, 0, textWidth, 100000), kTextFlags, Text());
    layout.text = QRectF(4, layout.figure.bottom() + 4, textWidth, needed.height());
    return layout;
}

QSize LandmarkGuide::sizeHint() const {
    const double drawing = kFigureFrame.width() * kScale +
                           (HasSideView(landMark_) ? kMargin + kSideFrame.width() * kScale : 0);
    // As wide as the drawing or the longest caption line (the widest landmark's), whichever is
    // wider, up to twice the drawing; longer lines wrap and the height grows with them.
    int widest = 0;
    for (int16_t i = 0; i < 22; ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(Caption(i)));
    const int width =
        static_cast<int>(std::min(std::max(drawing, double(widest)), 2 * drawing) + 2 * kMargin);
    const Layout layout = LayoutFor(width);
    return {width, static_cast<int>(std::ceil(layout.text.bottom() + 6))};
}

void LandmarkGuide::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    painter.setRenderHint(QPainter::Antialiasing, true);
    const Layout layout = LayoutFor(width());
    const QPointF origin = layout.figure.topLeft();
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
    if (inRange(landMark_)) drawMark(painter, at(landMark_));

    if (const auto inSide = sidePoint(landMark_)) {
        const QPointF sideOrigin = layout.side.topLeft();
        const auto sideAt = [&](QPointF p) { return sideOrigin + p * kScale; };
        QPolygonF outline;
        for (const QPointF &p : kSideFoot)
            outline << sideAt(p);
        painter.setPen(QPen(body, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(outline);
        painter.setPen(Qt::NoPen);
        painter.setBrush(body);
        for (const QPointF &p : {kSideAnkle, kSideHeel, kSideToe})
            painter.drawEllipse(sideAt(p), 2.0, 2.0);
        drawMark(painter, sideAt(*inSide));
    }

    // The subject's sides, as the subject faces us.
    painter.setPen(ink);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.setFont(small);
    painter.drawText(layout.figure.adjusted(-8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     tr("右"));
    painter.drawText(layout.figure.adjusted(0, 0, 8, 0), Qt::AlignRight | Qt::AlignVCenter,
                     tr("左"));

    painter.setFont(font());
    painter.drawText(layout.text, kTextFlags, Text());
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
