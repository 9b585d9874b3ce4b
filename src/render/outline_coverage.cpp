#include "outline_coverage.h"

#include "bitmap.h"
#include "transfer_ops.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Below this radius a circle's edge is too curved for the straight-edge coverage, so small
// circles integrate their area instead.
constexpr double kSmallRadius = 2.0;
constexpr int kSmallColumns = 6; // more than a circle narrower than 4 px can touch
constexpr int kSubRows = 16;
// No pixel reaches further than this from its centre.
constexpr double kHalfDiagonal = 0.70710678118654757;
// Up to this radius (pixels) the ring of a circle is computed in floats.
constexpr double kFloatRadius = 4096;
// Bands thinner than this (in pixels) cover nothing worth a byte.
constexpr double kMinBandWidth = 1e-6;
// How far beyond its end a band still covers pixel centres where the next band continues.
constexpr double kJoinReach = 0.5;
// Blocks wider than this give their memory back after use.
constexpr std::size_t kKeptCells = std::size_t(1) << 22;

struct IndexRange {
    int first = 0, last = -1;
    bool empty() const { return last < first; }
};

double square(double v)
{
    return v * v;
}

// floor(v) limited to lo - 1 .. hi + 1, for v not NaN: limiting first keeps huge values out
// of the conversion, and the offset makes truncation the floor without a library call.
int floor_index(double v, int lo, int hi)
{
    const double base = lo - 1.0, top = hi + 1.0;
    const double limited = v < base ? base : (v > top ? top : v);
    return int(limited - base) + (lo - 1);
}

// Pixels min_i..max_i whose extent [i, i + 1] meets [lo, hi].
IndexRange cells_between(double lo, double hi, int min_i, int max_i)
{
    if (!(lo <= hi)) return {};
    return {std::max(floor_index(lo, min_i, max_i), min_i),
            std::min(floor_index(hi, min_i, max_i), max_i)};
}

// Pixels min_i..max_i whose centre i + 0.5 lies in [lo, hi], except perhaps one whose
// centre lies exactly on lo.
IndexRange centres_within(double lo, double hi, int min_i, int max_i)
{
    if (!(lo <= hi)) return {};
    return {std::max(floor_index(lo - 0.5, min_i, max_i) + 1, min_i),
            std::min(floor_index(hi - 0.5, min_i, max_i), max_i)};
}

std::uint8_t coverage_byte(double coverage)
{
    if (!(coverage > 0)) return 0;
    if (coverage >= 1) return 255;
    return std::uint8_t(coverage * 255 + 0.5);
}

// One row of cells, indexed by pixel column.
struct Row {
    std::uint8_t* cells;
    int x0;
    std::uint8_t& operator[](int x) const { return cells[x - x0]; }
};

Row row_cells(CoverageBlock& b, int y)
{
    return {b.cells.data() + std::size_t(y - b.clip.y0) * std::size_t(b.stride), b.clip.x0};
}

void touch(CoverageBlock& b, int y, IndexRange columns)
{
    const std::size_t row = std::size_t(y - b.clip.y0);
    b.lo[row] = std::min(b.lo[row], columns.first);
    b.hi[row] = std::max(b.hi[row], columns.last);
}

// Whether every cell of the range is covered whole already, checked eight at a time.
bool all_full(Row cells, IndexRange r)
{
    int x = r.first;
    for (std::uint64_t eight; x + 7 <= r.last; x += 8) {
        std::memcpy(&eight, &cells[x], 8);
        if (eight != ~std::uint64_t(0)) return false;
    }
    for (; x <= r.last; ++x)
        if (cells[x] != 255) return false;
    return true;
}

void fill_full(Row cells, IndexRange r)
{
    if (!r.empty()) std::memset(&cells[r.first], 255, std::size_t(r.last - r.first + 1));
}

// ---- Circles

// Share of a pixel inside a straight edge, as edge_coverage() gives it, for a normal
// (ax, ay) / rho and s = 2 * rho * t: multiplied through by rho, only the ramp divides.
template <typename T> T edge_share(T ax, T ay, T rho, T t)
{
    const T big = std::max(ax, ay), small = std::min(ax, ay);
    const T s = 2 * rho * t, w1 = big + small, w0 = big - small;
    if (s >= w1) return 1;
    if (s <= -w1) return 0;
    if (s > w0) return 1 - (w1 - s) * (w1 - s) / (8 * big * small);
    if (s < -w0) return (w1 + s) * (w1 + s) / (8 * big * small);
    return T(0.5) + s / (2 * big);
}

