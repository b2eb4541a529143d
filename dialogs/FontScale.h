#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QFont;

namespace pondera {

// How much the windows' designed geometry grows for a font. The layouts are designed in twips,
// 15 to a pixel, for a font whose line is 14 pixels high; with a larger font the pixels per twip
// grow in proportion to its line height (as twip layouts did on systems set to large fonts), so
// no text is ever cut. 1 for the designed font or a smaller one.
double FontScale(const QFont &font);

// A geometry designed at 15 twips a pixel, at the given scale.
QRect Scaled(const QRect &rect, double scale);
QSize Scaled(const QSize &size, double scale);
QPoint Scaled(const QPoint &point, double scale);
int Scaled(int pixels, double scale);

}  // namespace pondera
