#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>

namespace pondera {

// A small front view of a body drawn by the program, with the 22 landmarks as dots and one of
// them ringed, and under it the landmark's Japanese and English names and the subject's side.
// The subject faces the viewer, so the subject's right is on the figure's left; the caption
// says so, which is what a 右 in a name means.
class LandmarkGuide : public QWidget {
    Q_OBJECT
  public:
    explicit LandmarkGuide(QWidget *parent = nullptr);

    // The landmark ringed and named (0 to 21); another value shows the figure without a ring.
    void SetLandMark(int16_t index);
    int16_t LandMark() const { return landMark_; }

    // "右足 = right toe tip (subject's right)"; the Japanese name of the landmark set, the English
    // one and the side; empty for an index outside 0 to 21.
    static QString Caption(int16_t index);
    // Where a landmark sits in the figure, in a frame 60 wide and 120 high (y downward).
    static QPointF FigurePoint(int16_t index);
    static constexpr QSizeF kFigureFrame{60, 120};
    // Whether the guide adds a side view of the foot for the landmark (ankles, heels, toe tips).
    static bool HasSideView(int16_t index);

    // Where the guide draws its parts at a given width: the front view, the side view of the
    // foot (empty when the landmark has none) and the caption, as tall as its wrapped text.
    struct Layout {
        QRectF figure;
        QRectF side;
        QRectF text;
    };
    Layout LayoutFor(int width) const;
    // The caption's text: the landmark's names, the front-view line and, for a foot landmark,
    // the side-view line.
    QString Text() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    int16_t landMark_ = -1;
};

// Shows the guide as a tooltip over the widgets it watches: each watched widget names the
// landmark it stands for (a row of the landmark table, or the current landmark for a status
// text), and the figure appears while the pointer rests on it.
class LandmarkGuideTips : public QObject {
    Q_OBJECT
  public:
    explicit LandmarkGuideTips(QWidget *window);

    void Watch(QWidget *widget, std::function<int16_t()> landMarkOf);
    // The tip window, shown or hidden (for tests).
    LandmarkGuide *Tip() const { return tip_; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    LandmarkGuide *tip_ = nullptr;
    std::map<QObject *, std::function<int16_t()>> watched_;
};

}  // namespace pondera
