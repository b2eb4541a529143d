#include "app/PictureFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <array>

#include "app/PictureChecks.h"
#include "model/error.h"

namespace pondera {

namespace {

// Decoding needs the picture once in memory and once more for the view's working copies.
constexpr qint64 kBytesPerPixel = 4;
constexpr qint64 kMaxPixels = 200'000'000;

qint64 availableMemoryBytes() {
    QFile info(QStringLiteral("/proc/meminfo"));
    if (!info.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : info.readAll().split('\n')) {
        if (!line.startsWith("MemAvailable:")) continue;
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() >= 2) return parts[1].toLongLong() * 1024;
    }
    return -1;
}

// Creates a folder; error 75 when it exists or cannot be made.
void makeFolder(const QString &path) {
    if (QFileInfo::exists(path)) throw Error(kErrFileAccess, "Exists: " + path.toStdString());
    if (!QDir().mkdir(path)) throw Error(kErrFileAccess, "Cannot create " + path.toStdString());
}

// Writes a photograph held in the resources as a 640 x 480, 24-bit bitmap file.
void saveBitmap(const QString &resource, const QString &path) {
    QImage picture(resource);
    if (picture.isNull()) throw Error(kErrFileAccess, "Missing resource " + resource.toStdString());
    if (picture.size() != QSize(640, 480))
        picture = picture.scaled(640, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture = picture.convertToFormat(QImage::Format_RGB888);
    if (!picture.save(path, "BMP"))
        throw Error(kErrFileAccess, "Cannot write " + path.toStdString());
}

}  // namespace

qint64 PictureLimitPixels() {
    const qint64 available = availableMemoryBytes();
    if (available <= 0) return kMaxPixels / 2;
    return std::min(kMaxPixels, available / (2 * kBytesPerPixel));
}

QImage LoadPicture(const QString &name, bool *incomplete) {
    if (name.isEmpty()) return {};
    const QFileInfo info(name);
    if (!info.absoluteDir().exists())
        throw Error(kErrPathNotFound, "Path not found: " + name.toStdString());
    if (!info.exists()) throw Error(kErrFileAccess, "File not found: " + name.toStdString());
    // A folder or a FIFO is no picture, and reading a FIFO would wait for a writer.
    if (!info.isFile())
        throw Error(kErrFileAccess,
                    "Not a picture file (a folder or a special file): " + name.toStdString());
    QImageReader reader(name);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const qint64 limit = PictureLimitPixels();
    QSize size = reader.size();
    if (!size.isValid()) {
        QFile head(name);
        if (head.open(QIODevice::ReadOnly)) size = BitmapHeaderSize(head.read(64));
    }
    if (size.isValid() && qint64(size.width()) * size.height() > limit)
        throw Error(kErrOutOfMemory, "Picture too large: " + name.toStdString() + " has " +
                                         std::to_string(size.width()) + " x " +
                                         std::to_string(size.height()) + " pixels, more than the " +
                                         std::to_string(limit / 1'000'000) +
                                         " megapixels this computer can hold");
    // Qt refuses pictures above 256 MB by default; the limit above is the one that counts.
    QImageReader::setAllocationLimit(static_cast<int>(limit * kBytesPerPixel / (1024 * 1024)) + 64);
    const QByteArray format = reader.format();  // the reader forgets it once it has read
    QImage picture = reader.read();
    if (picture.isNull())
        throw Error(kErrFileAccess, "Cannot read picture " + name.toStdString() + ": " +
                                        reader.errorString().toStdString());
    if (incomplete) {
        QFile file(name);
        *incomplete =
            format == "jpeg" && file.open(QIODevice::ReadOnly) && !JpegIsComplete(file.readAll());
    }
    return picture;
}

std::unique_ptr<QFileDialog> MakePictureFileDialog(QWidget *owner, const QString &folder) {
    auto dialog = std::make_unique<QFileDialog>(
        owner, QCoreApplication::translate("pondera::PictureFiles", "画像ファイルを選択"), folder);
    // The same dialog everywhere, so the filters behave alike on every desktop.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    // Show the descriptions only; the patterns behind the first also take .jpeg, in any case.
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    dialog->setNameFilters(
        {QCoreApplication::translate("pondera::PictureFiles",
                                     "画像ファイル(*.bmp,*.jpg) (*.bmp *.jpg *.jpeg)"),
         QCoreApplication::translate("pondera::PictureFiles", "すべての画像 (%1)")
             .arg(patterns.join(QLatin1Char(' '))),
         QCoreApplication::translate("pondera::PictureFiles", "すべてのファイル (*)")});
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setWindowModality(Qt::WindowModal);
    return dialog;
}

QImage PictureCache::Load(const QString &name, bool *incomplete) {
    if (incomplete) *incomplete = false;
    if (name.isEmpty()) return {};
    const QFileInfo info(name);
    if (!picture_.isNull() && name == name_ && info.isFile() && info.size() == size_ &&
        info.lastModified() == modified_) {
        if (incomplete) *incomplete = incomplete_;
        return picture_;
    }
    picture_ = QImage();  // the old picture's memory is free before the new one is decoded
    QImage picture = LoadPicture(name, &incomplete_);
    if (incomplete) *incomplete = incomplete_;
    name_ = name;
    size_ = info.size();
    modified_ = info.lastModified();
    picture_ = picture;
    return picture;
}

QStringList WriteDemoPictures(const QString &folder) {
    const QString demo = folder + QLatin1Char(kPathSeparator) + QStringLiteral("DEMO");
    try {
        makeFolder(demo);
    } catch (const Error &e) {
        if (e.number() != kErrFileAccess) throw;  // an existing folder is used as it is
    }
    const std::array<std::pair<const char *, const char *>, 2> pictures{
        {{":/demo/demo001.jpg", "demo001.bmp"}, {":/demo/demo003.jpg", "demo003.bmp"}}};
    QStringList failures;
    for (const auto &[resource, file] : pictures) {
        const QString path = demo + QLatin1Char(kPathSeparator) + QString::fromUtf8(file);
        try {
            saveBitmap(QString::fromUtf8(resource), path);
        } catch (const Error &e) {
            failures << QCoreApplication::translate(
                            "pondera::PictureFiles",
                            "エラー番号 %1\nデモ画像 %2 を書き込めませんでした。"
                            "デモの記録は画像なしで表示されます。\n(%3)")
                            .arg(e.number())
                            .arg(path, QString::fromStdString(e.what()));
        }
    }
    return failures;
}

}  // namespace pondera
