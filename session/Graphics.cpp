#include "session/Graphics.h"

#include <cmath>
#include <limits>

#include "base/error.h"

namespace pondera {

namespace {

// Single-precision difference that refuses to become infinite: a picture size and a click
// position are finite, so an infinite result can only come from overflowing the float range.
float difference(float a, float b) {
    const float result = a - b;
    if (std::isinf(result) && std::isfinite(a) && std::isfinite(b))
        throw Error(kErrOverflow, "Overflow: picture/model coordinate difference");
    return result;
}

}  // namespace

float PicToModelX(const float &sngPicX, const int32_t &) {
    return sngPicX;
}

float PicToModelZ(const float &sngPicY, const int32_t &lngPicHeight) {
    return difference(static_cast<float>(lngPicHeight), sngPicY);
}

float ModelToPicX(const float &sngModelX, const float &) {
    return sngModelX;
}

float ModelToPicY(const float &sngModelZ, const float &sngPicHeight) {
    return difference(sngPicHeight, sngModelZ);
}

int32_t RoundScale(float sngScale) {
    // nearbyint follows the current rounding mode; the program never changes it from
    // round-to-nearest-even, which is the rounding the conversions are defined with.
    const double rounded = std::nearbyint(static_cast<double>(sngScale));
    if (!(rounded >= std::numeric_limits<int32_t>::min() &&
          rounded <= std::numeric_limits<int32_t>::max()))
        throw Error(kErrOverflow, "Overflow: picture scale size does not fit 32 bits");
    return static_cast<int32_t>(rounded);
}

}  // namespace pondera
