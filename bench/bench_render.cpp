// Rendering the large drawing into a 1920 x 1080 canvas, whole, as after a zoom or a load,
// and the three parts of that time on their own: building the pen outlines from the
// samples, rasterising them into the stroke layer, and the transfers onto the drawing. The
// rasterising is also timed by route (reference, spans, spans with the level of detail),
// at the fitted scale and with the drawing seen small (scale 0.1). All on one thread.

#include "canvas.h"
#include "large_drawing.h"
#include "outline_raster.h"
#include "stroke_index.h"
#include "stroke_render.h"
#include "pen_points.h"
#include "stroke.h"

#include <benchmark/benchmark.h>

namespace {

std::unique_ptr<PavoCanvas> fitted_canvas(float scale = 0.7f)
{
    auto canvas = PavoCanvas::create({1920, 1080});
    canvas->setTransform(AffineTransform::scaling(scale, scale));
    return canvas;
}

const std::vector<PenOutline>& large_outlines()
{
    static const std::vector<PenOutline> outlines = [] {
        std::vector<PenOutline> out;
        for (const StrokePtr& s : large_drawing().strokes->strokeArray())
            if (auto o = s->penPoints()->buildOutline()) out.push_back(std::move(*o));
        return out;
    }();
    return outlines;
}

// Range 0: the route; range 1: the scale in hundredths.
void BM_RasteriseRoute(benchmark::State& state)
{
    auto canvas = fitted_canvas(float(state.range(1)) / 100);
    Bitmap& layer = canvas->strokeBitmap();
    const auto route = OutlineRoute(state.range(0));
    for (auto _ : state)
        for (const PenOutline& o : large_outlines())
            benchmark::DoNotOptimize(fill_outline(layer, o, color_ns::BLACK, route));
}

void BM_RenderWholeDrawing(benchmark::State& state)
{
    auto canvas = fitted_canvas();
    const Strokes& strokes = *large_drawing().strokes;
    for (auto _ : state) {
        canvas->fill(color_ns::TRANSPARENT);
        benchmark::DoNotOptimize(strokes.drawInCanvas(*canvas));
    }
}

// The view's render: in parts on every core, strokes found through the index.
void BM_RenderWholeDrawingInParts(benchmark::State& state)
{
    auto canvas = fitted_canvas();
    const StrokeArray& strokes = large_drawing().strokes->strokeArray();
    const PixelSpan all{0, 1919, 0, 1079};
    for (auto _ : state) {
        canvas->fill(color_ns::TRANSPARENT);
        const StrokeIndex index(strokes);
        render_strokes(strokes, *canvas, all, &index);
    }
}

// A move of 100 pixels: the pixels move and the strip uncovered is rendered.
void BM_RenderPan(benchmark::State& state)
{
    auto canvas = fitted_canvas();
    const StrokeArray& strokes = large_drawing().strokes->strokeArray();
    const StrokeIndex index(strokes);
    render_strokes(strokes, *canvas, {0, 1919, 0, 1079}, &index);
    std::vector<PixelSpan> strips;
    int direction = 1;
    for (auto _ : state) {
        canvas->scrollBy(100 * direction, 0, strips);
        for (const PixelSpan& s : strips) render_strokes(strokes, *canvas, s, &index);
        direction = -direction;
    }
}

void BM_RenderBuildOutlines(benchmark::State& state)
{
    const Strokes& strokes = *large_drawing().strokes;
    for (auto _ : state)
        for (const StrokePtr& s : strokes.strokeArray())
            benchmark::DoNotOptimize(s->penPoints()->buildOutline());
}

void BM_RenderRasterise(benchmark::State& state)
{
    auto canvas = fitted_canvas();
    const Strokes& strokes = *large_drawing().strokes;
    CGContextWrapper& layer = canvas->strokeBitmap().cgContext();
    for (auto _ : state)
        for (const StrokePtr& s : strokes.strokeArray())
            benchmark::DoNotOptimize(s->drawInContext(layer));
}

void BM_RenderTransfers(benchmark::State& state)
{
    // All strokes are opaque and normal, so they make one batch: one transfer of the
    // drawing's whole rectangle and the clearing of the stroke layer behind it.
    auto canvas = fitted_canvas();
    const Rect all = canvas->worldRectToBitmapRect(large_drawing().strokes->bounds());
    for (auto _ : state) {
        canvas->strokeBitmap().transferRect(all, canvas->drawBitmap(), kModeNormal, 1.0f);
        canvas->strokeBitmap().fillRect(all, color_ns::TRANSPARENT);
        canvas->drawBitmap().copyRect(all, canvas->previewBitmap());
    }
}

} // namespace

BENCHMARK(BM_RenderWholeDrawing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderWholeDrawingInParts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderPan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderBuildOutlines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderRasterise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTransfers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasteriseRoute)
    ->ArgNames({"route", "scale%"})
    ->ArgsProduct({{int(OutlineRoute::Reference), int(OutlineRoute::Spans), int(OutlineRoute::Merged)}, {70, 10}})
    ->Unit(benchmark::kMillisecond);
