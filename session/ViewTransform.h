#pragma once

#include <cmath>

#include "model/PictureFrame.h"

namespace pondera {

// Frame and FrameForPicture: model/PictureFrame.h.

// Zoom limits, in screen (logical) pixels per picture pixel.
inline constexpr double kMaxZoom = 32.0;
// The zoom that shows the whole area in a view of that logical size: 1 when it fits already
// (a smaller picture is shown 1:1), else the largest that fits, aspect kept.
double FitZoom(const Frame &area, double viewWidth, double viewHeight);
// The zoom kept within [min(fit, 1), kMaxZoom].
double ClampZoom(double zoom, double fitZoom);
// One zoom step in or out (steps of the fourth root of two, so four steps double it).
double StepZoom(double zoom, int steps);

// How the view shows the picture, along one axis and in device pixels: picture pixel i covers
// device pixels [i * scale - offset, (i + 1) * scale - offset), where scale = zoom * device
// pixel ratio and offset is the scroll position in whole device pixels. Everything the view
// draws and every click it reports goes through these functions, so a click lands on the
// picture pixel the screen pixel under it shows, at any zoom and device pixel ratio.
struct Axis {
    double scale = 1.0;
    long offset = 0;

    // The picture pixel shown on device pixel d (the one whose span holds d's centre).
    long PictureAtDevice(long d) const {
        return static_cast<long>(std::floor((static_cast<double>(d) + 0.5 + offset) / scale));
    }
    // The device pixel a position given in logical pixels falls in. Logical positions of events
    // are device positions divided by the ratio; the small bias undoes that division's rounding.
    static long DeviceAt(double logical, double ratio) {
        return static_cast<long>(std::floor(logical * ratio + 1e-6));
    }
    // The device pixel a marker at picture position p is centred on: the middle of p's span.
    long DeviceCentreOf(double p) const {
        return static_cast<long>(std::floor((p + 0.5) * scale - static_cast<double>(offset)));
    }
    // The scroll offset (device pixels) that keeps picture position p under device position d
    // when the scale becomes newScale.
    static long OffsetKeeping(double p, double d, double newScale) {
        return std::lround(p * newScale - d);
    }
};

struct ViewTransform {
    Axis x;
    Axis y;
    double ratio = 1.0;  // device pixels per logical pixel

    static ViewTransform Make(double zoom, double ratio, long offsetX, long offsetY) {
        return {{zoom * ratio, offsetX}, {zoom * ratio, offsetY}, ratio};
    }
    // The picture pixel under a logical position of the view.
    long PictureX(double logicalX) const {
        return x.PictureAtDevice(Axis::DeviceAt(logicalX, ratio));
    }
    long PictureY(double logicalY) const {
        return y.PictureAtDevice(Axis::DeviceAt(logicalY, ratio));
    }
};

}  // namespace pondera
