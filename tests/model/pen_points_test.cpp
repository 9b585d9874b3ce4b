#include "pen_points.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

PenPoints make(const std::vector<PenPoint>& samples, float radius,
               const AffineTransform& t = AffineTransform::identity())
{
    PenPoints pp(t, radius);
    for (const PenPoint& s : samples) pp.addPointAt(s.p, s.pressure);
    return pp;
}

// The cubic polynomial through q[0..3] at t = 0, 1/3, 2/3, 1 (Lagrange form), evaluated in
// double: the curve the gap filling must follow, computed another way.
Point cubic_through(const Point q[4], double t)
{
    const double nodes[4] = {0, 1.0 / 3, 2.0 / 3, 1};
    double x = 0;
    double y = 0;
    for (int i = 0; i < 4; ++i) {
        double w = 1;
        for (int j = 0; j < 4; ++j)
            if (j != i) w *= (t - nodes[j]) / (nodes[i] - nodes[j]);
        x += w * q[i].x;
        y += w * q[i].y;
    }
    return {float(x), float(y)};
}

void expect_near(Point actual, Point expected, float tolerance, const char* what)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
}

void expect_same_samples(const std::vector<PenPoint>& a, const std::vector<PenPoint>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].p.x, b[i].p.x) << "sample " << i;
        EXPECT_EQ(a[i].p.y, b[i].p.y) << "sample " << i;
        EXPECT_EQ(a[i].pressure, b[i].pressure) << "sample " << i;
    }
}

std::vector<float> xs(const PenPoints& pp)
{
    std::vector<float> out;
    for (const PenPoint& s : pp.points()) out.push_back(s.p.x);
    return out;
}

} // namespace

TEST(PenPointsTransform, SetTransformRefusesUnusableAndRemapsWorldPositions)
{
    PenPoints pp(AffineTransform{2, 0, 0, 2, 0, 0}, 3);
    EXPECT_EQ(pp.bitmapPointToWorldPoint({4, 6}), (Point{2, 3}));
    EXPECT_FLOAT_EQ(pp.scale(), 2);

    EXPECT_FALSE(pp.setTransform({2, 0, 0, 2, kNaN, 0}));
    EXPECT_FALSE(pp.setTransform({1, 2, 2, 4, 0, 0}));
    EXPECT_FALSE(pp.setTransform({kInf, 0, 0, 1, 0, 0}));
    EXPECT_EQ(pp.transform(), (AffineTransform{2, 0, 0, 2, 0, 0}));
    EXPECT_EQ(pp.bitmapPointToWorldPoint({4, 6}), (Point{2, 3}));

    // The world positions must follow the new transform, not a stale inverse.
    EXPECT_TRUE(pp.setTransform(AffineTransform::translation(10, 0)));
    EXPECT_EQ(pp.bitmapPointToWorldPoint({4, 6}), (Point{-6, 6}));
    EXPECT_FLOAT_EQ(pp.scale(), 1);

    EXPECT_TRUE(pp.setTransform({0, 3, -3, 0, 0, 0}));
    EXPECT_FLOAT_EQ(pp.scale(), 3);
}

TEST(PenPointsSmoothing, ListsOfUpToThreeSamplesAreLeftAlone)
{
    const std::vector<PenPoint> samples = {{{0, 0}, 1}, {{100, 0}, 0.5f}, {{100, 200}, 0.2f}};
    for (std::size_t n = 1; n <= 3; ++n) {
        const std::vector<PenPoint> part(samples.begin(), samples.begin() + long(n));
        PenPoints pp = make(part, 2);
        pp.smoothByBezierInterpolation();
        expect_same_samples(pp.points(), part);
    }
}

