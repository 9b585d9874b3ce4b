// Filling pen outlines: each route against the exact union or the reference, tiles against
// the whole picture, the level of detail seen small, and the merged envelope.

#include "bitmap.h"
#include "outline_envelope.h"
#include "outline_raster.h"
#include "pictures.h"
#include "transfer_ops.h"

#include <QPainter>
#include <QString>
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

using namespace color_ns;

namespace {

constexpr auto kReference = OutlineRoute::Reference, kSpans = OutlineRoute::Spans,
               kMerged = OutlineRoute::Merged;

// A random outline as the pen builds it, for a view of `scale`: radii 0.2 to 50 pixels,
// steps from a hair to several radii, turns up to a reversal, and now and then a repeated
// sample (no band), a zero radius or a shape that is not finite. A hand's stroke instead
// has steps of 2 to 4 units, gentle turns and radii of 1.5 to 8 units.
PenOutline random_outline(std::mt19937& rng, float scale, bool hand = false)
{
    std::uniform_real_distribution<float> u(0, 1);
    PenOutline o;
    Point p{80 / scale * (0.5f + u(rng)), 60 / scale * (0.5f + u(rng))};
    float heading = 6.3f * u(rng), r = hand ? 1.5f + 6.5f * u(rng) : 0.2f * std::pow(250.0f, u(rng)) / scale;
    const int n = 1 + int(rng() % 40), sharp = int(rng() % 4);
    for (int i = 0; i < n; ++i) {
        const OutlineCircle c{p, hand || rng() % 50 ? r : rng() % 2 ? 0.0f : NAN};
        const bool band = i > 0 && (hand || rng() % 25 != 0) && c.centre != o.circles.back().centre;
        if (band) {
            OutlineBand b;
            tangent_band(o.circles.back().centre, o.circles.back().radius, c.centre, c.radius, b.corners);
            o.bands.push_back(b);
        }
        o.band_before.push_back(band);
        o.circles.push_back(c);
        heading += (u(rng) - 0.5f) * (sharp == 0 && !hand ? 6.3f : 0.4f);
        r = hand ? std::clamp(r * (0.9f + 0.2f * u(rng)), 1.5f, 8.0f) : std::clamp(r * (0.7f + 0.6f * u(rng)), 0.2f / scale, 50 / scale);
        const float step = hand ? 2 + 2 * u(rng) : rng() % 10 == 0 ? 0 : r * 3 * u(rng) * u(rng);
        p = p + Point{std::cos(heading), std::sin(heading)} * step;
    }
    return o;
}

AffineTransform random_view(std::mt19937& rng, float scale)
{
    std::uniform_real_distribution<float> u(0, 1);
    const float angle = rng() % 3 == 0 ? 0 : 6.3f * u(rng);
    const float mirror = rng() % 4 == 0 ? -1 : 1;
    return AffineTransform{1, 0, 0, 1, 80, 60}
        .after(AffineTransform::rotation(angle))
        .after({scale, 0, 0, mirror * scale, -80 * scale, -60 * scale});
}

struct Scene {
    std::vector<PenOutline> outlines;
    AffineTransform view;
    Color background, ink;
};

Scene random_scene(std::mt19937& rng, float scale, bool hand = false)
{
    const Color inks[] = {BLACK, make(30, 90, 150, 255), make(60, 20, 10, 128)};
    const Color backgrounds[] = {TRANSPARENT, WHITE, make(40, 160, 40, 200)};
    Scene s{{}, random_view(rng, scale), backgrounds[rng() % 3], inks[rng() % 3]};
    for (int i = 1 + int(rng() % 3); i > 0; --i) s.outlines.push_back(random_outline(rng, scale, hand));
    return s;
}

QImage render(const Scene& s, OutlineRoute route, const PixelSpan* clip = nullptr)
{
    auto bm = filled_bitmap(160, 120, s.background, s.view);
    for (const PenOutline& o : s.outlines)
        if (clip)
            fill_outline(*bm, o, s.ink, *clip, route);
        else
            fill_outline(*bm, o, s.ink, route);
    return bm->image().copy();
}

QString name(const char* what, int i)
{
    return QStringLiteral("%1-%2").arg(QLatin1String(what)).arg(i);
}

} // namespace

// Circles are left to their bands along the stroke, so a pixel at an edge near a joint takes
// the band's coverage where the reference takes the larger of both: on these random outlines
// at most 6 pixels of a picture differ by more than 2, none by more than 85.
TEST(OutlineSpans, TheSpansRouteMatchesTheReference)
{
    std::mt19937 rng(11);
    for (int i = 0; i < 300; ++i) {
        const Scene s = random_scene(rng, 0.5f + 2.5f * float(rng() % 100) / 100);
        EXPECT_TRUE(matches_reference(render(s, kSpans), render(s, kReference), name("spans", i), 85, 8));
    }
}

