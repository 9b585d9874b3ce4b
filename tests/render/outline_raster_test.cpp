#include "bitmap.h"
#include "context_wrapper.h"
#include "outline_raster.h"
#include "pictures.h"
#include "transfer_ops.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace color_ns;

namespace {

constexpr float kNaN = NAN, kInf = INFINITY;

struct Sample {
    Point p;
    float r = 0;
};

// A pen-like outline: a circle per sample and a band along the outer tangents between
// neighbours (a line between the circles when one holds the other).
PenOutline outline_of(const std::vector<Sample>& samples)
{
    PenOutline o;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const bool band = i > 0 && samples[i].p != samples[i - 1].p;
        if (band) {
            const Sample &s = samples[i - 1], &t = samples[i];
            const Point v = t.p - s.p, f = v / length(v), l{f.y, -f.x};
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

// The union's exact coverage: every shape filled without anti-aliasing at 16 x 16 samples a
// pixel, so overlaps count once, then the samples counted and the colour painted over.
void paint_union(Bitmap& bm, const PenOutline& o, Color color)
{
    constexpr int n = 16;
    QImage samples(n * bm.width(), n * bm.height(), QImage::Format_Alpha8);
    samples.fill(0);
    {
        QPainter p(&samples);
        p.setTransform(bm.transform().toQTransform() * QTransform::fromScale(n, n));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        for (const OutlineCircle& c : o.circles)
            p.drawEllipse(QPointF(c.centre.x, c.centre.y), c.radius, c.radius);
        for (const OutlineBand& b : o.bands) {
            const Point* q = b.corners;
            p.drawPolygon(QPolygonF(
                {{q[0].x, q[0].y}, {q[1].x, q[1].y}, {q[2].x, q[2].y}, {q[3].x, q[3].y}}));
        }
    }
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x) {
            int hits = 0;
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i)
                    hits += samples.constScanLine(n * y + j)[n * x + i] != 0;
            const int k = int(std::lround(hits * 255 / double(n * n)));
            const auto mul = [k](int v) { return (v * k + 127) / 255; };
            const Color ink =
                make(mul(red(color)), mul(green(color)), mul(blue(color)), mul(alpha(color)));
            if (k) bm.setPixel(x, y, paint_over(bm.pixelAt(x, y), ink));
        }
}

int channel_difference(Color a, Color b)
{
    int d = 0;
    for (int i = 0; i < 4; ++i)
        d = std::max(d, std::abs(component(a, i) - component(b, i)));
    return d;
}

struct Case {
    std::string name;
    std::vector<PenOutline> outlines;
    AffineTransform transform = {};
    Color background = TRANSPARENT, color = BLACK;
    int width = 160, height = 120;
};

// clang-format off
std::vector<Case> cases()
{
    std::vector<Case> out;
    std::mt19937 rng;
    const Color colors[] = {BLACK, make(30, 90, 150, 255), make(60, 20, 10, 128)};
    const Color backgrounds[] = {TRANSPARENT, WHITE, make(40, 160, 40, 200)};
    const std::pair<const char*, AffineTransform> transforms[] = {
        {"identity", {}}, {"zoom in", {2.5f, 0, 0, 2.5f, -40, -30}}, {"zoom out", {0.6f, 0, 0, 0.6f, 30, 20}},
        {"mirror", {0, 1.5f, 1.5f, 0, -20, -10}},
        {"rotation", AffineTransform{1, 0, 0, 1, 80, 60}.after(AffineTransform::rotation(0.7f).after({1.3f, 0, 0, 1.3f, -80, -60}))}};
    for (const auto& [name, t] : transforms) {
        const Point middle = filled_bitmap(1, 1, 0, t)->bitmapPointToWorldPoint({80, 60});
        rng.seed(1234);
        for (int i = 0; i < 9; ++i)
            out.push_back({std::string(name) + " " + std::to_string(i), {random_stroke(rng, 60, middle, 2.0f + 4.0f * float(i % 3))},
                           t, backgrounds[i % 3], colors[(i / 3) % 3]});
    }
    std::uniform_real_distribution<float> offset(0, 1);
    rng.seed(7);
    for (const float r : {0.05f, 0.2f, 0.49f, 0.7f, 1.0f, 1.6f, 3.3f, 12.7f, 45.0f})
        out.push_back({"circle " + std::to_string(r), {outline_of({{{40 + offset(rng), 30 + offset(rng)}, r}})}, {}, 0, BLACK, 80, 60});
    rng.seed(99);
    for (const float r : {0.3f, 0.6f, 1.2f})
        out.push_back({"thinner than a pixel", {random_stroke(rng, 40, {80, 60}, r)}});
    out.push_back({"zero pressure", {outline_of({{{20, 20}, 0}, {{30, 25}, 4}, {{40, 30}, 0}, {{50, 30}, 0}, {{60, 40}, 6}, {{61, 41}, 0}})}});
    out.push_back({"one circle inside the next", {outline_of({{{50, 40}, 12}, {{53, 41}, 3}})}});
    // The coverage buffers are kept between calls; what one stroke left must not show.
    rng.seed(5);
    out.push_back({"two strokes", {random_stroke(rng, 80, {80, 60}, 9), random_stroke(rng, 20, {40, 40}, 2)}, {}, WHITE, make(0, 0, 120, 160)});
    rng.seed(21);
    for (const Point p : {Point{0, 0}, {-30, 50}, {150, 119}, {80, -200}, {-5, -5}})
        out.push_back({"off the bitmap", {random_stroke(rng, 40, p, 8)}, {}, WHITE, BLUE});
    out.push_back({"covers all", {outline_of({{{80, 60}, 500}})}});
    return out;
}
// clang-format on

} // namespace

