#include "pen_points.h"
#include "pictures.h"
#include <gtest/gtest.h>
#include <cmath>

namespace {
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
// The byte form: a format byte, six transform floats, the radius, a 16-bit count, then per
// sample two 16-bit steps in tenths and a pressure byte; longer steps and counts escape to 32.
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
        EXPECT_TRUE(std::ranges::equal(back->points(), pp.points(), [](PenPoint x, PenPoint y) {
            return x.p == y.p && x.pressure == y.pressure;
        }));
    }
    return bytes.value_or(Bytes{});
}
} // namespace

// Bands join neighbouring circles, but not a sample to its repeat nor two samples that meet
// in world space. An outline with anything not finite, or a negative radius (its circle
// would turn the other way and cut a hole in the mark), is refused rather than drawn.
TEST(PenPoints, OutlineBandsAndRefusals)
{
    const Samples two = xyp({0, 0, 1, 10, 0, 1});
    // clang-format off
    const struct { const char* name; PenPoints pp; int bands; /* -1: refused */ } rows[] = {
        {"one sample", make(xyp({30, 40, 0.5f}), 5), 0},
        {"a repeated sample", make(xyp({0, 0, 1, 10, 0, 0.5f, 10, 0, 0.5f, 4, 12, 0.25f}), 4), 2},
        {"meeting in world space", make(xyp({0, 0, 1, .1f, 0, .5f}), 4, {64, 0, 0, 64, -6.4e7f, 0}), 0},
        {"one circle inside the other", make(xyp({0, 0, 1, 1, 0, 0.1f}), 10), 1},
        {"no samples", PenPoints({}, 5), -1},
        {"NaN transform", make(two, 4, {1, 0, 0, NAN, 0, 0}), -1},
        {"NaN radius", make(two, NAN), -1},
        {"negative radius", make(two, -4), -1},
        {"negative pressure", make(xyp({0, 0, 1, 10, 0, -1}), 4), -1},
        // Finite centres and radii whose difference overflows: only the band corners fail.
        {"band corners overflow", make(xyp({-3e38f, 0, 1, 3e38f, 0, 1}), 4), -1},
    };
    // clang-format on
    for (const auto& row : rows) {
        const auto outline = row.pp.buildOutline();
        EXPECT_EQ(outline ? int(outline->bands.size()) : -1, row.bands) << row.name;
        EXPECT_EQ(row.pp.buildPath().has_value(), row.bands >= 0) << row.name;
    }
    // Smoothing damaged samples must not fill gaps without bound.
    for (const auto& [in, radius, at_most] :
         {std::tuple{xyp({0, 0, 1, 1, 0, 1, 1e6f, 0, 1, 1e6f + 1, 0, 1}), 2.0f, 4 + 4096},
          {xyp({0, 0, 1, 1, 0, 1, NAN, 0, 1, 50, 0, 1}), 2.0f, 4},
          {xyp({0, 0, 1, 50, 0, 1, 51, 0, 1, 52, 0, 1}), NAN, 4}}) {
        PenPoints pp = make(in, radius);
        pp.smoothByBezierInterpolation();
        EXPECT_LE(pp.count(), at_most);
    }
}

// The filled path must be the union of the circles and the hulls between neighbours:
// circles and bands turning different ways would cancel under the non-zero rule.
TEST(PenPoints, FilledPathIsTheUnionOfCirclesAndBands)
{
    // Discs as centre and radius in the world.
    const std::pair<Samples, AffineTransform> rows[] = {
        {xyp({80, 20, 12, 20, 80, 4}), {}},
        // Very different radii close together: the tangents lean far from the centre line.
        {xyp({30, 50, 20, 62, 50, 3}), {}},
        // A mirrored, scaled canvas: world positions and radii are what counts.
        {xyp({20, 80, 6, 50, 20, 10, 80, 80, 3, 30, 60, 8}), {2, 0, 0, -2, 30, 400}},
    };
    for (const auto& [discs, t] : rows) {
        PenPoints pp(t, 12);
        for (const PenPoint& d : discs)
            pp.addPointAt(t.apply(d.p), d.pressure * length({t.a, t.b}) / 12);
        const auto path = pp.buildPath();
        ASSERT_TRUE(path);
        const QImage image = painted({100, 100}, Qt::transparent, [&path](QPainter& p) { p.fillPath(*path, Qt::black); });
        int wrong = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                // How far the pixel centre lies outside the disc swept from each sample to the
                // next; within 0.75 of the edge, either way is right.
                const Point q{float(x) + 0.5f, float(y) + 0.5f};
                float out = INFINITY;
                for (std::size_t i = 0; i + 1 < discs.size(); ++i)
                    for (float k = 0; k <= 1; k += 0.01f) {
                        const PenPoint &a = discs[i], &b = discs[i + 1];
                        out = std::min(out, length(q - (a.p + (b.p - a.p) * k)) -
                                                (a.pressure + (b.pressure - a.pressure) * k));
                    }
                const bool filled = qAlpha(image.pixel(x, y)) != 0;
                wrong += (out < -0.75f && !filled) || (out > 0.75f && filled);
            }
        EXPECT_EQ(wrong, 0) << discs.size() << " discs";
    }
}


