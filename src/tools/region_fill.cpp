#include "region_fill.h"

#include "gap_closing.h"
#include "outline_tracing.h"
#include "pavo_assert.h"
#include "stroke_render.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using color_ns::Color;

// Pixels are compared as they lie in memory; the constants are stored the same way.
constexpr std::uint32_t stored(Color c)
{
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap32(c);
    else return c;
}
constexpr std::uint32_t kStoredAlpha = stored(0x000000FFu);
// Alpha 0, so a pixel found in one growth step does not count as filled within that step.
constexpr std::uint32_t kStoredGrowing = stored(0x12345600u);

bool filled(std::uint32_t v) { return (v & kStoredAlpha) != 0; }

// Truncated toward zero, then clamped to 0..size - 1; NaN counts as 0.
int pixel_index(double v, int size)
{
    if (!(v > 0)) return 0;
    if (v >= double(size - 1)) return size - 1;
    return int(v);
}

// The largest channel difference that still matches: the distance d / 255 is compared with
// the tolerance exactly as a float, so the table agrees with color_ns::distance.
int largest_matching_difference(float tolerance)
{
    if (std::isnan(tolerance)) tolerance = 0;
    int largest = -1;
    for (int d = 0; d <= 255; ++d)
        if (float(d / 255.0) <= tolerance) largest = d;
    return largest;
}

// Whether a source pixel counts as the start colour: the largest difference over its four
// bytes is within the limit (byte order does not matter for that).
class Match {
public:
    Match(std::uint32_t start, float tolerance) : _start(start), _largest(largest_matching_difference(tolerance)) {}
    bool operator()(std::uint32_t v) const
    {
        // Most pixels of a flooded area are exactly the start colour.
        if (v == _start) return _largest >= 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const int d = int((v >> shift) & 255u) - int((_start >> shift) & 255u);
            if (d > _largest || -d > _largest) return false;
        }
        return true;
    }

private:
    std::uint32_t _start;
    int _largest;
};

struct Grid {
    int width;
    int height;
    std::uint32_t* mask;
    std::size_t index(int x, int y) const { return std::size_t(y) * std::size_t(width) + std::size_t(x); }
};

// The pixels a growth step of r looks at: r and a margin, both ends inclusive.
PixelSpan growth_range(const Rect& r, int width, int height)
{
    if (!finite(r) || width <= 0 || height <= 0) return {};
    const auto clamped = [](double v, int size) {
        return int(std::clamp(std::trunc(v), 0.0, double(size - 1)));
    };
    const double x = r.minX(), y = r.minY();
    return {clamped(x - 1, width), clamped(x + double(r.size.width) + 2, width), clamped(y - 1, height),
            clamped(y + double(r.size.height) + 2, height)};
}

// Whether a filled diagonal neighbour of (x, y) makes it grow; neighbours in the last
// column or row never count.
bool has_filled_diagonal(const Grid& g, int x, int y)
{
    for (const int ny : {y - 1, y + 1}) {
        if (ny < 0 || ny > g.height - 2) continue;
        for (const int nx : {x - 1, x + 1})
            if (nx >= 0 && nx <= g.width - 2 && filled(g.mask[g.index(nx, ny)])) return true;
    }
    return false;
}

struct Pixel {
    int x;
    int y;
};

} // namespace

