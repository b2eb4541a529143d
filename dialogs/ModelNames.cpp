#include "dialogs/ModelNames.h"

#include <QCoreApplication>

namespace pondera {

namespace {

// The names the body model uses, listed so the translation tools find them; the model itself
// stays free of any interface library.
[[maybe_unused]] constexpr struct {
    const char *source, *comment;
} kNames[] = {
    // Landmarks, and the caption of the body result.
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "重心", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "頭頂", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "顎", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "胸骨", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "恥骨", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右肩関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右肘関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右手関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右指", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左肩関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左肘関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左手関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左指", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右股関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右膝関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右足関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右踵", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右足", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左股関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左膝関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左足関節", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左踵", "landmark"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左足", "landmark"),
    // Segments, and the parts without a side the coefficient table lists.
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "頭", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "頸", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "体幹", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右上腕", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右前腕", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右手", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左上腕", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左前腕", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左手", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右大腿", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右下腿", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "右足", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左大腿", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左下腿", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "左足", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "上腕", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "前腕", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "手", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "大腿", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "下腿", "segment"),
    QT_TRANSLATE_NOOP3("pondera::ModelNames", "足", "segment"),
};

}  // namespace

QString LandMarkNameText(const std::string &name) {
    return QCoreApplication::translate("pondera::ModelNames", name.c_str(), "landmark");
}

QString SegmentNameText(const std::string &name) {
    return QCoreApplication::translate("pondera::ModelNames", name.c_str(), "segment");
}

}  // namespace pondera
