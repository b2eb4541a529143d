#pragma once

// Painter for the two demonstration photographs: a person standing in a plain room, drawn so that
// every joint sits exactly on the landmark position the demonstration records hold for it.

#include <QImage>
#include <QPointF>

#include "model/demo_landmarks.h"

namespace pondera::demo {

inline constexpr int kPictureWidth = 640;
inline constexpr int kPictureHeight = 480;
// The picture area the landmarks were digitized in is one pixel taller than the photograph, and
// model z counts upward from its bottom edge.
inline constexpr int kPictureAreaHeight = 481;

// Model (x, z) to picture (x, y): y runs downward from the top edge.
QPointF toPicture(const DemoPoint &p);

// Everything of the finished picture but the person and the sensor grain: the room (wall, window,
// door, skirting, floor) with the shadows the person of `set` throws on the wall and the floor.
QImage renderBackground(const DemoLandmarkSet &set);

// The finished 640 x 480 photograph of the person whose landmarks are `set`.
QImage renderPicture(const DemoLandmarkSet &set);

}  // namespace pondera::demo