// Near its edge a circle is its tangent, less what the curve takes off: over a pixel that
// averages 1/(24 r), so the tangent is drawn that much further in.
double edge_radius(double r)
{
    return r - 1 / (24 * r);
}

// Only pixels within half a diagonal of the edge are partly covered and need a square root.
// Floats are faster and, measured from a centre, precise enough below kFloatRadius.
template <typename T>
void circle_ring(Row cells, const PixelCircle& c, double re, double dy, IndexRange r)
{
    const T ay = T(std::abs(dy)), edge = T(re);
    for (int x = r.first; x <= r.last; ++x) {
        if (cells[x] == 255) continue;
        const T ax = T(std::abs(x + 0.5 - c.cx));
        const T rho = std::sqrt(ax * ax + ay * ay);
        cells[x] = std::max(cells[x], coverage_byte(edge_share(ax, ay, rho, edge - rho)));
    }
}

void circle_ring(Row cells, const PixelCircle& c, double re, double dy, IndexRange r)
{
    if (c.r < kFloatRadius)
        circle_ring<float>(cells, c, re, dy, r);
    else
        circle_ring<double>(cells, c, re, dy, r);
}

// Pixels of the row wholly inside: their farthest corner is within the edge radius.
IndexRange full_in_row(const PixelCircle& c, double re, double dy, IndexRange span)
{
    const double inner2 = square(re - kHalfDiagonal) - dy * dy;
    if (!(re > kHalfDiagonal && inner2 > 0)) return {};
    const double wi = std::sqrt(inner2);
    return centres_within(c.cx - wi, c.cx + wi, span.first, span.last);
}

IndexRange intersect(IndexRange a, IndexRange b)
{
    return {std::max(a.first, b.first), std::min(a.last, b.last)};
}

// The centres of row py in the opening. Its lines are moved out by a hair, so that a centre
// exactly on one is covered by both the band and the circle rather than by neither.
IndexRange opening_columns(const CircleOpening& o, double py, IndexRange cols)
{
    constexpr double kHair = 1e-7;
    double lo = -std::numeric_limits<double>::infinity(), hi = -lo;
    for (int i = 0; i < o.count; ++i) {
        const CircleOpening::Line& l = o.lines[i];
        const double rhs = l.c - l.ny * py - kHair; // nx * x > rhs
        if (l.nx > 0)
            lo = std::max(lo, rhs / l.nx);
        else if (l.nx < 0)
            hi = std::min(hi, rhs / l.nx);
        else if (!(rhs < 0))
            return {};
    }
    return o.count ? intersect(cols, centres_within(lo, hi, cols.first, cols.last)) : cols;
}

void cover_circle_row(CoverageBlock& b, const PixelCircle& c, double re, int y,
                      const CircleOpening& o)
{
    const double dy = y + 0.5 - c.cy;
    const double outer2 = square(re + kHalfDiagonal) - dy * dy;
    if (!(outer2 > 0)) return;
    const double wo = std::sqrt(outer2);
    const IndexRange span = opening_columns(
        o, y + 0.5, centres_within(c.cx - wo, c.cx + wo, b.clip.x0, b.clip.x1));
    if (span.empty()) return;
    const Row cells = row_cells(b, y);
    // Inside a stroke the bands have mostly covered a circle's rows already.
    if (all_full(cells, span)) return;
    touch(b, y, span);
    const IndexRange full = full_in_row(c, re, dy, span);
    if (full.empty()) {
        circle_ring(cells, c, re, dy, span);
        return;
    }
    circle_ring(cells, c, re, dy, {span.first, full.first - 1});
    fill_full(cells, full);
    circle_ring(cells, c, re, dy, {full.last + 1, span.last});
}

