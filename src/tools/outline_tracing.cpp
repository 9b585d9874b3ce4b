#include "outline_tracing.h"

#include "pavo_assert.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace {

using color_ns::Color;

// Pixels are compared as they lie in memory; equality and the alpha test do not care about
// the byte order once the constants are stored the same way.
constexpr std::uint32_t stored(Color c)
{
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap32(c);
    else return c;
}
constexpr std::uint32_t kStoredAlpha = stored(0x000000FFu);
constexpr std::uint32_t kStoredMarker = stored(kHoleMarker);

// Truncated toward zero, then clamped to 0..size - 1; NaN counts as 0.
int pixel_index(double v, int size)
{
    if (!(v > 0)) return 0;
    if (v >= double(size - 1)) return size - 1;
    return int(v);
}

// Truncated toward zero with no clamping, for limits that are clamped afterwards.
int truncated(double v)
{
    if (std::isnan(v)) return 0;
    return int(std::clamp(std::trunc(v), -2147483647.0, 2147483647.0));
}

// Raw access to a bitmap's pixels in memory order; T is const for reading only.
template <typename T> class Pixels {
public:
    template <typename B>
    explicit Pixels(B& bitmap) : _p(bitmap.pixel(0, 0)), _w(bitmap.width()), _h(bitmap.height())
    {
    }
    int width() const { return _w; }
    int height() const { return _h; }
    T* row(int y) const { return _p + std::size_t(y) * std::size_t(_w); }
    T& at(int x, int y) const { return row(y)[x]; }
    bool is(int x, int y, std::uint32_t value) const
    {
        return x >= 0 && y >= 0 && x < _w && y < _h && at(x, y) == value;
    }

private:
    T* _p;
    int _w;
    int _h;
};
using MaskPixels = Pixels<std::uint32_t>;
using ConstMaskPixels = Pixels<const std::uint32_t>;

bool transparent(std::uint32_t v) { return (v & kStoredAlpha) == 0; }
bool unvisited(std::uint32_t v) { return transparent(v) && v != kStoredMarker; }

Direction direction_of(Point step)
{
    if (step.y == 0) {
        if (step.x == 1) return Direction::RIGHT;
        if (step.x == -1) return Direction::LEFT;
    } else if (step.x == 0) {
        if (step.y == 1) return Direction::DOWN;
        if (step.y == -1) return Direction::UP;
    }
    return Direction::OTHER;
}

// Marks every unvisited transparent pixel of the box that a path of such pixels, corners
// included, links to the box's border. The outline tracer keeps the region 4-connected, so
// where two region pixels touch only at a corner the space beside them runs through: a
// transparent area that reaches the outside that way lies outside the traced outline and
// must not become a hole too, or the even-odd rule would fill it.
void mark_outside(const MaskPixels& px, const PixelSpan& box)
{
    const std::size_t box_width = std::size_t(box.width());
    const auto index_of = [&](int x, int y) {
        return std::size_t(y - box.y0) * box_width + std::size_t(x - box.x0);
    };
    std::vector<std::size_t> pending;
    const auto mark = [&](int x, int y) {
        if (!unvisited(px.at(x, y))) return;
        px.at(x, y) = kStoredMarker;
        pending.push_back(index_of(x, y));
    };
    const auto visit = [&](int x, int y) {
        mark(x, y);
        while (!pending.empty()) {
            const std::size_t i = pending.back();
            pending.pop_back();
            const int cx = box.x0 + int(i % box_width);
            const int cy = box.y0 + int(i / box_width);
            for (int ny = std::max(cy - 1, box.y0); ny <= std::min(cy + 1, box.y1); ++ny)
                for (int nx = std::max(cx - 1, box.x0); nx <= std::min(cx + 1, box.x1); ++nx) mark(nx, ny);
        }
    };
    for (int x = box.x0; x <= box.x1; ++x) {
        visit(x, box.y0);
        visit(x, box.y1);
    }
    for (int y = box.y0; y <= box.y1; ++y) {
        visit(box.x0, y);
        visit(box.x1, y);
    }
}

} // namespace

Direction dir(const PointList& points, std::size_t i)
{
    const std::size_t n = points.size();
    if (n == 0) return Direction::OTHER;
    return direction_of(points[(i + 1) % n] - points[i % n]);
}

