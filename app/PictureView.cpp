#include "app/PictureView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace pondera {

namespace {

// The picture halved: each pixel the mean of a 2 x 2 block, a quarter of the work of a general
// smooth scaling and as good for halving.
QImage halve(const QImage &source) {
    const int w = source.width() / 2;
    const int h = source.height() / 2;
    QImage out(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const auto *a = reinterpret_cast<const QRgb *>(source.constScanLine(2 * y));
        const auto *b = reinterpret_cast<const QRgb *>(source.constScanLine(2 * y + 1));
        auto *o = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = a[2 * x], q = a[2 * x + 1], r = b[2 * x], s = b[2 * x + 1];
            o[x] = qRgb((qRed(p) + qRed(q) + qRed(r) + qRed(s) + 2) / 4,
                        (qGreen(p) + qGreen(q) + qGreen(r) + qGreen(s) + 2) / 4,
                        (qBlue(p) + qBlue(q) + qBlue(r) + qBlue(s) + 2) / 4);
        }
    }
    return out;
}

}  // namespace

PictureView::PictureView(QWidget *parent) : QAbstractScrollArea(parent) {
    setFrameStyle(QFrame::NoFrame);
    setCursor(Qt::CrossCursor);
    viewport()->setCursor(Qt::CrossCursor);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Background: the window background colour; drawing colour: the window text colour.
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

void PictureView::SetPicture(const QImage &picture) {
    const bool same = !picture_.isNull() && picture.cacheKey() == picture_.cacheKey();
    if (!same) {
        picture_ = (picture.isNull() || picture.format() == QImage::Format_RGB32)
                       ? picture
                       : picture.convertToFormat(QImage::Format_RGB32);
        area_ = picture_.isNull() ? Frame{} : FrameForPicture(picture_.width(), picture_.height());
        buildLevels();
        Fit();
    }
    viewport()->update();
}

void PictureView::buildLevels() {
    levels_.clear();
    if (picture_.isNull()) return;
    levels_.push_back(picture_);
    while (levels_.back().width() >= 512 && levels_.back().height() >= 512)
        levels_.push_back(halve(levels_.back()));
}

void PictureView::Cls() {
    shapes_.clear();
    lines_.clear();
    viewport()->update();
}

void PictureView::Marker(float x, float y, int radius, const QColor &colour, bool cross) {
    shapes_.push_back({x, y, radius, colour, cross});
    viewport()->update();
}

void PictureView::Line(float x1, float y1, float x2, float y2, const QColor &colour) {
    lines_.push_back({x1, y1, x2, y2, colour});
    viewport()->update();
}

QColor PictureView::ForeColor() const {
    return palette().color(QPalette::Text);
}

double PictureView::FitZoomNow() const {
    const QSize view = maximumViewportSize();
    return FitZoom(area_, view.width(), view.height());
}

void PictureView::Fit() {
    zoom_ = FitZoomNow();
    fitted_ = true;
    updateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void PictureView::SetZoom(double zoom, QPointF anchor) {
    const double fit = FitZoomNow();
    zoom = ClampZoom(zoom, fit);
    const double ratio = devicePixelRatioF();
    const ViewTransform before = Transform(ratio);
    // The picture position under the anchor's device pixel centre, kept there.
    const double dx = std::floor(anchor.x() * ratio) + 0.5;
    const double dy = std::floor(anchor.y() * ratio) + 0.5;
    const double px = (dx + before.x.offset) / before.x.scale;
    const double py = (dy + before.y.offset) / before.y.scale;
    zoom_ = zoom;
    fitted_ = zoom == fit;
    updateScrollBars();
    const long ox = Axis::OffsetKeeping(px, dx, zoom * ratio);
    const long oy = Axis::OffsetKeeping(py, dy, zoom * ratio);
    horizontalScrollBar()->setValue(static_cast<int>(std::lround(ox / ratio)));
    verticalScrollBar()->setValue(static_cast<int>(std::lround(oy / ratio)));
    viewport()->update();
}

void PictureView::SetMagnifierEnabled(bool on) {
    magnifier_ = on;
    viewport()->update();
}

void PictureView::SetHover(std::optional<QPointF> at) {
    hover_ = at;
    if (magnifier_) viewport()->update();
}

void PictureView::updateScrollBars() {
    const QSize view = viewSize();
    const int contentW = static_cast<int>(std::ceil(area_.width * zoom_));
    const int contentH = static_cast<int>(std::ceil(area_.height * zoom_));
    horizontalScrollBar()->setRange(0, std::max(0, contentW - view.width()));
    verticalScrollBar()->setRange(0, std::max(0, contentH - view.height()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setPageStep(view.height());
}

ViewTransform PictureView::Transform(double ratio) const {
    return ViewTransform::Make(zoom_, ratio, std::lround(horizontalScrollBar()->value() * ratio),
                               std::lround(verticalScrollBar()->value() * ratio));
}

QImage PictureView::Render(double ratio) const {
    QImage canvas;
    renderInto(canvas, ratio, true, true);
    return canvas;
}

QImage PictureView::Overlay() const {
    QImage canvas(viewSize(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    renderMarkers(canvas, Transform(1.0));
    return canvas;
}

void PictureView::renderInto(QImage &canvas, double ratio, bool withPicture, bool withLoupe) const {
    const QSize size(static_cast<int>(std::ceil(viewSize().width() * ratio)),
                     static_cast<int>(std::ceil(viewSize().height() * ratio)));
    if (canvas.size() != size || canvas.format() != QImage::Format_RGB32)
        canvas = QImage(size, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(1.0);
    const ViewTransform t = Transform(ratio);
    if (withPicture) renderPicture(canvas, t);
    renderMarkers(canvas, t);
    if (withLoupe) renderLoupe(canvas, ratio);
}

void PictureView::renderPicture(QImage &canvas, const ViewTransform &t) const {
    const QColor outside = palette().color(QPalette::Mid);
    const QColor inside = palette().color(QPalette::Base);
    canvas.fill(outside);
    const auto spanEnd = [](const Axis &a, int n) {  // first device pixel past n picture pixels
        return static_cast<long>(std::ceil(n * a.scale - 0.5 - a.offset));
    };
    const QRect areaRect(QPoint(static_cast<int>(-t.x.offset), static_cast<int>(-t.y.offset)),
                         QPoint(static_cast<int>(spanEnd(t.x, area_.width) - 1),
                                static_cast<int>(spanEnd(t.y, area_.height) - 1)));
    {
        QPainter painter(&canvas);
        painter.fillRect(areaRect.intersected(canvas.rect()), inside);
    }
    if (picture_.isNull()) return;
    if (t.x.scale < 1.0) {
        // Zoomed out: the smallest halving still at least as large as shown, smoothed.
        size_t level = 0;
        while (level + 1 < levels_.size() && std::pow(0.5, double(level + 1)) >= t.x.scale)
            ++level;
        const QImage &source = levels_[level];
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(-t.x.offset, -t.y.offset, picture_.width() * t.x.scale,
                                 picture_.height() * t.y.scale),
                          source);
        return;
    }
    // 1:1 and zoomed in: every device pixel shows exactly the picture pixel the transform names.
    const int w = canvas.width();
    std::vector<int> column(static_cast<size_t>(w), -1);
    int first = w, last = -1;
    for (int d = 0; d < w; ++d) {
        const long c = t.x.PictureAtDevice(d);
        if (c < 0 || c >= picture_.width()) continue;
        column[d] = static_cast<int>(c);
        first = std::min(first, d);
        last = d;
    }
    if (last < first) return;
    long previous = -1;
    for (int y = 0; y < canvas.height(); ++y) {
        const long r = t.y.PictureAtDevice(y);
        if (r < 0 || r >= picture_.height()) continue;
        auto *out = reinterpret_cast<QRgb *>(canvas.scanLine(y));
        if (r == previous) {
            std::memcpy(out + first,
                        reinterpret_cast<const QRgb *>(canvas.constScanLine(y - 1)) + first,
                        sizeof(QRgb) * static_cast<size_t>(last - first + 1));
            continue;
        }
        const auto *in =
            reinterpret_cast<const QRgb *>(picture_.constScanLine(static_cast<int>(r)));
        for (int d = first; d <= last; ++d)
            out[d] = in[column[d]];
        previous = r;
    }
}

void PictureView::renderMarkers(QImage &canvas, const ViewTransform &t) const {
    if (shapes_.empty() && lines_.empty()) return;
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    for (const Segment &l : lines_) {
        painter.setPen(QPen(l.colour, 1));
        painter.drawLine(QPointF(t.x.DeviceCentreOf(l.x1), t.y.DeviceCentreOf(l.y1)),
                         QPointF(t.x.DeviceCentreOf(l.x2), t.y.DeviceCentreOf(l.y2)));
    }
    for (const Shape &s : shapes_) {
        const double cx = static_cast<double>(t.x.DeviceCentreOf(s.x));
        const double cy = static_cast<double>(t.y.DeviceCentreOf(s.y));
        const double r = std::max(1L, std::lround(s.radius * t.ratio));
        painter.setPen(QPen(s.colour, 1));
        painter.drawEllipse(QPointF(cx, cy), r, r);
        if (!s.cross) continue;
        painter.drawLine(QPointF(cx - r, cy), QPointF(cx + r, cy));
        painter.drawLine(QPointF(cx, cy - r), QPointF(cx, cy + r));
    }
}

void PictureView::renderLoupe(QImage &canvas, double ratio) const {
    if (!magnifier_ || !hover_ || picture_.isNull() || zoom_ >= kLoupeZoom) return;
    const ViewTransform t = Transform(ratio);
    const long px = t.PictureX(hover_->x());
    const long py = t.PictureY(hover_->y());
    if (px < 0 || py < 0 || px >= area_.width || py >= area_.height) return;
    const int size = static_cast<int>(std::lround(kLoupeSize * ratio));
    const int gap = static_cast<int>(std::lround(16 * ratio));
    const long hx = Axis::DeviceAt(hover_->x(), ratio);
    const long hy = Axis::DeviceAt(hover_->y(), ratio);
    // Below right of the pointer, or on the other side where it would leave the view.
    long left = hx + gap, top = hy + gap;
    if (left + size > canvas.width()) left = hx - gap - size;
    if (top + size > canvas.height()) top = hy - gap - size;
    left = std::max(0L, left);
    top = std::max(0L, top);

    const double scale = kLoupeZoom * ratio;
    ViewTransform local{{scale, 0}, {scale, 0}, ratio};
    local.x.offset = std::lround((px + 0.5) * scale - size / 2.0);
    local.y.offset = std::lround((py + 0.5) * scale - size / 2.0);
    QImage loupe(size, size, QImage::Format_RGB32);
    renderPicture(loupe, local);
    renderMarkers(loupe, local);

    QPainter painter(&canvas);
    painter.drawImage(QPoint(static_cast<int>(left), static_cast<int>(top)), loupe);
    painter.translate(static_cast<double>(left), static_cast<double>(top));
    // A square around the picture pixel under the pointer, lines from it to the edges.
    const double x0 = px * scale - local.x.offset - 1, x1 = (px + 1) * scale - local.x.offset;
    const double y0 = py * scale - local.y.offset - 1, y1 = (py + 1) * scale - local.y.offset;
    painter.setPen(QPen(QColor(255, 0, 0), 1));
    painter.drawRect(QRectF(x0, y0, x1 - x0, y1 - y0));
    const double mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
    painter.drawLine(QPointF(0, my), QPointF(x0 - 2, my));
    painter.drawLine(QPointF(x1 + 2, my), QPointF(size, my));
    painter.drawLine(QPointF(mx, 0), QPointF(mx, y0 - 2));
    painter.drawLine(QPointF(mx, y1 + 2), QPointF(mx, size));
    painter.setPen(QPen(palette().color(QPalette::Text), 1));
    painter.drawRect(QRect(0, 0, size - 1, size - 1));
}

void PictureView::paintEvent(QPaintEvent *) {
    const double ratio = viewport()->devicePixelRatioF();
    renderInto(canvas_, ratio, true, true);
    canvas_.setDevicePixelRatio(ratio);
    QPainter painter(viewport());
    painter.drawImage(QPointF(0, 0), canvas_);
}

std::optional<QPoint> PictureView::pixelAt(QPointF position) const {
    const ViewTransform t = Transform(viewport()->devicePixelRatioF());
    const long px = t.PictureX(position.x());
    const long py = t.PictureY(position.y());
    if (px < 0 || py < 0 || px >= area_.width || py >= area_.height) return std::nullopt;
    return QPoint(static_cast<int>(px), static_cast<int>(py));
}

void PictureView::mousePressEvent(QMouseEvent *event) {
    event->accept();
    setFocus(Qt::MouseFocusReason);
    // Beyond the area (grey) there is nothing to digitize.
    const std::optional<QPoint> pixel = pixelAt(event->position());
    if (!pixel) return;
    const long px = pixel->x(), py = pixel->y();
    int button = 0;
    switch (event->button()) {
        case Qt::LeftButton:
            button = kLeftButton;
            break;
        case Qt::RightButton:
            button = kRightButton;
            break;
        case Qt::MiddleButton:
            button = kMiddleButton;
            break;
        default:
            break;
    }
    int shift = 0;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers & Qt::ShiftModifier) shift |= kShiftMask;
    if (modifiers & Qt::ControlModifier) shift |= kCtrlMask;
    if (modifiers & Qt::AltModifier) shift |= kAltMask;
    pressed_ = true;
    emit mouseDown(button, shift, static_cast<float>(px), static_cast<float>(py));
}

void PictureView::mouseMoveEvent(QMouseEvent *event) {
    SetHover(event->position());
    const std::optional<QPoint> pixel = pixelAt(event->position());
    emit pointerOver(pixel);
    if (!pressed_) return;
    if (event->buttons() == Qt::NoButton)
        endPress();  // a release another window took ends the press as well
    else if (pixel)
        emit dragTo(static_cast<float>(pixel->x()), static_cast<float>(pixel->y()));
}

void PictureView::mouseReleaseEvent(QMouseEvent *event) {
    if (pressed_ && event->buttons() == Qt::NoButton) endPress();
}

void PictureView::endPress() {
    pressed_ = false;
    emit released();
}

bool PictureView::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::Leave) {
        SetHover(std::nullopt);
        emit pointerOver(std::nullopt);
    }
    return QAbstractScrollArea::viewportEvent(event);
}

bool PictureView::event(QEvent *event) {
    // A press sent to the view itself rather than its viewport (the viewport fills the view from
    // its top-left corner, so positions are the same) digitizes too.
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            mousePressEvent(static_cast<QMouseEvent *>(event));
            return true;
        case QEvent::MouseMove:
            mouseMoveEvent(static_cast<QMouseEvent *>(event));
            return true;
        case QEvent::MouseButtonRelease:
            mouseReleaseEvent(static_cast<QMouseEvent *>(event));
            return true;
        default:
            break;
    }
    return QAbstractScrollArea::event(event);
}

QSize PictureView::viewSize() const {
    // A view not yet shown has not laid out its viewport; it will fill the view.
    return isVisible() ? viewport()->size() : maximumViewportSize();
}

QPointF PictureView::zoomAnchor() const {
    if (hover_) return *hover_;
    return QPointF(viewSize().width() / 2.0, viewSize().height() / 2.0);
}

void PictureView::wheelEvent(QWheelEvent *event) {
    const QPoint delta = event->angleDelta();
    const int amount = delta.y() != 0 ? delta.y() : delta.x();
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = amount / 120 != 0 ? amount / 120 : (amount > 0 ? 1 : -1);
        if (amount != 0) SetZoom(StepZoom(zoom_, steps), event->position());
    } else if (event->modifiers() & Qt::ShiftModifier) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - amount / 2);
    } else {
        verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y() / 2);
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x() / 2);
    }
    event->accept();
}

