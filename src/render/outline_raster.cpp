#include "outline_raster.h"

#include "bitmap.h"
#include "context_wrapper.h"
#include "outline_coverage.h"
#include "outline_spans.h"
#include "path.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// How far a transformation may stray from a similarity, relative to its squared scale,
// before circles would come out visibly oval: 1e-5 moves a 1000-pixel circle's edge by
// well under a hundredth of a pixel.
constexpr double kSimilarityTolerance = 1e-5;
// Rows of a coverage block are chosen to keep it about this many cells, near cache size.
constexpr int kBlockCells = 1 << 18;

std::optional<Similarity> similarity_of(const AffineTransform& t)
{
    const double a = t.a, b = t.b, c = t.c, d = t.d;
    const double n1 = a * a + b * b, n2 = c * c + d * d;
    const double mean = (n1 + n2) / 2;
    // Columns of equal length and at right angles: uniform scale, rotation, maybe a mirror.
    if (!(mean > 0) || !std::isfinite(mean)) return std::nullopt;
    if (std::abs(n1 - n2) > kSimilarityTolerance * mean) return std::nullopt;
    if (std::abs(a * c + b * d) > kSimilarityTolerance * mean) return std::nullopt;
    return Similarity{a, b, c, d, t.tx, t.ty, std::sqrt(mean)};
}

bool usable(const OutlineCircle& c)
{
    const Point lo = c.centre - Point{c.radius, c.radius};
    const Point hi = c.centre + Point{c.radius, c.radius};
    return c.radius >= 0 && finite(c.centre) && finite(lo) && finite(hi);
}

bool usable(const OutlineBand& b)
{
    return std::all_of(std::begin(b.corners), std::end(b.corners),
                       [](Point p) { return finite(p); });
}

bool all_usable(const PenOutline& outline)
{
    return std::all_of(outline.circles.begin(), outline.circles.end(),
                       [](const OutlineCircle& c) { return usable(c); }) &&
           std::all_of(outline.bands.begin(), outline.bands.end(),
                       [](const OutlineBand& b) { return usable(b); });
}

struct Bounds {
    Point lo{INFINITY, INFINITY};
    Point hi{-INFINITY, -INFINITY};

    void add(Point p)
    {
        lo = {min(lo.x, p.x), min(lo.y, p.y)};
        hi = {max(hi.x, p.x), max(hi.y, p.y)};
    }
    // Rounded outwards where floats fall short, so that maxX() and maxY() reach hi.
    Rect rect() const
    {
        if (!(lo.x <= hi.x)) return {};
        Rect r = make_rect(lo, hi - lo);
        while (r.maxX() < hi.x) r.size.width = std::nextafter(r.size.width, INFINITY);
        while (r.maxY() < hi.y) r.size.height = std::nextafter(r.size.height, INFINITY);
        return r;
    }
};

Rect world_bounds(const PenOutline& outline)
{
    Bounds bounds;
    for (const OutlineCircle& c : outline.circles) {
        if (!usable(c)) continue;
        bounds.add(c.centre - Point{c.radius, c.radius});
        bounds.add(c.centre + Point{c.radius, c.radius});
    }
    for (const OutlineBand& b : outline.bands)
        if (usable(b))
            for (const Point p : b.corners) bounds.add(p);
    return bounds.rect();
}

// ---- Painter route

// The path of the shapes that can be drawn, for outlines holding some that cannot: the
// shapes all turn the same way, so their order does not matter to the non-zero fill.
QPainterPath usable_path(const PenOutline& outline)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const OutlineBand& b : outline.bands) {
        if (!usable(b)) continue;
        path.moveTo(b.corners[0].x, b.corners[0].y);
        for (int j = 1; j < 4; ++j) path.lineTo(b.corners[j].x, b.corners[j].y);
        path.closeSubpath();
    }
    for (const OutlineCircle& c : outline.circles)
        if (usable(c)) append_circle(path, c.centre, c.radius);
    return path;
}

QColor unpremultiplied(color_ns::Color c)
{
    using namespace color_ns;
    const float a = float(alpha(c)) / 255;
    const auto channel = [a](int v) { return std::min(float(v) / 255 / a, 1.0f); };
    return QColor::fromRgbF(channel(red(c)), channel(green(c)), channel(blue(c)), a);
}

// Clipped to the span, which QPainter's anti-aliasing could otherwise leave where floats
// are too coarse to bound the shapes. Leaves the context's fill colour as it found it.
void fill_with_painter(Bitmap& target, const PenOutline& outline, color_ns::Color color,
                       const PixelSpan& span)
{
    CGContextWrapper& context = target.cgContext();
    QPainter* painter = context.painter();
    if (!painter) return;
    const QColor previous = context.fillColor();
    context.setFillColor(unpremultiplied(color));
    painter->save();
    const QTransform world = painter->worldTransform();
    painter->resetTransform();
    const Point origin = context.origin();
    painter->setClipRect(QRect(span.x0 - int(origin.x), span.y0 - int(origin.y), span.width(), span.height()));
    painter->setWorldTransform(world);
    const Path path(all_usable(outline) ? outline_path(outline) : usable_path(outline));
    path.fillInContext(context, kNonZero);
    painter->restore();
    context.setFillColor(previous);
}

// ---- Coverage route

struct CoverageScratch {
    std::vector<PixelCircle> circles;
    std::vector<PixelBand> bands;
    PixelOutline outline;
    CoverageBlock block;
};

// Kept between strokes: a stroke is drawn many times while the pen moves.
CoverageScratch& scratch()
{
    thread_local CoverageScratch kept;
    return kept;
}