// Against the exact union: never more ink than an edge's rounding, less only where edges of
// separate shapes cross inside one pixel (the route combines coverage by maximum), and in few
// pixels; nothing written outside the returned bounds.
TEST(OutlineRaster, CoverageRouteDrawsTheUnion)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        auto coverage = filled_bitmap(c.width, c.height, c.background, c.transform);
        auto exact = filled_bitmap(c.width, c.height, c.background, c.transform);
        Rect bounds;
        for (const PenOutline& o : c.outlines) {
            const Rect r = fill_outline(*coverage, o, c.color, OutlineRoute::Coverage);
            bounds = union_rect(bounds, r);
            paint_union(*exact, o, c.color);
        }
        int darker = 0, lighter = 0, lighter_pixels = 0, changed = 0;
        long sum = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const Color p = coverage->pixelAt(x, y), q = exact->pixelAt(x, y);
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
        EXPECT_TRUE(darker <= 24 && lighter <= 130 &&
                    lighter_pixels <= std::max(3, changed / 200) && mean <= 2.0)
            << "darker " << darker << " lighter " << lighter << " (" << lighter_pixels << " of "
            << changed << " pixels) mean " << mean;
        EXPECT_EQ(changed_outside(*coverage, bounds, c.background), 0);
    }
}

TEST(OutlineRaster, BoundsColourAndStretchedViews)
{
    const PenOutline o = outline_of({{{10, 10}, 7}, {{14, 30}, 3}, {{-2, 25}, 5}});
    for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
        auto bm = filled_bitmap(50, 50, TRANSPARENT);
        bm->cgContext().setFillColor(QColor(10, 200, 30));
        EXPECT_EQ(fill_outline(*bm, o, make(128, 0, 0, 128), route), make_rect(-7, 3, 24, 30));
        EXPECT_EQ(bm->pixelAt(10, 10), make(128, 0, 0, 128));
        EXPECT_EQ(bm->cgContext().fillColor(), QColor(10, 200, 30)); // the context's colour is kept
    }
    // A huge circle covers every pixel whole.
    auto all = filled_bitmap(40, 30, WHITE);
    fill_outline(*all, outline_of({{{20, 15}, 1e7f}}), BLUE);
    EXPECT_EQ(filled_bitmap(40, 30, BLUE)->image(), all->image());
    // Transformations that would make circles oval go through the painter.
    std::mt19937 rng(3);
    for (const AffineTransform& t :
         {AffineTransform{2, 0, 0, 1, 0, 0}, {1, 0, 0.4f, 1, 0, 0}, {1, 0.001f, 0, 1, 0, 0}}) {
        const PenOutline s = random_stroke(rng, 30, {40, 50}, 5);
        auto coverage = filled_bitmap(160, 120, WHITE, t);
        auto painter = filled_bitmap(160, 120, WHITE, t);
        fill_outline(*coverage, s, make(100, 0, 0, 180), OutlineRoute::Coverage);
        fill_outline(*painter, s, make(100, 0, 0, 180), OutlineRoute::Painter);
        EXPECT_EQ(coverage->image(), painter->image());
    }
}

