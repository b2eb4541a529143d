// pondera2d-icon-render SVG OUTDIR SIZE...: renders the application icon into
// OUTDIR/<SIZE>x<SIZE>/apps/<name of SVG>.png for each size, the hicolor theme's layout.
// Runs at build time, so the PNGs always follow the SVG.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: pondera2d-icon-render SVG OUTDIR SIZE...\n");
        return 2;
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "pondera2d-icon-render: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString name = QFileInfo(svg).completeBaseName() + QStringLiteral(".png");
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "pondera2d-icon-render: bad size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString dir =
            QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("%1x%1/apps").arg(size));
        if (!QDir().mkpath(dir) || !image.save(QDir(dir).filePath(name))) {
            std::fprintf(stderr, "pondera2d-icon-render: cannot write into %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
