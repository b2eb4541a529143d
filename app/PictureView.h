#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <optional>
#include <vector>

#include "session/ViewTransform.h"

namespace pondera {

// The picture area: the picture at the top-left of its area (FrameForPicture), shown fitted,
// 1:1 or zoomed, with the landmarks and centres of gravity drawn over it, and a magnifier under
// the pointer. It reports every mouse press with the picture pixel under the pointer, the moves
// of a press held down (a drag) and its release, and the pixel under the pointer.
//
// Zoom: Ctrl+wheel about the pointer, keys + and - about the pointer (or the view's centre),
// 0 or F fits the picture, 1 shows it 1:1. Pan: scroll bars, wheel (vertical), Shift+wheel
// (horizontal), arrow keys and Page Up / Page Down. M switches the magnifier on and off.
// Mouse buttons never pan: every press digitizes.
//
// Markers keep their size in screen pixels at every zoom and are centred on the picture pixel
// they mark. Everything drawn goes through the view transform, in whole device pixels.
class PictureView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // Mouse button codes and modifier codes of mouseDown.
    enum Button : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
    enum Shift : int { kShiftMask = 1, kCtrlMask = 2, kAltMask = 4 };
    // Size of the magnifier in logical pixels, and its screen pixels per picture pixel.
    static constexpr int kLoupeSize = 120;
    static constexpr int kLoupeZoom = 4;

    explicit PictureView(QWidget *parent = nullptr);

    // The area's size in pixels: the scale the conversions use.
    float ScaleWidth() const { return static_cast<float>(area_.width); }
    float ScaleHeight() const { return static_cast<float>(area_.height); }
    Frame Area() const { return area_; }

    // Replaces the picture (a null image gives an empty area); a different picture is fitted.
    // The drawing is kept.
    void SetPicture(const QImage &picture);
    const QImage &Picture() const { return picture_; }

    // Removes the drawing, keeps the picture.
    void Cls();
    // A marker centred on picture position (x, y): an unfilled circle of the radius in screen
    // pixels, with a cross of the same reach when cross is set.
    void Marker(float x, float y, int radius, const QColor &colour, bool cross);
    // A one-pixel line between the centres of two picture positions, beneath every marker.
    void Line(float x1, float y1, float x2, float y2, const QColor &colour);
    QColor ForeColor() const;

    double Zoom() const { return zoom_; }
    bool IsFitted() const { return fitted_; }
    double FitZoomNow() const;
    // Zooms keeping the picture point under anchor (logical viewport position) in place.
    void SetZoom(double zoom, QPointF anchor);
    void Fit();
    void SetMagnifierEnabled(bool on);
    bool MagnifierEnabled() const { return magnifier_; }
    // Where the pointer is, for the magnifier (tests set it; mouse moves set it too).
    void SetHover(std::optional<QPointF> at);
    // The arrow keys without Ctrl nudge (nudged) rather than pan, as digitizing wants them.
    void SetNudgeKeys(bool on) { nudgeKeys_ = on; }

    // The transform at a device pixel ratio, with the current zoom and scroll position.
    ViewTransform Transform(double ratio) const;
    // The viewport as it is shown, in device pixels at the given ratio.
    QImage Render(double ratio) const;
    // The drawing alone at ratio 1 (transparent where nothing is drawn), and everything as shown.
    QImage Overlay() const;
    QImage Composed() const { return Render(1.0); }

  signals:
    // Any button press inside the area, with the picture pixel under the pointer.
    void mouseDown(int button, int shift, float x, float y);
    // A move with the button of a press inside the area still held, to the pixel under the
    // pointer (moves beyond the area are not reported), and the end of that press.
    void dragTo(float x, float y);
    void released();
    // The picture pixel under the pointer; nothing while it is off the area.
    void pointerOver(std::optional<QPoint> pixel);
    // An arrow key with nudge keys on: one pixel, ten with Shift; z upward.
    void nudged(int dx, int dz);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    struct Shape {
        float x, y;
        int radius;
        QColor colour;
        bool cross;
    };
    void buildLevels();
    void updateScrollBars();
    void renderInto(QImage &canvas, double ratio, bool withPicture, bool withLoupe) const;
    void renderPicture(QImage &canvas, const ViewTransform &t) const;
    void renderMarkers(QImage &canvas, const ViewTransform &t) const;
    void renderLoupe(QImage &canvas, double ratio) const;
    QPointF zoomAnchor() const;
    std::optional<QPoint> pixelAt(QPointF position) const;
    void endPress();
    bool nudgeKey(QKeyEvent *event);
    QSize viewSize() const;

    QImage picture_;
    std::vector<QImage> levels_;  // the picture halved again and again, for zoomed-out views
    Frame area_;
    double zoom_ = 1.0;
    bool fitted_ = true;
    bool magnifier_ = true;
    bool nudgeKeys_ = false;
    bool pressed_ = false;  // a press inside the area whose release has not come yet
    std::optional<QPointF> hover_;
    std::vector<Shape> shapes_;
    struct Segment {
        float x1, y1, x2, y2;
        QColor colour;
    };
    std::vector<Segment> lines_;
    QImage canvas_;  // reused by paintEvent
};

}  // namespace pondera