void flood_fill_at(Bitmap& bitmap, Point start, Color color, const Rect& limit)
{
    if (bitmap.isEmpty()) return;
    const MaskPixels px(bitmap);
    const int w = px.width(), h = px.height();
    const int x0 = pixel_index(start.x, w), y0 = pixel_index(start.y, h);
    // Limits beyond the bitmap would let the sweeps walk off it.
    const int rmin_x = std::max(truncated(limit.minX()), 0);
    const int rmin_y = std::max(truncated(limit.minY()), 0);
    const int rmax_x = std::min(truncated(double(limit.minX()) + double(limit.size.width)), w - 1);
    const int rmax_y = std::min(truncated(double(limit.minY()) + double(limit.size.height)), h - 1);
    if (x0 < rmin_x || x0 > rmax_x || y0 < rmin_y || y0 > rmax_y) return;

    const std::uint32_t s = px.at(x0, y0), k = stored(color);
    px.at(x0, y0) = k;
    if (s == k) return;
    int min_x = x0, max_x = x0, min_y = y0, max_y = y0;
    bool changed = true;
    while (changed) {
        changed = false;
        for (int y = min_y; y <= std::min(max_y + 1, rmax_y); ++y) {
            std::uint32_t* row = px.row(y);
            const std::uint32_t* above = y > 0 ? px.row(y - 1) : nullptr;
            for (int x = min_x; x <= std::min(max_x + 1, rmax_x); ++x) {
                if (row[x] != s) continue;
                if (!((above && above[x] == k) || (x > 0 && row[x - 1] == k))) continue;
                row[x] = k;
                changed = true;
                max_x = std::min(std::max(max_x, x), rmax_x);
                max_y = std::min(std::max(max_y, y), rmax_y);
            }
        }
        for (int y = max_y; y >= std::max(min_y - 1, rmin_y); --y) {
            std::uint32_t* row = px.row(y);
            const std::uint32_t* below = y != h - 1 ? px.row(y + 1) : nullptr;
            for (int x = max_x; x >= std::max(min_x - 1, rmin_x); --x) {
                if (row[x] != s) continue;
                if (!((below && below[x] == k) || (x != w - 1 && row[x + 1] == k))) continue;
                row[x] = k;
                changed = true;
                min_x = std::max(std::min(min_x, x), rmin_x);
                min_y = std::max(std::min(min_y, y), rmin_y);
            }
        }
    }
}

PixelSpan hole_search_box(const Bitmap& mask, const Rect& region)
{
    if (mask.isEmpty() || !finite(region)) return {};
    const double x = region.minX(), y = region.minY();
    const double right = x + double(region.size.width), bottom = y + double(region.size.height);
    if (right < x || bottom < y) return {};
    // The region's pixels run from x to right - 1; one more on each side is outside it.
    return {std::clamp(truncated(x) - 1, 0, mask.width() - 1), std::clamp(truncated(right), 0, mask.width() - 1),
            std::clamp(truncated(y) - 1, 0, mask.height() - 1), std::clamp(truncated(bottom), 0, mask.height() - 1)};
}

void find_holes_in_rect(Bitmap& mask, const Rect& region, PointList& holes)
{
    const PixelSpan box = hole_search_box(mask, region);
    if (box.empty()) return;
    const MaskPixels px(mask);
    mark_outside(px, box);
    const Rect limit = make_rect(float(box.x0), float(box.y0), float(box.x1 - box.x0), float(box.y1 - box.y0));
    for (int y = box.y0 + 1; y < box.y1; ++y) {
        const std::uint32_t* row = px.row(y);
        for (int x = box.x0 + 1; x < box.x1; ++x) {
            if (!unvisited(row[x])) continue;
            holes.push_back({float(x), float(y)});
            flood_fill_at(mask, {float(x), float(y)}, kHoleMarker, limit);
        }
    }
}

