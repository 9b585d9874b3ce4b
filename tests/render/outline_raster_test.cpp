#include "bitmap.h"
#include "context_wrapper.h"
#include "outline_raster.h"
#include "outline_test_strokes.h"
#include "outline_union_reference.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace color_ns;
using namespace outline_test;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Anti-aliased edges may differ this much from the exact union's (per channel, of 255) ...
constexpr int kEdgeTolerance = 24;
// ... but only rarely: the mean difference over the pixels either picture changed.
constexpr double kMeanTolerance = 2.0;
// Half a pixel's coverage, and rounding.
constexpr int kCrossingTolerance = 130;
// QPainter draws circles as polygons a little inside them.
constexpr int kFlatteningTolerance = 40;

std::unique_ptr<Bitmap> bitmap(int w, int h, const AffineTransform& t, Color background)
{
    auto bm = Bitmap::create({float(w), float(h)});
    EXPECT_TRUE(bm->setTransform(t));
    bm->fill(background);
    return bm;
}

int channel_difference(Color a, Color b)
{
    int d = 0;
    for (int i = 0; i < 4; ++i) d = std::max(d, std::abs(component(a, i) - component(b, i)));
    return d;
}

struct Picture {
    const char* role;
    const Bitmap* bitmap;
};

// Writes the pictures next to each other in the test's temporary directory.
std::string save_pictures(const std::string& name, const std::vector<Picture>& pictures)
{
    std::string paths;
    for (const Picture& p : pictures) {
        const std::string path = ::testing::TempDir() + name + "-" + p.role + ".png";
        p.bitmap->image().save(QString::fromStdString(path));
        paths += (paths.empty() ? "" : ", ") + path;
    }
    return paths;
}

// Pixels at least 1.5 pixels inside one of the outline's circles: no edge comes near them.
bool deep_inside(const Bitmap& bm, const PenOutline& o, int x, int y)
{
    const float scale = std::sqrt(std::abs(bm.transform().determinant()));
    const Point centre{float(x) + 0.5f, float(y) + 0.5f};
    return std::any_of(o.circles.begin(), o.circles.end(), [&](const OutlineCircle& c) {
        return length(bm.worldPointToBitmapPoint(c.centre) - centre) <= c.radius * scale - 1.5f;
    });
}

// How the coverage route's picture departs from the exact union's. Ink is a pixel's
// distance from the background: darker means more ink than the union has.
struct Difference {
    int darker = 0;
    int lighter = 0;
    int lighter_pixels = 0; // lighter by more than the edge tolerance
    int changed = 0;        // pixels either picture changed
    double mean = 0;        // mean difference over those
};

Difference difference(const Bitmap& fast, const Bitmap& exact, Color background)
{
    Difference d;
    long sum = 0;
    for (int y = 0; y < fast.height(); ++y)
        for (int x = 0; x < fast.width(); ++x) {
            const Color p = fast.pixelAt(x, y), q = exact.pixelAt(x, y);
            if (p == background && q == background) continue;
            ++d.changed;
            sum += channel_difference(p, q);
            const int more = channel_difference(p, background) - channel_difference(q, background);
            d.darker = std::max(d.darker, more);
            d.lighter = std::max(d.lighter, -more);
            d.lighter_pixels += -more > kEdgeTolerance;
        }
    d.mean = d.changed ? double(sum) / d.changed : 0;
    return d;
}

// Taking the maximum of the shapes' coverages never overshoots the union, but falls short
// where edges of separate shapes cross or face each other inside one pixel: where a stroke
// crosses itself, up to half a pixel's worth. That happens in a few pixels only.
bool close_to_union(const Difference& d)
{
    return d.darker <= kEdgeTolerance && d.lighter <= kCrossingTolerance &&
           d.lighter_pixels <= std::max(3, d.changed / 200) && d.mean <= kMeanTolerance;
}

std::string describe(const Difference& d)
{
    return "darker " + std::to_string(d.darker) + ", lighter " + std::to_string(d.lighter) + " (" +
           std::to_string(d.lighter_pixels) + " of " + std::to_string(d.changed) +
           " pixels beyond the tolerance), mean " + std::to_string(d.mean);
}