// The narrow form holds steps of -32767..32767 tenths in each direction; -32768 is the
// escape itself, so that step and every longer one take the wide form, exactly.
TEST(PenPointsArchive, StepsAtTheEscapeBoundaryRoundTripExactly)
{
    // Steps in tenths, alternately added and taken away.
    const struct { const char* name; int dx, dy; bool wide; } rows[] = {
        {"x one past", 32768, 0, true},
        {"y one past", 0, 32768, true},
        {"y far", 7, 50000000, true},
        {"both at the limit", -32767, 32767, false},
    };
    for (const auto& row : rows)
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
    for (const int n : {32767, 32768}) { // and counts
        PenPoints pp(AffineTransform::scaling(0.5f, 0.5f), 3);
        for (int i = 0; i < n; ++i)
            pp.addPointAt({float(i % 2) * 0.7f, float(-i % 5) / 10}, float(i % 256) / 255);
        EXPECT_EQ(encoded(pp).size(), kSamplesAt + (n > 32767 ? 4u : 0u) + 5u * unsigned(n)) << n;
    }
}

TEST(PenPointsArchive, WhatCannotBeStoredOrReadIsRefused)
{
    const Samples one = xyp({0, 0, 1});
    // clang-format off
    const PenPoints unstorable[] = {
        make(xyp({NAN, 0, 1}), 1), make(xyp({0, INFINITY, 1}), 1), make(xyp({3e8f, 0, 1}), 1),
        make(xyp({0, -2e8f, 1, 0, 2e8f, 1}), 1), // both ends fit in 32 bits, the step not
        make(one, NAN), make(one, -1), make(one, 1, {0, 0, 0, 0, 0, 0}),
    };
    // clang-format on
    for (const PenPoints& pp : unstorable) EXPECT_FALSE(pp.encode());
    // Pressure is clamped to what one byte holds.
    const Bytes b = *make(xyp({0, 0, 1.5f, 0, 0, -0.5f, 0, 0, NAN}), 1).encode();
    const std::size_t at = kSamplesAt + 4; // a sample's pressure byte, five bytes apart
    EXPECT_EQ((Bytes{b.at(at), b.at(at + 5), b.at(at + 10)}), (Bytes{255, 0, 0}));
    // Damaged bytes are refused with a reason. Good: a narrow step, then 10^9 tenths each way.
    const Bytes good = encoded(make(xyp({1, 2, 1, 1e8f, 1e8f, 0}), 2));
    const std::size_t wide = kSamplesAt + 5 + 2; // its step across, then down
    // clang-format off
    const struct { const char* name; std::size_t at; std::uint32_t v; std::size_t n; } patches[] = {
        {"count -2", kCountAt, 0xFFFE, 2},
        {"more samples than data", kCountAt, 4, 2},
        {"a NaN", 1, 0x7FC00000, 4},
        {"tx infinite", 21, 0x7F800000, 4},
        {"d 0", 13, 0, 4},
        {"radius -1", 25, 0xBF800000, 4},
        // Steps that fit in 32 bits, but carry the running coordinate out of them.
        {"x leaves 32 bits", wide, 0x7FFFFFFF, 4},
        {"y leaves 32 bits", wide + 4, 0x7FFFFFFF, 4},
    };
    // clang-format on
    std::vector<std::pair<std::string, Bytes>> rows;
    for (std::size_t n = 0; n < good.size(); ++n)
        rows.emplace_back("cut to " + std::to_string(n), Bytes(good.begin(), good.begin() + n));
    rows.emplace_back("a byte after", good);
    rows.back().second.push_back(0);
    for (const auto& p : patches) {
        rows.emplace_back(p.name, good);
        for (std::size_t i = 0; i < p.n; ++i)
            rows.back().second[p.at + i] = std::uint8_t(p.v >> (8 * i));
    }
    for (const auto& [name, bytes] : rows) {
        const Result<PenPoints> back = PenPoints::decode(bytes);
        EXPECT_TRUE(!back && !back.error().isEmpty()) << name;
    }
}
