#include "outline_union_reference.h"

#include "transfer_ops.h"

#include <algorithm>
#include <cmath>

namespace {

struct WorldPoint {
    double x, y;
};

struct Box {
    double x0, y0, x1, y1;
};

// One shape of the outline in world coordinates, with its pixel box grown by a pixel.
struct Shape {
    bool circle = true;
    WorldPoint centre{0, 0};
    double radius = 0;
    WorldPoint corners[4];
    Box pixels{0, 0, 0, 0};
};

Box pixel_box(const Bitmap& bm, const Rect& world)
{
    const Rect r = bm.worldRectToBitmapRect(world);
    return {r.minX() - 1.0, r.minY() - 1.0, r.maxX() + 1.0, r.maxY() + 1.0};
}

std::vector<Shape> shapes_of(const Bitmap& bm, const PenOutline& outline)
{
    std::vector<Shape> shapes;
    for (const OutlineCircle& c : outline.circles) {
        if (!(c.radius > 0) || !finite(c.centre) || !std::isfinite(c.radius)) continue;
        Shape s;
        s.centre = {c.centre.x, c.centre.y};
        s.radius = c.radius;
        s.pixels = pixel_box(bm, make_rect(c.centre.x - c.radius, c.centre.y - c.radius,
                                           2 * c.radius, 2 * c.radius));
        shapes.push_back(s);
    }
    for (const OutlineBand& b : outline.bands) {
        Shape s;
        s.circle = false;
        Point lo = b.corners[0], hi = b.corners[0];
        for (int i = 0; i < 4; ++i) {
            s.corners[i] = {b.corners[i].x, b.corners[i].y};
            lo = {min(lo.x, b.corners[i].x), min(lo.y, b.corners[i].y)};
            hi = {max(hi.x, b.corners[i].x), max(hi.y, b.corners[i].y)};
        }
        if (!finite(lo) || !finite(hi)) continue;
        s.pixels = pixel_box(bm, make_rect(lo, hi - lo));
        shapes.push_back(s);
    }
    return shapes;
}

double cross(WorldPoint a, WorldPoint b, WorldPoint p)
{
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}

// Inside a convex quadrilateral: on the inner side of all four edges. One without area
// holds no point.
bool inside(const Shape& s, WorldPoint p)
{
    if (s.circle) {
        const double dx = p.x - s.centre.x, dy = p.y - s.centre.y;
        return dx * dx + dy * dy < s.radius * s.radius;
    }
    const WorldPoint* q = s.corners;
    const double turn = cross(q[0], q[1], q[2]) + cross(q[0], q[2], q[3]);
    if (turn == 0) return false;
    for (int i = 0; i < 4; ++i)
        if (cross(q[i], q[(i + 1) % 4], p) * turn < 0) return false;
    return true;
}

WorldPoint to_world(const AffineTransform& inverse, double x, double y)
{
    return {inverse.a * x + inverse.c * y + inverse.tx, inverse.b * x + inverse.d * y + inverse.ty};
}

// A pixel whose four corners lie in one circle lies in it whole.
bool whole_pixel_inside(const std::vector<const Shape*>& near, const AffineTransform& inverse,
                        int x, int y)
{
    return std::any_of(near.begin(), near.end(), [&](const Shape* s) {
        if (!s->circle) return false;
        for (int corner = 0; corner < 4; ++corner)
            if (!inside(*s, to_world(inverse, x + corner % 2, y + corner / 2))) return false;
        return true;
    });
}

float pixel_coverage(const std::vector<const Shape*>& near, const AffineTransform& inverse, int x,
                     int y, int n)
{
    if (whole_pixel_inside(near, inverse, x, y)) return 1;
    int hits = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const WorldPoint p = to_world(inverse, x + (i + 0.5) / n, y + (j + 0.5) / n);
            hits += std::any_of(near.begin(), near.end(),
                                [p](const Shape* s) { return inside(*s, p); });
        }
    return float(hits) / float(n * n);
}

} // namespace

std::vector<float> union_coverage(const Bitmap& bitmap, const PenOutline& outline, int samples)
{
    std::vector<float> coverage(std::size_t(bitmap.width()) * std::size_t(bitmap.height()));
    const std::vector<Shape> shapes = shapes_of(bitmap, outline);
    const AffineTransform inverse = *bitmap.transform().inverted();
    std::vector<const Shape*> near;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            near.clear();
            for (const Shape& s : shapes)
                if (x + 1 >= s.pixels.x0 && x <= s.pixels.x1 && y + 1 >= s.pixels.y0 &&
                    y <= s.pixels.y1)
                    near.push_back(&s);
            if (near.empty()) continue;
            coverage[std::size_t(y) * std::size_t(bitmap.width()) + std::size_t(x)] =
                pixel_coverage(near, inverse, x, y, samples);
        }
    return coverage;
}

void paint_coverage(Bitmap& bitmap, const std::vector<float>& coverage, color_ns::Color color)
{
    using namespace color_ns;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            const float c = coverage[std::size_t(y) * std::size_t(bitmap.width()) + std::size_t(x)];
            const int k = int(std::lround(c * 255));
            if (k == 0) continue;
            const auto mul = [k](int v) { return (v * k + 127) / 255; };
            const Color s =
                make(mul(red(color)), mul(green(color)), mul(blue(color)), mul(alpha(color)));
            bitmap.setPixel(x, y, paint_over(bitmap.pixelAt(x, y), s));
        }
}
