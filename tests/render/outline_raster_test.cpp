#include "bitmap.h"
#include "context_wrapper.h"
#include "outline_raster.h"
#include "transfer_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace color_ns;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// ---- Pen-like outlines: a circle per sample, a band along the outer tangents between neighbours

struct Sample {
    Point p;
    float r = 0;
};

PenOutline outline_of(const std::vector<Sample>& samples)
{
    PenOutline o;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const bool band = i > 0 && samples[i].p != samples[i - 1].p;
        if (band) {
            const Sample &s = samples[i - 1], &t = samples[i];
            const Point v = t.p - s.p, f = v / length(v), l{f.y, -f.x};
            // The outer tangents; a line between the circles when one holds the other.
            const float a = std::clamp((s.r - t.r) / length(v), -1.0f, 1.0f),
                        b = std::sqrt(1 - a * a);
            const Point dl = f * a + l * b, dr = f * a - l * b;
            o.bands.push_back({{s.p + dl * s.r, t.p + dl * t.r, t.p + dr * t.r, s.p + dr * s.r}});
        }
        o.band_before.push_back(band);
        o.circles.push_back({samples[i].p, samples[i].r});
    }
    return o;
}

// Steps of 2-4 units, a slowly turning heading, pressure 0.3 to 1: like a hand with a tablet.
PenOutline random_stroke(std::mt19937& rng, int n, Point p, float radius)
{
    std::uniform_real_distribution<float> u(-1, 1);
    std::vector<Sample> out;
    float heading = 3.14159265f * u(rng), turn = 0, pressure = 0.65f;
    for (int i = 0; i < n; ++i) {
        out.push_back({p, radius * pressure});
        turn = std::clamp(turn + 0.05f * u(rng), -0.15f, 0.15f);
        heading += turn;
        pressure = std::clamp(pressure + 0.08f * u(rng), 0.3f, 1.0f);
        p = p + Point{std::cos(heading), std::sin(heading)} * (3 + u(rng));
    }
    return outline_of(out);
}

// ---- The slow reference: the union's coverage of each pixel from 16 x 16 points tested
// against every shape in world coordinates, painted over with paint_over. QPainter is no
// exact reference for the union: it adds the coverage of shapes overlapping in one pixel.

struct Shape {
    const OutlineCircle* circle;
    const OutlineBand* band;
    Rect box; // in pixels
    bool inside(double x, double y) const
    {
        if (circle) {
            const double dx = x - circle->centre.x, dy = y - circle->centre.y;
            return dx * dx + dy * dy < double(circle->radius) * circle->radius;
        }
        const Point* q = band->corners;
        const auto cross = [&](Point a, Point b, double px, double py) {
            return (double(b.x) - a.x) * (py - a.y) - (double(b.y) - a.y) * (px - a.x);
        };
        const double turn = cross(q[0], q[1], q[2].x, q[2].y) + cross(q[0], q[2], q[3].x, q[3].y);
        for (int i = 0; i < 4; ++i)
            if (turn == 0 || cross(q[i], q[(i + 1) % 4], x, y) * turn < 0) return false;
        return true;
    }
};