TEST(PenPointsSmoothing, WideGapIsFilledAlongTheCubicThroughFourSamples)
{
    // First gap 25, the others under 10; radius 2 leaves the threshold at 10.
    const std::vector<PenPoint> in = {
        {{0, 0}, 0.2f}, {{15, 20}, 0.8f}, {{22, 24}, 0.5f}, {{28, 27}, 0.5f}};
    PenPoints pp = make(in, 2);
    pp.smoothByBezierInterpolation();
    const auto& out = pp.points();
    ASSERT_EQ(out.size(), 6u);
    const std::vector<PenPoint> kept = {out[0], out[3], out[4], out[5]};
    expect_same_samples(kept, in);

    const Point q[4] = {in[0].p, in[1].p, in[2].p, in[3].p};
    expect_near(out[1].p, cubic_through(q, 1.0 / 9), 1e-3f, "first inserted");
    expect_near(out[2].p, cubic_through(q, 2.0 / 9), 1e-3f, "second inserted");
    EXPECT_NEAR(out[1].pressure, 0.4f, 1e-6f);
    EXPECT_NEAR(out[2].pressure, 0.6f, 1e-6f);
}

TEST(PenPointsSmoothing, ThresholdIsTenOrTheDiameter)
{
    // Gaps of exactly 10: nothing to fill.
    const std::vector<PenPoint> exact = {{{0, 0}, 1}, {{6, 8}, 1}, {{12, 16}, 1}, {{18, 24}, 1}};
    PenPoints a = make(exact, 2);
    a.smoothByBezierInterpolation();
    EXPECT_EQ(a.count(), 4);

    // Just over 10: one sample halfway in the curve parameter.
    const std::vector<PenPoint> over = {{{0, 0}, 0}, {{10.5f, 0}, 1}, {{12, 3}, 1}, {{13, 8}, 1}};
    PenPoints b = make(over, 2);
    b.smoothByBezierInterpolation();
    ASSERT_EQ(b.count(), 5);
    const Point q[4] = {over[0].p, over[1].p, over[2].p, over[3].p};
    expect_near(b.points()[1].p, cubic_through(q, 1.0 / 6), 1e-3f, "halfway");
    EXPECT_NEAR(b.points()[1].pressure, 0.5f, 1e-6f);

    // Radius 8 raises the threshold to 16: a gap of 25 gets one sample, not two.
    const std::vector<PenPoint> wide = {{{0, 0}, 1}, {{15, 20}, 1}, {{22, 24}, 1}, {{28, 27}, 1}};
    PenPoints c = make(wide, 8);
    c.smoothByBezierInterpolation();
    EXPECT_EQ(c.count(), 5);
}

TEST(PenPointsSmoothing, GapsInsideAndAtTheEndUseTheFourSurroundingSamples)
{
    // Gaps over 10 between samples 2-3 and 4-5 only.
    const std::vector<PenPoint> in = {{{0, 0}, 1},   {{4, 3}, 1},   {{8, 6}, 1},
                                      {{20, 14}, 1}, {{24, 20}, 1}, {{40, 30}, 1}};
    PenPoints pp = make(in, 2);
    pp.smoothByBezierInterpolation();
    const auto& out = pp.points();
    ASSERT_EQ(out.size(), 8u);
    // Between samples 2 and 3: the cubic through samples 1..4, between its 1/3 and 2/3.
    const Point inner[4] = {in[1].p, in[2].p, in[3].p, in[4].p};
    expect_near(out[3].p, cubic_through(inner, 0.5), 1e-3f, "inner gap");
    // Between the last two: the cubic through the last four samples, between 2/3 and 1.
    const Point last[4] = {in[2].p, in[3].p, in[4].p, in[5].p};
    expect_near(out[6].p, cubic_through(last, 5.0 / 6), 1e-3f, "end gap");
    const std::vector<PenPoint> kept = {out[0], out[1], out[2], out[4], out[5], out[7]};
    expect_same_samples(kept, in);
}

