#include "dialogs/FontScale.h"

#include <QFont>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace pondera {

namespace {

constexpr double kDesignedLineHeight = 14.0;

}  // namespace

double FontScale(const QFont &font) {
    return std::max(1.0, QFontMetricsF(font).height() / kDesignedLineHeight);
}

int Scaled(int pixels, double scale) {
    return static_cast<int>(std::lround(pixels * scale));
}

QRect Scaled(const QRect &rect, double scale) {
    return {Scaled(rect.x(), scale), Scaled(rect.y(), scale), Scaled(rect.width(), scale),
            Scaled(rect.height(), scale)};
}

QSize Scaled(const QSize &size, double scale) {
    return {Scaled(size.width(), scale), Scaled(size.height(), scale)};
}

QPoint Scaled(const QPoint &point, double scale) {
    return {Scaled(point.x(), scale), Scaled(point.y(), scale)};
}

}  // namespace pondera