Rect flood_fill(Bitmap& mask, const Bitmap& source, Point p, Color color, float tolerance)
{
    PAVO_ASSERT(mask.width() == source.width() && mask.height() == source.height());
    if (mask.isEmpty()) return {};
    const int w = mask.width(), h = mask.height();
    std::uint32_t* const m = mask.pixel(0, 0);
    const std::uint32_t* const d = source.pixel(0, 0);
    const auto at = [w](int x, int y) { return std::size_t(y) * std::size_t(w) + std::size_t(x); };
    const int x0 = pixel_index(p.x, w), y0 = pixel_index(p.y, h);
    const Match match(d[at(x0, y0)], tolerance);
    const std::uint32_t k = stored(color);
    const auto open = [&](int x, int y) { return !filled(m[at(x, y)]) && match(d[at(x, y)]); };
    int min_x = x0, max_x = x0, min_y = y0, max_y = y0;

    // Each seed is widened to its whole run along the row, which is filled at once; the
    // runs it touches in the rows above and below become seeds, one for each run. Every
    // pixel is so looked at a few times, however winding the region.
    std::vector<Pixel> seeds{{x0, y0}};
    while (!seeds.empty()) {
        const auto [x, y] = seeds.back();
        seeds.pop_back();
        if (filled(m[at(x, y)])) continue;
        int left = x, right = x;
        while (left > 0 && open(left - 1, y)) --left;
        while (right < w - 1 && open(right + 1, y)) ++right;
        std::fill(m + at(left, y), m + at(right, y) + 1, k);
        min_x = std::min(min_x, left), max_x = std::max(max_x, right);
        min_y = std::min(min_y, y), max_y = std::max(max_y, y);
        for (const int row : {y - 1, y + 1}) {
            if (row < 0 || row >= h) continue;
            for (int nx = left; nx <= right; ++nx) {
                if (!open(nx, row)) continue;
                seeds.push_back({nx, row});
                while (nx < right && open(nx + 1, row)) ++nx;
            }
        }
    }
    return make_rect(float(min_x), float(min_y), float(max_x - min_x + 1), float(max_y - min_y + 1));
}

void expand_step(Bitmap& mask, const Rect& r, Color color)
{
    const PixelSpan range = growth_range(r, mask.width(), mask.height());
    if (range.empty()) return;
    const Grid g{mask.width(), mask.height(), mask.pixel(0, 0)};
    for (int y = range.y0; y <= range.y1; ++y)
        for (int x = range.x0; x <= range.x1; ++x)
            if (g.mask[g.index(x, y)] == 0 && has_filled_diagonal(g, x, y)) g.mask[g.index(x, y)] = kStoredGrowing;
    const std::uint32_t k = stored(color);
    for (int y = range.y0; y <= range.y1; ++y)
        for (int x = range.x0; x <= range.x1; ++x)
            if (g.mask[g.index(x, y)] == kStoredGrowing) g.mask[g.index(x, y)] = k;
}

void grow_mask(Bitmap& mask, const Rect& r, int steps, Color color)
{
    if (steps <= 0) return;
    const PixelSpan range = growth_range(r, mask.width(), mask.height());
    if (range.empty()) return;
    const Grid g{mask.width(), mask.height(), mask.pixel(0, 0)};
    const std::uint32_t k = stored(color);

    // The first step looks at the whole range; each later one only at the diagonal
    // neighbours of the pixels the step before filled, since no other pixel can change.
    std::vector<Pixel> edge;
    for (int y = range.y0; y <= range.y1; ++y)
        for (int x = range.x0; x <= range.x1; ++x)
            if (g.mask[g.index(x, y)] == 0 && has_filled_diagonal(g, x, y)) edge.push_back({x, y});
    std::vector<Pixel> next;
    for (int step = 1;; ++step) {
        for (const Pixel& p : edge) g.mask[g.index(p.x, p.y)] = k;
        if (step == steps || edge.empty()) break;
        next.clear();
        for (const Pixel& p : edge) {
            if (p.x > g.width - 2 || p.y > g.height - 2) continue;
            for (const int ny : {p.y - 1, p.y + 1}) {
                if (ny < range.y0 || ny > range.y1) continue;
                for (const int nx : {p.x - 1, p.x + 1}) {
                    if (nx < range.x0 || nx > range.x1) continue;
                    std::uint32_t& v = g.mask[g.index(nx, ny)];
                    if (v != 0) continue;
                    v = kStoredGrowing;
                    next.push_back({nx, ny});
                }
            }
        }
        edge.swap(next);
    }
}

