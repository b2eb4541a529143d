#pragma once

#include <cstdint>

namespace pondera {

// Conversions between picture coordinates (pixels of the picture area, origin top-left, y down)
// and model coordinates (origin bottom-left, z up). The picture-to-model pair takes the area's
// size already rounded to whole pixels (RoundScale); the model-to-picture pair takes it as is.
// An overflow of a subtraction raises error 6, as every other arithmetic overflow does.

float PicToModelX(const float &sngPicX, const int32_t &lngPicWidth);
float PicToModelZ(const float &sngPicY, const int32_t &lngPicHeight);
float ModelToPicX(const float &sngModelX, const float &sngPicWidth);
float ModelToPicY(const float &sngModelZ, const float &sngPicHeight);

// A scale size rounded to the nearest whole number, ties to even (640.5 gives 640).
int32_t RoundScale(float sngScale);

}  // namespace pondera
