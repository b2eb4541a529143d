#pragma once

#include <algorithm>

// The picture area and the model frame over it, the one rule the window, the exports and the
// pose detector all place points by.
namespace pondera {

// The designed picture area, which a record without a picture also uses.
inline constexpr int kAreaMinWidth = 641;
inline constexpr int kAreaMinHeight = 481;

// The picture area's size for a picture of width x height pixels (after EXIF orientation): at
// least the designed 641 x 481, else one pixel more than the picture each way, the picture at
// its top-left. Model coordinates are taken over this area (z = area height - picture y), so a
// picture up to 640 x 480 gives exactly the coordinates it always did. No picture: 641 x 481.
struct Frame {
    int width = kAreaMinWidth;
    int height = kAreaMinHeight;
    bool operator==(const Frame &) const = default;
};
constexpr Frame FrameForPicture(int width, int height) {
    return {std::max(kAreaMinWidth, width + 1), std::max(kAreaMinHeight, height + 1)};
}

// Picture y (downward from the top) and model z (upward from the area's bottom) of the same
// point; x is the same in both.
constexpr double ModelZFromPictureY(double pictureY, int areaHeight) {
    return areaHeight - pictureY;
}
constexpr double PictureYFromModelZ(double modelZ, int areaHeight) {
    return areaHeight - modelZ;
}

}  // namespace pondera