double overlap(double a0, double a1, double b0, double b1)
{
    return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

// Area of the circle inside each pixel of row y, summed over horizontal slices.
void cover_small_circle_row(CoverageBlock& b, const PixelCircle& c, int y, IndexRange cols)
{
    std::array<double, kSmallColumns> area{};
    for (int k = 0; k < kSubRows; ++k) {
        const double h2 = square(c.r) - square(y + (k + 0.5) / kSubRows - c.cy);
        if (!(h2 > 0)) continue;
        const double h = std::sqrt(h2);
        for (int x = cols.first; x <= cols.last; ++x)
            area[std::size_t(x - cols.first)] += overlap(x, x + 1.0, c.cx - h, c.cx + h);
    }
    const Row cells = row_cells(b, y);
    touch(b, y, cols);
    for (int x = cols.first; x <= cols.last; ++x)
        cells[x] = std::max(cells[x], coverage_byte(area[std::size_t(x - cols.first)] / kSubRows));
}

// Each column's area is summed on its own, so covering a part of a row leaves the others'
// values as covering all of it would.
void cover_small_circle(CoverageBlock& b, const PixelCircle& c, const CircleOpening& o)
{
    const IndexRange rows = cells_between(c.cy - c.r, c.cy + c.r, b.clip.y0, b.clip.y1);
    const IndexRange cols = cells_between(c.cx - c.r, c.cx + c.r, b.clip.x0, b.clip.x1);
    if (rows.empty() || cols.empty() || cols.last - cols.first >= kSmallColumns) return;
    for (int y = rows.first; y <= rows.last; ++y) {
        const IndexRange part = opening_columns(o, y + 0.5, cols);
        if (!part.empty()) cover_small_circle_row(b, c, y, part);
    }
}

// ---- Bands

struct Interval {
    double lo = -std::numeric_limits<double>::infinity();
    double hi = std::numeric_limits<double>::infinity();
};

// The centres of row py that lie within the band's limits, partly or wholly covered.
Interval row_limits(const PixelBand& band, double py, bool whole)
{
    const double* rows = whole ? band.full_rows : band.outer_rows;
    if (!(py >= rows[0] && py <= rows[1])) return {1, 0};
    Interval in;
    for (int i = 0; i < band.lefts; ++i) {
        const XLimit& l = band.left[i];
        in.lo = std::max(in.lo, (whole ? l.full : l.outer) + l.slope * py);
    }
    for (int i = 0; i < band.rights; ++i) {
        const XLimit& l = band.right[i];
        in.hi = std::min(in.hi, (whole ? l.full : l.outer) + l.slope * py);
    }
    return in;
}

double inside_share(const EdgeLine& e, double px, double py)
{
    return e.present ? edge_coverage(e.cut, e.c - e.nx * px - e.ny * py) : 1.0;
}

// Across the stroke, what lies beyond either side is taken away (exact for a band thinner
// than a pixel too). Along it a band ends sharply at the pixel centres: the next band or
// the circle between them takes over there, and two anti-aliased ends meeting in one pixel
// would leave it short of full under the maximum.
double band_coverage(const PixelBand& band, double px, double py)
{
    const EdgeLine* e = band.edges;
    return std::max(0.0, inside_share(e[0], px, py) + inside_share(e[2], px, py) - 1);
}

void band_edge(Row cells, const PixelBand& band, double py, IndexRange r)
{
    for (int x = r.first; x <= r.last; ++x) {
        if (cells[x] == 255) continue;
        cells[x] = std::max(cells[x], coverage_byte(band_coverage(band, x + 0.5, py)));
    }
}

void cover_band_row(CoverageBlock& b, const PixelBand& band, int y, IndexRange cols)
{
    const double py = y + 0.5;
    const Interval outer = row_limits(band, py, false);
    const IndexRange span = centres_within(outer.lo, outer.hi, cols.first, cols.last);
    if (span.empty()) return;
    touch(b, y, span);
    const Row cells = row_cells(b, y);
    const Interval inner = row_limits(band, py, true);
    const IndexRange full = centres_within(inner.lo, inner.hi, span.first, span.last);
    if (full.empty()) {
        band_edge(cells, band, py, span);
        return;
    }
    band_edge(cells, band, py, {span.first, full.first - 1});
    fill_full(cells, full);
    band_edge(cells, band, py, {full.last + 1, span.last});
}

// Corners 0-1 and 2-3 run along the stroke's sides; 1-2 and 3-0 cross it at the circles.
bool is_side(int edge)
{
    return edge % 2 == 0;
}

// A row's centres are partly covered where every side's signed distance d is below w1 and
// the centre lies within reach of the ends, covered whole where every d <= -w1 as well:
// d = nx * x + ny * y - c < t, solved for x (or, for a level edge, for y).
void set_limits(PixelBand& band)
{
    const double inf = std::numeric_limits<double>::infinity();
    band.outer_rows[0] = band.full_rows[0] = -inf;
    band.outer_rows[1] = band.full_rows[1] = inf;
    for (int i = 0; i < 4; ++i) {
        const EdgeLine& e = band.edges[i];
        if (!e.present) continue;
        const double outer = is_side(i) ? e.cut.w1 : e.reach;
        const double full = is_side(i) ? -e.cut.w1 : e.reach;
        if (e.nx != 0) {
            const XLimit limit{(outer + e.c) * e.inv_nx, (full + e.c) * e.inv_nx, -e.ny * e.inv_nx};
            if (e.nx > 0)
                band.right[band.rights++] = limit;
            else
                band.left[band.lefts++] = limit;
        } else if (e.ny > 0) {
            band.outer_rows[1] = std::min(band.outer_rows[1], (outer + e.c) / e.ny);
            band.full_rows[1] = std::min(band.full_rows[1], (full + e.c) / e.ny);
        } else {
            band.outer_rows[0] = std::max(band.outer_rows[0], (outer + e.c) / e.ny);
            band.full_rows[0] = std::max(band.full_rows[0], (full + e.c) / e.ny);
        }
    }
}

} // namespace

