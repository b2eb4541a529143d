#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>
#include <memory>

class QFileDialog;
class QWidget;

namespace pondera {

// Path separator of the names the program builds itself (DEMO folder and pictures).
inline constexpr char kPathSeparator = '/';

// Loads a picture file for the picture area, upright as its EXIF orientation says. An empty name
// is an empty picture; a folder that does not exist is error 76; a missing file or one that is
// not a picture error 75; a picture too large to hold error 7. Raises pondera::Error. A picture
// that decodes only in part (a JPEG cut short) is returned as far as it goes, and incomplete,
// when given, is set.
QImage LoadPicture(const QString &name, bool *incomplete = nullptr);

// The most pixels a picture may have to be decoded, from the memory this machine has free.
qint64 PictureLimitPixels();

// The open-file dialog Load Picture shows, set up but not shown, opening in folder: the
// description of bitmaps and JPEGs, then every picture kind Qt reads here, then all files.
std::unique_ptr<QFileDialog> MakePictureFileDialog(QWidget *owner, const QString &folder);

// The last picture decoded, so showing the same record again (every record display reloads its
// picture) does not decode a phone photo anew while the file is unchanged.
class PictureCache {
  public:
    // LoadPicture, or the picture decoded before when the file has not changed since.
    QImage Load(const QString &name, bool *incomplete = nullptr);

  private:
    QString name_;
    QDateTime modified_;
    qint64 size_ = -1;
    QImage picture_;
    bool incomplete_ = false;
};

// Writes the two demonstration photographs as DEMO/demo001.bmp and DEMO/demo003.bmp under the
// folder (an existing DEMO folder is used). Returns one message per picture that could not be
// written; the records then show without it.
QStringList WriteDemoPictures(const QString &folder);

}  // namespace pondera