TEST(PenPointsSmoothing, DamagedSamplesDoNotMakeTheStrokeRunAway)
{
    // A jump of a million units must not turn into a hundred thousand samples.
    PenPoints jump = make({{{0, 0}, 1}, {{1, 0}, 1}, {{1e6f, 0}, 1}, {{1e6f + 1, 0}, 1}}, 2);
    jump.smoothByBezierInterpolation();
    EXPECT_GT(jump.count(), 4);
    EXPECT_LE(jump.count(), 4 + 4096);

    PenPoints nan = make({{{0, 0}, 1}, {{1, 0}, 1}, {{kNaN, 0}, 1}, {{50, 0}, 1}}, 2);
    nan.smoothByBezierInterpolation();
    EXPECT_EQ(nan.count(), 4);

    PenPoints inf = make({{{0, 0}, 1}, {{kInf, 0}, 1}, {{1, 0}, 1}, {{2, 0}, 1}}, 2);
    inf.smoothByBezierInterpolation();
    EXPECT_EQ(inf.count(), 4);

    PenPoints nan_radius = make({{{0, 0}, 1}, {{50, 0}, 1}, {{51, 0}, 1}, {{52, 0}, 1}}, kNaN);
    nan_radius.smoothByBezierInterpolation();
    EXPECT_EQ(nan_radius.count(), 4);
}

TEST(PenPointsAveraging, TenSamplesInARowMergeIntoFive)
{
    std::vector<PenPoint> in;
    for (int x = 0; x < 10; ++x) in.push_back({{float(x), 0}, 1});
    PenPoints pp = make(in, 4);
    pp.simplifyByAveraging();
    EXPECT_EQ(xs(pp), (std::vector<float>{0, 2, 5, 7.5f, 9}));
    for (const PenPoint& s : pp.points()) EXPECT_EQ(s.pressure, 1);
}

TEST(PenPointsAveraging, MergedSampleTakesMeanPositionAndHighestPressure)
{
    // The step from sample 0 counts towards the group, which closes at sample 3
    // (2 x 4.24 > 0.6 x 10); sample 4 alone is then hidden by sample 5's circle.
    PenPoints pp = make(
        {{{0, 0}, 1}, {{1, 2}, 0.5f}, {{2, 2}, 0.8f}, {{3, 2}, 0.6f}, {{4, 2}, 0.7f}, {{5, 0}, 1}},
        10);
    pp.simplifyByAveraging();
    ASSERT_EQ(pp.count(), 3);
    EXPECT_EQ(pp.points()[1].p, (Point{2, 2}));
    EXPECT_EQ(pp.points()[1].pressure, 0.8f);
    EXPECT_EQ(pp.points()[2].p, (Point{5, 0}));
}

TEST(PenPointsAveraging, CirclesStrictlyInsideANeighbourAreDropped)
{
    // A zero-radius sample inside the previous circle is not added...
    PenPoints inside = make({{{0, 0}, 1}, {{1, 0}, 0}, {{2, 0}, 1}}, 4);
    inside.simplifyByAveraging();
    EXPECT_EQ(xs(inside), (std::vector<float>{0, 2}));

    // ...and one already added goes again when the next circle holds it.
    PenPoints swallowed = make({{{0, 0}, 0}, {{1, 0}, 1}}, 4);
    swallowed.simplifyByAveraging();
    EXPECT_EQ(xs(swallowed), (std::vector<float>{1}));

    // A big circle removes every small one it holds, not only the last.
    PenPoints chain = make({{{0, 0}, 0.1f}, {{1, 0}, 0.1f}, {{2, 0}, 1}}, 10);
    chain.simplifyByAveraging();
    EXPECT_EQ(xs(chain), (std::vector<float>{2}));

    // Touching is not inside.
    PenPoints touching = make({{{0, 0}, 1}, {{4, 0}, 0}, {{8, 0}, 1}}, 4);
    touching.simplifyByAveraging();
    EXPECT_EQ(xs(touching), (std::vector<float>{0, 4, 8}));
    PenPoints touching_next = make({{{0, 0}, 0}, {{4, 0}, 1}}, 4);
    touching_next.simplifyByAveraging();
    EXPECT_EQ(xs(touching_next), (std::vector<float>{0, 4}));

    PenPoints single = make({{{3, 4}, 0.5f}}, 4);
    single.simplifyByAveraging();
    expect_same_samples(single.points(), {{{3, 4}, 0.5f}});
}

