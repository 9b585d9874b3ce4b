// The drawing going out, for the large drawing in a 1920 x 1080 view: the copy at four
// times the view (the render the copy makes, then the PNG a paste asks for), and printing
// it as vectors to a PDF file. Peak memory is the process's high-water mark; `base_MB` is
// the mark before the first copy, with the drawing loaded.

#include "large_drawing.h"
#include "picture_copy.h"
#include "print_drawing.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

double peak_megabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

ViewGeometry fitted_view() { return {{1920, 1080}, AffineTransform::scaling(0.7f, 0.7f)}; }

void BM_CopyAtFourTimes(benchmark::State& state)
{
    const auto view = fitted_view();
    const ExportSource source{*large_drawing().strokes, view, std::nullopt};
    state.counters["base_MB"] = peak_megabytes();
    for (auto _ : state) {
        auto data = picture_mime_data(*render_drawing(source, 7680, 4320, true));
        benchmark::DoNotOptimize(data.get());
    }
    state.counters["peak_MB"] = peak_megabytes();
}

void BM_CopyAtFourTimesPastedAsPng(benchmark::State& state)
{
    const auto view = fitted_view();
    const ExportSource source{*large_drawing().strokes, view, std::nullopt};
    auto data = picture_mime_data(*render_drawing(source, 7680, 4320, true));
    for (auto _ : state) {
        auto fresh = picture_mime_data(*render_drawing(source, 7680, 4320, true));
        state.PauseTiming();
        data = std::move(fresh);
        state.ResumeTiming();
        benchmark::DoNotOptimize(data->data(QStringLiteral("image/png")).size());
    }
    state.counters["png_MB"] = double(data->data(QStringLiteral("image/png")).size()) / 1e6;
    state.counters["peak_MB"] = peak_megabytes();
}

void BM_PrintVectorsToPdf(benchmark::State& state)
{
    const auto view = fitted_view();
    const ExportSource source{*large_drawing().strokes, view, std::nullopt};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("print.pdf"));
    for (auto _ : state) benchmark::DoNotOptimize(print_to_pdf(source, path));
    state.counters["pdf_MB"] = double(QFileInfo(path).size()) / 1e6;
}

} // namespace

BENCHMARK(BM_CopyAtFourTimes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CopyAtFourTimesPastedAsPng)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PrintVectorsToPdf)->Unit(benchmark::kMillisecond)->Iterations(2);
