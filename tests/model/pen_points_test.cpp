#include "pen_points.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
using Samples = std::vector<PenPoint>;
using Bytes = std::vector<std::uint8_t>;

// Samples written as x, y, pressure, ...
Samples xyp(std::initializer_list<float> v)
{
    Samples samples;
    for (auto i = v.begin(); v.end() - i >= 3; i += 3) samples.push_back({{i[0], i[1]}, i[2]});
    return samples;
}

PenPoints make(const Samples& samples, float radius, const AffineTransform& t = {})
{
    PenPoints pp(t, radius);
    for (const PenPoint& s : samples) pp.addPointAt(s.p, s.pressure);
    return pp;
}

void expect_same(const Samples& a, const Samples& b)
{
    const auto same = [](PenPoint x, PenPoint y) { return x.p == y.p && x.pressure == y.pressure; };
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end(), same));
}

// The cubic through four samples at t = 0, 1/3, 2/3, 1 (Lagrange form, in double): the
// curve the gap filling must follow, computed another way.
Point cubic_through(const Samples& s, std::size_t first, double t)
{
    const double nodes[4] = {0, 1.0 / 3, 2.0 / 3, 1};
    double x = 0, y = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        double w = 1;
        for (std::size_t j = 0; j < 4; ++j)
            if (j != i) w *= (t - nodes[j]) / (nodes[i] - nodes[j]);
        x += w * s[first + i].p.x;
        y += w * s[first + i].p.y;
    }
    return {float(x), float(y)};
}

} // namespace

// Moving changes only the transform: the samples stay, the world circles follow and their
// radii scale. The cached inverse follows a new transform; an unusable one is refused.
TEST(PenPoints, TransformsMoveTheOutlineAndKeepTheSamples)
{
    PenPoints pp = make(xyp({0, 0, 1, 10, 4, 0.5f, 20, -3, 0.25f}), 6, {2, 0, 0, 2, 6, 8});
    const auto before = pp.buildOutline();
    const Samples samples = pp.points();
    const AffineTransform t{2, 0, 0, 2, 5, -7};
    ASSERT_TRUE(pp.transformUsingAffineTransform(t));
    const auto after = pp.buildOutline();
    ASSERT_TRUE(before && after && after->circles.size() == 3);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(after->circles[i].radius, 2 * before->circles[i].radius);
        EXPECT_LT(length(after->circles[i].centre - t.apply(before->circles[i].centre)), 1e-4f);
    }
    expect_same(pp.points(), samples);
    ASSERT_TRUE(pp.setTransform({4, 0, 0, 4, 10, 0}));
    EXPECT_EQ(pp.bitmapPointToWorldPoint({4, 6}), (Point{-1.5f, 1.5f}));
    // Not finite, singular, and (for a move) a result that overflows.
    for (const AffineTransform& bad : {AffineTransform{1, 0, 0, 1, kNaN, 0}, {1, 1, 1, 1, 0, 0}})
        EXPECT_FALSE(pp.setTransform(bad) || pp.transformUsingAffineTransform(bad));
    EXPECT_FALSE(pp.transformUsingAffineTransform({1e-38f, 0, 0, 1e-38f, 0, 0}));
    EXPECT_EQ(pp.transform(), (AffineTransform{4, 0, 0, 4, 10, 0}));
}