TEST(PenPointsSimplify, RoundsToTenthsAndPressureBytes)
{
    // Far apart, so that neither smoothing nor averaging changes anything but the rounding.
    PenPoints pp =
        make({{{-1.25f, 3.99f}, 0.5f}, {{100.07f, -0.05f}, 1.5f}, {{200, 0}, -0.25f}}, 1);
    pp.simplify();
    ASSERT_EQ(pp.count(), 3);
    EXPECT_EQ(pp.points()[0].p, (Point{-1.2f, 3.9f}));
    EXPECT_EQ(pp.points()[0].pressure, 127.0f / 255.0f);
    EXPECT_EQ(pp.points()[1].p, (Point{100.0f, 0.0f}));
    EXPECT_EQ(pp.points()[1].pressure, 1.0f);
    EXPECT_EQ(pp.points()[2].pressure, 0.0f);
}

TEST(PenPointsOutline, EmptySingleAndRepeatedSamples)
{
    const AffineTransform t{2, 0, 0, 2, 10, 20};
    PenPoints pp(t, 5);
    EXPECT_FALSE(pp.buildOutline());
    EXPECT_FALSE(pp.buildPath());

    pp.addPointAt({30, 40}, 0.5f);
    const auto one = pp.buildOutline();
    ASSERT_TRUE(one);
    ASSERT_EQ(one->circles.size(), 1u);
    EXPECT_TRUE(one->bands.empty());
    EXPECT_EQ(one->circles[0].centre, (Point{10, 10}));
    EXPECT_FLOAT_EQ(one->circles[0].radius, 1.25f);
    const auto path = pp.buildPath();
    ASSERT_TRUE(path);
    EXPECT_NEAR(path->boundingRect().width(), 2.5, 1e-4);
    EXPECT_NEAR(path->boundingRect().center().x(), 10, 1e-4);

    pp.addPointAt({30, 40}, 1.0f);
    const auto two = pp.buildOutline();
    ASSERT_TRUE(two);
    EXPECT_EQ(two->circles.size(), 2u);
    EXPECT_TRUE(two->bands.empty());
    EXPECT_EQ(two->band_before, (std::vector<bool>{false, false}));
    EXPECT_FLOAT_EQ(two->circles[1].radius, 2.5f);
}

TEST(PenPointsOutline, BandsRunAlongTheOuterTangents)
{
    PenPoints pp = make({{{0, 0}, 1}, {{10, 0}, 0.5f}, {{10, 0}, 0.5f}, {{4, 12}, 0.25f}}, 4);
    const auto outline = pp.buildOutline();
    ASSERT_TRUE(outline);
    EXPECT_EQ(outline->band_before, (std::vector<bool>{false, true, false, true}));
    ASSERT_EQ(outline->bands.size(), 2u);
    const std::pair<int, int> joined[2] = {{0, 1}, {2, 3}};
    for (int k = 0; k < 2; ++k) {
        const OutlineCircle& c1 = outline->circles[joined[k].first];
        const OutlineCircle& c2 = outline->circles[joined[k].second];
        const Point* q = outline->bands[k].corners;
        for (int i : {0, 3}) EXPECT_NEAR(length(q[i] - c1.centre), c1.radius, 1e-4f);
        for (int i : {1, 2}) EXPECT_NEAR(length(q[i] - c2.centre), c2.radius, 1e-4f);
        // Each long edge touches both circles: it is perpendicular to both radii.
        for (const auto& [from, to] : {std::pair{0, 1}, std::pair{2, 3}}) {
            const Point edge = normalize(q[to] - q[from]);
            const Point r1 = from == 0 ? q[0] - c1.centre : q[3] - c1.centre;
            const Point r2 = from == 0 ? q[1] - c2.centre : q[2] - c2.centre;
            EXPECT_NEAR(dot(edge, r1), 0, 1e-4f);
            EXPECT_NEAR(dot(edge, r2), 0, 1e-4f);
        }
    }

    // One circle inside the other: the band collapses to a line, still finite.
    PenPoints nested = make({{{0, 0}, 1}, {{1, 0}, 0.1f}}, 10);
    Point q[4];
    nested.quadForStrokeFrom(nested.points()[0], nested.points()[1], q);
    EXPECT_EQ(q[0], q[3]);
    EXPECT_EQ(q[1], q[2]);
    EXPECT_TRUE(nested.buildOutline());
}

