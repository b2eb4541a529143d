#include "report/PdfReport.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include "base/error.h"
#include "base/version.h"
#include "model/BodyFacts.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/EnglishNames.h"
#include "report/AnnotatedPicture.h"
#include "report/AtomicWrite.h"
#include "report/Names.h"
#include "report/ResultTexts.h"

namespace pondera::report {

namespace {

// Device units per millimetre of the page.
struct Page {
    double perMm;
    double mm(double v) const { return v * perMm; }
};

// Latin text and digits in DejaVu Sans, whose PDF embedding keeps every character searchable
// and copyable; Japanese falls back to Noto Sans CJK JP.
QFont reportFont(double pointSize, bool bold = false) {
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK JP")});
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    return f;
}

// A table of name, x, z columns with a heading row; returns the y below it.
double drawTable(QPainter &p, const Page &pg, double left, double top, double width,
                 const QString &title, const QStringList &names, const std::vector<Point> &points) {
    const QFont head = reportFont(8, true), body = reportFont(7.5);
    const double rowH = pg.mm(4.1);
    const double numW = pg.mm(16);
    p.setFont(head);
    QRectF r(left, top, width - 2 * numW, rowH);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, title);
    p.drawText(QRectF(left + width - 2 * numW, top, numW, rowH), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("x"));
    p.drawText(QRectF(left + width - numW, top, numW, rowH), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("z"));
    double y = top + rowH;
    p.setPen(QPen(Qt::black, pg.mm(0.2)));
    p.drawLine(QPointF(left, y), QPointF(left + width, y));
    p.setFont(body);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i % 2 == 1) p.fillRect(QRectF(left, y, width, rowH), QColor(238, 238, 238));
        p.drawText(QRectF(left + pg.mm(1), y, width - 2 * numW, rowH),
                   Qt::AlignLeft | Qt::AlignVCenter, names[i]);
        const Point &pt = points[static_cast<size_t>(i)];
        p.drawText(QRectF(left + width - 2 * numW, y, numW, rowH),
                   Qt::AlignRight | Qt::AlignVCenter, oneDecimal(pt.x));
        p.drawText(QRectF(left + width - numW, y, numW, rowH), Qt::AlignRight | Qt::AlignVCenter,
                   oneDecimal(pt.z));
        y += rowH;
    }
    return y;
}

}  // namespace

