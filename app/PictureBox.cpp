#include "app/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace pondera {

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) {
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Background: the window background colour; drawing colour: the window text colour.
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
}

void PictureBox::SetPicture(const QImage &picture) {
    picture_ = picture;
    update();
}

void PictureBox::Cls() {
    fitOverlay();
    overlay_.fill(Qt::transparent);
    update();
}

void PictureBox::Circle(float x, float y, float radius, const QColor &colour) {
    fitOverlay();
    QPainter painter(&overlay_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(x, y), radius, radius);
    update();
}

void PictureBox::Line(float x1, float y1, float x2, float y2, const QColor &colour) {
    fitOverlay();
    QPainter painter(&overlay_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colour, 1));
    painter.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    update();
}

QColor PictureBox::ForeColor() const {
    return palette().color(QPalette::Text);
}

QImage PictureBox::Composed() const {
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    paintAll(painter);
    return image;
}

void PictureBox::paintAll(QPainter &painter) const {
    painter.fillRect(QRect(QPoint(0, 0), size()), palette().color(QPalette::Base));
    if (!picture_.isNull()) painter.drawImage(QPoint(0, 0), picture_);
    if (overlay_.size() == size()) painter.drawImage(QPoint(0, 0), overlay_);
}

void PictureBox::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    paintAll(painter);
}

void PictureBox::mousePressEvent(QMouseEvent *event) {
    int button = 0;
    switch (event->button()) {
        case Qt::LeftButton:
            button = kLeftButton;
            break;
        case Qt::RightButton:
            button = kRightButton;
            break;
        case Qt::MiddleButton:
            button = kMiddleButton;
            break;
        default:
            break;
    }
    int shift = 0;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers & Qt::ShiftModifier) shift |= kShiftMask;
    if (modifiers & Qt::ControlModifier) shift |= kCtrlMask;
    if (modifiers & Qt::AltModifier) shift |= kAltMask;
    const QPointF at = event->position();
    event->accept();
    emit mouseDown(button, shift, static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void PictureBox::fitOverlay() {
    if (overlay_.size() == size()) return;
    // The drawing keeps what fits; a new size starts from a transparent image.
    QImage resized(size(), QImage::Format_ARGB32_Premultiplied);
    resized.fill(Qt::transparent);
    if (!overlay_.isNull()) {
        QPainter painter(&resized);
        painter.drawImage(QPoint(0, 0), overlay_);
    }
    overlay_ = resized;
}

}  // namespace pondera
