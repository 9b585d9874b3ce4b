#include "pen_points.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
using Samples = std::vector<PenPoint>;

PenPoints make(const Samples& samples, float radius,
               const AffineTransform& t = AffineTransform::identity())
{
    PenPoints pp(t, radius);
    for (const PenPoint& s : samples) pp.addPointAt(s.p, s.pressure);
    return pp;
}

// The cubic polynomial through q[0..3] at t = 0, 1/3, 2/3, 1 (Lagrange form), in double:
// the curve the gap filling must follow, computed another way.
Point cubic_through(const Samples& s, std::size_t first, double t)
{
    const double nodes[4] = {0, 1.0 / 3, 2.0 / 3, 1};
    double x = 0, y = 0;
    for (int i = 0; i < 4; ++i) {
        double w = 1;
        for (int j = 0; j < 4; ++j)
            if (j != i) w *= (t - nodes[j]) / (nodes[i] - nodes[j]);
        x += w * s[first + std::size_t(i)].p.x;
        y += w * s[first + std::size_t(i)].p.y;
    }
    return {float(x), float(y)};
}

void expect_same_samples(const Samples& a, const Samples& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_TRUE(a[i].p == b[i].p && a[i].pressure == b[i].pressure) << "sample " << i;
}

} // namespace

TEST(PenPoints, SetTransformRefusesUnusableAndRemapsWorldPositions)
{
    PenPoints pp(AffineTransform{2, 0, 0, 2, 0, 0}, 3);
    for (const AffineTransform& bad : {AffineTransform{2, 0, 0, 2, kNaN, 0},
                                       AffineTransform{1, 2, 2, 4, 0, 0},
                                       AffineTransform{kInf, 0, 0, 1, 0, 0}})
        EXPECT_FALSE(pp.setTransform(bad));
    EXPECT_EQ(pp.bitmapPointToWorldPoint({4, 6}), (Point{2, 3}));
    // The world positions must follow the new transform, not a stale inverse.
    EXPECT_TRUE(pp.setTransform(AffineTransform::translation(10, 0)));
    EXPECT_EQ(pp.bitmapPointToWorldPoint({4, 6}), (Point{-6, 6}));
    EXPECT_TRUE(pp.setTransform({0, 3, -3, 0, 10, 0}));
    EXPECT_FLOAT_EQ(pp.scale(), 3);
}