void paintReport(QPagedPaintDevice &device, const RecordData &record, const Results &results,
                 const QImage &picture, const QDateTime &when) {
    QPainter p;
    if (!p.begin(&device)) throw Error(kErrFileAccess, "Cannot start the report page");
    const QRect area = p.viewport();
    const QPageLayout layout = device.pageLayout();
    const Page pg{area.width() / layout.paintRect(QPageLayout::Millimeter).width()};
    const double W = area.width();
    double y = 0;

    p.setFont(reportFont(15, true));
    const double titleH = pg.mm(8);
    p.drawText(QRectF(0, y, W, titleH), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Pondera2D · Record %1").arg(record.code));
    p.setFont(reportFont(9));
    p.drawText(QRectF(0, y, W, titleH), Qt::AlignRight | Qt::AlignVCenter,
               when.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    y += titleH + pg.mm(1);

    p.setFont(reportFont(9));
    const QFontMetricsF fm(p.font());
    const QString info =
        QStringLiteral("Sex: %1    Picture: %2")
            .arg(sexText(record.sex), record.pictureName.empty()
                                          ? QStringLiteral("(none)")
                                          : QString::fromStdString(record.pictureName));
    p.drawText(QRectF(0, y, W, fm.height()), Qt::AlignLeft | Qt::TextSingleLine,
               fm.elidedText(info, Qt::ElideMiddle, W));
    y += fm.height();
    const QString memo = QString::fromStdString(record.memo);
    const QRectF memoRect(0, y, W, fm.height() * 3);
    const QRectF memoUsed =
        p.boundingRect(memoRect, Qt::TextWordWrap, QStringLiteral("Memo: ") + memo);
    p.drawText(memoRect, Qt::TextWordWrap, QStringLiteral("Memo: ") + memo);
    y += std::min(memoUsed.height(), memoRect.height()) + pg.mm(2);

    // The picture, as large as fits 120 mm of height and the page's width.
    const QImage annotated = annotatedPicture(record, results, picture);
    QSizeF size = annotated.size();
    size.scale(W, pg.mm(120), Qt::KeepAspectRatio);
    const QRectF pic((W - size.width()) / 2, y, size.width(), size.height());
    // No more pixels than the page shows: a camera picture would make the file large.
    const QSize shown = pic.size().toSize();
    p.drawImage(pic, annotated.width() > shown.width()
                         ? annotated.scaled(shown, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                         : annotated);
    p.setPen(QPen(Qt::black, pg.mm(0.2)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(pic);
    y += size.height() + pg.mm(4);

    // Results.
    p.setFont(reportFont(10, true));
    p.drawText(QRectF(0, y, W, pg.mm(6)), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("重心 Body centre of gravity: ") + cogText(results));
    y += pg.mm(6);
    p.setFont(reportFont(9));
    for (const QString &line :
         {statureText(results.balance), baseText(results), placedText(results.balance)}) {
        p.drawText(QRectF(0, y, W, pg.mm(5)), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += pg.mm(5);
    }
    y += pg.mm(3);

    const ClassLANDMARK landMarks;
    const ClassSEGMENT segments(landMarks);
    QStringList lmNames, segNames;
    for (int16_t i = 0; i < kLandmarkCount; ++i)
        lmNames << QStringLiteral("%1 %2 %3")
                       .arg(i)
                       .arg(QString::fromStdString(landMarks.GetLandMarkName(i)),
                            QString::fromUtf8(LandMarkEnglishName(i)));
    for (int16_t s = 0; s < kSegmentCount; ++s)
        segNames << QStringLiteral("%1 %2 %3")
                        .arg(s)
                        .arg(QString::fromStdString(segments.GetCOGSName(s)),
                             QString::fromUtf8(SegmentEnglishName(s)));
    const double colW = (W - pg.mm(8)) / 2;
    drawTable(p, pg, 0, y, colW, QStringLiteral("Landmarks"), lmNames,
              {record.landmarks.begin(), record.landmarks.end()});
    if (results.computable) {
        drawTable(p, pg, colW + pg.mm(8), y, colW, QStringLiteral("Segment centres of gravity"),
                  segNames, {results.segments.begin(), results.segments.end()});
    } else {
        p.drawText(QRectF(colW + pg.mm(8), y, colW, pg.mm(10)), Qt::TextWordWrap,
                   QStringLiteral("Segment centres of gravity: none, the sex code has no "
                                  "coefficients."));
    }

    // Footer on the last lines of the page: the version on the right, the coefficient source
    // to its left, wrapped onto a second line where it would otherwise run into the version.
    p.setFont(reportFont(8));
    const QString version = QStringLiteral("Pondera2D ") + QString::fromUtf8(kVersionText);
    const QString source =
        QStringLiteral("Segment coefficients: ") + QString::fromUtf8(kCoefficientSource) +
        QStringLiteral(" (15 segments; the body centre is their mass-weighted sum)");
    const double versionW = p.fontMetrics().horizontalAdvance(version);
    const double sourceW = W - versionW - pg.mm(4);
    const QRectF sourceUsed =
        p.boundingRect(QRectF(0, 0, sourceW, area.height()), Qt::TextWordWrap, source);
    const double footH = std::max(pg.mm(5), sourceUsed.height() + pg.mm(1));
    const double footY = area.height() - footH;
    p.setPen(QPen(Qt::black, pg.mm(0.2)));
    p.drawLine(QPointF(0, footY), QPointF(W, footY));
    p.drawText(QRectF(0, footY, sourceW, footH),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, source);
    p.drawText(QRectF(0, footY, W, footH), Qt::AlignRight | Qt::AlignVCenter, version);
    p.end();
}

QByteArray pdfReport(const RecordData &record, const Results &results, const QImage &picture,
                     const QDateTime &when) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Pondera2D record %1").arg(record.code));
        writer.setCreator(QStringLiteral("Pondera2D ") + QString::fromUtf8(kVersionText));
        paintReport(writer, record, results, picture, when);
    }
    buffer.close();
    return bytes;
}

void saveReport(const QString &path, const RecordData &record, const Results &results,
                const QImage &picture, const QDateTime &when) {
    writeFileAtomically(path, pdfReport(record, results, picture, when));
}

}  // namespace pondera::report