TEST(PenPointsOutline, NonFiniteGeometryIsRejectedNotDrawn)
{
    const std::vector<PenPoint> samples = {{{0, 0}, 1}, {{10, 0}, 1}};
    EXPECT_FALSE(make(samples, 4, {1, 0, 0, kNaN, 0, 0}).buildOutline());
    EXPECT_FALSE(make(samples, 4, {0, 0, 0, 0, 0, 0}).buildPath());
    EXPECT_FALSE(make(samples, kNaN).buildOutline());
    EXPECT_FALSE(make(samples, kInf).buildOutline());
    // A negative radius would turn its circle the other way and cut a hole in the mark.
    EXPECT_FALSE(make(samples, -4).buildOutline());
    EXPECT_FALSE(make({{{0, 0}, 1}, {{10, 0}, -1}}, 4).buildOutline());
    EXPECT_FALSE(make({{{0, 0}, 1}, {{kInf, 0}, 1}}, 4).buildOutline());

    // Finite centres and radii, but their difference overflows: only the corners fail.
    const PenPoints far = make({{{-3e38f, 0}, 1}, {{3e38f, 0}, 1}}, 4);
    Point q[4];
    far.quadForStrokeFrom(far.points()[0], far.points()[1], q);
    EXPECT_FALSE(finite(q[0]));
    EXPECT_FALSE(far.buildOutline());
    EXPECT_FALSE(far.buildPath());
}

TEST(PenPointsOutline, SamplesMeetingInWorldSpaceNeedNoBand)
{
    // Zoomed in 64 times near world x = 1e6: bitmap 0 and 0.1 land on the same float.
    const PenPoints pp = make({{{0, 0}, 1}, {{0.1f, 0}, 0.5f}}, 4, {64, 0, 0, 64, -6.4e7f, 0});
    ASSERT_EQ(pp.bitmapPointToWorldPoint({0, 0}), pp.bitmapPointToWorldPoint({0.1f, 0}));
    const auto outline = pp.buildOutline();
    ASSERT_TRUE(outline);
    EXPECT_EQ(outline->circles.size(), 2u);
    EXPECT_TRUE(outline->bands.empty());
}

TEST(PenPointsOutline, MovingScalesWorldRadiiAndKeepsSamples)
{
    PenPoints pp = make({{{0, 0}, 1}, {{10, 4}, 0.5f}, {{20, -3}, 0.25f}}, 6,
                        AffineTransform{2, 0, 0, 2, 6, 8});
    const auto before = pp.buildOutline();
    const std::vector<PenPoint> samples = pp.points();
    const AffineTransform t{2, 0, 0, 2, 5, -7};
    ASSERT_TRUE(pp.transformUsingAffineTransform(t));
    const auto after = pp.buildOutline();
    ASSERT_TRUE(before && after);
    ASSERT_EQ(after->circles.size(), before->circles.size());
    for (std::size_t i = 0; i < before->circles.size(); ++i) {
        EXPECT_FLOAT_EQ(after->circles[i].radius, 2 * before->circles[i].radius);
        expect_near(after->circles[i].centre, t.apply(before->circles[i].centre), 1e-4f, "c");
    }
    expect_same_samples(pp.points(), samples);

    PenPoints refusing({4, 0, 0, 4, 0, 0}, 1);
    EXPECT_FALSE(refusing.transformUsingAffineTransform({1, 0, 0, 1, kNaN, 0}));
    EXPECT_FALSE(refusing.transformUsingAffineTransform({1, 1, 1, 1, 0, 0}));
    // Invertible on its own, but the moved transform would overflow.
    EXPECT_FALSE(refusing.transformUsingAffineTransform({1e-38f, 0, 0, 1e-38f, 0, 0}));
    EXPECT_EQ(refusing.transform(), (AffineTransform{4, 0, 0, 4, 0, 0}));
}

