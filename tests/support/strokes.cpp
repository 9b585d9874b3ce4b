#include "strokes.h"

#include "pen_points.h"

#include <QImage>
#include <QPainterPath>

static Path rect_path(const Rect& r)
{
    QPainterPath p;
    p.addRect(double(r.origin.x), double(r.origin.y), double(r.size.width), double(r.size.height));
    return Path(p);
}

StrokePtr fill_stroke(const Rect& r, const QColor& color, int mode, float opacity)
{
    return Stroke::withPath(rect_path(r), color, mode, opacity);
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
    return Stroke::withImage(image, rect_path(r), opacity);
}
