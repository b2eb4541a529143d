#pragma once

#include <QByteArray>
#include <QSize>

// What the program finds out about a picture file itself where Qt's readers say too little.
namespace pondera {

// The size a bitmap's header gives (BM, then a core or an info header), also where Qt's reader
// declines to say it (a 30,000 x 30,000 bitmap); invalid for anything else.
QSize BitmapHeaderSize(const QByteArray &head);

// Whether a JPEG's data run to the end-of-image marker. Qt decodes a file cut short without
// complaint, showing its first part over grey; the marker tells a whole file from a cut one.
// Segments are followed by their lengths, so the markers inside an embedded thumbnail count
// for nothing.
bool JpegIsComplete(const QByteArray &bytes);

}  // namespace pondera