namespace {

struct Disc {
    Point centre;
    float radius;
};

// Where q lies against the convex hull of two discs (the union of the discs between them):
// +1 inside by more than the margin, -1 outside by more, 0 too close to tell on a raster.
int side_of_hull(Point q, const Disc& a, const Disc& b, float margin)
{
    float best = std::numeric_limits<float>::infinity();
    constexpr int kSteps = 100;
    for (int k = 0; k <= kSteps; ++k) {
        const float t = float(k) / kSteps;
        const Point c = a.centre + (b.centre - a.centre) * t;
        const float r = a.radius + (b.radius - a.radius) * t;
        best = std::min(best, length(q - c) - r);
    }
    return best < -margin ? 1 : (best > margin ? -1 : 0);
}

// Fills the stroke's path with the non-zero rule and compares every pixel with the union
// of the discs and the hulls of neighbouring discs.
void expect_fills_union(const std::vector<Disc>& discs, const AffineTransform& t)
{
    PenPoints pp(t, 12);
    const float scale = length({t.a, t.b});
    for (const Disc& d : discs) pp.addPointAt(t.apply(d.centre), d.radius * scale / 12);
    const auto path = pp.buildPath();
    ASSERT_TRUE(path);
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    {
        QPainter painter(&image);
        painter.fillPath(*path, Qt::black);
    }
    int wrong = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            const Point q{float(x) + 0.5f, float(y) + 0.5f};
            int side = -1;
            for (std::size_t i = 0; i < discs.size(); ++i) {
                const Disc& next = discs[i + 1 < discs.size() ? i + 1 : i];
                side = std::max(side, side_of_hull(q, discs[i], next, 0.75f));
            }
            const bool filled = qAlpha(image.pixel(x, y)) != 0;
            if ((side > 0 && !filled) || (side < 0 && filled)) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

} // namespace

TEST(PenPointsOutline, FilledPathIsTheUnionOfCirclesAndBands)
{
    // Circles and bands must turn the same way; otherwise their overlaps cancel under the
    // non-zero rule and leave holes.
    const AffineTransform identity;
    expect_fills_union({{{20, 50}, 10}, {{80, 50}, 10}}, identity);
    expect_fills_union({{{80, 20}, 12}, {{20, 80}, 4}}, identity);
    expect_fills_union({{{20, 80}, 6}, {{50, 20}, 10}, {{80, 80}, 3}, {{30, 60}, 8}}, identity);
    expect_fills_union({{{50, 85}, 3}, {{50, 15}, 11}}, identity);
    // A mirrored, scaled canvas: world positions and radii are what counts.
    expect_fills_union({{{20, 80}, 6}, {{50, 20}, 10}, {{80, 80}, 3}},
                       AffineTransform{2, 0, 0, -2, 30, 400});
}

namespace {

constexpr std::size_t kCountOffset = 29;
constexpr std::size_t kSamplesOffset = 31;

std::vector<std::uint8_t> encoded(const PenPoints& pp)
{
    const auto bytes = pp.encode();
    EXPECT_TRUE(bytes);
    return bytes.value_or(std::vector<std::uint8_t>{});
}

void expect_round_trip(const PenPoints& pp)
{
    const auto bytes = encoded(pp);
    std::string error;
    const auto back = PenPoints::decode(bytes, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->transform(), pp.transform());
    EXPECT_EQ(back->radius(), pp.radius());
    expect_same_samples(back->points(), pp.points());
    EXPECT_EQ(back->encode(), bytes);
}

void put_le(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i) bytes[at + i] = std::uint8_t(v >> (8 * i));
}

} // namespace