EdgeCut edge_cut(double nx, double ny)
{
    const double a = std::max(std::abs(nx), std::abs(ny));
    const double b = std::min(std::abs(nx), std::abs(ny));
    return {1 / a, b > 0 ? 1 / (2 * a * b) : 0, (a - b) / 2, (a + b) / 2};
}

double edge_coverage(const EdgeCut& cut, double t)
{
    if (t >= cut.w1) return 1;
    if (t <= -cut.w1) return 0;
    if (t > cut.w0) return 1 - square(cut.w1 - t) * cut.k;
    if (t < -cut.w0) return square(cut.w1 + t) * cut.k;
    return 0.5 + t * cut.inv_a;
}

bool make_pixel_band(const PixelCorners& q, bool joined_at_start, bool joined_at_end,
                     PixelBand& band)
{
    double area2 = 0, longest2 = 0;
    for (int i = 0; i < 4; ++i) {
        if (!std::isfinite(q.x[i]) || !std::isfinite(q.y[i])) return false;
        const int j = (i + 1) % 4;
        area2 += q.x[i] * q.y[j] - q.x[j] * q.y[i];
        longest2 = std::max(longest2, square(q.x[j] - q.x[i]) + square(q.y[j] - q.y[i]));
    }
    if (!std::isfinite(area2) || !(std::abs(area2) > 2 * kMinBandWidth * std::sqrt(longest2)))
        return false;
    // With a positive area the inside lies left of each edge, so (ey, -ex) points out.
    const double turn = area2 > 0 ? 1 : -1;
    band = PixelBand{};
    band.x0 = *std::min_element(q.x, q.x + 4), band.x1 = *std::max_element(q.x, q.x + 4);
    band.y0 = *std::min_element(q.y, q.y + 4), band.y1 = *std::max_element(q.y, q.y + 4);
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        const double ex = q.x[j] - q.x[i], ey = q.y[j] - q.y[i];
        const double len2 = ex * ex + ey * ey;
        if (!(len2 > 0)) continue;
        const double inv = turn / std::sqrt(len2);
        const double nx = ey * inv, ny = -ex * inv;
        // Only the sides are anti-aliased; the ends cut at pixel centres.
        const EdgeCut cut = is_side(i) ? edge_cut(nx, ny) : EdgeCut{};
        band.edges[i] = {nx, ny, nx * q.x[i] + ny * q.y[i], nx != 0 ? 1 / nx : 0, cut, true, 0};
    }
    band.edges[3].reach = joined_at_start ? kJoinReach : 0;
    band.edges[1].reach = joined_at_end ? kJoinReach : 0;
    set_limits(band);
    return true;
}

void reset_block(CoverageBlock& block, const PixelSpan& clip)
{
    block.clip = clip;
    block.stride = clip.width();
    const std::size_t cells = std::size_t(clip.width()) * std::size_t(clip.height());
    if (block.cells.size() < cells) block.cells.resize(cells); // new cells are zero
    block.lo.assign(std::size_t(clip.height()), INT_MAX);
    block.hi.assign(std::size_t(clip.height()), INT_MIN);
}

void cover_circle(CoverageBlock& block, const PixelCircle& circle, const CircleOpening& opening)
{
    if (!(circle.r > 0)) return;
    if (circle.r < kSmallRadius) {
        cover_small_circle(block, circle, opening);
        return;
    }
    const double re = edge_radius(circle.r);
    const IndexRange rows = cells_between(circle.cy - circle.r - 1, circle.cy + circle.r + 1,
                                          block.clip.y0, block.clip.y1);
    for (int y = rows.first; y <= rows.last; ++y) cover_circle_row(block, circle, re, y, opening);
}

