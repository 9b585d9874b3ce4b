#include "pen_outline.h"

#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
// Control point distance of a quarter circle drawn as one cubic curve.
constexpr double kKappa = 0.5522847498307936;
} // namespace

void tangent_band(Point p1, float r1, Point p2, float r2, Point out[4])
{
    const Point v = p2 - p1;
    const Point f = normalize(v);
    const Point l = left(f);
    const float a = limit((r1 - r2) / length(v), -1.0f, 1.0f);
    const float b = std::sqrt(1 - a * a);
    const Point dleft = f * a + l * b;
    const Point dright = f * a - l * b;
    out[0] = p1 + dleft * r1;
    out[1] = p2 + dleft * r2;
    out[2] = p2 + dright * r2;
    out[3] = p1 + dright * r1;
}

void append_circle(QPainterPath& path, Point centre, float radius)
{
    // From angle 0 towards +y: the same turning sense as the bands' corner order.
    const double cx = centre.x, cy = centre.y, r = radius, k = r * kKappa;
    path.moveTo(cx + r, cy);
    path.cubicTo(cx + r, cy + k, cx + k, cy + r, cx, cy + r);
    path.cubicTo(cx - k, cy + r, cx - r, cy + k, cx - r, cy);
    path.cubicTo(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
    path.cubicTo(cx + k, cy - r, cx + r, cy - k, cx + r, cy);
    path.closeSubpath();
}

QPainterPath outline_path(const PenOutline& outline)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    std::size_t band = 0;
    for (std::size_t i = 0; i < outline.circles.size(); ++i) {
        if (i < outline.band_before.size() && outline.band_before[i] &&
            band < outline.bands.size()) {
            const Point* q = outline.bands[band++].corners;
            path.moveTo(q[0].x, q[0].y);
            for (int j = 1; j < 4; ++j) path.lineTo(q[j].x, q[j].y);
            path.closeSubpath();
        }
        append_circle(path, outline.circles[i].centre, outline.circles[i].radius);
    }
    return path;
}

namespace {

void add_circle(std::vector<PathElement>& out, Point c, float r)
{
    const float k = float(r * kKappa);
    out.push_back({kMoveTo, {{c.x + r, c.y}}});
    out.push_back({kCurveTo, {{c.x + r, c.y + k}, {c.x + k, c.y + r}, {c.x, c.y + r}}});
    out.push_back({kCurveTo, {{c.x - k, c.y + r}, {c.x - r, c.y + k}, {c.x - r, c.y}}});
    out.push_back({kCurveTo, {{c.x - r, c.y - k}, {c.x - k, c.y - r}, {c.x, c.y - r}}});
    out.push_back({kCurveTo, {{c.x + k, c.y - r}, {c.x + r, c.y - k}, {c.x + r, c.y}}});
    out.push_back({kClosePath, {}});
}

void add_band(std::vector<PathElement>& out, const OutlineBand& band)
{
    out.push_back({kMoveTo, {band.corners[0]}});
    for (int j = 1; j < 4; ++j) out.push_back({kLineTo, {band.corners[j]}});
    out.push_back({kClosePath, {}});
}

} // namespace

Path outline_to_path(const PenOutline& outline)
{
    std::vector<PathElement> elements;
    elements.reserve(outline.circles.size() * 6 + outline.bands.size() * 5);
    std::size_t band = 0;
    for (std::size_t i = 0; i < outline.circles.size(); ++i) {
        if (i < outline.band_before.size() && outline.band_before[i] &&
            band < outline.bands.size())
            add_band(elements, outline.bands[band++]);
        add_circle(elements, outline.circles[i].centre, outline.circles[i].radius);
    }
    return Path(std::move(elements), kNonZero);
}

Rect outline_bounds(const PenOutline& outline)
{
    if (outline.empty()) return {};
    Point lo = outline.circles.front().centre, hi = lo;
    const auto include = [&](Point p) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
    };
    for (const OutlineCircle& c : outline.circles) {
        include(c.centre - Point{c.radius, c.radius});
        include(c.centre + Point{c.radius, c.radius});
    }
    for (const OutlineBand& band : outline.bands)
        for (const Point corner : band.corners) include(corner);
    return make_rect(lo, hi - lo);
}
