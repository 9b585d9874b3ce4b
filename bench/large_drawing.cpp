// The large drawing the benchmarks share: 10 000 pen strokes of 100 samples each, as
// simplify leaves them (2 to 4 units apart, rounded to tenths and to 1/255 of pressure),
// spread over about 2000 x 1500 units in random opaque colours.

#include "large_drawing.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

// What a file holds: tenths of a unit and 1/255 steps of pressure.
float tenths(float v) { return std::trunc(v * 10.0f) / 10.0f; }
float pressure_step(float p) { return std::trunc(p * 255.0f) / 255.0f; }

} // namespace

PenPoints wandering_stroke(std::mt19937& random, int samples)
{
    std::uniform_real_distribution<float> u(-1, 1);
    std::uniform_real_distribution<float> unit(0, 1);
    PenPoints points(AffineTransform::identity(), 3 + 5 * unit(random));
    Point p{2000 * unit(random), 1500 * unit(random)};
    float heading = 6.2832f * unit(random);
    float pressure = 0.4f + 0.5f * unit(random);
    for (int i = 0; i < samples; ++i) {
        points.addPointAt({tenths(p.x), tenths(p.y)}, pressure_step(pressure));
        heading += 0.15f * u(random);
        pressure = std::clamp(pressure + 0.05f * u(random), 0.25f, 1.0f);
        p = p + Point{std::cos(heading), std::sin(heading)} * (3 + u(random));
    }
    return points;
}

const DocumentData& large_drawing()
{
    static const DocumentData d = [] {
        std::mt19937 random(2024);
        StrokeArray strokes;
        strokes.reserve(kStrokes);
        for (int i = 0; i < kStrokes; ++i) {
            const QColor color(int(random() % 256), int(random() % 256), int(random() % 256));
            strokes.push_back(Stroke::withPenPoints(wandering_stroke(random, kSamplesPerStroke), color, 0, 1));
        }
        DocumentData data;
        data.background_color = QColor(Qt::white);
        data.strokes = std::make_unique<Strokes>(std::move(strokes));
        data.window_frame = QStringLiteral("0 0 1600 1000 0 0 1920 1080 ");
        return data;
    }();
    return d;
}