TEST(PenPointsArchive, SmallStrokeHasTheExpectedBytes)
{
    const PenPoints pp = make({{{-1.25f, 0.79f}, 1}, {{1, 2}, 0.5f}}, 3.5f, {2, 0, 0, 2, 10, -4});
    const std::vector<std::uint8_t> expected = {
        0,                                                          // format
        0x00, 0x00, 0x00, 0x40, 0,    0,    0,    0,    0, 0, 0, 0, // a = 2, b, c
        0x00, 0x00, 0x00, 0x40,                                     // d = 2
        0x00, 0x00, 0x20, 0x41, 0x00, 0x00, 0x80, 0xC0,             // tx = 10, ty = -4
        0x00, 0x00, 0x60, 0x40,                                     // radius 3.5
        0x02, 0x00,                                                 // two samples
        0xF4, 0xFF, 0x07, 0x00, 0xFF,                               // -12, +7 tenths, pressure 255
        0x16, 0x00, 0x0D, 0x00, 0x7F,                               // +22, +13 tenths, pressure 127
    };
    const auto bytes = encoded(pp);
    EXPECT_EQ(bytes, expected);
    // Tenths are cut toward zero: -1.25 reads back as -1.2.
    const auto back = PenPoints::decode(bytes);
    ASSERT_TRUE(back);
    expect_same_samples(back->points(), {{{-1.2f, 0.7f}, 1}, {{1, 2}, 127.0f / 255.0f}});
}

TEST(PenPointsArchive, SimplifiedStrokeReadsBackIdentically)
{
    PenPoints pp({1.5f, 0.2f, -0.2f, 1.5f, 37, -12}, 7);
    for (int i = 0; i < 600; ++i) {
        const float s = float(i) * 1.7f;
        pp.addPointAt({s - 300.03f, 40 * std::sin(s / 30) - 0.77f},
                      0.5f + 0.45f * std::sin(float(i) / 23));
    }
    pp.simplify();
    ASSERT_GT(pp.count(), 50);
    expect_round_trip(pp);
}

TEST(PenPointsArchive, LongStrokesAndBigJumpsRoundTripExactly)
{
    // Values already at file precision, so that any difference is the archive's.
    const auto stroke = [](int n, int jump_tenths) {
        PenPoints pp({1, 0, 0, 1, 0, 0}, 3);
        for (int i = 0; i < n; ++i) {
            const int x = (i % 2) * jump_tenths;
            pp.addPointAt({float(x) / 10.0f, float(-i % 5) / 10.0f}, float(i % 256) / 255.0f);
        }
        return pp;
    };
    for (const int n : {32767, 32768, 40000}) {
        SCOPED_TRACE(n);
        const PenPoints pp = stroke(n, 7);
        expect_round_trip(pp);
        const auto bytes = encoded(pp);
        const bool wide = n > 32767;
        EXPECT_EQ(bytes.size(), kSamplesOffset + (wide ? 4u : 0u) + 5u * std::size_t(n));
        EXPECT_EQ(bytes[kCountOffset + 1] == 0xFF, wide);
    }
    // Steps of exactly 32767 tenths still fit the short form; 32768 and 5000 units do not.
    EXPECT_EQ(encoded(stroke(10, 32767)).size(), kSamplesOffset + 10 * 5);
    for (const int jump : {32768, 50000, 50000000}) {
        SCOPED_TRACE(jump);
        const PenPoints pp = stroke(10, jump);
        expect_round_trip(pp);
        // The first sample starts at 0; the nine jumps take the long form.
        EXPECT_EQ(encoded(pp).size(), kSamplesOffset + 5 + 9 * 11);
    }
}

