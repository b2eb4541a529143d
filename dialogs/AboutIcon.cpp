#include "dialogs/AboutIcon.h"

#include <QImage>
#include <QPainter>

namespace pondera {

QPixmap AboutIconPixmap() {
    // Only palette colours and no smoothing, so the picture stays a crisp 16-colour icon.
    const QColor navy(0, 0, 128), skin(255, 255, 0), red(255, 0, 0), white(255, 255, 255),
        black(0, 0, 0), grey(128, 128, 128);
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);

    // Ground line.
    p.fillRect(3, 30, 26, 1, grey);
    // Head.
    p.setPen(black);
    p.setBrush(skin);
    p.drawEllipse(13, 1, 6, 6);
    // Trunk, arms spread a little, legs apart.
    p.setPen(QPen(navy, 2));
    p.drawLine(16, 9, 16, 19);
    p.drawLine(16, 10, 9, 16);
    p.drawLine(16, 10, 23, 16);
    p.drawLine(16, 19, 11, 29);
    p.drawLine(16, 19, 21, 29);

    // Centre-of-gravity mark: a circle in quarters, two of them filled, over the waist.
    const QRect mark(12, 13, 8, 8);
    p.setPen(black);
    p.setBrush(white);
    p.drawEllipse(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawPie(mark, 0 * 16, 90 * 16);
    p.drawPie(mark, 180 * 16, 90 * 16);
    p.setPen(black);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(mark);
    p.end();
    return QPixmap::fromImage(image);
}

}  // namespace pondera
