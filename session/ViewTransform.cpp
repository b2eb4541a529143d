#include "session/ViewTransform.h"

#include <algorithm>

namespace pondera {

double FitZoom(const Frame &area, double viewWidth, double viewHeight) {
    if (viewWidth <= 0 || viewHeight <= 0) return 1.0;
    return std::min({1.0, viewWidth / area.width, viewHeight / area.height});
}

double ClampZoom(double zoom, double fitZoom) {
    return std::clamp(zoom, std::min(fitZoom, 1.0), kMaxZoom);
}

double StepZoom(double zoom, int steps) {
    // Steps land on powers of the step from 1, so zooming in and out returns to 1:1 exactly.
    const double step = std::pow(2.0, 0.25);
    const double level = std::round(std::log(zoom) / std::log(step) * 1e6) / 1e6;
    const double next = steps > 0 ? std::floor(level) + steps : std::ceil(level) + steps;
    return std::pow(step, next);
}

}  // namespace pondera
