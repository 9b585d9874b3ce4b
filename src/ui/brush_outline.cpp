#include "brush_outline.h"

#include <QPainter>

#include <cmath>

namespace {

void paint_ring(QPainter& painter, QPointF centre, double radius)
{
    // The light ring outside the dark one: together they show on black and on white.
    painter.setPen(QPen(QColor(0, 0, 0, 200), 1));
    painter.drawEllipse(centre, radius, radius);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1));
    painter.drawEllipse(centre, radius + 1, radius + 1);
}

} // namespace

QRect outline_bounds(const BrushOutline& outline)
{
    // The light ring, its pen's half width and antialiasing.
    const int reach = int(std::ceil(outline.radius)) + 3;
    const QPoint c(int(std::floor(outline.centre.x())), int(std::floor(outline.centre.y())));
    return QRect(c - QPoint(reach, reach), c + QPoint(reach + 1, reach + 1));
}

void paint_outline(QPainter& painter, const BrushOutline& outline)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    paint_ring(painter, outline.centre, outline.radius);
    // Hover pressure is at most full, so this ring lies inside the first.
    if (outline.hoverPressure > 0 && outline.hoverPressure < 1)
        paint_ring(painter, outline.centre, double(outline.radius * outline.hoverPressure));
    painter.restore();
}
