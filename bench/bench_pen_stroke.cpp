// Drawing one pen stroke: building its outline, then filling it into a full-HD bitmap by
// the coverage route or by QPainter. The stroke is what a tablet gives for a quick line:
// 200 samples 2 to 4 pixels apart, pressure wandering between 0.3 and 1, pen radius 10,
// world coordinates equal to pixels.

#include "bitmap.h"
#include "outline_raster.h"
#include "pen_points.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

PenPoints pressure_stroke()
{
    PenPoints pp(AffineTransform::identity(), 10);
    std::mt19937 random(17);
    std::uniform_real_distribution<float> u(-1, 1);
    Point p{400, 500};
    float heading = 0.3f, pressure = 0.6f;
    for (int i = 0; i < 200; ++i) {
        pp.addPointAt(p, pressure);
        heading += 0.12f * u(random);
        pressure = std::clamp(pressure + 0.1f * u(random), 0.3f, 1.0f);
        p = p + Point{std::cos(heading), std::sin(heading)} * (3 + u(random));
    }
    return pp;
}

std::unique_ptr<Bitmap> full_hd()
{
    auto bm = Bitmap::create({1920, 1080});
    bm->fill(color_ns::WHITE);
    return bm;
}

// The colour's alpha is the argument: opaque ink, or a translucent one blended per pixel.
color_ns::Color ink(benchmark::State& state)
{
    const int a = int(state.range(0));
    return color_ns::make(20 * a / 255, 40 * a / 255, 90 * a / 255, a);
}

void BM_BuildOutline(benchmark::State& state)
{
    const PenPoints stroke = pressure_stroke();
    for (auto _ : state) {
        auto outline = stroke.buildOutline();
        benchmark::DoNotOptimize(outline);
    }
}
BENCHMARK(BM_BuildOutline)->Unit(benchmark::kMicrosecond);

// The same stroke is painted over itself each time: the pixels touched and the work per
// pixel are those of a fresh stroke.
void fill_stroke(benchmark::State& state, OutlineRoute route)
{
    const PenPoints stroke = pressure_stroke();
    const auto bitmap = full_hd();
    const color_ns::Color color = ink(state);
    if (!stroke.buildOutline()) {
        state.SkipWithError("the stroke has no outline");
        return;
    }
    for (auto _ : state) {
        const auto outline = stroke.buildOutline();
        const Rect r = fill_outline(*bitmap, *outline, color, route);
        benchmark::DoNotOptimize(r);
    }
    benchmark::DoNotOptimize(bitmap->pixelAt(400, 500));
}

void BM_BuildAndFillCoverage(benchmark::State& state)
{
    fill_stroke(state, OutlineRoute::Reference);
}
BENCHMARK(BM_BuildAndFillCoverage)->Arg(255)->Arg(128)->Unit(benchmark::kMicrosecond);

void BM_BuildAndFillPainter(benchmark::State& state)
{
    fill_stroke(state, OutlineRoute::Painter);
}
BENCHMARK(BM_BuildAndFillPainter)->Arg(255)->Arg(128)->Unit(benchmark::kMicrosecond);

} // namespace