void paint_union(Bitmap& bm, const PenOutline& o, Color color)
{
    std::vector<Shape> shapes;
    for (const OutlineCircle& c : o.circles) {
        const Rect r =
            make_rect(c.centre - Point{c.radius, c.radius}, {2 * c.radius, 2 * c.radius});
        if (c.radius > 0 && finite(r)) shapes.push_back({&c, nullptr, bm.worldRectToBitmapRect(r)});
    }
    for (const OutlineBand& b : o.bands) {
        Rect r = make_rect(b.corners[0], {0, 0});
        for (const Point p : b.corners) r = cover_rect(r, make_rect(p, {0, 0}));
        if (std::all_of(b.corners, b.corners + 4, [](Point p) { return finite(p); }))
            shapes.push_back({nullptr, &b, bm.worldRectToBitmapRect(r)});
    }
    const AffineTransform inv = *bm.transform().inverted();
    const auto world = [&](double x, double y) {
        return std::pair{inv.a * x + inv.c * y + inv.tx, inv.b * x + inv.d * y + inv.ty};
    };
    std::vector<const Shape*> near;
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x) {
            near.clear();
            for (const Shape& s : shapes)
                if (x + 2.0 >= s.box.minX() && x - 1.0 <= s.box.maxX() && y + 2.0 >= s.box.minY() &&
                    y - 1.0 <= s.box.maxY())
                    near.push_back(&s);
            const auto covered = [&](double px, double py) {
                const auto [wx, wy] = world(px, py);
                return std::any_of(near.begin(), near.end(),
                                   [&](const Shape* s) { return s->inside(wx, wy); });
            };
            // A pixel whose four corners lie in one circle lies in it whole.
            const bool whole = std::any_of(near.begin(), near.end(), [&](const Shape* s) {
                for (int k = 0; k < 4; ++k) {
                    const auto [wx, wy] = world(x + k % 2, y + k / 2);
                    if (!s->circle || !s->inside(wx, wy)) return false;
                }
                return true;
            });
            int hits = whole ? 256 : 0;
            for (int j = 0; !whole && !near.empty() && j < 16; ++j)
                for (int i = 0; i < 16; ++i)
                    hits += covered(x + (i + 0.5) / 16, y + (j + 0.5) / 16);
            const int k = int(std::lround(hits * 255 / 256.0));
            const auto mul = [k](int v) { return (v * k + 127) / 255; };
            if (k)
                bm.setPixel(
                    x, y,
                    paint_over(bm.pixelAt(x, y), make(mul(red(color)), mul(green(color)),
                                                      mul(blue(color)), mul(alpha(color)))));
        }
}

// ---- Comparing the routes

int channel_difference(Color a, Color b)
{
    int d = 0;
    for (int i = 0; i < 4; ++i) d = std::max(d, std::abs(component(a, i) - component(b, i)));
    return d;
}

std::unique_ptr<Bitmap> bitmap(int w, int h, const AffineTransform& t, Color background)
{
    auto bm = Bitmap::create({float(w), float(h)});
    EXPECT_TRUE(bm->setTransform(t));
    bm->fill(background);
    return bm;
}

// Pixels outside the span of the returned bounds that differ from the background.
int changed_outside(const Bitmap& bm, const Rect& world, Color background)
{
    const PixelSpan s = bm.span(bm.worldRectToBitmapRect(world));
    int n = 0;
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x)
            n += !(x >= s.x0 && x <= s.x1 && y >= s.y0 && y <= s.y1) &&
                 bm.pixelAt(x, y) != background;
    return n;
}

bool same_pixels(const Bitmap& a, const Bitmap& b) { return a.image() == b.image(); }

struct Case {
    std::string name;
    std::vector<PenOutline> outlines;
    AffineTransform transform = {};
    Color background = TRANSPARENT;
    Color color = BLACK;
    int width = 160, height = 120;
};

