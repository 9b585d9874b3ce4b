// The pen as the user feels it, on a 4K view: the cost of one move event of the built-in
// pen (sample, preview of the new segment, display rectangle), the same with the stabiliser
// pulling the nib, and of a scripted calligraphy pen, and the pause at pen-up of a long built-in stroke (simplify, outline, render into
// the drawing). Events go through PavoView into a real drawing with undo, as in the program.
// Moves are reported per event ("per_move", seconds); setting up and ending each drag is
// left out of the timing.

#include "pavo_document.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr Size kViewSize{3840, 2160};

const char* const kBuiltInPen = R"(
name = "Pen"
default = true
color = "000000"
radius = 4
)";

// A flat nib at 45 degrees: each move sweeps the nib from the last point to the new one,
// previews that piece and keeps it; pen-up adds the whole path as one filled stroke.
const char* const kCalligraphyPen = R"(
name = "Calligraphy"
default = true
custom_pen = true
color = "000000"
radius = 6
local nx, ny = math.sqrt(0.5), -math.sqrt(0.5)
local whole, last, last_r

function pen_down(p, r)
  whole = bezier_path()
  retain(whole)
  last, last_r = p, r
end

-- The four corners of the swept nib, turned counter-clockwise so overlapping pieces of the
-- whole path never cancel under the non-zero rule.
local function piece(path, a, ra, b, rb)
  local q = {{x = a.x + nx * ra, y = a.y + ny * ra}, {x = b.x + nx * rb, y = b.y + ny * rb},
             {x = b.x - nx * rb, y = b.y - ny * rb}, {x = a.x - nx * ra, y = a.y - ny * ra}}
  local cross = (q[2].x - q[1].x) * (q[3].y - q[1].y) - (q[2].y - q[1].y) * (q[3].x - q[1].x)
  if cross < 0 then q[2], q[4] = q[4], q[2] end
  move_to_point(path, q[1])
  line_to_point(path, q[2])
  line_to_point(path, q[3])
  line_to_point(path, q[4])
  close_path(path)
end

function pen_move(p, r)
  local new = bezier_path()
  piece(new, last, last_r, p, r)
  preview_fill(new)
  piece(whole, last, last_r, p, r)
  last, last_r = p, r
end

function pen_up()
  add_fill(whole)
  release(whole)
  whole = nil
end
)";

class NoAlerts : public ScriptAlerts {
public:
    void show(const QString& title, const QString& message) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(message));
    }
};

// Counts the rectangles, as a window would queue them.
class CountingDisplay : public ViewDisplay {
public:
    void setNeedsDisplayInRect(const Rect&) override { ++rects; }
    void setNeedsDisplay() override {}
    void refreshCursor() override {}
    long rects = 0;
};

// A resources folder holding one pen type script.
class OnePenResources {
public:
    explicit OnePenResources(const char* script)
    {
        QDir(_dir.path()).mkpath(QStringLiteral("Pens"));
        QFile file(_dir.path() + QStringLiteral("/Pens/pen.lua"));
        if (file.open(QIODevice::WriteOnly)) file.write(script);
    }
    QString root() const { return _dir.path(); }

private:
    QTemporaryDir _dir;
};

// The pen's document and a 4K view of it.
struct PenBench {
    explicit PenBench(const char* script, float radius)
        : resources(script), document(PavoDocument::create(shell, display, kViewSize, alerts, resources.root())),
          view(&document->view())
    {
        document->pen().setRadius(radius);
    }

    // Takes the drag's stroke out again and renders the empty canvas, so every run starts
    // from the same picture. False when the drag added no stroke: nothing was measured.
    bool undoStroke()
    {
        if (document->strokes().count() != 1) return false;
        document->undoManager().undo();
        view->canvasForReading();
        return true;
    }

    OnePenResources resources;
    DocumentShell shell;
    CountingDisplay display;
    NoAlerts alerts;
    std::unique_ptr<PavoDocument> document;
    PavoView* view;
};