// QPainter's picture differs from the union's in known ways only: the same pixels deep
// inside, and edges never lighter than the union's by more than its flattening of the
// circles into polygons takes away (where shapes overlap, its edges come out heavier).
struct PainterAgreement {
    int inside = 0;  // largest difference deep inside
    int lighter = 0; // most that the painter's ink falls short of the coverage route's
};

PainterAgreement painter_agreement(const Bitmap& coverage, const Bitmap& painter,
                                   const PenOutline& o, Color background)
{
    PainterAgreement g;
    for (int y = 0; y < coverage.height(); ++y)
        for (int x = 0; x < coverage.width(); ++x) {
            const Color p = coverage.pixelAt(x, y), q = painter.pixelAt(x, y);
            if (deep_inside(coverage, o, x, y))
                g.inside = std::max(g.inside, channel_difference(p, q));
            const int short_by =
                channel_difference(p, background) - channel_difference(q, background);
            g.lighter = std::max(g.lighter, short_by);
        }
    return g;
}

// Pixels outside the span of the returned bounds that differ from the background.
int changed_outside(const Bitmap& bm, const Rect& world, Color background)
{
    const PixelSpan s = bm.span(bm.worldRectToBitmapRect(world));
    int n = 0;
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x) {
            const bool in = !s.empty() && x >= s.x0 && x <= s.x1 && y >= s.y0 && y <= s.y1;
            n += !in && bm.pixelAt(x, y) != background;
        }
    return n;
}

int changed_count(const Bitmap& bm, Color background)
{
    return changed_outside(bm, make_rect(kNaN, kNaN, 0, 0), background);
}

bool same_pixels(const Bitmap& a, const Bitmap& b)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixelAt(x, y) != b.pixelAt(x, y)) return false;
    return true;
}

struct Scene {
    int width = 160, height = 120;
    AffineTransform transform;
    Color background = TRANSPARENT;
    Color color = BLACK;
};

struct Pictures {
    std::unique_ptr<Bitmap> coverage, painter, exact;
    Rect bounds;

    std::vector<Picture> all() const
    {
        return {{"coverage", coverage.get()}, {"painter", painter.get()}, {"exact", exact.get()}};
    }
};

// The outlines drawn one after the other by both routes and by the union reference.
Pictures draw_all(const Scene& s, const std::vector<PenOutline>& outlines)
{
    Pictures p{bitmap(s.width, s.height, s.transform, s.background),
               bitmap(s.width, s.height, s.transform, s.background),
               bitmap(s.width, s.height, s.transform, s.background),
               {}};
    for (const PenOutline& o : outlines) {
        p.bounds = fill_outline(*p.coverage, o, s.color, OutlineRoute::Coverage);
        EXPECT_EQ(fill_outline(*p.painter, o, s.color, OutlineRoute::Painter), p.bounds);
        paint_coverage(*p.exact, union_coverage(*p.exact, o), s.color);
    }
    return p;
}

// Draws one outline and checks the coverage route against the union reference and QPainter.
void expect_coverage_right(const Scene& s, const PenOutline& o, const std::string& name)
{
    const Pictures p = draw_all(s, {o});
    const Difference exact = difference(*p.coverage, *p.exact, s.background);
    const PainterAgreement painter = painter_agreement(*p.coverage, *p.painter, o, s.background);
    // Over a background, paint_over rounds down where QPainter rounds to nearest.
    const int inside_tolerance = alpha(s.color) < 255 && s.background != TRANSPARENT ? 1 : 0;
    const bool ok = close_to_union(exact) && painter.inside <= inside_tolerance &&
                    painter.lighter <= kFlatteningTolerance;
    EXPECT_TRUE(ok) << name << ": against the union, " << describe(exact)
                    << "; against QPainter, inside " << painter.inside << " lighter "
                    << painter.lighter << "; pictures " << save_pictures(name, p.all());
    EXPECT_EQ(changed_outside(*p.coverage, p.bounds, s.background), 0) << name;
    EXPECT_EQ(changed_outside(*p.painter, p.bounds, s.background), 0) << name;
}

} // namespace