// Draws the outlines by both routes and by the reference, and checks the coverage route:
//  - against the union: never more ink than an edge's rounding, less only where edges of
//    separate shapes cross inside one pixel (up to half a pixel's coverage, in few pixels);
//  - against QPainter: the same pixels deep inside a circle, edges no lighter than its
//    flattening of circles into polygons takes away;
//  - both routes write nothing outside the bounds they return.
void expect_coverage_right(const Case& c)
{
    auto coverage = bitmap(c.width, c.height, c.transform, c.background);
    auto painter = bitmap(c.width, c.height, c.transform, c.background);
    auto exact = bitmap(c.width, c.height, c.transform, c.background);
    Rect bounds;
    for (const PenOutline& o : c.outlines) {
        const Rect r = fill_outline(*coverage, o, c.color, OutlineRoute::Coverage);
        EXPECT_EQ(fill_outline(*painter, o, c.color, OutlineRoute::Painter), r);
        bounds = union_rect(bounds, r);
        paint_union(*exact, o, c.color);
    }
    const float scale = std::sqrt(std::abs(c.transform.determinant()));
    int darker = 0, lighter = 0, lighter_pixels = 0, changed = 0, inside = 0, flattened = 0;
    long sum = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const Color p = coverage->pixelAt(x, y), q = exact->pixelAt(x, y),
                        r = painter->pixelAt(x, y);
            const Point centre{float(x) + 0.5f, float(y) + 0.5f};
            // Deep inside one circle of a lone outline no edge comes near.
            const auto& circles = c.outlines.front().circles;
            const bool deep =
                c.outlines.size() == 1 &&
                std::any_of(circles.begin(), circles.end(), [&](const OutlineCircle& k) {
                    return length(coverage->worldPointToBitmapPoint(k.centre) - centre) <=
                           k.radius * scale - 1.5f;
                });
            if (deep) inside = std::max(inside, channel_difference(p, r));
            flattened = std::max(flattened, channel_difference(p, c.background) -
                                                channel_difference(r, c.background));
            if (p == c.background && q == c.background) continue;
            ++changed;
            sum += channel_difference(p, q);
            const int more =
                channel_difference(p, c.background) - channel_difference(q, c.background);
            darker = std::max(darker, more);
            lighter = std::max(lighter, -more);
            lighter_pixels += -more > 24;
        }
    const double mean = changed ? double(sum) / changed : 0;
    // Over a background, paint_over rounds down where QPainter rounds to nearest.
    const int inside_tolerance = alpha(c.color) < 255 && c.background != TRANSPARENT ? 1 : 0;
    EXPECT_TRUE(darker <= 24 && lighter <= 130 && lighter_pixels <= std::max(3, changed / 200) &&
                mean <= 2.0 && inside <= inside_tolerance && flattened <= 40)
        << "darker " << darker << " lighter " << lighter << " (" << lighter_pixels << " of "
        << changed << " pixels) mean " << mean << "; against QPainter inside " << inside
        << " lighter " << flattened;
    EXPECT_EQ(changed_outside(*coverage, bounds, c.background), 0);
    EXPECT_EQ(changed_outside(*painter, bounds, c.background), 0);
}