// Shapes that are not finite, or of negative radius, are left out and change nothing else.
TEST(OutlineRaster, UnusableShapesAreSkipped)
{
    std::mt19937 rng(8);
    const PenOutline good = random_stroke(rng, 20, {60, 60}, 6);
    PenOutline bad = good;
    // clang-format off
    for (const OutlineCircle& c : {OutlineCircle{{kNaN, 10}, 5}, {{10, kInf}, 5}, {{10, 10}, kNaN}, {{10, 10}, kInf}, {{40, 40}, -8}, {{3e38f, 10}, 3e38f}}) {
        // clang-format on
        bad.circles.push_back(c);
        bad.band_before.push_back(true);
        bad.bands.push_back({{{0, 0}, {kNaN, 5}, {50, 50}, {0, 50}}});
    }
    for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
        auto clean = filled_bitmap(120, 120, WHITE), dirty = filled_bitmap(120, 120, WHITE);
        EXPECT_EQ(fill_outline(*clean, good, RED, route), fill_outline(*dirty, bad, RED, route));
        EXPECT_EQ(clean->image(), dirty->image());
    }
}

// Outlines of random numbers, sensible or not, under random and extreme transformations.
TEST(OutlineRaster, AnythingStaysInsideItsSpan)
{
    std::mt19937 rng(2024);
    // clang-format off
    const float values[] = {0, 1, -1, 7.5f, 40, -13, 1e4f, -1e6f, 1e20f, 3e38f, -3e38f, 1e-30f, kNaN, kInf, -kInf};
    const AffineTransform transforms[] = {{}, {3, 0, 0, 3, -5, 7}, {0.6f, 0.8f, -0.8f, 0.6f, 30, 0}, {1, 0, 0, -1, 0, 60}, {2, 0, 0.5f, 1, 0, 0},
        {1e15f, 0, 0, 1e15f, 0, 0}, {1e20f, 0, 0, 1e20f, 0, 0}, {1e-20f, 0, 0, 1e-20f, 10, 10}, {0, -1e10f, 1e10f, 0, -1e9f, 1e9f}};
    // clang-format on
    std::uniform_int_distribution<std::size_t> pick(0, std::size(values) - 1);
    std::uniform_real_distribution<float> near(-20, 80);
    const auto any = [&] { return pick(rng) < 6 ? near(rng) : values[pick(rng)]; };
    for (int round = 0; round < 360; ++round) {
        PenOutline o;
        for (int i = 0; i < 4; ++i) {
            o.circles.push_back({{any(), any()}, any()});
            o.band_before.push_back(i > 0);
            if (i > 0)
                o.bands.push_back(
                    {{{any(), any()}, {any(), any()}, {any(), any()}, {any(), any()}}});
        }
        const AffineTransform& t = transforms[round % std::size(transforms)];
        auto bm = filled_bitmap(1 + round % 61, 1 + round % 47, WHITE, t);
        const auto route = round % 2 ? OutlineRoute::Coverage : OutlineRoute::Painter;
        const Rect r = fill_outline(*bm, o, make(0, 0, 90, 200), route);
        ASSERT_EQ(changed_outside(*bm, r, WHITE), 0) << "round " << round;
    }
}