bool clockwise_outline_from(const Bitmap& mask, Point start, PointList& outline)
{
    if (mask.isEmpty()) return false;
    const ConstMaskPixels px(mask);
    const int w = px.width(), h = px.height();
    const int sx = pixel_index(start.x, w), sy = pixel_index(start.y, h);
    const std::uint32_t c = px.at(sx, sy);
    if (px.is(sx, sy - 1, c)) return false;

    const auto is_c = [&](int x, int y) { return px.is(x, y, c); };
    // As if the last step had run right along the start pixel's top edge.
    const int start_x = sx + 1, start_y = sy;
    int x = start_x, y = start_y;
    Direction last = Direction::RIGHT;
    do {
        outline.push_back({float(x), float(y)});
        // The region lies on the right: turn left when both pixels ahead belong to it, go
        // straight on when only the right-hand one does, and turn right otherwise.
        switch (last) {
        case Direction::RIGHT:
            PAVO_ASSERT(is_c(x - 1, y));
            if (is_c(x, y) && is_c(x, y - 1)) last = Direction::UP;
            else if (!is_c(x, y)) last = Direction::DOWN;
            break;
        case Direction::UP:
            PAVO_ASSERT(is_c(x, y));
            if (is_c(x, y - 1) && is_c(x - 1, y - 1)) last = Direction::LEFT;
            else if (!is_c(x, y - 1)) last = Direction::RIGHT;
            break;
        case Direction::LEFT:
            PAVO_ASSERT(is_c(x, y - 1));
            if (is_c(x - 1, y - 1) && is_c(x - 1, y)) last = Direction::DOWN;
            else if (!is_c(x - 1, y - 1)) last = Direction::UP;
            break;
        case Direction::DOWN:
            PAVO_ASSERT(is_c(x - 1, y - 1));
            if (is_c(x, y) && is_c(x - 1, y)) last = Direction::RIGHT;
            else if (!is_c(x - 1, y)) last = Direction::LEFT;
            break;
        case Direction::OTHER:
            break;
        }
        switch (last) {
        case Direction::RIGHT: ++x; break;
        case Direction::DOWN: ++y; break;
        case Direction::LEFT: --x; break;
        case Direction::UP: --y; break;
        case Direction::OTHER: break;
        }
        // The start vertex alone is not enough: where two region pixels touch at a corner
        // the outline passes the same vertex twice, in different directions.
    } while (!(x == start_x && y == start_y && last == Direction::RIGHT));
    return true;
}

namespace {

// The list being simplified, split at the current point: the points up to it in `_done`,
// the rest still in `_todo` from `_next` on. Almost every removal takes the point right
// after the current one, which is then a step of `_next` instead of a shift of the list.
class SimplifyList {
public:
    explicit SimplifyList(PointList&& points) : _todo(std::move(points))
    {
        _done.reserve(_todo.size());
        _done.push_back(_todo[0]);
        _next = 1;
    }

    std::size_t size() const { return _done.size() + (_todo.size() - _next); }
    Direction dir(std::size_t i) const { return direction_of(at(i + 1) - at(i)); }
    // Moves the split so that the point at i is the last one done.
    void advanceTo(std::size_t i)
    {
        while (_done.size() < i + 1 && _next < _todo.size()) _done.push_back(_todo[_next++]);
    }
    void removeAt(std::size_t i)
    {
        i %= size();
        if (i == _done.size()) ++_next;
        else if (i < _done.size()) _done.erase(_done.begin() + std::ptrdiff_t(i));
        else _todo.erase(_todo.begin() + std::ptrdiff_t(_next + (i - _done.size())));
    }
    PointList take()
    {
        _done.insert(_done.end(), _todo.begin() + std::ptrdiff_t(_next), _todo.end());
        return std::move(_done);
    }

private:
    Point at(std::size_t i) const
    {
        i %= size();
        return i < _done.size() ? _done[i] : _todo[_next + (i - _done.size())];
    }

    PointList _done;
    PointList _todo;
    std::size_t _next = 0;
};

// Runs longer than this all come out the same, so counting stops there.
constexpr std::size_t kLongRun = 10;

} // namespace

void simplify_points_on_outside(PointList& points)
{
    if (points.size() < 4) return;
    SimplifyList list(std::move(points));
    for (std::size_t i = 0; i < list.size() && list.size() >= 4; ++i) {
        list.advanceTo(i);
        const Direction d = list.dir(i);
        if (d == Direction::OTHER) continue;
        const Direction t = turn_left(d);
        const Direction e = list.dir(i + 1);
        if (e == Direction::OTHER) continue;
        std::size_t k = 0;
        if (e == t) {
            // A concave corner, or a run of them: a staircase collapses to its outer corners.
            k = 1;
            while (k <= kLongRun && list.dir(i + k + 1) == t) ++k;
        } else if (e == d) {
            k = 1;
            while (k <= kLongRun && list.dir(i + k + 1) == d) ++k;
            if (k <= kLongRun && list.dir(i + k + 1) == t) ++k;
        }
        // A long edge keeps a vertex every sixth unit, so it still follows the region.
        if (k > kLongRun) k = 5;
        for (; k > 0 && list.size() >= 4; --k) list.removeAt(i + 1);
    }
    points = list.take();
}
