#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>
#include <cstdio>
#include <span>

#include "base/error.h"
#include "store/platform/files.h"
#include "video/VideoFile.h"

namespace pondera::video {

namespace {

struct NameParts {
    std::string folder;  // with its trailing separator, empty for the current one
    std::string stem;    // the file name without its last extension
};

NameParts partsOf(const std::string &videoPath) {
    const size_t slash = videoPath.rfind(store::kDirSeparator);
    NameParts parts;
    parts.folder = slash == std::string::npos ? "" : videoPath.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? videoPath : videoPath.substr(slash + 1);
    const size_t dot = name.rfind('.');
    parts.stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    return parts;
}

}  // namespace

std::string framesFolder(const std::string &videoPath) {
    const NameParts parts = partsOf(videoPath);
    return parts.folder + parts.stem + "_frames";
}

std::string frameFilePath(const std::string &videoPath, int64_t index) {
    char number[32];
    std::snprintf(number, sizeof number, "%06lld", static_cast<long long>(index));
    return framesFolder(videoPath) + store::kDirSeparator + partsOf(videoPath).stem + "_" + number +
           ".png";
}

std::string writeFrameImage(const std::string &videoPath, int64_t index, const QImage &image) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image))
            throw Error(kErrInternal, "Cannot encode frame " + std::to_string(index) +
                                          " as PNG: " + writer.errorString().toStdString() + ".");
    }
    const std::string folder = framesFolder(videoPath);
    const std::string path = frameFilePath(videoPath, index);
    const bool made = store::createFolder(folder);
    try {
        store::replaceAtomically(path, path,
                                 std::span(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                           static_cast<size_t>(bytes.size())),
                                 {});
    } catch (...) {
        if (made) store::removeEmptyFolder(folder);
        throw;
    }
    return path;
}

std::string writeFrame(VideoFile &video, int64_t index) {
    return writeFrameImage(video.path(), index, video.frame(index));
}

}  // namespace pondera::video
