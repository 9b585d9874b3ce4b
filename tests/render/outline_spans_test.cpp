#include "bitmap.h"
#include "outline_envelope.h"
#include "outline_raster.h"
#include "pictures.h"

#include <QString>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

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
