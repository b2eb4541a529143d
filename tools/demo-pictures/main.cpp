// Writes the two demonstration photographs: demo001.jpg (landmark set A) and demo003.jpg (set B)
// into the folder given as the only argument, by default the current directory.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <cstdio>

#include "model/demo_landmarks.h"
#include "tools/demo-pictures/demo_scene.h"

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QDir out(args.size() > 1 ? args.at(1) : QStringLiteral("."));
    struct Job {
        const char *name;
        const pondera::DemoLandmarkSet *set;
    };
    for (const Job &job :
         {Job{"demo001.jpg", &pondera::kDemoSetA}, Job{"demo003.jpg", &pondera::kDemoSetB}}) {
        const QString path = out.filePath(QString::fromLatin1(job.name));
        QImageWriter writer(path, "jpeg");
        writer.setQuality(90);
        if (!writer.write(pondera::demo::renderPicture(*job.set))) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
            return 1;
        }
        std::printf("%s: %lld bytes\n", qPrintable(path),
                    static_cast<long long>(QFileInfo(path).size()));
    }
    return 0;
}