// ---- The coverage route against the union and QPainter

struct TransformCase {
    const char* name;
    AffineTransform transform;
};

class RandomStrokes : public ::testing::TestWithParam<TransformCase> {};

TEST_P(RandomStrokes, CoverageRouteDrawsTheUnion)
{
    const TransformCase& tc = GetParam();
    const Color colors[] = {BLACK, make(30, 90, 150, 255), make(60, 20, 10, 128)};
    const Color backgrounds[] = {TRANSPARENT, WHITE, make(40, 160, 40, 200)};
    std::mt19937 rng(1234);
    // Strokes start near the middle of the view, whatever the transformation.
    const Point middle = bitmap(1, 1, tc.transform, 0)->bitmapPointToWorldPoint({80, 60});
    for (int i = 0; i < 9; ++i) {
        const float radius = 2.0f + 4.0f * float(i % 3);
        const PenOutline o = outline_of(random_stroke(rng, 60, middle, radius));
        const Scene s{160, 120, tc.transform, backgrounds[i % 3], colors[(i / 3) % 3]};
        expect_coverage_right(s, o, std::string(tc.name) + "-" + std::to_string(i));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Transforms, RandomStrokes,
    ::testing::Values(TransformCase{"identity", AffineTransform::identity()},
                      TransformCase{"zoom_in", {2.5f, 0, 0, 2.5f, -40, -30}},
                      TransformCase{"zoom_out", {0.6f, 0, 0, 0.6f, 30, 20}},
                      TransformCase{
                          "rotation",
                          AffineTransform{1, 0, 0, 1, 80, 60}.after(
                              AffineTransform::rotation(0.7f).after({1.3f, 0, 0, 1.3f, -80, -60}))},
                      TransformCase{"mirror", {0, 1.5f, 1.5f, 0, -20, -10}}),
    [](const ::testing::TestParamInfo<TransformCase>& param) { return param.param.name; });

TEST(OutlineRaster, SingleCirclesOfEverySize)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> offset(0, 1);
    for (const float r : {0.05f, 0.2f, 0.35f, 0.49f, 0.7f, 0.99f, 1.0f, 1.6f, 3.3f, 12.7f, 45.0f}) {
        const Point c{40 + offset(rng), 30 + offset(rng)};
        const PenOutline o = outline_of({{c, r}});
        expect_coverage_right({80, 60, {}, TRANSPARENT, BLACK}, o, "circle-" + std::to_string(r));
    }
}

TEST(OutlineRaster, StrokesThinnerThanAPixel)
{
    std::mt19937 rng(99);
    for (const float radius : {0.3f, 0.6f, 1.2f}) {
        const PenOutline o = outline_of(random_stroke(rng, 40, {80, 60}, radius));
        expect_coverage_right({}, o, "thin-" + std::to_string(radius));
    }
}

TEST(OutlineRaster, ZeroPressureSamples)
{
    std::vector<Sample> samples = {{{20, 20}, 0}, {{30, 25}, 4}, {{40, 30}, 0},
                                   {{50, 30}, 0}, {{60, 40}, 6}, {{61, 41}, 0}};
    expect_coverage_right({}, outline_of(samples), "zero-pressure");
}

TEST(OutlineRaster, BandShrunkToALineDrawsNothingOfItsOwn)
{
    // The second circle lies inside the first: no outer tangents, the band is a line.
    const std::vector<Sample> samples = {{{50, 40}, 12}, {{53, 41}, 3}};
    PenOutline o = outline_of(samples);
    ASSERT_EQ(o.bands.size(), 1u);
    expect_coverage_right({}, o, "contained");
    PenOutline band_only;
    band_only.bands = o.bands;
    for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
        const auto bm = bitmap(100, 80, {}, TRANSPARENT);
        fill_outline(*bm, band_only, BLACK, route);
        EXPECT_EQ(changed_count(*bm, TRANSPARENT), 0);
    }
}