TEST(PenPointsArchive, WhatCannotBeStoredIsRefused)
{
    EXPECT_FALSE(make({{{kNaN, 0}, 1}}, 1).encode());
    EXPECT_FALSE(make({{{0, kInf}, 1}}, 1).encode());
    EXPECT_FALSE(make({{{3e8f, 0}, 1}}, 1).encode());
    // Both ends fit in 32 bits, the step between them does not.
    EXPECT_FALSE(make({{{-2e8f, 0}, 1}, {{2e8f, 0}, 1}}, 1).encode());
    EXPECT_FALSE(make({{{0, 0}, 1}}, kNaN).encode());
    EXPECT_FALSE(make({{{0, 0}, 1}}, -1).encode());
    EXPECT_FALSE(make({{{0, 0}, 1}}, 1, {0, 0, 0, 0, 0, 0}).encode());

    // Pressure is clamped to what one byte holds.
    const auto bytes = encoded(make({{{0, 0}, 1.5f}, {{0, 0}, -0.5f}, {{0, 0}, kNaN}}, 1));
    ASSERT_EQ(bytes.size(), kSamplesOffset + 15);
    EXPECT_EQ(bytes[kSamplesOffset + 4], 255);
    EXPECT_EQ(bytes[kSamplesOffset + 9], 0);
    EXPECT_EQ(bytes[kSamplesOffset + 14], 0);
}

TEST(PenPointsArchive, DamagedDataFailsCleanly)
{
    const auto good = encoded(make({{{1, 2}, 1}, {{3, 4}, 0.5f}, {{5, 6}, 0.25f}}, 2));
    ASSERT_TRUE(PenPoints::decode(good));

    std::vector<std::vector<std::uint8_t>> damaged;
    for (std::size_t n = 0; n < good.size(); ++n)
        damaged.emplace_back(good.begin(), good.begin() + long(n));
    auto patched = [&](std::size_t at, std::uint32_t v, int n) {
        auto bytes = good;
        put_le(bytes, at, v, n);
        damaged.push_back(bytes);
    };
    damaged.push_back(good);
    damaged.back().push_back(0);      // trailing byte
    patched(kCountOffset, 0xFFFE, 2); // count -2
    patched(kCountOffset, 4, 2);      // more samples than data
    patched(kCountOffset, 0x7FFF, 2);
    patched(1, 0x7FC00000, 4);                          // a = NaN
    patched(21, 0x7F800000, 4);                         // tx = infinity
    for (std::size_t at : {1u, 13u}) patched(at, 0, 4); // a = 0, then d = 0
    patched(25, 0x7FC00000, 4);                         // radius NaN
    patched(25, 0xBF800000, 4);                         // radius -1

    // The wide count: negative, or far more than the data holds.
    auto wide_count = [&](std::uint32_t n) {
        std::vector<std::uint8_t> bytes(good.begin(), good.begin() + kCountOffset);
        bytes.insert(bytes.end(), {0xFF, 0xFF});
        bytes.resize(bytes.size() + 4);
        put_le(bytes, kCountOffset + 2, n, 4);
        bytes.insert(bytes.end(), good.begin() + kSamplesOffset, good.end());
        damaged.push_back(bytes);
    };
    wide_count(0x80000000u);
    wide_count(0x7FFFFFFFu);

    // Two wide steps of 2^31 - 1 tenths: the running coordinate leaves 32 bits.
    std::vector<std::uint8_t> overflow(good.begin(), good.begin() + kSamplesOffset);
    put_le(overflow, kCountOffset, 2, 2);
    for (int i = 0; i < 2; ++i) {
        const std::size_t at = overflow.size();
        overflow.resize(at + 11);
        put_le(overflow, at, 0x8000, 2);
        put_le(overflow, at + 2, 0x7FFFFFFF, 4);
        put_le(overflow, at + 6, 0, 4);
    }
    damaged.push_back(overflow);

    for (std::size_t i = 0; i < damaged.size(); ++i) {
        std::string error;
        EXPECT_FALSE(PenPoints::decode(damaged[i], &error)) << "case " << i;
        EXPECT_FALSE(error.empty()) << "case " << i;
        EXPECT_FALSE(PenPoints::decode(damaged[i])) << "case " << i;
    }
}
