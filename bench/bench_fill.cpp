// The fill tool as the user feels it on a 4K view: the pause of one click, from the flood to
// the finished stroke (growth, hole search, tracing, simplification and the path in drawing
// coordinates). Two cases: a click on the background of a drawing with dozens of round
// shapes, which floods the whole canvas around them, and a click inside a small frame,
// which must cost no more than the frame's area. Nothing draws the drawing's strokes, so
// drawing the new one into the canvas (the view's work) is left out.

#include "bench_tool_view.h"
#include "fill_tool.h"
#include "stroke.h"
#include "stroke_render.h"
#include "tool_host.h"

#include <QPainterPath>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr Size kViewSize{3840, 2160};

class KeepingDocument : public ToolDocument {
public:
    Tool* tool() override { return nullptr; }
    void setTool(Tool*) override {}
    void setToolColor(const QColor&) override {}
    void refreshCursor() override {}
    Drawing& drawing() override { return _drawing; }

private:
    Drawing _drawing;
};

void paint_disc(Bitmap& bitmap, int cx, int cy, int radius, color_ns::Color color)
{
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius) bitmap.setPixel(x, y, color);
}

void paint_box(Bitmap& bitmap, int x0, int y0, int x1, int y1, color_ns::Color color)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) bitmap.setPixel(x, y, color);
}

void run_clicks(benchmark::State& state, BenchToolView& view, KeepingDocument& document, Point at)
{
    FillTool tool;
    const ToolEvent click{at, 1, 0};
    for (auto _ : state) {
        tool.toolDownEvent(click, view);
        benchmark::DoNotOptimize(document.drawing().strokes().lastStroke());
    }
    if (!document.drawing().strokes().lastStroke()) state.SkipWithError("no stroke was made");
}

// Six rows of eight discs of radius 40 to 87, and a ring with white inside it.
void BM_FillWholeCanvasAroundShapes(benchmark::State& state)
{
    KeepingDocument document;
    BenchToolView view(document, kViewSize);
    Bitmap& drawing = view.canvas().drawBitmap();
    drawing.fill(color_ns::WHITE);
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 8; ++column)
            paint_disc(drawing, 240 + column * 480, 180 + row * 360, 40 + (row * 8 + column) % 71, color_ns::BLACK);
    paint_disc(drawing, 1920, 1080, 150, color_ns::BLACK);
    paint_disc(drawing, 1920, 1080, 140, color_ns::WHITE);
    run_clicks(state, view, document, {10, 10});
}
BENCHMARK(BM_FillWholeCanvasAroundShapes)->Unit(benchmark::kMillisecond);

// A 100 x 100 white square inside a black frame in the middle of a white canvas.
void BM_FillSmallRegion(benchmark::State& state)
{
    KeepingDocument document;
    BenchToolView view(document, kViewSize);
    Bitmap& drawing = view.canvas().drawBitmap();
    drawing.fill(color_ns::WHITE);
    paint_box(drawing, 1868, 1028, 1971, 1131, color_ns::BLACK);
    paint_box(drawing, 1870, 1030, 1969, 1129, color_ns::WHITE);
    run_clicks(state, view, document, {1900, 1100});
}
BENCHMARK(BM_FillSmallRegion)->Unit(benchmark::kMicrosecond);

// The same drawing as the whole-canvas case, made of strokes, filled at a precision (the
// first argument) on a view of a width (the second): a finer fill renders the strokes
// afresh into its own canvas, and that is part of its cost.
void BM_FillWholeCanvasAtPrecision(benchmark::State& state)
{
    KeepingDocument document;
    const float width = float(state.range(1)), k = width / kViewSize.width;
    BenchToolView view(document, {width, kViewSize.height * k});
    const auto disc = [&](float cx, float cy, float radius, const QColor& colour) {
        QPainterPath oval;
        oval.addEllipse(QPointF(cx, cy) * k, radius * k, radius * k);
        document.drawing().addStroke(Stroke::withPath(Path(oval), colour, kModeNormal, 1));
    };
    document.drawing().addStroke(Stroke::withPath(Path([&] {
        QPainterPath all;
        all.addRect(0, 0, width, kViewSize.height * k);
        return all;
    }()), Qt::white, kModeNormal, 1));
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 8; ++column)
            disc(float(240 + column * 480), float(180 + row * 360), float(40 + (row * 8 + column) % 71), Qt::black);
    disc(1920, 1080, 150, Qt::black);
    disc(1920, 1080, 140, Qt::white);
    const StrokeArray& strokes = document.drawing().strokes().strokeArray();
    render_strokes(strokes, view.canvas(), {0, int(width) - 1, 0, int(kViewSize.height * k) - 1});
    FillTool tool;
    tool.setPrecision(int(state.range(0)));
    const std::size_t count = strokes.size();
    for (auto _ : state) {
        tool.toolDownEvent({{10, 10}, 1, 0}, view);
        state.PauseTiming();
        // Each click fills the same drawing, not the fills before it.
        if (strokes.size() == count) state.SkipWithError("no stroke was made");
        while (strokes.size() > count) document.drawing().removeLastStroke();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FillWholeCanvasAtPrecision)
    ->Args({1, 3840})
    ->Args({2, 3840})
    ->Args({4, 1920})
    ->Unit(benchmark::kMillisecond);

} // namespace