bool PictureView::nudgeKey(QKeyEvent *event) {
    if (!nudgeKeys_ || event->modifiers() & Qt::ControlModifier) return false;  // Ctrl pans
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    switch (event->key()) {
        case Qt::Key_Left:
            emit nudged(-step, 0);
            return true;
        case Qt::Key_Right:
            emit nudged(step, 0);
            return true;
        case Qt::Key_Up:
            emit nudged(0, step);
            return true;
        case Qt::Key_Down:
            emit nudged(0, -step);
            return true;
        default:
            return false;
    }
}

void PictureView::keyPressEvent(QKeyEvent *event) {
    if (nudgeKey(event)) {
        event->accept();
        return;
    }
    QScrollBar *h = horizontalScrollBar();
    QScrollBar *v = verticalScrollBar();
    const int stepX = std::max(1, viewSize().width() / 10);
    const int stepY = std::max(1, viewSize().height() / 10);
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            SetZoom(StepZoom(zoom_, 1), zoomAnchor());
            break;
        case Qt::Key_Minus:
            SetZoom(StepZoom(zoom_, -1), zoomAnchor());
            break;
        case Qt::Key_0:
        case Qt::Key_F:
            Fit();
            break;
        case Qt::Key_1:
            SetZoom(1.0, zoomAnchor());
            break;
        case Qt::Key_M:
            SetMagnifierEnabled(!magnifier_);
            break;
        case Qt::Key_Left:
            h->setValue(h->value() - stepX);
            break;
        case Qt::Key_Right:
            h->setValue(h->value() + stepX);
            break;
        case Qt::Key_Up:
            v->setValue(v->value() - stepY);
            break;
        case Qt::Key_Down:
            v->setValue(v->value() + stepY);
            break;
        case Qt::Key_PageUp:
            v->setValue(v->value() - v->pageStep());
            break;
        case Qt::Key_PageDown:
            v->setValue(v->value() + v->pageStep());
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void PictureView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    if (fitted_) {
        zoom_ = FitZoomNow();
    } else {
        zoom_ = ClampZoom(zoom_, FitZoomNow());
    }
    updateScrollBars();
}

void PictureView::scrollContentsBy(int, int) {
    viewport()->update();
}

}  // namespace pondera
