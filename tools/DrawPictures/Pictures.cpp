#include "Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

QImage TransparentImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPen RoundPen(const QColor& colour, double width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// `base` with each channel multiplied by `factor`, clamped; a channel at 0 stays 0.
QColor Scaled(const QColor& base, double factor) {
    auto channel = [factor](double v) {
        return std::clamp(v * factor, 0.0, 1.0);
    };
    return QColor::fromRgbF(static_cast<float>(channel(base.redF())),
                            static_cast<float>(channel(base.greenF())),
                            static_cast<float>(channel(base.blueF())));
}

QPointF OnCircle(QPointF centre, double radius, double degrees) {
    // Angles as on a clock face turned to mathematics: 0 at three o'clock,
    // counter-clockwise, y growing downwards on the screen.
    const double a = degrees * std::numbers::pi / 180.0;
    return {centre.x() + radius * std::cos(a), centre.y() - radius * std::sin(a)};
}

// --- Status flags ---------------------------------------------------------

constexpr int BadgeWidth = 41, BadgeHeight = 40;
const QPointF BadgeCentre(20.5, 20.0);
constexpr double BadgeRadius = 19.5;

void PaintBadge(QImage& image, const QColor& fill, TBadgeMark mark) {
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Body: lit from the top left, a touch darker towards the bottom edge.
    QRadialGradient body(BadgeCentre, BadgeRadius, BadgeCentre + QPointF(-5, -7));
    body.setColorAt(0.0, Scaled(fill, 1.18));
    body.setColorAt(0.55, fill);
    body.setColorAt(1.0, Scaled(fill, 0.80));
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawEllipse(BadgeCentre, BadgeRadius, BadgeRadius);

    // A thin darker rim keeps the disc crisp on light and dark backgrounds.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Scaled(fill, 0.70), 1.0));
    p.drawEllipse(BadgeCentre, BadgeRadius - 0.5, BadgeRadius - 0.5);

    // The marks are slim: a white mark raises the badge's mean colour, and the
    // yellow badge's mean blue of 5 leaves room for little white.
    p.setPen(RoundPen(Qt::white, 1.8));
    switch (mark) {
    case TBadgeMark::Check: {
        const QPointF points[] = {{14.5, 20.5}, {18.5, 24.5}, {26.5, 16.0}};
        p.drawPolyline(points, 3);
        break;
    }
    case TBadgeMark::Cross:
        p.drawLine(QPointF(15.5, 15.0), QPointF(25.5, 25.0));
        p.drawLine(QPointF(25.5, 15.0), QPointF(15.5, 25.0));
        break;
    case TBadgeMark::Bar: // two whole pixel rows, so that it stays sharp
        p.setPen(RoundPen(Qt::white, 2.0));
        p.drawLine(QPointF(14.5, 20.0), QPointF(26.5, 20.0));
        break;
    }
}

// --- Buttons --------------------------------------------------------------

QImage GlossyDisc(const QColor& base) {
    QImage image = TransparentImage(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(24, 24);
    const double radius = 21.5;

    // Soft shadow below the disc.
    QRadialGradient shadow(centre + QPointF(0, 1.5), radius + 2.0);
    shadow.setColorAt(0.85, QColor(0, 0, 0, 70));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(centre + QPointF(0, 1.5), radius + 2.0, radius + 2.0);

    QRadialGradient body(centre, radius, centre + QPointF(-6, -8));
    body.setColorAt(0.0, base.lighter(150));
    body.setColorAt(0.6, base);
    body.setColorAt(1.0, base.darker(150));
    p.setBrush(body);
    p.setPen(QPen(base.darker(180), 1.0));
    p.drawEllipse(centre, radius, radius);

    // Gloss on the upper half.
    QLinearGradient gloss(QPointF(24, 4), QPointF(24, 24));
    gloss.setColorAt(0.0, QColor(255, 255, 255, 150));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawEllipse(QRectF(10, 4, 28, 20));
    return image;
}

// --- Application icon -----------------------------------------------------

void PaintRing(QPainter& p, double penWidth, bool frontHalf) {
    // The ring is an ellipse round the sphere's centre, tilted; its front half
    // (the lower one before the tilt) passes in front of the sphere.
    p.save();
    p.translate(128, 128);
    p.rotate(-22);
    QPainterPath arc;
    const QRectF box(-124, -32, 248, 64);
    if (frontHalf) {
        arc.arcMoveTo(box, 180);
        arc.arcTo(box, 180, 180);
    } else {
        arc.arcMoveTo(box, 0);
        arc.arcTo(box, 0, 180);
    }
    QLinearGradient shade(QPointF(-124, 0), QPointF(124, 0));
    const QColor light(225, 243, 255), dim(160, 205, 240);
    shade.setColorAt(0.0, frontHalf ? light : dim);
    shade.setColorAt(0.5, frontHalf ? Qt::white : dim);
    shade.setColorAt(1.0, frontHalf ? light : dim);
    p.setBrush(Qt::NoBrush);
    // A faint blue edge keeps the light ring visible on light backgrounds.
    p.setPen(QPen(QColor(20, 80, 160, 150), penWidth * 1.7, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(arc);
    p.setPen(QPen(QBrush(shade), penWidth, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(arc);
    p.restore();
}

} // namespace

QImage DrawCpu() {
    QImage image(614, 515, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0, 162, 232));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor white(Qt::white);
    p.setBrush(Qt::NoBrush);

    // Tower, left.
    p.save();
    p.translate(-7, 0);
    p.setPen(RoundPen(white, 14));
    p.drawRoundedRect(QRectF(117, 215, 110, 240), 12, 12);
    p.setPen(RoundPen(white, 9));
    p.drawRoundedRect(QRectF(139, 242, 66, 22), 4, 4); // drive bays
    p.drawRoundedRect(QRectF(139, 284, 66, 22), 4, 4);
    p.drawEllipse(QPointF(172, 352), 12, 12);         // power button
    p.drawLine(QPointF(145, 410), QPointF(199, 410)); // vents
    p.drawLine(QPointF(145, 428), QPointF(199, 428));
    p.restore();

    // Monitor, right: frame, screen, neck and foot.
    p.translate(7, 0);
    p.setPen(RoundPen(white, 14));
    p.drawRoundedRect(QRectF(257, 215, 240, 170), 14, 14);
    p.setPen(RoundPen(white, 8));
    p.drawRect(QRectF(278, 236, 198, 128));
    p.setPen(RoundPen(white, 7));
    p.drawLine(QPointF(296, 276), QPointF(316, 256)); // glare on the screen
    p.drawLine(QPointF(296, 300), QPointF(340, 256));
    p.setPen(RoundPen(white, 14));
    const QPointF neck[] = {{362, 392}, {352, 434}, {402, 434}, {392, 392}};
    p.drawPolyline(neck, 4);
    p.drawRoundedRect(QRectF(318, 434, 118, 18), 8, 8);
    return image;
}

QList<TBadgeDesign> BadgeDesigns() {
    return {
        {QStringLiteral("RED_CHK"), QColor(194, 30, 36), TBadgeMark::Cross},
        {QStringLiteral("GREEN_CHK"), QColor(110, 165, 39), TBadgeMark::Check},
        {QStringLiteral("YELLOW_CHK"), QColor(222, 189, 5), TBadgeMark::Check},
        {QStringLiteral("BLACK_CHK"), QColor(8, 8, 8), TBadgeMark::Bar},
    };
}

TMeanColour MeanColour(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    double weight = 0;
    TMeanColour sum;
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const double a = qAlpha(line[x]) / 255.0;
            weight += a;
            sum.red += a * qRed(line[x]);
            sum.green += a * qGreen(line[x]);
            sum.blue += a * qBlue(line[x]);
        }
    }
    if (weight > 0) {
        sum.red /= weight;
        sum.green /= weight;
        sum.blue /= weight;
    }
    return sum;
}

QImage DrawBadge(const TBadgeDesign& badge) {
    QImage image = TransparentImage(BadgeWidth, BadgeHeight);
    // Fixed-point search on the fill: move each channel by what the mean
    // still misses. A fixed number of rounds keeps the result reproducible.
    double fill[3] = {badge.average.redF(), badge.average.greenF(), badge.average.blueF()};
    const double target[3] = {badge.average.redF(), badge.average.greenF(), badge.average.blueF()};
    for (int round = 0; round < 40; ++round) {
        PaintBadge(image,
                   QColor::fromRgbF(static_cast<float>(fill[0]), static_cast<float>(fill[1]),
                                    static_cast<float>(fill[2])),
                   badge.mark);
        const TMeanColour mean = MeanColour(image);
        const double got[3] = {mean.red / 255.0, mean.green / 255.0, mean.blue / 255.0};
        for (int c = 0; c < 3; ++c)
            fill[c] = std::clamp(fill[c] + (target[c] - got[c]), 0.0, 1.0);
    }
    return image;
}

QImage DrawClock() {
    QImage image = TransparentImage(261, 297);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor black(Qt::black), white(Qt::white);
    const QPointF centre(130.5, 164);
    const double bodyRadius = 94;

    // Feet.
    p.setPen(RoundPen(black, 16));
    for (double angle : {-128.0, -52.0})
        p.drawLine(OnCircle(centre, 80, angle), OnCircle(centre, 122, angle));

    // Hammer on its stem, between the bells.
    p.setPen(RoundPen(black, 12));
    p.drawLine(QPointF(130.5, 70), QPointF(130.5, 44));
    p.setBrush(white);
    p.drawEllipse(QPointF(130.5, 34), 10, 10);

    // Bells: half discs whose flat side faces the body.
    for (double angle : {135.0, 45.0}) {
        p.save();
        p.translate(OnCircle(centre, 104, angle));
        p.rotate(90 - angle);
        QPainterPath bell;
        const QRectF box(-42, -42, 84, 84);
        bell.arcMoveTo(box, 0);
        bell.arcTo(box, 0, 180);
        bell.closeSubpath();
        p.setPen(RoundPen(black, 12));
        p.setBrush(white);
        p.drawPath(bell);
        p.restore();
    }

    // Body and face.
    p.setPen(RoundPen(black, 14));
    p.setBrush(white);
    p.drawEllipse(centre, bodyRadius, bodyRadius);
    p.setPen(RoundPen(black, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, bodyRadius - 15, bodyRadius - 15);

    for (int hour = 0; hour < 12; ++hour) {
        const double angle = 90 - 30 * hour;
        if (hour % 3 == 0) {
            p.setPen(RoundPen(black, 9));
            p.drawLine(OnCircle(centre, 58, angle), OnCircle(centre, 70, angle));
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(black);
            p.drawEllipse(OnCircle(centre, 66, angle), 4, 4);
            p.setBrush(Qt::NoBrush);
        }
    }

    // Hands at ten past ten.
    p.setPen(RoundPen(black, 11));
    p.drawLine(centre, OnCircle(centre, 40, 90 - 305)); // hour hand, a little past ten
    p.setPen(RoundPen(black, 8));
    p.drawLine(centre, OnCircle(centre, 58, 90 - 60)); // minute hand on two
    p.setPen(Qt::NoPen);
    p.setBrush(black);
    p.drawEllipse(centre, 9, 9);
    return image;
}

QImage DrawExitButton() {
    QImage image = GlossyDisc(QColor(214, 40, 40));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(RoundPen(Qt::white, 3.6));
    const QRectF ring(24 - 10.5, 25 - 10.5, 21, 21);
    p.drawArc(ring, (90 + 38) * 16, (360 - 76) * 16);
    p.drawLine(QPointF(24, 11.5), QPointF(24, 23.5));
    return image;
}

QImage DrawRefreshButton() {
    QImage image = GlossyDisc(QColor(30, 110, 210));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(24, 24.5);
    const double radius = 10.5;
    const double start = 65, span = -290; // clockwise, open at the top
    QPainterPath arc;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    arc.arcMoveTo(box, start);
    arc.arcTo(box, start, span);
    p.setPen(QPen(Qt::white, 3.6, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(arc);

    // Arrow head at the end of the arc, along its clockwise tangent.
    const double end = (start + span) * std::numbers::pi / 180.0;
    const QPointF tip = OnCircle(centre, radius, start + span);
    const QPointF tangent(std::sin(end), std::cos(end));
    const QPointF outward(std::cos(end), -std::sin(end));
    const QPointF head[] = {tip + 6.5 * tangent, tip + 6.0 * outward - 1.0 * tangent,
                            tip - 6.0 * outward - 1.0 * tangent};
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(head, 3);
    return image;
}

QImage DrawAppIcon(int size) {
    QImage image = TransparentImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = size / 256.0;
    p.scale(scale, scale);
    // The ring stays at least about one device pixel wide in the small sizes.
    const double ringWidth = std::max(7.0, 1.3 / scale);

    PaintRing(p, ringWidth, false);

    const QPointF centre(128, 128);
    const double radius = 94;
    QRadialGradient sphere(centre, radius, QPointF(96, 84));
    sphere.setColorAt(0.0, QColor(175, 228, 255));
    sphere.setColorAt(0.35, QColor(55, 150, 235));
    sphere.setColorAt(0.80, QColor(16, 82, 182));
    sphere.setColorAt(1.0, QColor(6, 46, 126));
    p.setPen(Qt::NoPen);
    p.setBrush(sphere);
    p.drawEllipse(centre, radius, radius);

    // Gloss: a bright cap fading downwards.
    QLinearGradient gloss(QPointF(0, 40), QPointF(0, 120));
    gloss.setColorAt(0.0, QColor(255, 255, 255, 210));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(gloss);
    p.drawEllipse(QRectF(68, 40, 120, 78));

    PaintRing(p, ringWidth, true);
    return image;
}
