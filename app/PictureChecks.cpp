#include "app/PictureChecks.h"

#include <QtEndian>
#include <cstdlib>

namespace pondera {

QSize BitmapHeaderSize(const QByteArray &head) {
    if (head.size() < 26 || !head.startsWith("BM")) return {};
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    const quint32 header = qFromLittleEndian<quint32>(p + 14);
    if (header == 12)  // the core header: 16-bit sizes
        return {qFromLittleEndian<quint16>(p + 18), qFromLittleEndian<quint16>(p + 20)};
    if (header < 40) return {};
    const qint32 width = qFromLittleEndian<qint32>(p + 18);
    const qint32 height = qFromLittleEndian<qint32>(p + 22);  // negative: rows top down
    if (width <= 0 || height == 0 || height == INT32_MIN) return {};
    return {width, std::abs(height)};
}

bool JpegIsComplete(const QByteArray &bytes) {
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) return false;
    qsizetype at = 2;
    while (at < n) {
        if (p[at] != 0xFF) return false;
        while (at < n && p[at] == 0xFF)  // fill bytes
            ++at;
        if (at >= n) return false;
        const uchar marker = p[at++];
        if (marker == 0xD9) return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (at + 2 > n) return false;
        const qsizetype length = qFromBigEndian<quint16>(p + at);
        if (length < 2) return false;
        at += length;
        if (marker != 0xDA) continue;
        // Entropy-coded data after a scan header: a 0xFF in it is followed by a stuffed zero
        // or a restart marker; anything else is the next marker.
        while (at + 1 < n &&
               !(p[at] == 0xFF && p[at + 1] != 0x00 && !(p[at + 1] >= 0xD0 && p[at + 1] <= 0xD7)))
            ++at;
        if (at + 1 >= n) return false;
    }
    return false;
}

}  // namespace pondera
