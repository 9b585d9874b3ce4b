// Dragging a selection with the arrow tool: what one pointer move costs while a selection
// of pen strokes from the large drawing moves or turns, in a 1920 x 1080 view that shows
// the whole drawing. Each iteration is one move event and the tool's feedback painted over
// a picture of the view's size, as the view does after every move. The strokes themselves
// only change at the release, which is not timed here.

#include "arrow_tool.h"
#include "bench_tool_view.h"
#include "large_drawing.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

constexpr Size kViewSize{1920, 1080};

// The strokes, all selected.
class BenchDocument : public ToolDocument {
public:
    explicit BenchDocument(const StrokeArray& strokes)
    {
        for (const StrokePtr& s : strokes) _drawing.addStroke(s);
        _drawing.setSelection(strokes);
    }
    Tool* tool() override { return nullptr; }
    void setTool(Tool*) override {}
    void setToolColor(const QColor&) override {}
    void refreshCursor() override {}
    Drawing& drawing() override { return _drawing; }

private:
    Drawing _drawing;
};

StrokeArray first_strokes(int n)
{
    const StrokeArray& all = large_drawing().strokes->strokeArray();
    return StrokeArray(all.begin(), all.begin() + n);
}

// Selects `count` strokes, presses inside them (with `mods`), then times pointer moves
// around a circle, each followed by the feedback painted into a view-sized picture.
void drag_selection(benchmark::State& state, int count, unsigned mods)
{
    const StrokeArray strokes = first_strokes(count);
    BenchDocument document(strokes);
    BenchToolView view(document, kViewSize, 0.7f);
    ArrowTool tool;
    const Point start = view.canvas().worldPointToBitmapPoint(centre(document.drawing().selectionBounds()));
    const Point grip = start + Point{100, 0};
    tool.toolDownEvent(ToolEvent{grip, 1, mods}, view);
    if (tool.dragMode() == ArrowTool::NONE) {
        state.SkipWithError("the press started no drag");
        return;
    }
    QImage picture(int(kViewSize.width), int(kViewSize.height), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    int step = 0;
    for (auto _ : state) {
        const float a = 0.05f * float(step++);
        tool.toolMoveEvent(ToolEvent{start + Point{std::cos(a), std::sin(a)} * 150, 1, mods}, view);
        QPainter painter(&picture);
        tool.toolDrawInView(view, painter);
    }
    state.counters["strokes"] = double(count);
}

void BM_ArrowMoveThousandStrokes(benchmark::State& state) { drag_selection(state, 1000, 0); }
void BM_ArrowTurnThousandStrokes(benchmark::State& state) { drag_selection(state, 1000, kCommandKey); }
// Just below the count at which the frame replaces the outlines: the most outlines drawn.
void BM_ArrowMoveNineteenStrokes(benchmark::State& state) { drag_selection(state, 19, 0); }
void BM_ArrowTurnNineteenStrokes(benchmark::State& state) { drag_selection(state, 19, kCommandKey); }

// A redraw outside a drag, where the outlines are mapped into the view every time.
void BM_ArrowRedrawNineteenStrokes(benchmark::State& state)
{
    const StrokeArray strokes = first_strokes(19);
    BenchDocument document(strokes);
    BenchToolView view(document, kViewSize, 0.7f);
    ArrowTool tool;
    QImage picture(int(kViewSize.width), int(kViewSize.height), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    for (auto _ : state) {
        QPainter painter(&picture);
        tool.toolDrawInView(view, painter);
    }
}

// The release of a turn of 1,000 selected strokes, one undoable step, and its undo, which
// puts every stroke back exactly where it was (so the shared drawing is left unchanged).
void BM_TurnAndUndoThousandStrokes(benchmark::State& state)
{
    const StrokeArray strokes = first_strokes(1000);
    BenchDocument document(strokes);
    const AffineTransform turn = AffineTransform::rotation(0.3f);
    for (auto _ : state) {
        document.drawing().transformStrokes(strokes, turn);
        document.drawing().undoManager().undo();
    }
}

} // namespace

BENCHMARK(BM_TurnAndUndoThousandStrokes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrowMoveThousandStrokes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrowTurnThousandStrokes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrowMoveNineteenStrokes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrowTurnNineteenStrokes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrowRedrawNineteenStrokes)->Unit(benchmark::kMillisecond);
