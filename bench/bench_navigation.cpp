// Scrolling over the large drawing with the wheel or a touchpad, in a 1920 x 1080 view that
// shows the whole drawing: one scroll event and the canvas brought up to date, as the next
// paint does. The argument is the scroll in view pixels: 48 is a notch of the wheel, 7 a
// touchpad's step. Each iteration scrolls back the way the last one went, so the view stays
// on the drawing.

#include "document_file.h"
#include "large_drawing.h"
#include "pavo_document.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct Quiet : ViewDisplay, ScriptAlerts {
    void setNeedsDisplayInRect(const Rect&) override {}
    void setNeedsDisplay() override {}
    void refreshCursor() override {}
    void show(const QString&, const QString&) override {}
};

void BM_ScrollLargeDrawing(benchmark::State& state)
{
    Quiet quiet;
    DocumentShell shell;
    auto document = PavoDocument::create(shell, quiet, {1920, 1080}, quiet);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("large.pavo")));
    const Result<QByteArray> bytes = dataRepresentation(large_drawing());
    if (!document || !bytes || !file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size()) {
        state.SkipWithError("the large drawing cannot be set up");
        return;
    }
    file.close();
    if (!document->read(file.fileName()) || !document->view().zoomToFit()) {
        state.SkipWithError("the large drawing cannot be opened");
        return;
    }
    PavoView& view = document->view();
    view.canvasForReading();
    const float notches = float(state.range(0)) / PavoView::kScrollPixelsPerNotch;
    float direction = 1;
    for (auto _ : state) {
        view.scrollWheel({960, 540}, {0, notches * direction}, 0);
        benchmark::DoNotOptimize(&view.canvasForReading());
        direction = -direction;
    }
}
BENCHMARK(BM_ScrollLargeDrawing)->Unit(benchmark::kMillisecond)->Arg(48)->Arg(7);

} // namespace
