#pragma once

#include <QImage>
#include <QPointF>
#include <QString>

#include "model/PictureFrame.h"
#include "report/RecordData.h"

class QPainter;

namespace pondera::report {

// The picture area whose lower-left corner is the origin of model coordinates, by the rule of
// model/PictureFrame.h. A model point (x, z) lies on picture pixel (x, area height - z).
inline constexpr int kPictureAreaWidth = kAreaMinWidth;
inline constexpr int kPictureAreaHeight = kAreaMinHeight;
int areaHeightFor(const QSize &pictureSize);  // a null size: no picture, the designed area
QPointF modelToPicture(const Point &p, int areaHeight);

struct OverlayOptions {
    bool baseOfSupport = true;  // the base line on the ground and the COG's vertical projection
    bool legend = true;
};

// The record's picture at its full resolution with the landmarks, the segment and body centres
// of gravity, the base of support and the legend (code, sex, memo, COG, % of stature, the
// coefficient source) drawn over it, their size growing with the picture so they stay readable.
// A null picture gives the bare picture area in white.
QImage annotatedPicture(const RecordData &record, const Results &results, const QImage &picture,
                        const OverlayOptions &options = {});

// The size of the marks on a picture of that size: 1 up to the picture area, then in proportion.
double overlayScale(const QSize &pictureSize);

// Writes the image as JPEG when the name ends in .jpg or .jpeg, else as PNG, atomically;
// Error(kErrFileAccess) with the reason on failure.
void saveAnnotatedPicture(const QString &path, const QImage &image);

}  // namespace pondera::report
