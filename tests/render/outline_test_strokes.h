#pragma once

// Pen outlines for the rasterizer tests, built the way a pen stroke's are: a circle per
// sample and a band along the outer tangents between neighbours, and strokes that wander
// like a hand with a tablet.

#include "pen_outline.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace outline_test {

struct Sample {
    Point p;
    float r = 0;
};

// The outer tangents of two circles; a line between them when one holds the other.
inline OutlineBand tangent_band(const Sample& s, const Sample& t)
{
    const Point v = t.p - s.p;
    const Point f = v / length(v);
    const Point l{f.y, -f.x};
    const float a = std::clamp((s.r - t.r) / length(v), -1.0f, 1.0f);
    const float b = std::sqrt(1 - a * a);
    const Point dl = f * a + l * b, dr = f * a - l * b;
    return {{s.p + dl * s.r, t.p + dl * t.r, t.p + dr * t.r, s.p + dr * s.r}};
}

inline PenOutline outline_of(const std::vector<Sample>& samples)
{
    PenOutline o;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const bool band = i > 0 && samples[i].p != samples[i - 1].p;
        if (band) o.bands.push_back(tangent_band(samples[i - 1], samples[i]));
        o.band_before.push_back(band);
        o.circles.push_back({samples[i].p, samples[i].r});
    }
    return o;
}

// A pen-like stroke: steps of 2-4 units, a slowly turning direction, pressure 0.3 to 1.
inline std::vector<Sample> random_stroke(std::mt19937& rng, int n, Point start, float radius)
{
    std::uniform_real_distribution<float> u(-1, 1);
    std::vector<Sample> out;
    Point p = start;
    float heading = 3.14159265f * u(rng), turn = 0, pressure = 0.65f;
    for (int i = 0; i < n; ++i) {
        out.push_back({p, radius * pressure});
        turn = std::clamp(turn + 0.05f * u(rng), -0.15f, 0.15f);
        heading += turn;
        pressure = std::clamp(pressure + 0.08f * u(rng), 0.3f, 1.0f);
        p = p + Point{std::cos(heading), std::sin(heading)} * (3 + u(rng));
    }
    return out;
}

} // namespace outline_test