namespace {

// The pixels of the grown fill: the flood's bounding box grown by `expand` on every side,
// clamped to the canvas.
Rect grown_area(const Rect& found, long long expand, int width, int height)
{
    const auto whole = [](float v) { return static_cast<long long>(v); };
    const long long x0 = std::max(0LL, whole(found.minX()) - expand);
    const long long y0 = std::max(0LL, whole(found.minY()) - expand);
    const long long x1 = std::min(static_cast<long long>(width), whole(found.maxX()) + expand);
    const long long y1 = std::min(static_cast<long long>(height), whole(found.maxY()) + expand);
    return make_rect(float(x0), float(y0), float(x1 - x0), float(y1 - y0));
}

void add_outline(std::vector<PathElement>& elements, const PointList& outline, const PavoCanvas& canvas)
{
    if (outline.empty()) return;
    elements.push_back({kMoveTo, {canvas.bitmapPointToWorldPoint(outline.front())}});
    for (std::size_t i = 1; i < outline.size(); ++i)
        elements.push_back({kLineTo, {canvas.bitmapPointToWorldPoint(outline[i])}});
    elements.push_back({kClosePath, {}});
}

// Traces the region or hole whose first pixel is `start`, simplified, into the path.
bool add_traced(std::vector<PathElement>& elements, const Bitmap& mask, Point start,
                const PavoCanvas& canvas, PointList& scratch)
{
    scratch.clear();
    if (!clockwise_outline_from(mask, start, scratch)) return false;
    simplify_points_on_outside(scratch);
    add_outline(elements, scratch, canvas);
    return true;
}

} // namespace

std::optional<FillOutline> fill_outline_at(PavoCanvas& canvas, Point p, float tolerance, int expand, float gap_radius)
{
    Bitmap& mask = canvas.strokeBitmap();
    if (mask.isEmpty() || std::isnan(p.x) || std::isnan(p.y)) return std::nullopt;
    const int w = mask.width(), h = mask.height();
    // The click, moved onto the canvas: the flood and the outer outline start from it.
    const int x = pixel_index(p.x, w), y = pixel_index(p.y, h);
    const Rect flooded = flood_fill(mask, canvas.drawBitmap(), {float(x), float(y)}, color_ns::RED, tolerance);
    const Rect found = close_gaps(mask, flooded, x, y, gap_radius);

    // Steps beyond the canvas's size change nothing that fewer steps would not.
    const int steps = std::clamp(expand, 0, w + h);
    const Rect area = grown_area(found, steps, w, h);
    grow_mask(mask, area, steps, color_ns::RED);
    PointList holes;
    find_holes_in_rect(mask, area, holes);

    // The topmost filled pixel of the click's column lies on the outer outline: nothing of
    // the fill is above it, so the column above it leads outside.
    int top = y;
    for (int row = y; row >= int(area.minY()); --row)
        if (mask.pixelAt(x, row) == color_ns::RED) top = row;

    std::vector<PathElement> elements;
    PointList outline;
    const bool traced = add_traced(elements, mask, {float(x), float(top)}, canvas, outline);
    if (traced)
        for (const Point& hole : holes) add_traced(elements, mask, hole, canvas, outline);

    // Everything the fill wrote lies in the hole search box.
    const PixelSpan box = hole_search_box(mask, area);
    mask.fillRect(make_rect(float(box.x0), float(box.y0), float(box.x1 - box.x0), float(box.y1 - box.y0)),
                  color_ns::TRANSPARENT);
    if (!traced) return std::nullopt;
    return FillOutline{Path(std::move(elements), kEvenOdd), area};
}

int usable_precision(Size size, int wanted)
{
    const double pixels = double(size.width) * double(size.height);
    for (const int multiple : {4, 2})
        if (wanted >= multiple && pixels * multiple * multiple <= kLargestFinePixels) return multiple;
    return 1;
}

std::unique_ptr<PavoCanvas> finer_canvas(const PavoCanvas& canvas, const StrokeArray& strokes, int multiple,
                                         std::unique_ptr<PavoCanvas> reused)
{
    const Size size{canvas.size().width * float(multiple), canvas.size().height * float(multiple)};
    const bool fits = reused && reused->size().width == size.width && reused->size().height == size.height;
    auto finer = fits ? std::move(reused) : PavoCanvas::create(size);
    const float k = float(multiple);
    if (!finer || !finer->setTransform(AffineTransform::scaling(k, k).after(canvas.transform()))) return nullptr;
    finer->fill(color_ns::TRANSPARENT);
    render_strokes(strokes, *finer, {0, int(size.width) - 1, 0, int(size.height) - 1});
    return finer;
}
