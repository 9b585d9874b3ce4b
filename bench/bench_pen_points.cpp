// Pen-up cost: simplifying a long pressure stroke, and building the outline a stroke fills.

#include "pen_points.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

// A wavy line as a tablet reports it: samples 1 to 3 units apart with varying pressure,
// and a quick flick now and then that leaves gaps for the smoothing to fill.
PenPoints wavy_stroke(int n)
{
    PenPoints pp(AffineTransform{2, 0, 0, 2, 40, 30}, 6);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> step(1, 3);
    float x = 0;
    for (int i = 0; i < n; ++i) {
        x += (i % 250 < 10) ? 6 * step(random) : step(random);
        const float y = 60 * std::sin(x / 90) + 8 * std::sin(x / 13);
        pp.addPointAt({x, y}, 0.55f + 0.4f * std::sin(float(i) / 40));
    }
    return pp;
}

// The simplify figure is this one minus the copy baseline below.
void BM_PenPointsCopySimplify(benchmark::State& state)
{
    const PenPoints stroke = wavy_stroke(int(state.range(0)));
    for (auto _ : state) {
        PenPoints copy = stroke;
        copy.simplify();
        benchmark::DoNotOptimize(copy.points().data());
    }
    state.counters["samples_after"] = [&] {
        PenPoints copy = stroke;
        copy.simplify();
        return double(copy.count());
    }();
}
BENCHMARK(BM_PenPointsCopySimplify)->Arg(2000)->Unit(benchmark::kMicrosecond);

void BM_PenPointsCopy(benchmark::State& state)
{
    const PenPoints stroke = wavy_stroke(int(state.range(0)));
    for (auto _ : state) {
        PenPoints copy = stroke;
        benchmark::DoNotOptimize(copy.points().data());
    }
}
BENCHMARK(BM_PenPointsCopy)->Arg(2000)->Unit(benchmark::kMicrosecond);

void BM_PenPointsBuildOutline(benchmark::State& state)
{
    PenPoints stroke = wavy_stroke(int(state.range(0)));
    stroke.simplify();
    for (auto _ : state) {
        const auto outline = stroke.buildOutline();
        benchmark::DoNotOptimize(outline->circles.data());
    }
}
BENCHMARK(BM_PenPointsBuildOutline)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_PenPointsBuildPath(benchmark::State& state)
{
    PenPoints stroke = wavy_stroke(int(state.range(0)));
    stroke.simplify();
    for (auto _ : state) {
        const auto path = stroke.buildPath();
        benchmark::DoNotOptimize(path->elementCount());
    }
}
BENCHMARK(BM_PenPointsBuildPath)->Arg(200)->Unit(benchmark::kMicrosecond);

} // namespace