TEST(OutlineRaster, SecondStrokeIsNotDisturbedByTheFirst)
{
    // The coverage buffers are kept between calls; what one stroke left must not show.
    std::mt19937 rng(5);
    const PenOutline big = outline_of(random_stroke(rng, 80, {80, 60}, 9));
    const PenOutline small = outline_of(random_stroke(rng, 20, {40, 40}, 2));
    const Scene s{160, 120, {}, WHITE, make(0, 0, 120, 160)};
    const Pictures p = draw_all(s, {big, small});
    const Difference d = difference(*p.coverage, *p.exact, s.background);
    EXPECT_TRUE(close_to_union(d))
        << describe(d) << "; pictures " << save_pictures("two-strokes", p.all());
}

TEST(OutlineRaster, OtherTransformationsUseThePainter)
{
    std::mt19937 rng(11);
    const AffineTransform stretched[] = {
        {2, 0, 0, 1, 0, 0}, {1, 0, 0.4f, 1, 0, 0}, {1, 0.001f, 0, 1, 0, 0}};
    for (const AffineTransform& t : stretched) {
        const PenOutline o = outline_of(random_stroke(rng, 30, {40, 50}, 5));
        const Pictures p = draw_all({160, 120, t, WHITE, make(100, 0, 0, 180)}, {o});
        EXPECT_TRUE(same_pixels(*p.coverage, *p.painter)) << save_pictures("stretched", p.all());
    }
}

TEST(OutlineRaster, ReturnsTheWorldBoundsOfTheShapes)
{
    std::mt19937 rng(3);
    const std::vector<Sample> samples = random_stroke(rng, 30, {10, 10}, 7);
    float x0 = kInf, y0 = kInf, x1 = -kInf, y1 = -kInf;
    for (const Sample& s : samples) {
        x0 = std::min(x0, s.p.x - s.r), x1 = std::max(x1, s.p.x + s.r);
        y0 = std::min(y0, s.p.y - s.r), y1 = std::max(y1, s.p.y + s.r);
    }
    for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
        const auto bm = bitmap(50, 50, {}, TRANSPARENT);
        const Rect r = fill_outline(*bm, outline_of(samples), BLACK, route);
        EXPECT_FLOAT_EQ(r.minX(), x0);
        EXPECT_FLOAT_EQ(r.minY(), y0);
        EXPECT_NEAR(r.maxX(), x1, 1e-4);
        EXPECT_NEAR(r.maxY(), y1, 1e-4);
    }
}

TEST(OutlineRaster, PainterRouteKeepsTheContextFillColor)
{
    const auto bm = bitmap(40, 40, {}, TRANSPARENT);
    bm->cgContext().setFillColor(QColor(10, 200, 30));
    fill_outline(*bm, outline_of({{{20, 20}, 5}}), make(128, 0, 0, 128), OutlineRoute::Painter);
    EXPECT_EQ(bm->cgContext().fillColor(), QColor(10, 200, 30));
    EXPECT_EQ(bm->pixelAt(20, 20), make(128, 0, 0, 128));
}

// ---- Shapes the bitmap cannot hold

TEST(OutlineRaster, ShapesPartlyOrWhollyOffTheBitmap)
{
    std::mt19937 rng(21);
    const Point places[] = {{0, 0}, {-30, 50}, {150, 119}, {80, -200}, {1e6f, 1e6f}, {-5, -5}};
    for (const Point p : places) {
        const PenOutline o = outline_of(random_stroke(rng, 40, p, 8));
        expect_coverage_right({160, 120, {}, WHITE, BLUE}, o, "off-bitmap");
    }
    expect_coverage_right({}, outline_of({{{80, 60}, 500}}), "covers-all");
    expect_coverage_right({}, outline_of({{{80, 60}, 1e7f}}), "covers-all-huge");
}

