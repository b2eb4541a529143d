#include "report/AnnotatedPicture.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

#include "base/error.h"
#include "report/AtomicWrite.h"
#include "report/ResultTexts.h"

namespace pondera::report {

namespace {

const QColor kMagenta(128, 0, 128);
const QColor kBaseColour(0, 140, 60);

// A pen line with a light halo under it, so it reads on dark and light parts of a photograph.
void haloLine(QPainter &p, const QPointF &a, const QPointF &b, const QColor &colour, double w,
              Qt::PenStyle style = Qt::SolidLine) {
    p.setPen(QPen(QColor(255, 255, 255, 200), w * 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
    p.setPen(QPen(colour, w, style, Qt::RoundCap));
    p.drawLine(a, b);
}

void haloCircle(QPainter &p, const QPointF &c, double r, const QColor &colour, double w) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 200), w * 2.5));
    p.drawEllipse(c, r, r);
    p.setPen(QPen(colour, w));
    p.drawEllipse(c, r, r);
}

QStringList legendLines(const RecordData &record, const Results &results) {
    QStringList lines;
    lines << QStringLiteral("Code %1 · %2").arg(record.code).arg(sexText(record.sex));
    const QString memo = QString::fromStdString(record.memo).simplified();
    if (!memo.isEmpty()) lines << memo;
    lines << cogText(results) << statureText(results.balance) << baseText(results.balance)
          << placedText(results.balance) << sourceText();
    return lines;
}

}  // namespace

int areaHeightFor(const QSize &pictureSize) {
    return FrameForPicture(pictureSize.width(), pictureSize.height()).height;
}

QPointF modelToPicture(const Point &p, int areaHeight) {
    return {p.x, PictureYFromModelZ(p.z, areaHeight)};
}

double overlayScale(const QSize &size) {
    const double s = std::min(size.width() / double(kPictureAreaWidth),
                              size.height() / double(kPictureAreaHeight));
    return std::max(1.0, s);
}

QImage annotatedPicture(const RecordData &record, const Results &results, const QImage &picture,
                        const OverlayOptions &options) {
    QImage out;
    if (picture.isNull()) {
        out = QImage(kPictureAreaWidth, kPictureAreaHeight, QImage::Format_RGB32);
        out.fill(Qt::white);
    } else {
        out = picture.convertToFormat(QImage::Format_RGB32);
    }
    const double s = overlayScale(out.size());
    const int areaHeight = areaHeightFor(picture.size());
    const auto at = [areaHeight](const Point &pt) { return modelToPicture(pt, areaHeight); };
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);

    const BalanceFigures &f = results.balance;
    if (options.baseOfSupport && f.hasBase) {
        const QPointF left = at({float(f.baseLeftX), float(f.groundZ)});
        const QPointF right = at({float(f.baseRightX), float(f.groundZ)});
        haloLine(p, left, right, kBaseColour, 2 * s);
        if (results.computable) {
            const QPointF cog = at(results.body);
            const QPointF foot(cog.x(), left.y());
            haloLine(p, cog, foot, kBaseColour, 1.5 * s, Qt::DashLine);
            haloCircle(p, foot, 2.5 * s, kBaseColour, 1.5 * s);
        }
    }
    for (const Point &lm : record.landmarks)
        haloCircle(p, at(lm), 4 * s, Qt::black, s);
    if (results.computable) {
        for (const Point &seg : results.segments) {
            const QPointF c = at(seg);
            p.setPen(Qt::NoPen);
            p.setBrush(kMagenta);
            p.drawEllipse(c, 2 * s, 2 * s);
        }
        const QPointF c = at(results.body);
        haloCircle(p, c, 8 * s, kMagenta, 1.5 * s);
        haloLine(p, c - QPointF(12 * s, 0), c + QPointF(12 * s, 0), kMagenta, 1.5 * s);
        haloLine(p, c - QPointF(0, 12 * s), c + QPointF(0, 12 * s), kMagenta, 1.5 * s);
        // A solid centre, so the exact pixel of the centre of gravity is marked.
        p.setPen(Qt::NoPen);
        p.setBrush(kMagenta);
        p.drawEllipse(c, 2 * s, 2 * s);
    }

    if (options.legend) {
        QFont font(QStringLiteral("Noto Sans CJK JP"));
        font.setPixelSize(std::max(11, int(12 * s)));
        p.setFont(font);
        const QFontMetricsF fm(font);
        const QStringList lines = legendLines(record, results);
        double w = 0;
        const double maxW = out.width() * 0.6;
        for (const QString &l : lines)
            w = std::max(w, fm.horizontalAdvance(l));
        w = std::min(w, maxW);
        const double pad = 6 * s, lineH = fm.lineSpacing();
        const QSizeF box(w + 2 * pad, lines.size() * lineH + 2 * pad);
        // The corner that covers the fewest marks of the body.
        const std::array<QPointF, 4> corners{
            QPointF(pad, pad), QPointF(out.width() - box.width() - pad, pad),
            QPointF(pad, out.height() - box.height() - pad),
            QPointF(out.width() - box.width() - pad, out.height() - box.height() - pad)};
        QRectF best;
        int bestCovered = INT32_MAX;
        for (const QPointF &corner : corners) {
            const QRectF r(corner, box);
            int covered = 0;
            for (const Point &lm : record.landmarks)
                covered += r.contains(at(lm));
            covered += results.computable && r.contains(at(results.body)) ? 100 : 0;
            if (covered < bestCovered) {
                bestCovered = covered;
                best = r;
            }
        }
        p.setPen(QPen(QColor(80, 80, 80), 1));
        p.setBrush(QColor(255, 255, 255, 215));
        p.drawRect(best);
        p.setPen(Qt::black);
        double y = best.top() + pad + fm.ascent();
        for (const QString &l : lines) {
            p.drawText(QPointF(best.left() + pad, y), fm.elidedText(l, Qt::ElideRight, w));
            y += lineH;
        }
    }
    p.end();
    return out;
}

void saveAnnotatedPicture(const QString &path, const QImage &image) {
    const QString lower = path.toLower();
    const bool jpeg =
        lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg"));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, jpeg ? "JPG" : "PNG", jpeg ? 92 : -1))
        throw Error(kErrFileAccess,
                    "Cannot encode the picture as " + std::string(jpeg ? "JPEG" : "PNG"));
    writeFileAtomically(path, bytes);
}

}  // namespace pondera::report
