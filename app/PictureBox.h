#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace pondera {

// The picture area: a picture shown unscaled from the top-left corner with a drawing over it.
// The drawing lives in a backing image of the area's size, so it survives every repaint (a
// modal window closing over it, the window being uncovered) until the next Cls. Shapes are
// one pixel wide and drawn without antialiasing, so each lands on whole pixels the user can
// compare with the photograph.
class PictureBox : public QWidget {
    Q_OBJECT
  public:
    // Mouse button codes and modifier codes of mouseDown.
    enum Button : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
    enum Shift : int { kShiftMask = 1, kCtrlMask = 2, kAltMask = 4 };

    explicit PictureBox(QWidget *parent = nullptr);

    // Inner size in pixels (the area has no border): the scale the conversions use.
    float ScaleWidth() const { return static_cast<float>(width()); }
    float ScaleHeight() const { return static_cast<float>(height()); }

    // Replaces the picture (a null image gives an empty area). The drawing is kept.
    void SetPicture(const QImage &picture);
    const QImage &Picture() const { return picture_; }

    // Removes the drawing, keeps the picture.
    void Cls();
    // Unfilled circle around (x, y) and a line from (x1, y1) to (x2, y2), both one pixel wide.
    void Circle(float x, float y, float radius, const QColor &colour);
    void Line(float x1, float y1, float x2, float y2, const QColor &colour);
    QColor ForeColor() const;

    // The drawing alone (transparent where nothing is drawn), and everything as shown.
    const QImage &Overlay() {
        fitOverlay();
        return overlay_;
    }
    QImage Composed() const;

  signals:
    // Any button press, with the position in picture pixels as floats.
    void mouseDown(int button, int shift, float x, float y);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

  private:
    void paintAll(QPainter &painter) const;
    void fitOverlay();

    QImage picture_;
    QImage overlay_;
};

}  // namespace pondera