// A tablet's drag: samples 2 to 4 pixels apart, wandering across the view, the pressure
// wandering between 0.3 and 1.
std::vector<ToolEvent> tablet_drag(int samples)
{
    std::mt19937 random(29);
    std::uniform_real_distribution<float> u(-1, 1);
    std::vector<ToolEvent> events;
    Point p{400, 400};
    float heading = 0.2f, pressure = 0.6f;
    for (int i = 0; i < samples; ++i) {
        events.push_back({p, pressure});
        heading += 0.1f * u(random);
        // Turn back towards the middle near an edge, so the drag stays in view.
        if (p.x < 200 || p.x > kViewSize.width - 200 || p.y < 200 || p.y > kViewSize.height - 200)
            heading = std::atan2(kViewSize.height / 2 - p.y, kViewSize.width / 2 - p.x);
        pressure = std::clamp(pressure + 0.08f * u(random), 0.3f, 1.0f);
        p = p + Point{std::cos(heading), std::sin(heading)} * (3 + u(random));
    }
    return events;
}

void report_per_move(benchmark::State& state, int moves)
{
    state.counters["per_move"] = benchmark::Counter(double(state.iterations()) * moves,
                                                   benchmark::Counter::kIsRate |
                                                       benchmark::Counter::kInvert);
}

// The moves of one long drag are timed; its down and up are not.
void time_moves(benchmark::State& state, const char* script, float smoothing = 0)
{
    constexpr int kMoves = 2000;
    PenBench bench(script, float(state.range(0)));
    bench.document->pen().setSmoothing(smoothing);
    const std::vector<ToolEvent> drag = tablet_drag(kMoves + 1);
    for (auto _ : state) {
        state.PauseTiming();
        bench.view->mouseDown(drag.front());
        state.ResumeTiming();
        for (int i = 1; i <= kMoves; ++i) bench.view->mouseDragged(drag[std::size_t(i)]);
        state.PauseTiming();
        bench.view->mouseUp(drag.back());
        if (!bench.undoStroke()) {
            state.SkipWithError("no stroke added");
            break;
        }
        state.ResumeTiming();
    }
    report_per_move(state, kMoves);
}

void BM_BuiltInPenMove(benchmark::State& state) { time_moves(state, kBuiltInPen); }
BENCHMARK(BM_BuiltInPenMove)->Arg(4)->Arg(20)->Unit(benchmark::kMicrosecond);

// Half smoothing: the string is 30 pixels, so most moves pull the nib a step of their own.
void BM_StabilisedPenMove(benchmark::State& state) { time_moves(state, kBuiltInPen, 0.5f); }
BENCHMARK(BM_StabilisedPenMove)->Arg(4)->Arg(20)->Unit(benchmark::kMicrosecond);

void BM_CalligraphyPenMove(benchmark::State& state) { time_moves(state, kCalligraphyPen); }
BENCHMARK(BM_CalligraphyPenMove)->Arg(6)->Arg(20)->Unit(benchmark::kMicrosecond);

// Pen-up of a stroke of 1,000 samples: the drag before it is not timed.
void BM_BuiltInPenUp(benchmark::State& state)
{
    constexpr int kSamples = 1000;
    PenBench bench(kBuiltInPen, float(state.range(0)));
    const std::vector<ToolEvent> drag = tablet_drag(kSamples + 1);
    for (auto _ : state) {
        state.PauseTiming();
        bench.view->mouseDown(drag.front());
        for (int i = 1; i <= kSamples; ++i) bench.view->mouseDragged(drag[std::size_t(i)]);
        state.ResumeTiming();
        bench.view->mouseUp(drag.back());
        state.PauseTiming();
        if (!bench.undoStroke()) {
            state.SkipWithError("no stroke added");
            break;
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuiltInPenUp)->Arg(4)->Arg(20)->Unit(benchmark::kMillisecond);

} // namespace