// Covers and paints the span in blocks of rows.
template <typename Cover>
void paint_in_blocks(Bitmap& target, color_ns::Color color, const PixelSpan& span,
                     const Cover& cover)
{
    CoverageBlock& block = scratch().block;
    const int rows = std::clamp(kBlockCells / span.width(), 1, span.height());
    for (int y = span.y0; y <= span.y1; y += rows) {
        reset_block(block, {span.x0, span.x1, y, std::min(span.y1, y + rows - 1)});
        cover(block);
        paint_block(block, target, color);
    }
    trim_block(block);
}

struct PixelPoint {
    double x, y;
};

PixelPoint to_pixels(const Similarity& m, Point p)
{
    return {m.a * p.x + m.c * p.y + m.tx, m.b * p.x + m.d * p.y + m.ty};
}

// Whether the box [x0, x1] x [y0, y1] reaches any pixel of the span.
bool meets(const PixelSpan& s, double x0, double y0, double x1, double y1)
{
    return x1 >= s.x0 && x0 <= s.x1 + 1.0 && y1 >= s.y0 && y0 <= s.y1 + 1.0;
}

void collect_circles(const PenOutline& outline, const Similarity& m, const PixelSpan& span,
                     std::vector<PixelCircle>& out)
{
    out.clear();
    for (const OutlineCircle& c : outline.circles) {
        if (!usable(c) || !(c.radius > 0)) continue;
        const PixelPoint p = to_pixels(m, c.centre);
        const double r = c.radius * m.scale;
        if (meets(span, p.x - r, p.y - r, p.x + r, p.y + r)) out.push_back({p.x, p.y, r});
    }
}

// Band k runs from circle i - 1 to circle i, where i is the k-th circle with a band before it.
void collect_bands(const PenOutline& outline, const Similarity& m, const PixelSpan& span,
                   std::vector<PixelBand>& out)
{
    out.clear();
    const auto band_before = [&outline](std::size_t i) {
        return i < outline.band_before.size() && outline.band_before[i];
    };
    std::size_t k = 0;
    bool previous_usable = false; // a usable band ends at circle i - 1
    for (std::size_t i = 0; i < outline.circles.size() && k < outline.bands.size(); ++i) {
        if (!band_before(i)) {
            previous_usable = false;
            continue;
        }
        const OutlineBand& b = outline.bands[k++];
        const bool joined_at_start = previous_usable;
        previous_usable = usable(b);
        if (!previous_usable) continue;
        const bool joined_at_end =
            band_before(i + 1) && k < outline.bands.size() && usable(outline.bands[k]);
        PixelCorners q;
        for (int j = 0; j < 4; ++j) {
            const PixelPoint p = to_pixels(m, b.corners[j]);
            q.x[j] = p.x;
            q.y[j] = p.y;
        }
        PixelBand& band = out.emplace_back();
        if (!make_pixel_band(q, joined_at_start, joined_at_end, band) ||
            !meets(span, band.x0, band.y0, band.x1, band.y1))
            out.pop_back();
    }
}

void fill_with_coverage(Bitmap& target, const PenOutline& outline, color_ns::Color color,
                        const Similarity& m, const PixelSpan& span)
{
    CoverageScratch& s = scratch();
    collect_circles(outline, m, span, s.circles);
    collect_bands(outline, m, span, s.bands);
    if (s.circles.empty() && s.bands.empty()) return;
    paint_in_blocks(target, color, span, [&s](CoverageBlock& block) {
        for (const PixelBand& b : s.bands) cover_band(block, b);
        for (const PixelCircle& c : s.circles) cover_circle(block, c);
    });
}

void fill_with_spans(Bitmap& target, const PenOutline& outline, color_ns::Color color,
                     const Similarity& m, const PixelSpan& span, bool merge)
{
    PixelOutline& pixels = scratch().outline;
    make_pixel_outline(outline, m, span, merge, pixels);
    if (pixels.circles.empty() && pixels.bands.empty()) return;
    paint_in_blocks(target, color, span,
                    [&pixels](CoverageBlock& block) { cover_outline(block, pixels); });
}

PixelSpan intersect(const PixelSpan& a, const PixelSpan& b)
{
    return {std::max(a.x0, b.x0), std::min(a.x1, b.x1), std::max(a.y0, b.y0),
            std::min(a.y1, b.y1)};
}

// No channel of a premultiplied colour exceeds its alpha; both routes paint the clamped one.
color_ns::Color premultiplied_clamped(color_ns::Color c)
{
    using namespace color_ns;
    const int a = alpha(c);
    return make(std::min(red(c), a), std::min(green(c), a), std::min(blue(c), a), a);
}

} // namespace

Rect fill_outline(Bitmap& target, const PenOutline& outline, color_ns::Color color,
                  OutlineRoute route)
{
    return fill_outline(target, outline, color, {0, target.width() - 1, 0, target.height() - 1},
                        route);
}

Rect fill_outline(Bitmap& target, const PenOutline& outline, color_ns::Color color,
                  const PixelSpan& clip, OutlineRoute route)
{
    const Rect bounds = world_bounds(outline);
    const color_ns::Color paint = premultiplied_clamped(color);
    if (target.isEmpty() || color_ns::alpha(paint) == 0) return bounds;
    const PixelSpan span = intersect(target.span(target.worldRectToBitmapRect(bounds)), clip);
    if (span.empty()) return bounds;
    const std::optional<Similarity> m =
        route != OutlineRoute::Painter ? similarity_of(target.transform()) : std::nullopt;
    if (!m)
        fill_with_painter(target, outline, paint, span);
    else if (route == OutlineRoute::Reference)
        fill_with_coverage(target, outline, paint, *m, span);
    else
        fill_with_spans(target, outline, paint, *m, span, route == OutlineRoute::Merged);
    return bounds;
}