// clang-format off
std::vector<Case> cases()
{
    std::vector<Case> out;
    std::mt19937 rng;
    const Color colors[] = {BLACK, make(30, 90, 150, 255), make(60, 20, 10, 128)};
    const Color backgrounds[] = {TRANSPARENT, WHITE, make(40, 160, 40, 200)};
    const std::pair<const char*, AffineTransform> transforms[] = {
        {"identity", {}}, {"zoom in", {2.5f, 0, 0, 2.5f, -40, -30}},
        {"zoom out", {0.6f, 0, 0, 0.6f, 30, 20}}, {"mirror", {0, 1.5f, 1.5f, 0, -20, -10}},
        {"rotation", AffineTransform{1, 0, 0, 1, 80, 60}.after(
                         AffineTransform::rotation(0.7f).after({1.3f, 0, 0, 1.3f, -80, -60}))}};
    for (const auto& [name, t] : transforms) {
        // Strokes start near the middle of the view, whatever the transformation.
        const Point middle = bitmap(1, 1, t, 0)->bitmapPointToWorldPoint({80, 60});
        rng.seed(1234);
        for (int i = 0; i < 9; ++i)
            out.push_back({std::string(name) + " " + std::to_string(i),
                           {random_stroke(rng, 60, middle, 2.0f + 4.0f * float(i % 3))}, t,
                           backgrounds[i % 3], colors[(i / 3) % 3]});
    }
    std::uniform_real_distribution<float> offset(0, 1);
    rng.seed(7);
    for (const float r : {0.05f, 0.2f, 0.35f, 0.49f, 0.7f, 0.99f, 1.0f, 1.6f, 3.3f, 12.7f, 45.0f})
        out.push_back({"circle " + std::to_string(r),
                       {outline_of({{{40 + offset(rng), 30 + offset(rng)}, r}})}, {}, 0, BLACK,
                       80, 60});
    rng.seed(99);
    for (const float r : {0.3f, 0.6f, 1.2f})
        out.push_back({"thinner than a pixel", {random_stroke(rng, 40, {80, 60}, r)}});
    out.push_back({"zero pressure", {outline_of({{{20, 20}, 0}, {{30, 25}, 4}, {{40, 30}, 0},
                                                 {{50, 30}, 0}, {{60, 40}, 6}, {{61, 41}, 0}})}});
    out.push_back({"one circle inside the next", {outline_of({{{50, 40}, 12}, {{53, 41}, 3}})}});
    // The coverage buffers are kept between calls; what one stroke left must not show.
    rng.seed(5);
    out.push_back({"two strokes",
                   {random_stroke(rng, 80, {80, 60}, 9), random_stroke(rng, 20, {40, 40}, 2)},
                   {}, WHITE, make(0, 0, 120, 160)});
    rng.seed(21);
    for (const Point p : {Point{0, 0}, {-30, 50}, {150, 119}, {80, -200}, {1e6f, 1e6f}, {-5, -5}})
        out.push_back({"off the bitmap", {random_stroke(rng, 40, p, 8)}, {}, WHITE, BLUE});
    out.push_back({"covers all", {outline_of({{{80, 60}, 500}})}});
    out.push_back({"covers all, huge", {outline_of({{{80, 60}, 1e7f}})}});
    return out;
}
// clang-format on

} // namespace

TEST(OutlineRaster, CoverageRouteDrawsTheUnion)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        expect_coverage_right(c);
    }
}

TEST(OutlineRaster, NothingToDraw)
{
    // A band between a circle and one inside it is a line: it draws nothing of its own.
    PenOutline band_only;
    band_only.bands = outline_of({{{50, 40}, 12}, {{53, 41}, 3}}).bands;
    ASSERT_EQ(band_only.bands.size(), 1u);
    for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
        for (const PenOutline& o : {band_only, PenOutline{}}) {
            auto bm = bitmap(100, 80, {}, WHITE);
            const Rect r = fill_outline(*bm, o, BLACK, route);
            EXPECT_EQ(changed_outside(*bm, make_rect(kNaN, 0, 0, 0), WHITE), 0);
            EXPECT_TRUE(!o.bands.empty() || r == Rect{});
        }
        // An empty bitmap still answers with the bounds.
        for (const Size size : {Size{0, 0}, Size{0, 30}, Size{30, 0}}) {
            const Rect r = fill_outline(*Bitmap::create(size),
                                        outline_of({{{5, 5}, 4}, {{9, 7}, 3}}), BLACK, route);
            EXPECT_EQ((std::pair{r.minX(), r.maxY()}), (std::pair{1.0f, 10.0f}));
        }
    }
}

