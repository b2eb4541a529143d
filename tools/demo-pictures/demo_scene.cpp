#include "tools/demo-pictures/demo_scene.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace pondera::demo {

namespace {

// Room layout in picture pixels.
constexpr double kSkirtingTop = 364;  // top edge of the skirting board
constexpr double kFloorTop = 380;     // where the wall meets the floor
constexpr double kPi = 3.14159265358979323846;

// Unit vector from the person toward the window at the upper left: the lit side of every rounded
// shape faces this way.
const QPointF kToLight{-0.78, -0.62};

double length(QPointF v) {
    return std::hypot(v.x(), v.y());
}
QPointF unit(QPointF v) {
    const double l = length(v);
    return l > 1e-9 ? v / l : QPointF(0, -1);
}
QPointF perp(QPointF v) {
    return {-v.y(), v.x()};
}
double dot(QPointF a, QPointF b) {
    return a.x() * b.x() + a.y() * b.y();
}
QPointF lerp(QPointF a, QPointF b, double t) {
    return a + (b - a) * t;
}

QColor mix(const QColor &a, const QColor &b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t),
                            static_cast<float>(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QColor withAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

// Lit, mid and shadow colour of one material.
struct Tone {
    QColor light, base, dark;
};
const Tone kSkin{{247, 208, 180}, {226, 170, 136}, {160, 106, 80}};
const Tone kShirt{{96, 150, 200}, {54, 104, 156}, {26, 58, 98}};
const Tone kShorts{{96, 98, 110}, {58, 60, 70}, {28, 29, 35}};
const Tone kHair{{98, 72, 54}, {56, 39, 29}, {26, 18, 14}};
const Tone kShoe{{252, 252, 252}, {228, 229, 232}, {156, 158, 168}};
const QColor kSole{64, 64, 70};

// Everything of a person that the drawing needs, in picture pixels. Index 0 of the paired joints
// is the person's right side (landmarks 4-7, 12-16), index 1 the left side (8-11, 17-21).
struct Body {
    QPointF vertex, chin, sternum, pubis;
    std::array<QPointF, 2> shoulder, elbow, wrist, finger, hip, knee, ankle, heel, toe;
    double cm = 1;  // pixels per centimetre of the person, from the shoulder span
    QPointF up;     // trunk axis toward the head
    QPointF side;   // across the trunk, from the right toward the left shoulder
};

Body bodyOf(const DemoLandmarkSet &set) {
    const auto at = [&set](int i) { return toPicture(set[static_cast<std::size_t>(i)]); };
    Body b;
    b.vertex = at(0);
    b.chin = at(1);
    b.sternum = at(2);
    b.pubis = at(3);
    for (int s = 0; s < 2; ++s) {
        const int arm = 4 + 4 * s;
        const int leg = 12 + 5 * s;
        const auto k = static_cast<std::size_t>(s);
        b.shoulder[k] = at(arm);
        b.elbow[k] = at(arm + 1);
        b.wrist[k] = at(arm + 2);
        b.finger[k] = at(arm + 3);
        b.hip[k] = at(leg);
        b.knee[k] = at(leg + 1);
        b.ankle[k] = at(leg + 2);
        b.heel[k] = at(leg + 3);
        b.toe[k] = at(leg + 4);
    }
    // An adult's shoulder joints are about 38 cm apart.
    b.cm = length(b.shoulder[1] - b.shoulder[0]) / 38.0;
    const QPointF midShoulder = lerp(b.shoulder[0], b.shoulder[1], 0.5);
    const QPointF midHip = lerp(b.hip[0], b.hip[1], 0.5);
    b.up = unit(midShoulder - midHip);
    b.side = perp(b.up);
    if (dot(b.side, b.shoulder[1] - b.shoulder[0]) < 0) b.side = -b.side;
    return b;
}

// A limb segment: two discs joined by their outer tangents.
QPainterPath capsule(QPointF a, QPointF b, double ra, double rb) {
    QPainterPath first;
    first.addEllipse(a, ra, ra);
    QPainterPath second;
    second.addEllipse(b, rb, rb);
    const double dist = length(b - a);
    if (dist <= std::abs(ra - rb) + 1e-6) return ra >= rb ? first : second;
    const QPointF u = (b - a) / dist;
    const QPointF n = perp(u);
    const double k = (ra - rb) / dist;
    const double s = std::sqrt(1 - k * k);
    const QPointF m1 = u * k + n * s;
    const QPointF m2 = u * k - n * s;
    QPainterPath band;
    band.addPolygon(QPolygonF({a + m1 * ra, b + m1 * rb, b + m2 * rb, a + m2 * ra}));
    band.closeSubpath();
    return first.united(second).united(band);
}

// A smooth closed outline through the given points (Catmull-Rom turned into cubic curves).
QPainterPath smoothClosed(const std::vector<QPointF> &p) {
    QPainterPath path;
    const std::size_t n = p.size();
    path.moveTo(p[0]);
    for (std::size_t i = 0; i < n; ++i) {
        const QPointF &p0 = p[(i + n - 1) % n];
        const QPointF &p1 = p[i];
        const QPointF &p2 = p[(i + 1) % n];
        const QPointF &p3 = p[(i + 2) % n];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    path.closeSubpath();
    return path;
}

// The half plane on the `toward` side of the line through `at` perpendicular to `toward`.
QPainterPath halfPlane(QPointF at, QPointF toward) {
    const QPointF u = unit(toward);
    const QPointF s = perp(u) * 2000.0;
    QPainterPath path;
    path.addPolygon(QPolygonF({at + s, at + s + u * 2000.0, at - s + u * 2000.0, at - s}));
    path.closeSubpath();
    return path;
}

// Shading across a rounded part whose axis runs from a to b: lit on the side facing the window.
QBrush roundShade(const Tone &t, QPointF a, QPointF b, double radius) {
    const QPointF mid = lerp(a, b, 0.5);
    QPointF n = perp(unit(b - a));
    if (dot(n, kToLight) < 0) n = -n;
    QLinearGradient g(mid + n * radius, mid - n * radius);
    g.setColorAt(0.0, t.light);
    g.setColorAt(0.3, t.base);
    g.setColorAt(0.75, mix(t.base, t.dark, 0.6));
    g.setColorAt(1.0, t.dark);
    return g;
}

void fillShape(QPainter &p, const QPainterPath &path, const QBrush &brush, const Tone &t) {
    p.setPen(QPen(withAlpha(t.dark.darker(140), 150), 0.9));
    p.setBrush(brush);
    p.drawPath(path);
}

// The outline of a shape whose far end must cover `tip` with a few pixels to spare, so that the
// landmark on a finger tip, toe or heel lies on the person rather than on the edge.
constexpr double kTipMargin = 3.0;
QPointF insetTip(QPointF tip, QPointF from, double radius) {
    const double inset = std::max(0.0, radius - kTipMargin);
    const double room = length(tip - from) / 2.0;
    return tip - unit(tip - from) * std::min(inset, room);
}

// --- Room ---------------------------------------------------------------------------------------

void paintWall(QPainter &p) {
    QLinearGradient wall(0, 0, kPictureWidth, 0);
    wall.setColorAt(0.0, QColor(216, 220, 210));
    wall.setColorAt(1.0, QColor(182, 187, 180));
    p.fillRect(QRectF(0, 0, kPictureWidth, kFloorTop), wall);

    // Daylight from the window brightens the wall around it.
    QRadialGradient glow(QPointF(112, 170), 340);
    glow.setColorAt(0.0, QColor(255, 250, 236, 80));
    glow.setColorAt(1.0, QColor(255, 250, 236, 0));
    p.fillRect(QRectF(0, 0, kPictureWidth, kFloorTop), glow);

    // The ceiling corner is darker.
    QLinearGradient top(0, 0, 0, 140);
    top.setColorAt(0.0, QColor(40, 40, 50, 46));
    top.setColorAt(1.0, QColor(40, 40, 50, 0));
    p.fillRect(QRectF(0, 0, kPictureWidth, 140), top);
}

void paintWindow(QPainter &p) {
    const QRectF frame(46, 62, 132, 202);
    // Recess shadow on the wall, then the frame and the glass.
    p.fillRect(frame.translated(4, 4), QColor(120, 124, 120, 60));
    p.fillRect(frame, QColor(240, 240, 236));
    const QRectF glass = frame.adjusted(9, 9, -9, -9);
    QLinearGradient sky(glass.topLeft(), glass.bottomLeft());
    sky.setColorAt(0.0, QColor(178, 206, 232));
    sky.setColorAt(0.7, QColor(214, 230, 240));
    sky.setColorAt(1.0, QColor(226, 236, 236));
    p.fillRect(glass, sky);
    // Treetops outside, seen through the lower panes.
    p.save();
    p.setClipRect(glass);
    p.setPen(Qt::NoPen);
    const std::array<std::array<double, 3>, 6> trees{{{70, 246, 26},
                                                      {98, 236, 22},
                                                      {124, 250, 28},
                                                      {152, 240, 20},
                                                      {170, 252, 22},
                                                      {84, 258, 24}}};
    for (const auto &t : trees) {
        QRadialGradient leaf(QPointF(t[0], t[1]), t[2]);
        leaf.setColorAt(0.0, QColor(104, 140, 96, 190));
        leaf.setColorAt(1.0, QColor(124, 160, 110, 0));
        p.setBrush(leaf);
        p.drawEllipse(QPointF(t[0], t[1]), t[2], t[2]);
    }
    p.restore();
    // Sashes and the sill.
    p.fillRect(QRectF(frame.center().x() - 3, frame.top(), 6, frame.height()),
               QColor(238, 238, 234));
    p.fillRect(QRectF(frame.left(), frame.top() + 92, frame.width(), 6), QColor(238, 238, 234));
    p.setPen(QPen(QColor(170, 172, 168), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(glass);
    p.fillRect(QRectF(frame.left() - 10, frame.bottom(), frame.width() + 20, 9),
               QColor(244, 244, 240));
    p.fillRect(QRectF(frame.left() - 10, frame.bottom() + 9, frame.width() + 20, 4),
               QColor(150, 152, 148, 90));
}

void paintDoor(QPainter &p) {
    const QRectF casing(466, 92, 124, kFloorTop - 92);
    p.fillRect(casing.translated(3, 0), QColor(130, 134, 130, 50));
    p.fillRect(casing, QColor(236, 236, 232));
    const QRectF leaf = casing.adjusted(9, 9, -9, 0);
    QLinearGradient g(leaf.topLeft(), leaf.topRight());
    g.setColorAt(0.0, QColor(226, 229, 232));
    g.setColorAt(1.0, QColor(206, 210, 214));
    p.fillRect(leaf, g);
    p.setPen(QPen(QColor(160, 162, 160), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(leaf);
    // Two recessed panels: dark edge at the top left, bright edge at the bottom right.
    for (const QRectF &panel :
         {QRectF(leaf.left() + 14, leaf.top() + 16, leaf.width() - 28, 104),
          QRectF(leaf.left() + 14, leaf.top() + 146, leaf.width() - 28, leaf.height() - 166)}) {
        p.setPen(QPen(QColor(168, 172, 176), 2));
        p.drawLine(panel.topLeft(), panel.topRight());
        p.drawLine(panel.topLeft(), panel.bottomLeft());
        p.setPen(QPen(QColor(244, 246, 248), 2));
        p.drawLine(panel.bottomLeft(), panel.bottomRight());
        p.drawLine(panel.topRight(), panel.bottomRight());
    }
    // Lever handle on the left of the leaf.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 122, 128));
    p.drawEllipse(QPointF(leaf.left() + 12, 246), 5, 5);
    QLinearGradient metal(0, 243, 0, 249);
    metal.setColorAt(0.0, QColor(200, 202, 208));
    metal.setColorAt(1.0, QColor(96, 98, 104));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(leaf.left() + 9, 243, 26, 6), 3, 3);
    // Light switch beside the door.
    p.fillRect(QRectF(444, 214, 14, 22).translated(2, 2), QColor(110, 114, 110, 70));
    p.fillRect(QRectF(444, 214, 14, 22), QColor(240, 240, 236));
    p.fillRect(QRectF(448, 220, 6, 10), QColor(222, 222, 218));
}

void paintSkirtingAndFloor(QPainter &p) {
    // Floor boards running away from the camera toward a vanishing point high above the picture.
    QLinearGradient wood(0, kFloorTop, 0, kPictureHeight);
    wood.setColorAt(0.0, QColor(142, 104, 72));
    wood.setColorAt(1.0, QColor(178, 136, 96));
    p.fillRect(QRectF(0, kFloorTop, kPictureWidth, kPictureHeight - kFloorTop), wood);
    const QPointF vanish(320, -900);
    const auto atY = [&vanish](double bottomX, double y) {
        const double t = (y - vanish.y()) / (kPictureHeight - vanish.y());
        return QPointF(vanish.x() + (bottomX - vanish.x()) * t, y);
    };
    constexpr double kBoard = 64;
    std::mt19937 boards(17);
    for (int k = -8; k < 20; ++k) {
        const double x0 = -300 + k * kBoard;
        const double x1 = x0 + kBoard;
        QPolygonF quad({atY(x0, kFloorTop), atY(x1, kFloorTop), atY(x1, kPictureHeight),
                        atY(x0, kPictureHeight)});
        const int tint = static_cast<int>(boards() % 21) - 10;
        const QColor c = tint >= 0 ? QColor(255, 230, 200, tint * 3) : QColor(40, 20, 0, -tint * 3);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPolygon(quad);
        p.setPen(QPen(QColor(96, 66, 44, 150), 1));
        p.drawLine(atY(x0, kFloorTop), atY(x0, kPictureHeight));
        // One butt joint per board, at a random depth.
        const double y = kFloorTop + 8 + static_cast<double>(boards() % 90);
        p.setPen(QPen(QColor(96, 66, 44, 110), 1));
        p.drawLine(atY(x0, y), atY(x1, y));
    }
    // Soft reflection of the window on the boards.
    QRadialGradient sheen(QPointF(130, 420), 110);
    sheen.setColorAt(0.0, QColor(255, 244, 226, 60));
    sheen.setColorAt(1.0, QColor(255, 244, 226, 0));
    p.fillRect(QRectF(0, kFloorTop, kPictureWidth, kPictureHeight - kFloorTop), sheen);

    // Skirting board; the door casing is painted over it.
    const QRectF skirting(0, kSkirtingTop, kPictureWidth, kFloorTop - kSkirtingTop);
    QLinearGradient board(skirting.topLeft(), skirting.bottomLeft());
    board.setColorAt(0.0, QColor(250, 250, 246));
    board.setColorAt(1.0, QColor(222, 222, 216));
    p.fillRect(skirting, board);
    p.fillRect(QRectF(0, kSkirtingTop - 2, kPictureWidth, 2), QColor(150, 150, 146, 90));
    p.fillRect(QRectF(0, kFloorTop, kPictureWidth, 2), QColor(70, 50, 34, 120));
}

void paintVignette(QPainter &p) {
    QRadialGradient v(QPointF(320, 240), 430);
    v.setColorAt(0.55, QColor(0, 0, 0, 0));
    v.setColorAt(1.0, QColor(0, 0, 0, 70));
    p.fillRect(QRectF(0, 0, kPictureWidth, kPictureHeight), v);
}

// --- Person -------------------------------------------------------------------------------------

// One rounded part of a limb with its own shading.
struct Part {
    QPainterPath path;
    QBrush brush;
};

// A limb made of several parts: the outline goes round the whole limb, so the joints where the
// parts overlap show no seam.
void paintParts(QPainter &p, const std::vector<Part> &parts, const Tone &t) {
    QPainterPath whole;
    for (const Part &part : parts)
        whole = whole.united(part.path);
    p.setPen(QPen(withAlpha(t.dark.darker(140), 150), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(whole);
    p.setPen(Qt::NoPen);
    for (const Part &part : parts) {
        p.setBrush(part.brush);
        p.drawPath(part.path);
    }
}

void paintLeg(QPainter &p, const Body &b, std::size_t s) {
    const double cm = b.cm;
    const QPointF calf = lerp(b.knee[s], b.ankle[s], 0.3);
    const QPainterPath lower = capsule(b.knee[s], calf, 5.4 * cm, 6.3 * cm)
                                   .united(capsule(calf, b.ankle[s], 6.3 * cm, 3.6 * cm));
    const QPainterPath thigh = capsule(b.hip[s], b.knee[s], 9.0 * cm, 5.6 * cm);
    paintParts(p,
               {{lower, roundShade(kSkin, b.knee[s], b.ankle[s], 6.3 * cm)},
                {thigh, roundShade(kSkin, b.hip[s], b.knee[s], 9.0 * cm)}},
               kSkin);
    // Kneecap.
    const QPointF kneecap = b.knee[s] + QPointF(-0.6, -1.2) * cm;
    QRadialGradient cap(kneecap, 3.4 * cm);
    cap.setColorAt(0.0, withAlpha(kSkin.light, 140));
    cap.setColorAt(1.0, withAlpha(kSkin.light, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(cap);
    p.drawEllipse(kneecap, 3.4 * cm, 3.4 * cm);
}

void paintShoe(QPainter &p, const Body &b, std::size_t s) {
    const double cm = b.cm;
    const double r = 4.4 * cm;
    const QPointF heel = insetTip(b.heel[s], b.toe[s], r);
    const QPointF toe = insetTip(b.toe[s], b.heel[s], 0.9 * r);
    const QPainterPath shoe = capsule(heel, toe, r, 0.9 * r)
                                  .united(capsule(b.ankle[s], lerp(heel, toe, 0.4), 3.9 * cm, r));
    // The sole shows as a dark rim along the bottom of the shoe.
    p.setPen(Qt::NoPen);
    p.setBrush(kSole);
    p.drawPath(shoe);
    const QPainterPath upper = shoe.intersected(shoe.translated(0, -2.2));
    QLinearGradient g(lerp(heel, toe, 0.5) + QPointF(-r, -r), lerp(heel, toe, 0.5) + QPointF(r, r));
    g.setColorAt(0.0, kShoe.light);
    g.setColorAt(0.45, kShoe.base);
    g.setColorAt(1.0, kShoe.dark);
    fillShape(p, upper, g, kShoe);
    // A coloured stripe along the side and the laces.
    p.save();
    p.setClipPath(upper);
    p.setPen(QPen(kShirt.base, 0.9 * cm, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lerp(heel, toe, 0.15) + QPointF(0, 1), lerp(heel, toe, 0.6) + QPointF(0, -2));
    p.setPen(QPen(QColor(120, 122, 130), 0.5 * cm));
    const QPointF lace0 = lerp(b.ankle[s], toe, 0.35);
    const QPointF lace1 = lerp(b.ankle[s], toe, 0.7);
    const QPointF across = perp(unit(toe - b.ankle[s])) * (1.4 * cm);
    for (double t : {0.0, 0.5, 1.0}) {
        const QPointF c = lerp(lace0, lace1, t);
        p.drawLine(c - across, c + across);
    }
    p.restore();
}

QPainterPath torsoOutline(const Body &b) {
    const double cm = b.cm;
    const QPointF u = b.up;
    const QPointF s = b.side;
    const double rs = 5.5 * cm;
    std::vector<QPointF> pts;
    // From the front of the neck clockwise (in the picture) around the person's left side, the
    // crotch and back up the right side.
    pts.push_back(b.sternum - u * (0.6 * cm));
    const std::array<double, 2> sign{-1.0, 1.0};
    std::vector<QPointF> left;
    std::vector<QPointF> right;
    for (std::size_t k = 0; k < 2; ++k) {
        const QPointF o = s * sign[k];  // outward on this side
        const QPointF sh = b.shoulder[k];
        const QPointF hp = b.hip[k];
        std::vector<QPointF> &side = k == 1 ? left : right;
        side.push_back(b.sternum + u * (1.8 * cm) + o * (5.6 * cm));
        side.push_back(sh + u * (0.6 * rs) - o * (0.45 * rs));
        side.push_back(sh + o * (0.95 * rs) + u * (0.1 * rs));
        side.push_back(sh + o * (0.55 * rs) - u * (2.3 * rs));
        side.push_back(lerp(sh, hp, 0.62) + o * (2.4 * cm));
        side.push_back(hp + o * (8.3 * cm) + u * (1.5 * cm));
        side.push_back(hp + o * (7.8 * cm) - u * (7.0 * cm));
    }
    pts.insert(pts.end(), left.begin(), left.end());
    pts.push_back(b.pubis - u * (5.0 * cm));
    pts.insert(pts.end(), right.rbegin(), right.rend());
    return smoothClosed(pts);
}

void paintShortsAndShirt(QPainter &p, const Body &b) {
    const double cm = b.cm;
    const QPainterPath torso = torsoOutline(b);
    const QPointF midShoulder = lerp(b.shoulder[0], b.shoulder[1], 0.5);
    const QPointF midHip = lerp(b.hip[0], b.hip[1], 0.5);
    const QPointF across0 = midHip - b.side * (12.0 * cm);
    const QPointF across1 = midHip + b.side * (12.0 * cm);
    const auto acrossShade = [&](const Tone &t) {
        QPointF a = across0;
        QPointF z = across1;
        if (dot(z - a, kToLight) > 0) std::swap(a, z);
        QLinearGradient g(a, z);
        g.setColorAt(0.0, t.light);
        g.setColorAt(0.35, t.base);
        g.setColorAt(0.8, mix(t.base, t.dark, 0.6));
        g.setColorAt(1.0, t.dark);
        return g;
    };

    // Shorts: pelvis below the waistband and the upper thighs.
    QPainterPath shorts = torso.intersected(halfPlane(lerp(midShoulder, midHip, 0.78), -b.up));
    for (std::size_t s = 0; s < 2; ++s) {
        shorts =
            shorts.united(capsule(b.hip[s], lerp(b.hip[s], b.knee[s], 0.4), 8.9 * cm, 7.3 * cm));
    }
    fillShape(p, shorts, acrossShade(kShorts), kShorts);
    p.save();
    p.setClipPath(shorts);
    p.setPen(QPen(QColor(20, 20, 24, 120), 0.6 * cm));
    p.drawLine(b.pubis - b.up * (4.0 * cm), b.pubis + b.up * (2.0 * cm));
    p.restore();

    // Shirt: down to just above the hips, overlapping the waistband.
    QPainterPath shirt = torso.intersected(halfPlane(lerp(midShoulder, midHip, 0.86), b.up));
    for (std::size_t s = 0; s < 2; ++s) {
        shirt = shirt.united(capsule(lerp(b.shoulder[s], b.elbow[s], 0.1),
                                     lerp(b.shoulder[s], b.elbow[s], 0.45), 5.8 * cm, 5.7 * cm));
    }
    fillShape(p, shirt, acrossShade(kShirt), kShirt);
    p.save();
    p.setClipPath(shirt);
    // Chest shading and a few soft folds.
    QRadialGradient chest(b.sternum - b.up * (7.0 * cm) - b.side * (4.0 * cm), 16.0 * cm);
    chest.setColorAt(0.0, withAlpha(kShirt.light, 70));
    chest.setColorAt(1.0, withAlpha(kShirt.light, 0));
    p.fillPath(shirt, chest);
    p.setPen(QPen(withAlpha(kShirt.dark, 90), 0.5 * cm, Qt::SolidLine, Qt::RoundCap));
    for (std::size_t s = 0; s < 2; ++s) {
        const QPointF pit = lerp(b.shoulder[s], b.hip[s], 0.25);
        p.drawLine(pit, lerp(pit, b.pubis, 0.28));
    }
    // Collar band.
    p.setPen(QPen(withAlpha(kShirt.dark, 200), 1.0 * cm));
    p.setBrush(Qt::NoBrush);
    QPainterPath collar;
    collar.moveTo(b.sternum + b.up * (1.8 * cm) - b.side * (5.6 * cm));
    collar.quadTo(b.sternum - b.up * (3.0 * cm),
                  b.sternum + b.up * (1.8 * cm) + b.side * (5.6 * cm));
    p.drawPath(collar);
    p.restore();
}

void paintNeck(QPainter &p, const Body &b) {
    const QPointF top = lerp(b.vertex, b.chin, 0.7);
    const QPointF bottom = b.sternum - b.up * (3.0 * b.cm);
    const QPainterPath neck = capsule(top, bottom, 5.4 * b.cm, 6.2 * b.cm);
    fillShape(p, neck, roundShade(kSkin, top, bottom, 6.0 * b.cm), kSkin);
    // Shadow of the chin on the throat, and the notch above the breastbone.
    QLinearGradient shade(b.chin, lerp(b.chin, b.sternum, 0.7));
    shade.setColorAt(0.0, QColor(90, 50, 30, 120));
    shade.setColorAt(1.0, QColor(90, 50, 30, 0));
    p.fillPath(neck, shade);
    QRadialGradient notch(b.sternum + b.up * (0.6 * b.cm), 1.8 * b.cm);
    notch.setColorAt(0.0, QColor(110, 60, 40, 110));
    notch.setColorAt(1.0, QColor(110, 60, 40, 0));
    p.fillPath(neck, notch);
}

void paintHead(QPainter &p, const Body &b) {
    const QPointF axis = b.chin - b.vertex;
    const double h = length(axis) / 2.0;  // half the head length, vertex to chin
    const double w = 0.78 * h;            // half the head width
    p.save();
    p.translate(lerp(b.vertex, b.chin, 0.5));
    // Turn so that the local y axis runs from the vertex down to the chin.
    p.rotate(std::atan2(axis.y(), axis.x()) * 180.0 / kPi - 90.0);

    // Skull and face: an egg, full at the crown and narrowing toward the jaw.
    QPolygonF egg;
    for (int i = 0; i < 96; ++i) {
        const double t = 2.0 * kPi * i / 96.0;
        const double y = -h * std::cos(t);
        const double narrow = y > 0 ? 1.0 - 0.24 * (y / h) * (y / h) : 1.0;
        egg << QPointF(w * std::sin(t) * narrow, y);
    }
    QPainterPath head;
    head.addPolygon(egg);
    head.closeSubpath();

    // Ears first, so the face edge overlaps them.
    for (double sx : {-1.0, 1.0}) {
        const QPointF ear(sx * 0.97 * w, 0.1 * h);
        QPainterPath e;
        e.addEllipse(ear, 0.2 * w, 0.27 * h);
        fillShape(p, e, roundShade(kSkin, ear - QPointF(0, 1), ear + QPointF(0, 1), 0.2 * w),
                  kSkin);
    }

    QRadialGradient face(QPointF(-0.35 * w, -0.3 * h), 1.5 * h, QPointF(-0.4 * w, -0.35 * h));
    face.setColorAt(0.0, kSkin.light);
    face.setColorAt(0.45, kSkin.base);
    face.setColorAt(0.85, mix(kSkin.base, kSkin.dark, 0.7));
    face.setColorAt(1.0, kSkin.dark);
    fillShape(p, head, face, kSkin);

    // Features, small and soft as in a photograph taken from a few metres.
    p.setPen(QPen(kHair.base, 0.07 * h, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (double sx : {-1.0, 1.0}) {
        QPainterPath brow;
        brow.moveTo(sx * 0.17 * w, -0.2 * h);
        brow.quadTo(sx * 0.4 * w, -0.29 * h, sx * 0.64 * w, -0.21 * h);
        p.drawPath(brow);
    }
    p.setPen(Qt::NoPen);
    for (double sx : {-1.0, 1.0}) {
        p.setBrush(QColor(236, 228, 222));
        p.drawEllipse(QPointF(sx * 0.4 * w, -0.04 * h), 0.17 * w, 0.065 * h);
        p.setBrush(QColor(52, 38, 30));
        p.drawEllipse(QPointF(sx * 0.4 * w, -0.04 * h), 0.07 * h, 0.065 * h);
    }
    p.setPen(QPen(withAlpha(kSkin.dark, 170), 0.07 * h, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0.07 * w, 0.02 * h), QPointF(0.12 * w, 0.3 * h));
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(QColor(96, 54, 40), 170));
    for (double sx : {-1.0, 1.0})
        p.drawEllipse(QPointF(sx * 0.11 * w, 0.36 * h), 0.06 * w, 0.03 * h);
    QPainterPath mouth;
    mouth.moveTo(-0.27 * w, 0.57 * h);
    mouth.quadTo(0, 0.62 * h, 0.27 * w, 0.57 * h);
    p.setPen(QPen(QColor(158, 84, 78), 0.07 * h, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(mouth);

    // Short hair: a cap a little larger than the skull, so the crown is hair rather than skin,
    // cut at the forehead and above the ears.
    QPainterPath hairCap;
    QPolygonF cap;
    for (const QPointF &q : egg)
        cap << QPointF(q.x() * 1.09, 0.05 * h + (q.y() - 0.05 * h) * 1.09);
    hairCap.addPolygon(cap);
    hairCap.closeSubpath();
    const QPainterPath hairline = smoothClosed({{-1.4 * w, -1.5 * h},
                                                {1.4 * w, -1.5 * h},
                                                {1.4 * w, 0.1 * h},
                                                {0.94 * w, 0.08 * h},
                                                {0.84 * w, -0.3 * h},
                                                {0.45 * w, -0.47 * h},
                                                {0.0, -0.5 * h},
                                                {-0.45 * w, -0.47 * h},
                                                {-0.84 * w, -0.3 * h},
                                                {-0.94 * w, 0.08 * h},
                                                {-1.4 * w, 0.1 * h}});
    const QPainterPath hair = hairCap.intersected(hairline);
    QRadialGradient hairShade(QPointF(-0.3 * w, -0.75 * h), 1.4 * h);
    hairShade.setColorAt(0.0, kHair.light);
    hairShade.setColorAt(0.5, kHair.base);
    hairShade.setColorAt(1.0, kHair.dark);
    fillShape(p, hair, hairShade, kHair);
    p.restore();
}

// Arm from the elbow (or from the shoulder) to the finger tip.
void paintArm(QPainter &p, const Body &b, std::size_t s, bool withUpperArm) {
    const double cm = b.cm;
    const QPointF sh = b.shoulder[s];
    const QPointF el = b.elbow[s];
    const QPointF wr = b.wrist[s];
    const QPointF fi = b.finger[s];
    std::vector<Part> parts;
    if (withUpperArm) {
        // Starts a little below the joint: the sleeve hides the top of the arm.
        parts.push_back({capsule(lerp(sh, el, 0.18), el, 5.3 * cm, 4.4 * cm),
                         roundShade(kSkin, sh, el, 5.3 * cm)});
    }
    const QPointF bulge = lerp(el, wr, 0.3);
    parts.push_back(
        {capsule(el, bulge, 4.4 * cm, 4.8 * cm).united(capsule(bulge, wr, 4.8 * cm, 3.1 * cm)),
         roundShade(kSkin, el, wr, 4.8 * cm)});

    // Hand: wrist, palm and fingers in one rounded shape reaching just past the finger tip.
    const QPointF dir = unit(fi - wr);
    const QPointF palm = lerp(wr, fi, 0.42);
    const QPointF tip = insetTip(fi, wr, 2.6 * cm);
    // The thumb sits on the upper side, or toward the body when the hand hangs.
    const QPointF midline = lerp(b.sternum, b.pubis, 0.5);
    QPointF n = perp(dir);
    const QPointF inward = unit(QPointF(midline.x() - wr.x(), 0));
    if (dot(n, QPointF(0, -1)) + 0.5 * dot(n, inward) < 0) n = -n;
    parts.push_back({capsule(lerp(wr, fi, 0.15) + n * (2.4 * cm),
                             lerp(wr, fi, 0.48) + n * (3.9 * cm), 1.8 * cm, 1.3 * cm),
                     roundShade(kSkin, wr, fi, 3.9 * cm)});
    const QPainterPath hand =
        capsule(wr, palm, 3.1 * cm, 4.3 * cm).united(capsule(palm, tip, 4.3 * cm, 2.6 * cm));
    parts.push_back({hand, roundShade(kSkin, wr, fi, 4.3 * cm)});
    paintParts(p, parts, kSkin);

    p.save();
    p.setClipPath(hand);
    p.setPen(QPen(withAlpha(kSkin.dark, 110), 0.35 * cm, Qt::SolidLine, Qt::RoundCap));
    for (double off : {-1.3, 0.0, 1.3}) {
        const QPointF a = lerp(wr, fi, 0.72) + perp(dir) * (off * cm);
        p.drawLine(a, fi - dir * 3.5 + perp(dir) * (off * 0.8 * cm));
    }
    p.restore();
}

void paintPerson(QPainter &p, const Body &b) {
    // The leg whose ankle is lower in the picture stands nearer the camera and goes in front.
    const std::size_t nearLeg = b.ankle[0].y() >= b.ankle[1].y() ? 0 : 1;
    for (std::size_t s : {1 - nearLeg, nearLeg}) {
        paintLeg(p, b, s);
        paintShoe(p, b, s);
    }
    // Arms behind the shirt so the sleeves cover the shoulders.
    for (std::size_t s = 0; s < 2; ++s)
        paintArm(p, b, s, true);
    paintNeck(p, b);
    paintShortsAndShirt(p, b);
    paintHead(p, b);
    // A forearm held across the body comes in front of it again (the right arm in the first
    // picture crosses the chest below the chin).
    const QPainterPath torso = torsoOutline(b);
    for (std::size_t s : {1, 0}) {
        const QPainterPath fore = capsule(b.elbow[s], b.wrist[s], 4.4 * b.cm, 3.1 * b.cm);
        if (fore.intersects(torso)) paintArm(p, b, s, false);
    }
}

// Shadows of the person: a soft, faint one thrown on the wall away from the window, and contact
// shadows on the floor under the feet.
void paintShadows(QPainter &p, const Body &b, const QImage &person) {
    QImage mask(person.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter m(&mask);
        m.drawImage(0, 0, person);
        m.setCompositionMode(QPainter::CompositionMode_SourceIn);
        m.fillRect(mask.rect(), QColor(30, 32, 36, 70));
    }
    // Blur by shrinking and growing again.
    const QImage blurred =
        mask.scaled(mask.width() / 8, mask.height() / 8, Qt::IgnoreAspectRatio,
                    Qt::SmoothTransformation)
            .scaled(mask.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p.save();
    p.setClipRect(QRectF(0, 0, kPictureWidth, kFloorTop));
    p.drawImage(QPointF(24, 6), blurred);
    p.restore();

    p.setPen(Qt::NoPen);
    const QPointF between =
        lerp(lerp(b.heel[0], b.toe[0], 0.5), lerp(b.heel[1], b.toe[1], 0.5), 0.5);
    p.save();
    p.translate(between + QPointF(18, 4));
    p.scale(30.0 * b.cm, 5.0 * b.cm);
    QRadialGradient unitPool(QPointF(0, 0), 1.0);
    unitPool.setColorAt(0.0, QColor(40, 24, 12, 90));
    unitPool.setColorAt(1.0, QColor(40, 24, 12, 0));
    p.setBrush(unitPool);
    p.drawEllipse(QPointF(0, 0), 1.0, 1.0);
    p.restore();
    for (std::size_t s = 0; s < 2; ++s) {
        const QPointF c = lerp(b.heel[s], b.toe[s], 0.5) + QPointF(3, 3);
        const double rx = length(b.toe[s] - b.heel[s]) / 2.0 + 5.0 * b.cm;
        p.save();
        p.translate(c);
        p.scale(rx, 3.0 * b.cm);
        QRadialGradient contact(QPointF(0, 0), 1.0);
        contact.setColorAt(0.0, QColor(30, 18, 10, 150));
        contact.setColorAt(1.0, QColor(30, 18, 10, 0));
        p.setBrush(contact);
        p.drawEllipse(QPointF(0, 0), 1.0, 1.0);
        p.restore();
    }
}

// Sensor grain, the same for every run.
void addGrain(QImage &img) {
    std::mt19937 gen(2010);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const std::uint32_t r = gen();
            const int luma = static_cast<int>(r % 13) - 6;
            const auto chroma = [r](int shift) { return static_cast<int>((r >> shift) % 3) - 1; };
            const auto clamp = [](int v) { return std::clamp(v, 0, 255); };
            const QRgb c = line[x];
            line[x] = qRgb(clamp(qRed(c) + luma + chroma(8)), clamp(qGreen(c) + luma + chroma(16)),
                           clamp(qBlue(c) + luma + chroma(24)));
        }
    }
}

}  // namespace

QPointF toPicture(const DemoPoint &p) {
    return {static_cast<double>(p.x), static_cast<double>(kPictureAreaHeight - p.z)};
}

namespace {

QImage renderRoom() {
    QImage img(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    paintWall(p);
    paintWindow(p);
    paintSkirtingAndFloor(p);
    paintDoor(p);
    paintVignette(p);
    return img;
}

QImage renderPerson(const Body &body) {
    QImage person(kPictureWidth, kPictureHeight, QImage::Format_ARGB32_Premultiplied);
    person.fill(Qt::transparent);
    QPainter p(&person);
    p.setRenderHint(QPainter::Antialiasing);
    paintPerson(p, body);
    return person;
}

// The room with the shadows that `person` throws.
QImage renderBackground(const Body &body, const QImage &person) {
    QImage img = renderRoom();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    paintShadows(p, body, person);
    return img;
}

}  // namespace

QImage renderBackground(const DemoLandmarkSet &set) {
    const Body body = bodyOf(set);
    return renderBackground(body, renderPerson(body));
}

QImage renderPicture(const DemoLandmarkSet &set) {
    const Body body = bodyOf(set);
    const QImage person = renderPerson(body);
    QImage img = renderBackground(body, person);
    {
        QPainter p(&img);
        p.drawImage(0, 0, person);
    }
    addGrain(img);
    // 96 dots per inch, the screen resolution the picture area is laid out for.
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    return img;
}

}  // namespace pondera::demo