TEST(OutlineRaster, UnusableShapesAreSkipped)
{
    std::mt19937 rng(8);
    const PenOutline good = outline_of(random_stroke(rng, 20, {60, 60}, 6));
    const OutlineCircle bad_circles[] = {{{kNaN, 10}, 5},  {{10, kInf}, 5}, {{10, 10}, kNaN},
                                         {{10, 10}, kInf}, {{40, 40}, -8},  {{3e38f, 10}, 3e38f}};
    const OutlineBand bad_band{{{0, 0}, {kNaN, 5}, {50, 50}, {0, 50}}};
    PenOutline with_bad = good;
    for (const OutlineCircle& c : bad_circles) {
        with_bad.circles.push_back(c);
        with_bad.band_before.push_back(true);
        with_bad.bands.push_back(bad_band);
    }
    for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
        const auto clean = bitmap(120, 120, {}, WHITE);
        const auto dirty = bitmap(120, 120, {}, WHITE);
        const Rect a = fill_outline(*clean, good, RED, route);
        const Rect b = fill_outline(*dirty, with_bad, RED, route);
        EXPECT_EQ(a, b);
        EXPECT_TRUE(same_pixels(*clean, *dirty))
            << save_pictures("unusable", {{"with", dirty.get()}, {"without", clean.get()}});
    }
}

TEST(OutlineRaster, ExtremeCoordinatesAndTransformsDoNotCrash)
{
    const PenOutline wild = outline_of(
        {{{-1e30f, 5}, 1e30f}, {{1e30f, 5}, 1e29f}, {{5, 5}, 1e-30f}, {{-3e38f, -3e38f}, 1e38f}});
    const AffineTransform transforms[] = {{},
                                          {1e20f, 0, 0, 1e20f, 0, 0},
                                          {1e-20f, 0, 0, 1e-20f, 10, 10},
                                          {0, -1e10f, 1e10f, 0, -1e9f, 1e9f}};
    for (const AffineTransform& t : transforms)
        for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
            const auto bm = bitmap(64, 48, t, WHITE);
            const Rect r = fill_outline(*bm, wild, BLACK, route);
            EXPECT_EQ(changed_outside(*bm, r, WHITE), 0);
        }
}

// Outlines of random numbers, sensible or not, under random transformations.
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
                                          {1e15f, 0, 0, 1e15f, 0, 0}};
    for (int round = 0; round < 300; ++round) {
        PenOutline o;
        for (int i = 0; i < 4; ++i) {
            o.circles.push_back({{any(), any()}, any()});
            o.band_before.push_back(i > 0);
            if (i > 0)
                o.bands.push_back(
                    {{{any(), any()}, {any(), any()}, {any(), any()}, {any(), any()}}});
        }
        const AffineTransform& t = transforms[std::size_t(round) % std::size(transforms)];
        const auto route = round % 2 ? OutlineRoute::Coverage : OutlineRoute::Painter;
        const auto bm = bitmap(1 + round % 61, 1 + round % 47, t, WHITE);
        const Rect r = fill_outline(*bm, o, make(0, 0, 90, 200), route);
        ASSERT_EQ(changed_outside(*bm, r, WHITE), 0) << "round " << round;
    }
}

TEST(OutlineRaster, EmptyBitmapsAndOutlines)
{
    const PenOutline o = outline_of({{{5, 5}, 4}, {{9, 7}, 3}});
    for (const OutlineRoute route : {OutlineRoute::Coverage, OutlineRoute::Painter}) {
        for (const Size size : {Size{0, 0}, Size{0, 30}, Size{30, 0}}) {
            const auto bm = Bitmap::create(size);
            ASSERT_TRUE(bm);
            const Rect r = fill_outline(*bm, o, BLACK, route);
            EXPECT_FLOAT_EQ(r.minX(), 1);
            EXPECT_FLOAT_EQ(r.maxY(), 10);
        }
        const auto bm = bitmap(20, 20, {}, WHITE);
        EXPECT_EQ(fill_outline(*bm, PenOutline{}, BLACK, route), Rect{});
        EXPECT_EQ(changed_count(*bm, WHITE), 0);
    }
}
