#include "strokes.h"

#include "pen_points.h"

#include <QImage>
#include <QPainterPath>

StrokePtr fill_stroke(const Rect& r, const QColor& color, int mode, float opacity)
{
    QPainterPath p;
    p.addRect(double(r.origin.x), double(r.origin.y), double(r.size.width), double(r.size.height));
    return Stroke::withPath(Path(p), color, mode, opacity);
}

StrokePtr pen_stroke(const std::vector<Point>& points, float radius, const QColor& color)
{
    PenPoints samples(AffineTransform::identity(), radius);
    for (const Point p : points) samples.addPointAt(p, 1);
    samples.simplify();
    return Stroke::withPenPoints(std::move(samples), color, kModeNormal, 1);
}

StrokePtr line_stroke(Point from, Point to, float width, const QColor& color)
{
    QPainterPath p(QPointF(from.x, from.y));
    p.lineTo(to.x, to.y);
    Path path(p);
    path.setLineWidth(width);
    return Stroke::withLine(path, color, kModeNormal, 1);
}

StrokePtr image_stroke(const Rect& r, const QColor& color, float opacity)
{
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    QPainterPath p(QPointF(r.minX(), r.minY()));
    p.lineTo(r.maxX(), r.minY());
    p.lineTo(r.maxX(), r.maxY());
    p.lineTo(r.minX(), r.maxY());
    p.lineTo(r.minX(), r.minY());
    return Stroke::withImage(image, Path(p), opacity);
}