// Coverage depends only on the pixel and the shapes: four tiles make the whole picture.
TEST(OutlineSpans, EveryCoverageRouteRendersTilesAsTheWhole)
{
    std::mt19937 rng(12);
    for (int i = 0; i < 60; ++i) {
        const Scene s = random_scene(rng, i % 2 ? 0.1f : 1.5f);
        const int cx = 20 + int(rng() % 120), cy = 20 + int(rng() % 80);
        const PixelSpan tiles[] = {{0, cx - 1, 0, cy - 1}, {cx, 159, 0, cy - 1}, {0, cx - 1, cy, 119}, {cx, 159, cy, 119}};
        for (const OutlineRoute route : {kReference, kSpans, kMerged}) {
            auto bm = filled_bitmap(160, 120, s.background, s.view);
            for (const PixelSpan& tile : tiles)
                for (const PenOutline& o : s.outlines) fill_outline(*bm, o, s.ink, tile, route);
            EXPECT_TRUE(matches_reference(bm->image(), render(s, route), name("tiles", i), 0)) << int(route);
        }
    }
}

// Seen small, samples closer than half a pixel merge: the kept circle takes the run's largest
// radius and the band skips the merged centres, so thin strokes seen small move their edges
// by a fraction of a pixel: at most 45 pixels of a picture differ by more than 2, none by
// more than 95.
TEST(OutlineSpans, TheLevelOfDetailStaysCloseToTheReference)
{
    std::mt19937 rng(13);
    for (int i = 0; i < 200; ++i) {
        const float scale = 0.05f + 0.45f * float(rng() % 100) / 100;
        Scene s = random_scene(rng, 1, true);
        s.view = random_view(rng, scale);
        EXPECT_TRUE(matches_reference(render(s, kMerged), render(s, kReference), name("merged", i), 95, 45));
    }
}

// A stroke that turns hard: steps of a tenth of a radius to two radii (never so short that a
// circle holds the next), turns of up to three radians, radii changing by up to a half.
PenOutline curled_outline(std::mt19937& rng)
{
    std::uniform_real_distribution<float> u(0, 1);
    PenOutline o;
    Point p{80, 60};
    float heading = 0, r = 4 + 8 * u(rng);
    for (int i = 0, n = 2 + int(rng() % 12); i < n; ++i) {
        if (i > 0) {
            o.bands.emplace_back();
            tangent_band(o.circles.back().centre, o.circles.back().radius, p, r, o.bands.back().corners);
        }
        o.band_before.push_back(i > 0);
        o.circles.push_back({p, r});
        const float next = r * (0.5f + u(rng));
        heading += (u(rng) - 0.5f) * 6;
        p = p + Point{std::cos(heading), std::sin(heading)} * std::max(r * (0.1f + 2 * u(rng)), 1.01f * std::abs(next - r));
        r = next;
    }
    return o;
}

// The merged outline fills what its circles and bands fill (their path under the non-zero
// rule), at points clear of an edge by more than the arcs' flatness; a hand's stroke comes
// out in few closed paths.
TEST(OutlineEnvelope, FillsWhatTheCirclesAndBandsFill)
{
    std::mt19937 rng(14);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < 300; ++i) {
        const bool hand = i % 4 == 0;
        const PenOutline o = hand ? random_outline(rng, 1, true) : curled_outline(rng);
        const std::optional<QPainterPath> envelope = outline_envelope(o, 0.001);
        ASSERT_TRUE(envelope) << i;
        const QPainterPath shapes = outline_path(o);
        const QRectF box = shapes.boundingRect().adjusted(-1, -1, 1, 1);
        int wrong = 0;
        for (int k = 0; k < 300; ++k) {
            const QPointF q(box.left() + u(rng) * box.width(), box.top() + u(rng) * box.height());
            const bool in = shapes.contains(q);
            const auto clear = [&](double dx, double dy) { return shapes.contains(q + QPointF(dx, dy)) == in; };
            wrong += clear(0.01, 0.01) && clear(-0.01, 0.01) && clear(0.01, -0.01) && clear(-0.01, -0.01) &&
                     envelope->contains(q) != in;
        }
        EXPECT_EQ(wrong, 0) << i;
        if (hand) {
            EXPECT_LE(envelope->toSubpathPolygons().size(), 1 + o.circles.size() / 3) << i;
        }
    }
}