// Gaps wider than ten units (or the pen's diameter) are filled along the cubic through the
// four samples around them; every sample given is kept.
TEST(PenPoints, SmoothingFillsWideGapsAlongTheCubic)
{
    // Index in the output, first of the four samples of the cubic, its parameter, and the
    // pressure (NaN: not checked).
    struct Inserted { std::size_t at, first; double t; float pressure; };
    const struct { const char* name; Samples in; float r; std::vector<Inserted> adds; } rows[] = {
        {"three samples are left alone", xyp({0, 0, 1, 100, 0, 0.5f, 100, 200, 0.2f}), 2, {}},
        {"gaps of exactly ten", xyp({0, 0, 1, 6, 8, 1, 12, 16, 1, 18, 24, 1}), 2, {}},
        {"just over ten: one halfway", xyp({0, 0, 0, 10.5f, 0, 1, 12, 3, 1, 13, 8, 1}), 2,
         {{1, 0, 1.0 / 6, 0.5f}}},
        {"twenty-five: two, pressure ramped",
         xyp({0, 0, 0.2f, 15, 20, 0.8f, 22, 24, 0.5f, 28, 27, 0.5f}), 2,
         {{1, 0, 1.0 / 9, 0.4f}, {2, 0, 2.0 / 9, 0.6f}}},
        {"the diameter raises the threshold",
         xyp({0, 0, 1, 15, 20, 1, 22, 24, 1, 28, 27, 1}), 8, {{1, 0, 1.0 / 6, kNaN}}},
        {"inner and end gaps",
         xyp({0, 0, 1, 4, 3, 1, 8, 6, 1, 20, 14, 1, 24, 20, 1, 40, 30, 1}), 2,
         {{3, 1, 0.5, kNaN}, {6, 2, 5.0 / 6, kNaN}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PenPoints pp = make(row.in, row.r);
        pp.smoothByBezierInterpolation();
        const Samples& out = pp.points();
        ASSERT_EQ(out.size(), row.in.size() + row.adds.size());
        Samples kept;
        for (std::size_t i = 0, k = 0; i < out.size(); ++i) {
            if (k == row.adds.size() || row.adds[k].at != i) {
                kept.push_back(out[i]);
                continue;
            }
            const Inserted& e = row.adds[k++];
            EXPECT_LT(length(out[i].p - cubic_through(row.in, e.first, e.t)), 1e-3f) << i;
            EXPECT_TRUE(std::isnan(e.pressure) || std::abs(out[i].pressure - e.pressure) < 1e-6f);
        }
        expect_same(kept, row.in);
    }
    // Damaged samples must not make it fill without bound.
    for (const auto& [in, radius, at_most] :
         {std::tuple{xyp({0, 0, 1, 1, 0, 1, 1e6f, 0, 1, 1e6f + 1, 0, 1}), 2.0f, 4 + 4096},
          {xyp({0, 0, 1, 1, 0, 1, kNaN, 0, 1, 50, 0, 1}), 2.0f, 4},
          {xyp({0, 0, 1, kInf, 0, 1, 1, 0, 1, 2, 0, 1}), 2.0f, 4},
          {xyp({0, 0, 1, 50, 0, 1, 51, 0, 1, 52, 0, 1}), kNaN, 4}}) {
        PenPoints pp = make(in, radius);
        pp.smoothByBezierInterpolation();
        EXPECT_LE(pp.count(), at_most);
    }
}

TEST(PenPoints, AveragingMergesCloseSamplesAndDropsHiddenCircles)
{
    Samples ten;
    for (int x = 0; x < 10; ++x) ten.push_back({{float(x), 0}, 1});
    const struct { const char* name; Samples in; float radius; Samples out; } rows[] = {
        {"ten in a row make five", ten, 4, xyp({0, 0, 1, 2, 0, 1, 5, 0, 1, 7.5f, 0, 1, 9, 0, 1})},
        // The group closes at sample 3 (2 x 4.24 > 0.6 x 10); sample 4 is then hidden by 5.
        {"mean position, highest pressure",
         xyp({0, 0, 1, 1, 2, 0.5f, 2, 2, 0.8f, 3, 2, 0.6f, 4, 2, 0.7f, 5, 0, 1}), 10,
         xyp({0, 0, 1, 2, 2, 0.8f, 5, 0, 1})},
        {"inside the previous", xyp({0, 0, 1, 1, 0, 0, 2, 0, 1}), 4, xyp({0, 0, 1, 2, 0, 1})},
        {"inside the next circle", xyp({0, 0, 0, 1, 0, 1}), 4, xyp({1, 0, 1})},
        {"a big circle takes all", xyp({0, 0, 0.1f, 1, 0, 0.1f, 2, 0, 1}), 10, xyp({2, 0, 1})},
        {"touching", xyp({0, 0, 1, 4, 0, 0, 8, 0, 1}), 4, xyp({0, 0, 1, 4, 0, 0, 8, 0, 1})},
        {"one sample", xyp({3, 4, 0.5f}), 4, xyp({3, 4, 0.5f})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PenPoints pp = make(row.in, row.radius);
        pp.simplifyByAveraging();
        expect_same(pp.points(), row.out);
    }
    // Simplifying also rounds to what a file holds; far apart, so that only rounding acts.
    PenPoints pp = make(xyp({-1.25f, 3.99f, 0.5f, 100.07f, -0.05f, 1.5f, 200, 0, -0.25f}), 1);
    pp.simplify();
    expect_same(pp.points(), xyp({-1.2f, 3.9f, 127.0f / 255.0f, 100, 0, 1, 200, 0, 0}));
}

// Bands join neighbouring circles, but not a sample to its repeat nor two samples that meet
// in world space. An outline with anything not finite, or a negative radius (its circle
// would turn the other way and cut a hole in the mark), is refused rather than drawn.
TEST(PenPoints, OutlineBandsAndRefusals)
{
    const Samples two = xyp({0, 0, 1, 10, 0, 1});
    const struct { const char* name; PenPoints pp; int bands; /* -1: refused */ } rows[] = {
        {"one sample", make(xyp({30, 40, 0.5f}), 5), 0},
        {"a repeated sample", make(xyp({0, 0, 1, 10, 0, 0.5f, 10, 0, 0.5f, 4, 12, 0.25f}), 4), 2},
        {"meeting in world space, zoomed in 64 times near x = 1e6",
         make(xyp({0, 0, 1, 0.1f, 0, 0.5f}), 4, {64, 0, 0, 64, -6.4e7f, 0}), 0},
        {"one circle inside the other", make(xyp({0, 0, 1, 1, 0, 0.1f}), 10), 1},
        {"no samples", PenPoints({}, 5), -1},
        {"NaN transform", make(two, 4, {1, 0, 0, kNaN, 0, 0}), -1},
        {"zero transform", make(two, 4, {0, 0, 0, 0, 0, 0}), -1},
        {"NaN radius", make(two, kNaN), -1},
        {"infinite radius", make(two, kInf), -1},
        {"negative radius", make(two, -4), -1},
        {"negative pressure", make(xyp({0, 0, 1, 10, 0, -1}), 4), -1},
        {"infinite sample", make(xyp({0, 0, 1, kInf, 0, 1}), 4), -1},
        // Finite centres and radii whose difference overflows: only the band corners fail.
        {"band corners overflow", make(xyp({-3e38f, 0, 1, 3e38f, 0, 1}), 4), -1},
    };
    for (const auto& row : rows) {
        const auto outline = row.pp.buildOutline();
        EXPECT_EQ(outline ? int(outline->bands.size()) : -1, row.bands) << row.name;
        EXPECT_EQ(row.pp.buildPath().has_value(), row.bands >= 0) << row.name;
    }
}

// The filled path must be the union of the circles and the hulls between neighbours:
// circles and bands turning different ways would cancel under the non-zero rule.
TEST(PenPoints, FilledPathIsTheUnionOfCirclesAndBands)
{
    // +1 inside the hull of two discs by more than the margin, -1 outside, 0 too close.
    const auto side_of_hull = [](Point q, const PenPoint& a, const PenPoint& b) {
        float best = kInf;
        for (float t = 0; t <= 1; t += 0.01f)
            best = std::min(best, length(q - (a.p + (b.p - a.p) * t)) -
                                      (a.pressure + (b.pressure - a.pressure) * t));
        return best < -0.75f ? 1 : (best > 0.75f ? -1 : 0);
    };
    // Discs as centre and radius in the world.
    const std::pair<Samples, AffineTransform> rows[] = {
        {xyp({20, 50, 10, 80, 50, 10}), {}},
        {xyp({80, 20, 12, 20, 80, 4}), {}},
        {xyp({20, 80, 6, 50, 20, 10, 80, 80, 3, 30, 60, 8}), {}},
        {xyp({50, 85, 3, 50, 15, 11}), {}},
        // A mirrored, scaled canvas: world positions and radii are what counts.
        {xyp({20, 80, 6, 50, 20, 10, 80, 80, 3}), {2, 0, 0, -2, 30, 400}},
    };
    for (const auto& [discs, t] : rows) {
        PenPoints pp(t, 12);
        for (const PenPoint& d : discs)
            pp.addPointAt(t.apply(d.p), d.pressure * length({t.a, t.b}) / 12);
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

// ---- The byte form: a format byte, six transform floats, the radius, a 16-bit count, then
// per sample two 16-bit steps in tenths and a pressure byte. Longer steps and counts escape
// to 32 bits.

namespace {

constexpr std::size_t kCountAt = 29;
constexpr std::size_t kSamplesAt = 31;

Bytes encoded(const PenPoints& pp)
{
    const auto bytes = pp.encode();
    EXPECT_TRUE(bytes);
    const Result<PenPoints> back = PenPoints::decode(bytes.value_or(Bytes{}));
    EXPECT_TRUE(back) << back.error().toStdString();
    if (back) {
        EXPECT_TRUE(back->transform() == pp.transform() && back->radius() == pp.radius());
        expect_same(back->points(), pp.points());
    }
    return bytes.value_or(Bytes{});
}

void put_le(Bytes& bytes, std::size_t at, std::uint32_t v, int n)
{
    for (std::size_t i = 0; i < std::size_t(n); ++i) bytes[at + i] = std::uint8_t(v >> (8 * i));
}

} // namespace

// The narrow form holds steps of -32767..32767 tenths in each direction; -32768 is the
// escape itself, so that step and every longer one take the wide form, exactly.
TEST(PenPointsArchive, StepsAtTheEscapeBoundaryRoundTripExactly)
{
    // Steps in tenths, alternately added and taken away.
    const struct { const char* name; int dx, dy; bool wide; } rows[] = {
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
            PenPoints pp({}, 3);
            for (int i = 0; i < 6; ++i) {
                const int k = sign * (i % 2);
                pp.addPointAt({float(k * row.dx) / 10, float(k * row.dy) / 10}, float(i) / 5);
            }
            // The first sample steps from 0, 0 to 0, 0; the five after it jump.
            EXPECT_EQ(encoded(pp).size(), kSamplesAt + 5 + 5 * (row.wide ? 11u : 5u));
        }
    }
    for (const int n : {32767, 32768}) {
        PenPoints pp(AffineTransform::scaling(0.5f, 0.5f), 3);
        for (int i = 0; i < n; ++i)
            pp.addPointAt({float(i % 2) * 0.7f, float(-i % 5) / 10}, float(i % 256) / 255);
        const Bytes bytes = encoded(pp);
        const bool wide = n > 32767;
        EXPECT_EQ(bytes.size(), kSamplesAt + (wide ? 4u : 0u) + 5u * std::size_t(n)) << n;
    }
}

TEST(PenPointsArchive, WhatCannotBeStoredIsRefused)
{
    const PenPoints rows[] = {
        make(xyp({kNaN, 0, 1}), 1),
        make(xyp({0, kInf, 1}), 1),
        make(xyp({3e8f, 0, 1}), 1),
        make(xyp({0, -2e8f, 1, 0, 2e8f, 1}), 1), // both ends fit in 32 bits, the step not
        make(xyp({0, 0, 1}), kNaN),
        make(xyp({0, 0, 1}), -1),
        make(xyp({0, 0, 1}), 1, {0, 0, 0, 0, 0, 0}),
    };
    for (const PenPoints& pp : rows) EXPECT_FALSE(pp.encode());
    // Pressure is clamped to what one byte holds.
    const Bytes bytes = *make(xyp({0, 0, 1.5f, 0, 0, -0.5f, 0, 0, kNaN}), 1).encode();
    ASSERT_EQ(bytes.size(), kSamplesAt + 15);
    EXPECT_EQ((Bytes{bytes[kSamplesAt + 4], bytes[kSamplesAt + 9], bytes[kSamplesAt + 14]}),
              (Bytes{255, 0, 0}));
}

TEST(PenPointsArchive, DamagedBytesAreRefusedWithAReason)
{
    const Bytes good = encoded(make(xyp({1, 2, 1, 3, 4, 0, 5, 6, 1}), 2));
    std::vector<Bytes> rows;
    for (auto end = good.begin(); end != good.end(); ++end) rows.emplace_back(good.begin(), end);
    const auto patched = [&](std::size_t at, std::uint32_t v, int n) {
        rows.push_back(good);
        put_le(rows.back(), at, v, n);
    };
    rows.push_back(good);
    rows.back().push_back(0);                           // trailing byte
    patched(kCountAt, 0xFFFE, 2);                       // count -2
    patched(kCountAt, 4, 2);                            // more samples than data
    patched(kCountAt, 0x7FFF, 2);
    patched(1, 0x7FC00000, 4);                          // a = NaN
    patched(21, 0x7F800000, 4);                         // tx = infinity
    for (std::size_t at : {1u, 13u}) patched(at, 0, 4); // a = 0, then d = 0
    patched(25, 0x7FC00000, 4);                         // radius NaN
    patched(25, 0xBF800000, 4);                         // radius -1
    for (const bool vertical : {false, true}) {
        // Two wide steps of 2^31 - 1 tenths: the running coordinate leaves 32 bits.
        Bytes overflow(good.begin(), good.begin() + kSamplesAt);
        put_le(overflow, kCountAt, 2, 2);
        for (int i = 0; i < 2; ++i) {
            overflow.resize(overflow.size() + 11);
            put_le(overflow, overflow.size() - 11, 0x8000, 2);
            put_le(overflow, overflow.size() - (vertical ? 5 : 9), 0x7FFFFFFF, 4);
        }
        rows.push_back(overflow);
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Result<PenPoints> back = PenPoints::decode(rows[i]);
        EXPECT_FALSE(back) << "row " << i;
        EXPECT_FALSE(back.error().isEmpty()) << "row " << i;
    }
}