// Gaps wider than ten units (or the pen's diameter) are filled along the cubic through the
// four samples around them.
TEST(PenPoints, SmoothingFillsWideGapsAlongTheCubic)
{
    struct Inserted {
        std::size_t at;     // index in the output
        std::size_t first;  // first of the four input samples the cubic runs through
        double t;           // curve parameter
        float pressure;     // NaN: not checked
    };
    struct Row {
        const char* name;
        Samples in;
        float radius;
        std::vector<Inserted> inserted;
    };
    const Row rows[] = {
        {"three samples are left alone",
         {{{0, 0}, 1}, {{100, 0}, 0.5f}, {{100, 200}, 0.2f}},
         2,
         {}},
        {"gaps of exactly ten", {{{0, 0}, 1}, {{6, 8}, 1}, {{12, 16}, 1}, {{18, 24}, 1}}, 2, {}},
        {"just over ten: one halfway",
         {{{0, 0}, 0}, {{10.5f, 0}, 1}, {{12, 3}, 1}, {{13, 8}, 1}},
         2,
         {{1, 0, 1.0 / 6, 0.5f}}},
        {"twenty-five: two, pressure ramped",
         {{{0, 0}, 0.2f}, {{15, 20}, 0.8f}, {{22, 24}, 0.5f}, {{28, 27}, 0.5f}},
         2,
         {{1, 0, 1.0 / 9, 0.4f}, {2, 0, 2.0 / 9, 0.6f}}},
        {"the diameter raises the threshold",
         {{{0, 0}, 1}, {{15, 20}, 1}, {{22, 24}, 1}, {{28, 27}, 1}},
         8,
         {{1, 0, 1.0 / 6, kNaN}}},
        {"inner and end gaps",
         {{{0, 0}, 1}, {{4, 3}, 1}, {{8, 6}, 1}, {{20, 14}, 1}, {{24, 20}, 1}, {{40, 30}, 1}},
         2,
         {{3, 1, 0.5, kNaN}, {6, 2, 5.0 / 6, kNaN}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PenPoints pp = make(row.in, row.radius);
        pp.smoothByBezierInterpolation();
        const Samples& out = pp.points();
        ASSERT_EQ(out.size(), row.in.size() + row.inserted.size());
        Samples kept;
        for (std::size_t i = 0, k = 0; i < out.size(); ++i) {
            if (k < row.inserted.size() && row.inserted[k].at == i) {
                const Inserted& e = row.inserted[k++];
                const Point want = cubic_through(row.in, e.first, e.t);
                EXPECT_NEAR(out[i].p.x, want.x, 1e-3f) << i;
                EXPECT_NEAR(out[i].p.y, want.y, 1e-3f) << i;
                if (!std::isnan(e.pressure)) {
                    EXPECT_NEAR(out[i].pressure, e.pressure, 1e-6f) << i;
                }
            } else {
                kept.push_back(out[i]);
            }
        }
        expect_same_samples(kept, row.in);
    }
}

TEST(PenPoints, SmoothingDamagedSamplesDoesNotRunAway)
{
    const struct {
        Samples in;
        float radius;
        int at_most;
    } rows[] = {
        {{{{0, 0}, 1}, {{1, 0}, 1}, {{1e6f, 0}, 1}, {{1e6f + 1, 0}, 1}}, 2, 4 + 4096},
        {{{{0, 0}, 1}, {{1, 0}, 1}, {{kNaN, 0}, 1}, {{50, 0}, 1}}, 2, 4},
        {{{{0, 0}, 1}, {{kInf, 0}, 1}, {{1, 0}, 1}, {{2, 0}, 1}}, 2, 4},
        {{{{0, 0}, 1}, {{50, 0}, 1}, {{51, 0}, 1}, {{52, 0}, 1}}, kNaN, 4},
    };
    for (const auto& row : rows) {
        PenPoints pp = make(row.in, row.radius);
        pp.smoothByBezierInterpolation();
        EXPECT_LE(pp.count(), row.at_most);
    }
}

TEST(PenPoints, AveragingMergesCloseSamplesAndDropsHiddenCircles)
{
    Samples ten;
    for (int x = 0; x < 10; ++x) ten.push_back({{float(x), 0}, 1});
    const struct {
        const char* name;
        Samples in;
        float radius;
        Samples out;
    } rows[] = {
        {"ten in a row merge into five",
         ten,
         4,
         {{{0, 0}, 1}, {{2, 0}, 1}, {{5, 0}, 1}, {{7.5f, 0}, 1}, {{9, 0}, 1}}},
        // The group closes at sample 3 (2 x 4.24 > 0.6 x 10); sample 4 is then hidden by 5.
        {"mean position, highest pressure",
         {{{0, 0}, 1}, {{1, 2}, 0.5f}, {{2, 2}, 0.8f}, {{3, 2}, 0.6f}, {{4, 2}, 0.7f}, {{5, 0}, 1}},
         10,
         {{{0, 0}, 1}, {{2, 2}, 0.8f}, {{5, 0}, 1}}},
        {"inside the previous circle",
         {{{0, 0}, 1}, {{1, 0}, 0}, {{2, 0}, 1}},
         4,
         {{{0, 0}, 1}, {{2, 0}, 1}}},
        {"inside the next circle", {{{0, 0}, 0}, {{1, 0}, 1}}, 4, {{{1, 0}, 1}}},
        {"a big circle takes every small one",
         {{{0, 0}, 0.1f}, {{1, 0}, 0.1f}, {{2, 0}, 1}},
         10,
         {{{2, 0}, 1}}},
        {"touching is not inside",
         {{{0, 0}, 1}, {{4, 0}, 0}, {{8, 0}, 1}},
         4,
         {{{0, 0}, 1}, {{4, 0}, 0}, {{8, 0}, 1}}},
        {"touching the next", {{{0, 0}, 0}, {{4, 0}, 1}}, 4, {{{0, 0}, 0}, {{4, 0}, 1}}},
        {"one sample", {{{3, 4}, 0.5f}}, 4, {{{3, 4}, 0.5f}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PenPoints pp = make(row.in, row.radius);
        pp.simplifyByAveraging();
        expect_same_samples(pp.points(), row.out);
    }
}

TEST(PenPoints, SimplifyRoundsToWhatAFileHolds)
{
    // Far apart, so that only the rounding changes anything.
    PenPoints pp =
        make({{{-1.25f, 3.99f}, 0.5f}, {{100.07f, -0.05f}, 1.5f}, {{200, 0}, -0.25f}}, 1);
    pp.simplify();
    expect_same_samples(pp.points(),
                        {{{-1.2f, 3.9f}, 127.0f / 255.0f}, {{100, 0}, 1}, {{200, 0}, 0}});
}

TEST(PenPoints, OutlineCirclesAndTangentBands)
{
    // A single sample: one circle in world space, scaled by the transform.
    const auto one = make({{{30, 40}, 0.5f}}, 5, {2, 0, 0, 2, 10, 20}).buildOutline();
    ASSERT_TRUE(one && one->circles.size() == 1 && one->bands.empty());
    EXPECT_EQ(one->circles[0].centre, (Point{10, 10}));
    EXPECT_FLOAT_EQ(one->circles[0].radius, 1.25f);
    EXPECT_FALSE(PenPoints(AffineTransform::identity(), 5).buildOutline());

    // A repeated sample gets no band.
    const auto outline =
        make({{{0, 0}, 1}, {{10, 0}, 0.5f}, {{10, 0}, 0.5f}, {{4, 12}, 0.25f}}, 4).buildOutline();
    ASSERT_TRUE(outline);
    EXPECT_EQ(outline->band_before, (std::vector<bool>{false, true, false, true}));
    ASSERT_EQ(outline->bands.size(), 2u);
    const std::pair<int, int> joined[2] = {{0, 1}, {2, 3}};
    for (int k = 0; k < 2; ++k) {
        const OutlineCircle& c1 = outline->circles[std::size_t(joined[k].first)];
        const OutlineCircle& c2 = outline->circles[std::size_t(joined[k].second)];
        const Point* q = outline->bands[std::size_t(k)].corners;
        // Each long edge touches both circles: its ends lie on them, perpendicular to the radii.
        for (const auto& [a, b] : {std::pair{0, 1}, std::pair{3, 2}}) {
            const Point edge = normalize(q[b] - q[a]);
            EXPECT_NEAR(length(q[a] - c1.centre), c1.radius, 1e-4f);
            EXPECT_NEAR(length(q[b] - c2.centre), c2.radius, 1e-4f);
            EXPECT_NEAR(dot(edge, q[a] - c1.centre), 0, 1e-4f);
            EXPECT_NEAR(dot(edge, q[b] - c2.centre), 0, 1e-4f);
        }
    }
    // Zoomed in 64 times near x = 1e6, two samples land on one world point: no band.
    const PenPoints meeting = make({{{0, 0}, 1}, {{0.1f, 0}, 0.5f}}, 4, {64, 0, 0, 64, -6.4e7f, 0});
    ASSERT_EQ(meeting.bitmapPointToWorldPoint({0, 0}), meeting.bitmapPointToWorldPoint({0.1f, 0}));
    EXPECT_TRUE(meeting.buildOutline()->bands.empty());
    // One circle inside the other: the band collapses, still finite.
    EXPECT_TRUE(make({{{0, 0}, 1}, {{1, 0}, 0.1f}}, 10).buildOutline());
}

TEST(PenPoints, NonFiniteOutlinesAreRejectedNotDrawn)
{
    const Samples two = {{{0, 0}, 1}, {{10, 0}, 1}};
    const PenPoints rows[] = {
        make(two, 4, {1, 0, 0, kNaN, 0, 0}),
        make(two, 4, {0, 0, 0, 0, 0, 0}),
        make(two, kNaN),
        make(two, kInf),
        // A negative radius would turn its circle the other way and cut a hole in the mark.
        make(two, -4),
        make({{{0, 0}, 1}, {{10, 0}, -1}}, 4),
        make({{{0, 0}, 1}, {{kInf, 0}, 1}}, 4),
        // Finite centres and radii whose difference overflows: only the band corners fail.
        make({{{-3e38f, 0}, 1}, {{3e38f, 0}, 1}}, 4),
    };
    for (const PenPoints& pp : rows) {
        EXPECT_FALSE(pp.buildOutline());
        EXPECT_FALSE(pp.buildPath());
    }
}

TEST(PenPoints, MovingScalesWorldRadiiAndKeepsSamples)
{
    PenPoints pp = make({{{0, 0}, 1}, {{10, 4}, 0.5f}, {{20, -3}, 0.25f}}, 6, {2, 0, 0, 2, 6, 8});
    const auto before = pp.buildOutline();
    const Samples samples = pp.points();
    const AffineTransform t{2, 0, 0, 2, 5, -7};
    ASSERT_TRUE(pp.transformUsingAffineTransform(t));
    const auto after = pp.buildOutline();
    ASSERT_TRUE(before && after && after->circles.size() == before->circles.size());
    for (std::size_t i = 0; i < before->circles.size(); ++i) {
        EXPECT_FLOAT_EQ(after->circles[i].radius, 2 * before->circles[i].radius);
        EXPECT_NEAR(length(after->circles[i].centre - t.apply(before->circles[i].centre)), 0,
                    1e-4f);
    }
    expect_same_samples(pp.points(), samples);
    // Refused: not finite, singular, and a moved transform that would overflow.
    PenPoints refusing = make({{{0, 0}, 1}}, 1, {4, 0, 0, 4, 0, 0});
    for (const AffineTransform& bad :
         {AffineTransform{1, 0, 0, 1, kNaN, 0}, AffineTransform{1, 1, 1, 1, 0, 0},
          AffineTransform{1e-38f, 0, 0, 1e-38f, 0, 0}})
        EXPECT_FALSE(refusing.transformUsingAffineTransform(bad));
    EXPECT_EQ(refusing.transform(), (AffineTransform{4, 0, 0, 4, 0, 0}));
}

// The filled path must be the union of the circles and the hulls between neighbours:
// circles and bands turning different ways would cancel under the non-zero rule.
TEST(PenPoints, FilledPathIsTheUnionOfCirclesAndBands)
{
    struct Disc {
        Point centre;
        float radius;
    };
    // +1 inside the hull of two discs by more than the margin, -1 outside, 0 too close.
    const auto side_of_hull = [](Point q, const Disc& a, const Disc& b) {
        float best = kInf;
        for (int k = 0; k <= 100; ++k) {
            const float t = float(k) / 100;
            best = std::min(best, length(q - (a.centre + (b.centre - a.centre) * t)) -
                                      (a.radius + (b.radius - a.radius) * t));
        }
        return best < -0.75f ? 1 : (best > 0.75f ? -1 : 0);
    };
    const std::pair<std::vector<Disc>, AffineTransform> rows[] = {
        {{{{20, 50}, 10}, {{80, 50}, 10}}, {}},
        {{{{80, 20}, 12}, {{20, 80}, 4}}, {}},
        {{{{20, 80}, 6}, {{50, 20}, 10}, {{80, 80}, 3}, {{30, 60}, 8}}, {}},
        {{{{50, 85}, 3}, {{50, 15}, 11}}, {}},
        // A mirrored, scaled canvas: world positions and radii are what counts.
        {{{{20, 80}, 6}, {{50, 20}, 10}, {{80, 80}, 3}}, {2, 0, 0, -2, 30, 400}},
    };
    for (const auto& [discs, t] : rows) {
        PenPoints pp(t, 12);
        for (const Disc& d : discs)
            pp.addPointAt(t.apply(d.centre), d.radius * length({t.a, t.b}) / 12);
        const auto path = pp.buildPath();
        ASSERT_TRUE(path);
        QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(0);
        QPainter(&image).fillPath(*path, Qt::black);
        int wrong = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                int side = -1;
                for (std::size_t i = 0; i < discs.size(); ++i)
                    side = std::max(side, side_of_hull({float(x) + 0.5f, float(y) + 0.5f}, discs[i],
                                                       discs[std::min(i + 1, discs.size() - 1)]));
                const bool filled = qAlpha(image.pixel(x, y)) != 0;
                wrong += (side > 0 && !filled) || (side < 0 && filled);
            }
        EXPECT_EQ(wrong, 0) << discs.size() << " discs";
    }
}

// ---- The byte form

namespace {

constexpr std::size_t kCountOffset = 29;
constexpr std::size_t kSamplesOffset = 31;
using Bytes = std::vector<std::uint8_t>;

Bytes encoded(const PenPoints& pp)
{
    const auto bytes = pp.encode();
    EXPECT_TRUE(bytes);
    return bytes.value_or(Bytes{});
}

void expect_round_trip(const PenPoints& pp)
{
    const Bytes bytes = encoded(pp);
    const Result<PenPoints> back = PenPoints::decode(bytes);
    ASSERT_TRUE(back) << back.error().toStdString();
    EXPECT_EQ(back->transform(), pp.transform());
    EXPECT_EQ(back->radius(), pp.radius());
    expect_same_samples(back->points(), pp.points());
}

void put_le(Bytes& bytes, std::size_t at, std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i) bytes[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

} // namespace

// Steps that reach the escape code: the narrow form holds -32767..32767 in each direction;
// -32768 is the escape itself, so that step and every longer one take the wide form.
TEST(PenPointsArchive, StepsAtTheEscapeBoundaryRoundTripExactly)
{
    const struct {
        const char* name;
        int dx, dy;  // tenths, alternately added and taken away
        bool wide;
    } rows[] = {
        {"x at the narrow limit", 32767, 0, false},
        {"x one past", 32768, 0, true},
        {"y at the narrow limit", 0, 32767, false},
        {"y one past", 0, 32768, true},
        {"y far", 7, 50000000, true},
        {"both one past", 32768, -32768, true},
        {"both at the limit", -32767, 32767, false},
    };
    for (const auto& row : rows) {
        for (const int sign : {1, -1}) {
            SCOPED_TRACE(::testing::Message() << row.name << (sign < 0 ? ", backwards" : ""));
            // Values already at file precision, and pressures from 0 to 255 on narrow and
            // wide samples alike, so that any difference is the archive's.
            PenPoints pp(AffineTransform::identity(), 3);
            for (int i = 0; i < 6; ++i) {
                const int k = sign * (i % 2);
                pp.addPointAt({float(k * row.dx) / 10, float(k * row.dy) / 10},
                              float(i * 51) / 255);
            }
            expect_round_trip(pp);
            // The first sample steps from 0, 0 to 0, 0; the five after it jump.
            EXPECT_EQ(encoded(pp).size(), kSamplesOffset + 5 + 5 * (row.wide ? 11u : 5u));
        }
    }
}

TEST(PenPointsArchive, CountsBeyondSixteenBitsTakeTheWideForm)
{
    for (const int n : {32767, 32768}) {
        PenPoints pp(AffineTransform::scaling(0.5f, 0.5f), 3);
        for (int i = 0; i < n; ++i)
            pp.addPointAt({float(i % 2) * 0.7f, float(-i % 5) / 10}, float(i % 256) / 255);
        expect_round_trip(pp);
        const Bytes bytes = encoded(pp);
        const bool wide = n > 32767;
        EXPECT_EQ(bytes.size(), kSamplesOffset + (wide ? 4u : 0u) + 5u * std::size_t(n)) << n;
        EXPECT_EQ(bytes[kCountOffset + 1] == 0xFF, wide) << n;
    }
}

TEST(PenPointsArchive, WhatCannotBeStoredIsRefused)
{
    const PenPoints rows[] = {
        make({{{kNaN, 0}, 1}}, 1),
        make({{{0, kInf}, 1}}, 1),
        make({{{3e8f, 0}, 1}}, 1),
        // Both ends fit in 32 bits, the step between them does not.
        make({{{0, -2e8f}, 1}, {{0, 2e8f}, 1}}, 1),
        make({{{0, 0}, 1}}, kNaN),
        make({{{0, 0}, 1}}, -1),
        make({{{0, 0}, 1}}, 1, {0, 0, 0, 0, 0, 0}),
    };
    for (const PenPoints& pp : rows) EXPECT_FALSE(pp.encode());
    // Pressure is clamped to what one byte holds.
    const Bytes bytes = encoded(make({{{0, 0}, 1.5f}, {{0, 0}, -0.5f}, {{0, 0}, kNaN}}, 1));
    ASSERT_EQ(bytes.size(), kSamplesOffset + 15);
    EXPECT_EQ(
        (Bytes{bytes[kSamplesOffset + 4], bytes[kSamplesOffset + 9], bytes[kSamplesOffset + 14]}),
        (Bytes{255, 0, 0}));
}

TEST(PenPointsArchive, DamagedBytesAreRefusedWithAReason)
{
    const Bytes good = encoded(make({{{1, 2}, 1}, {{3, 4}, 0.5f}, {{5, 6}, 0.25f}}, 2));
    ASSERT_TRUE(PenPoints::decode(good));
    std::vector<Bytes> rows;
    for (std::size_t n = 0; n < good.size(); ++n)
        rows.emplace_back(good.begin(), good.begin() + long(n));
    const auto patched = [&](std::size_t at, std::uint32_t v, int n) {
        Bytes bytes = good;
        put_le(bytes, at, v, n);
        rows.push_back(bytes);
    };
    rows.push_back(good);
    rows.back().push_back(0);                           // trailing byte
    patched(kCountOffset, 0xFFFE, 2);                   // count -2
    patched(kCountOffset, 4, 2);                        // more samples than data
    patched(kCountOffset, 0x7FFF, 2);
    patched(1, 0x7FC00000, 4);                          // a = NaN
    patched(21, 0x7F800000, 4);                         // tx = infinity
    for (std::size_t at : {1u, 13u}) patched(at, 0, 4); // a = 0, then d = 0
    patched(25, 0x7FC00000, 4);                         // radius NaN
    patched(25, 0xBF800000, 4);                         // radius -1
    for (const std::uint32_t n : {0x80000000u, 0x7FFFFFFFu}) {
        // The wide count: negative, or far more than the data holds.
        Bytes bytes(good.begin(), good.begin() + kCountOffset);
        bytes.insert(bytes.end(), {0xFF, 0xFF, 0, 0, 0, 0});
        put_le(bytes, kCountOffset + 2, n, 4);
        bytes.insert(bytes.end(), good.begin() + kSamplesOffset, good.end());
        rows.push_back(bytes);
    }
    for (const bool vertical : {false, true}) {
        // Two wide steps of 2^31 - 1 tenths: the running coordinate leaves 32 bits.
        Bytes overflow(good.begin(), good.begin() + kSamplesOffset);
        put_le(overflow, kCountOffset, 2, 2);
        for (int i = 0; i < 2; ++i) {
            const std::size_t at = overflow.size();
            overflow.resize(at + 11);
            put_le(overflow, at, 0x8000, 2);
            put_le(overflow, at + (vertical ? 6 : 2), 0x7FFFFFFF, 4);
        }
        rows.push_back(overflow);
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Result<PenPoints> back = PenPoints::decode(rows[i]);
        EXPECT_FALSE(back) << "row " << i;
        EXPECT_FALSE(back.error().isEmpty()) << "row " << i;
    }
}
