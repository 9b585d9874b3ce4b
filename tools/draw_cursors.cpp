// Draws the tools' cursor pictures into resources/Images:
//     pavo_draw_cursors resources/Images [contact-sheet.png]
// Each picture is 16x16, black lines with a white rim so that it shows on any drawing, and
// is placed so that its hot spot (kToolCursors) sits on the part that points. The optional
// contact sheet shows them enlarged on light and dark ground, for looking them over.

#include "tool.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <vector>

namespace {

constexpr int kSide = 16;

// The middle of a hot-spot pixel.
QPointF mid(QPoint p) { return {p.x() + 0.5, p.y() + 0.5}; }

void rimmed(QPainter& painter, const QPainterPath& path, qreal width, bool fillWhite = false)
{
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, width + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    if (fillWhite) painter.fillPath(path, Qt::white);
    painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
}

QPainterPath line(QPointF a, QPointF b)
{
    QPainterPath p(a);
    p.lineTo(b);
    return p;
}

// A magnifier with its lens centred on the hot spot; `plus` adds the vertical bar.
void magnifier(QPainter& painter, bool plus)
{
    const QPointF c = mid(kZoomInCursor.hotSpot);
    const qreal r = 4.8;
    const QPointF rim = c + QPointF(r, r) / std::sqrt(2.0);
    rimmed(painter, line(rim, {14.6, 14.6}), 2.6);
    QPainterPath lens;
    lens.addEllipse(c, r, r);
    rimmed(painter, lens, 1.4, true);
    QPainterPath sign = line(c - QPointF(2.4, 0), c + QPointF(2.4, 0));
    if (plus) sign.addPath(line(c - QPointF(0, 2.4), c + QPointF(0, 2.4)));
    painter.setPen(QPen(Qt::black, 1.3, Qt::SolidLine, Qt::FlatCap));
    painter.drawPath(sign);
}

QPainterPath arrow_head(QPointF tip, QPointF direction, qreal size)
{
    const QPointF side(-direction.y(), direction.x());
    QPainterPath head(tip);
    head.lineTo(tip - direction * size + side * size * 0.8);
    head.lineTo(tip - direction * size - side * size * 0.8);
    head.closeSubpath();
    return head;
}

// Three quarters of a circle about the hot spot, open at the upper right where its arrow
// head points, and a dot at the centre.
void rotate(QPainter& painter)
{
    const QPointF c = mid(kRotateCursor.hotSpot);
    const qreal r = 4.4;
    const QRectF circle(c - QPointF(r, r), QSizeF(2 * r, 2 * r));
    const qreal start = 90;
    const qreal sweep = 262;
    QPainterPath arc;
    arc.arcMoveTo(circle, start);
    arc.arcTo(circle, start, sweep);
    const qreal a = (start + sweep) * std::numbers::pi / 180;
    // Direction of travel of a counter-clockwise arc in y-down pixels.
    const QPointF tangent(-std::sin(a), -std::cos(a));
    const QPainterPath head = arrow_head(arc.currentPosition() + tangent * 1.6, tangent, 2.6);
    QPainterPath all = arc;
    all.addPath(head);
    rimmed(painter, all, 1.3);
    painter.fillPath(head, Qt::black);
    QPainterPath dot;
    dot.addEllipse(c, 1.0, 1.0);
    rimmed(painter, dot, 0.5);
    painter.fillPath(dot, Qt::black);
}

// Four arrows out from the hot spot.
void move(QPainter& painter)
{
    const QPointF c = mid(kMoveCursor.hotSpot);
    const qreal reach = 5.8;
    const QPointF directions[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    QPainterPath shaft = line(c - QPointF(reach - 1, 0), c + QPointF(reach - 1, 0));
    shaft.addPath(line(c - QPointF(0, reach - 1), c + QPointF(0, reach - 1)));
    QPainterPath heads;
    for (const QPointF d : directions) heads.addPath(arrow_head(c + d * reach, d, 2.2));
    QPainterPath all = shaft;
    all.addPath(heads);
    rimmed(painter, all, 1.0);
    painter.fillPath(heads, Qt::black);
}

// A tipped bucket pouring a drop onto the hot spot.
void fill(QPainter& painter)
{
    const QPointF spot = mid(kFillCursor.hotSpot);
    QPainterPath pour(QPointF(11.2, 7.4));
    pour.cubicTo(QPointF(13.6, 8.0), QPointF(14.5, 10.0), spot - QPointF(0, 1.6));
    QPainterPath drop;
    drop.addEllipse(spot - QPointF(0, 0.4), 1.3, 1.6);
    pour.addPath(drop);
    rimmed(painter, pour, 1.4);
    painter.fillPath(drop, Qt::black);

    painter.save();
    // Tipped to the right, so that its open top faces the drop.
    painter.translate(6.0, 8.5);
    painter.rotate(30);
    QPainterPath bucket;
    bucket.moveTo(-3.5, -4.0);
    bucket.lineTo(3.5, -4.0);
    bucket.lineTo(2.6, 4.0);
    bucket.lineTo(-2.6, 4.0);
    bucket.closeSubpath();
    rimmed(painter, bucket, 1.3, true);
    QPainterPath paint;
    paint.addEllipse(QPointF(0, -4.0), 3.5, 1.1);
    painter.fillPath(paint, Qt::black);
    QPainterPath handle;
    handle.moveTo(-3.5, -4.0);
    handle.cubicTo(QPointF(-3.5, -8.0), QPointF(3.5, -8.0), QPointF(3.5, -4.0));
    painter.setPen(QPen(Qt::black, 1.0));
    painter.drawPath(handle);
    painter.restore();
}

// An eyedropper lying from its tip at the hot spot up to its bulb at the top right.
void color_picker(QPainter& painter)
{
    const QPointF tip = mid(kColorPickerCursor.hotSpot);
    painter.save();
    painter.translate(tip);
    painter.rotate(-45);
    QPainterPath tube;
    tube.moveTo(0, 0);
    tube.lineTo(2.0, -1.1);
    tube.lineTo(10.5, -1.1);
    tube.lineTo(10.5, 1.1);
    tube.lineTo(2.0, 1.1);
    tube.closeSubpath();
    rimmed(painter, tube, 1.0, true);
    QPainterPath collar;
    collar.addRoundedRect(QRectF(10.0, -2.8, 2.2, 5.6), 0.8, 0.8);
    QPainterPath bulb;
    bulb.addRoundedRect(QRectF(12.2, -2.0, 8.0, 4.0), 2.0, 2.0);
    QPainterPath top = collar;
    top.addPath(bulb);
    rimmed(painter, top, 0.8);
    painter.fillPath(top, Qt::black);
    // The tip itself is solid so that the pixel that picks shows.
    painter.fillRect(QRectF(-0.8, -0.8, 1.6, 1.6), Qt::black);
    painter.restore();
}

QImage picture(const std::function<void(QPainter&)>& draw)
{
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return image;
}

bool write_contact_sheet(const std::vector<QImage>& images, const QString& path)
{
    constexpr int zoom = 12;
    const int cell = kSide * zoom + 8;
    QImage sheet(cell * int(images.size()), cell * 2, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(230, 230, 230));
    QPainter painter(&sheet);
    painter.fillRect(0, cell, sheet.width(), cell, QColor(60, 60, 90));
    for (std::size_t i = 0; i < images.size(); ++i) {
        for (int row = 0; row < 2; ++row) {
            const QRect target(int(i) * cell + 4, row * cell + 4, kSide * zoom, kSide * zoom);
            painter.drawImage(target, images[i]);
            const QPoint spot = kToolCursors[i].hotSpot * zoom + target.topLeft();
            painter.setPen(QColor(255, 0, 0));
            painter.drawRect(QRect(spot, QSize(zoom, zoom)));
        }
    }
    return sheet.save(path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s IMAGES_FOLDER [CONTACT_SHEET.png]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const std::function<void(QPainter&)> drawers[] = {
        [](QPainter& p) { magnifier(p, true); }, [](QPainter& p) { magnifier(p, false); },
        rotate, move, fill, color_picker};
    std::vector<QImage> images;
    for (std::size_t i = 0; i < kToolCursors.size(); ++i) {
        images.push_back(picture(drawers[i]));
        const QString path = folder + '/' + QString::fromLatin1(kToolCursors[i].name) + ".png";
        if (!images.back().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    if (argc > 2 && !write_contact_sheet(images, QString::fromLocal8Bit(argv[2]))) return 1;
    return 0;
}
