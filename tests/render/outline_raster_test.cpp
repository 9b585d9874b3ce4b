#include "bitmap.h"
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
constexpr auto kCoverage = OutlineRoute::Reference, kPainter = OutlineRoute::Painter;

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
            const float a = std::clamp((s.r - t.r) / length(v), -1.0f, 1.0f);
            const Point dl = f * a + l * std::sqrt(1 - a * a),
                        dr = f * a - l * std::sqrt(1 - a * a);
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
            QPolygonF corners;
            for (const Point q : b.corners)
                corners << QPointF(q.x, q.y);
            p.drawPolygon(corners);
        }
    }
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x) {
            int hits = 0;
            for (int j = 0; j < n * n; ++j)
                hits += samples.constScanLine(n * y + j / n)[n * x + j % n] != 0;
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
    rng.seed(7);
    for (const float r : {0.05f, 0.49f, 1.0f, 3.3f, 45.0f})
        out.push_back({"circle " + std::to_string(r), {outline_of({{{40 + float(rng() % 9) / 9, 30.3f}, r}})}});
    for (const float r : {0.3f, 0.6f})
        out.push_back({"thinner than a pixel", {random_stroke(rng, 40, {80, 60}, r)}});
    out.push_back({"zero pressure", {outline_of({{{20, 20}, 0}, {{30, 25}, 4}, {{40, 30}, 0}, {{50, 30}, 0}, {{60, 40}, 6}, {{61, 41}, 0}})}});
    out.push_back({"one circle inside the next", {outline_of({{{50, 40}, 12}, {{53, 41}, 3}})}});
    // The coverage buffers are kept between calls; what one stroke left must not show.
    out.push_back({"two strokes", {random_stroke(rng, 80, {80, 60}, 9), random_stroke(rng, 20, {40, 40}, 2)}, {}, WHITE, make(0, 0, 120, 160)});
    for (const Point p : {Point{0, 0}, {-30, 50}, {150, 119}, {80, -200}})
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
        auto coverage = filled_bitmap(160, 120, c.background, c.transform);
        auto exact = filled_bitmap(160, 120, c.background, c.transform);
        Rect bounds;
        for (const PenOutline& o : c.outlines) {
            bounds = union_rect(bounds, fill_outline(*coverage, o, c.color, kCoverage));
            paint_union(*exact, o, c.color);
        }
        int darker = 0, lighter = 0, lighter_pixels = 0, changed = 0;
        long sum = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
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

// Transformations that would make circles oval go through the painter; shapes that are not
// finite, or of negative radius, are left out of the bounds and the pixels.
TEST(OutlineRaster, StretchedViewsTakeThePainterAndUnusableShapesAreSkipped)
{
    std::mt19937 rng(3);
    const PenOutline good = random_stroke(rng, 20, {60, 60}, 6);
    PenOutline bad = good;
    // clang-format off
    for (const OutlineCircle& c : {OutlineCircle{{kNaN, 10}, 5}, {{10, kInf}, 5}, {{10, 10}, kNaN}, {{40, 40}, -8}, {{3e38f, 10}, 3e38f}}) {
        // clang-format on
        bad.circles.push_back(c);
        bad.band_before.push_back(true);
        bad.bands.push_back({{{0, 0}, {kNaN, 5}, {50, 50}, {0, 50}}});
    }
    const auto draw = [](const PenOutline& o, const AffineTransform& t, OutlineRoute route) {
        auto bm = filled_bitmap(120, 120, WHITE, t);
        const Rect bounds = fill_outline(*bm, o, make(100, 0, 0, 180), route);
        return std::pair{bounds, bm->image()};
    };
    for (const AffineTransform& t :
         {AffineTransform{2, 0, 0, 1, 0, 0}, {1, 0, 0.4f, 1, 0, 0}, {1, 0.001f, 0, 1, 0, 0}})
        EXPECT_TRUE(draw(good, t, kCoverage) == draw(good, t, kPainter)) << t.a << " " << t.c;
    for (const OutlineRoute route : {kCoverage, kPainter})
        EXPECT_TRUE(draw(good, {}, route) == draw(bad, {}, route)) << int(route);
}