void cover_band(CoverageBlock& block, const PixelBand& band)
{
    const IndexRange rows = cells_between(band.y0, band.y1, block.clip.y0, block.clip.y1);
    const IndexRange cols = cells_between(band.x0, band.x1, block.clip.x0, block.clip.x1);
    if (cols.empty()) return;
    for (int y = rows.first; y <= rows.last; ++y) cover_band_row(block, band, y, cols);
}

namespace {

// The premultiplied colour at each coverage k/255, every channel rounded.
using ColorRamp = std::array<color_ns::Color, 256>;

ColorRamp color_ramp(color_ns::Color c)
{
    using namespace color_ns;
    ColorRamp ramp;
    for (int k = 0; k < 256; ++k) {
        const auto mul = [k](int v) { return (v * k + 127) / 255; };
        ramp[std::size_t(k)] = make(mul(red(c)), mul(green(c)), mul(blue(c)), mul(alpha(c)));
    }
    return ramp;
}

// The next cell from i on that may be covered: a row can span long empty stretches where
// the stroke turns, and they are passed eight cells at a time.
int next_covered(const std::uint8_t* cells, int i, int n)
{
    for (std::uint64_t eight; i + 8 <= n; i += 8) {
        std::memcpy(&eight, cells + i, 8);
        if (eight != 0) break;
    }
    while (i < n && cells[i] == 0) ++i;
    return i;
}

// The end of the run of full cells from i on, eight at a time where it is long.
int full_run_end(const std::uint8_t* cells, int i, int n)
{
    for (std::uint64_t eight; i + 8 <= n; i += 8) {
        std::memcpy(&eight, cells + i, 8);
        if (eight != ~std::uint64_t(0)) break;
    }
    while (i < n && cells[i] == 255) ++i;
    return i;
}

// paint_over(d, s) for the full colour, remembering the last pixel: a stroke's inside
// mostly lies over runs of one background colour.
struct FullPaint {
    color_ns::Color colour, last_d = 0, last = 0;
    bool primed = false;

    color_ns::Color over(color_ns::Color d)
    {
        if (!primed || d != last_d) last = color_ns::paint_over(d, colour), last_d = d;
        primed = true;
        return last;
    }
};

// Runs of full cells are painted whole (an opaque colour simply replaces what lies under
// a stroke's inside); only the cells of the edges blend one by one.
void paint_run(std::uint32_t* pixels, std::uint8_t* cells, int n, const ColorRamp& ramp)
{
    using namespace color_ns;
    const bool opaque = alpha(ramp[255]) == 255;
    std::uint32_t stored;
    store(&stored, ramp[255]);
    FullPaint full{ramp[255]};
    for (int i = next_covered(cells, 0, n); i < n; i = next_covered(cells, i, n)) {
        const int k = cells[i];
        if (k == 255) {
            const int end = full_run_end(cells, i, n);
            if (opaque)
                std::fill(pixels + i, pixels + end, stored);
            else
                for (int j = i; j < end; ++j) store(pixels + j, full.over(load(pixels + j)));
            std::memset(cells + i, 0, std::size_t(end - i));
            i = end;
            continue;
        }
        cells[i] = 0;
        store(pixels + i, paint_over(load(pixels + i), ramp[std::size_t(k)]));
        ++i;
    }
}

} // namespace

void paint_block(CoverageBlock& block, Bitmap& target, color_ns::Color color)
{
    // A stroke's rows lie far apart in a large bitmap, each a cache miss at both edges:
    // fetching a few rows ahead hides them.
    constexpr int kAhead = 8;
    const ColorRamp ramp = color_ramp(color);
    for (int y = block.clip.y0; y <= block.clip.y1; ++y) {
        const std::size_t row = std::size_t(y - block.clip.y0);
        if (y + kAhead <= block.clip.y1 && block.lo[row + kAhead] <= block.hi[row + kAhead]) {
            __builtin_prefetch(target.pixel(block.lo[row + kAhead], y + kAhead), 1);
            __builtin_prefetch(target.pixel(block.hi[row + kAhead], y + kAhead), 1);
        }
        const int lo = block.lo[row], hi = block.hi[row];
        if (lo > hi) continue;
        paint_run(target.pixel(lo, y), &row_cells(block, y)[lo], hi - lo + 1, ramp);
    }
}

void trim_block(CoverageBlock& block)
{
    if (block.cells.size() <= kKeptCells) return;
    block.cells.clear();
    block.cells.shrink_to_fit();
}