TEST(OutlineRaster, BoundsColourAndStretchedViews)
{
    std::mt19937 rng(3);
    const PenOutline o = outline_of({{{10, 10}, 7}, {{14, 30}, 3}, {{-2, 25}, 5}});
    for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
        auto bm = bitmap(50, 50, {}, TRANSPARENT);
        bm->cgContext().setFillColor(QColor(10, 200, 30));
        const Rect r = fill_outline(*bm, o, make(128, 0, 0, 128), route);
        EXPECT_EQ(r, make_rect(-7, 3, 24, 30)); // the circles' boxes
        EXPECT_EQ(bm->pixelAt(10, 10), make(128, 0, 0, 128));
        EXPECT_EQ(bm->cgContext().fillColor(), QColor(10, 200, 30)); // the context's colour is kept
    }
    // Transformations that would make circles oval go through the painter.
    for (const AffineTransform& t :
         {AffineTransform{2, 0, 0, 1, 0, 0}, {1, 0, 0.4f, 1, 0, 0}, {1, 0.001f, 0, 1, 0, 0}}) {
        const PenOutline s = random_stroke(rng, 30, {40, 50}, 5);
        auto coverage = bitmap(160, 120, t, WHITE), painter = bitmap(160, 120, t, WHITE);
        fill_outline(*coverage, s, make(100, 0, 0, 180), OutlineRoute::Coverage);
        fill_outline(*painter, s, make(100, 0, 0, 180), OutlineRoute::Painter);
        EXPECT_TRUE(same_pixels(*coverage, *painter));
    }
}

TEST(OutlineRaster, UnusableShapesAreSkipped)
{
    std::mt19937 rng(8);
    const PenOutline good = random_stroke(rng, 20, {60, 60}, 6);
    PenOutline with_bad = good;
    for (const OutlineCircle& c : {OutlineCircle{{kNaN, 10}, 5},
                                   {{10, kInf}, 5},
                                   {{10, 10}, kNaN},
                                   {{10, 10}, kInf},
                                   {{40, 40}, -8},
                                   {{3e38f, 10}, 3e38f}}) {
        with_bad.circles.push_back(c);
        with_bad.band_before.push_back(true);
        with_bad.bands.push_back({{{0, 0}, {kNaN, 5}, {50, 50}, {0, 50}}});
    }
    for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
        auto clean = bitmap(120, 120, {}, WHITE), dirty = bitmap(120, 120, {}, WHITE);
        EXPECT_EQ(fill_outline(*clean, good, RED, route),
                  fill_outline(*dirty, with_bad, RED, route));
        EXPECT_TRUE(same_pixels(*clean, *dirty));
    }
}

// Outlines of random numbers, sensible or not, under random and extreme transformations.
TEST(OutlineRaster, AnythingStaysInsideItsSpan)
{
    std::mt19937 rng(2024);
    const float values[] = {0,     1,     -1,     7.5f,   40,   -13,  1e4f, -1e6f,
                            1e20f, 3e38f, -3e38f, 1e-30f, kNaN, kInf, -kInf};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(values) - 1);
    std::uniform_real_distribution<float> near(-20, 80);
    const auto any = [&] { return pick(rng) < 6 ? near(rng) : values[pick(rng)]; };
    const AffineTransform transforms[] = {{},
                                          {3, 0, 0, 3, -5, 7},
                                          {0.6f, 0.8f, -0.8f, 0.6f, 30, 0},
                                          {1, 0, 0, -1, 0, 60},
                                          {2, 0, 0.5f, 1, 0, 0},
                                          {1e15f, 0, 0, 1e15f, 0, 0},
                                          {1e20f, 0, 0, 1e20f, 0, 0},
                                          {1e-20f, 0, 0, 1e-20f, 10, 10},
                                          {0, -1e10f, 1e10f, 0, -1e9f, 1e9f}};
    for (int round = 0; round < 360; ++round) {
        PenOutline o;
        for (int i = 0; i < 4; ++i) {
            o.circles.push_back({{any(), any()}, any()});
            o.band_before.push_back(i > 0);
            if (i > 0)
                o.bands.push_back(
                    {{{any(), any()}, {any(), any()}, {any(), any()}, {any(), any()}}});
        }
        const auto route = round % 2 ? OutlineRoute::Coverage : OutlineRoute::Painter;
        auto bm = bitmap(1 + round % 61, 1 + round % 47,
                         transforms[std::size_t(round) % std::size(transforms)], WHITE);
        const Rect r = fill_outline(*bm, o, make(0, 0, 90, 200), route);
        ASSERT_EQ(changed_outside(*bm, r, WHITE), 0) << "round " << round;
    }
}
