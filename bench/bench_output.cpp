// The drawing going out, for the large drawing in a 1920 x 1080 view: the copy at four
// times the view (the render the copy makes, then the PNG a paste asks for), printing it
// as vectors to a PDF file, and encoding the view's picture as PNG. Peak memory is the
// process's high-water mark; `base_MB` is the mark before the first copy, with the drawing
// loaded.

#include "large_drawing.h"
#include "picture_copy.h"
#include "png_writer.h"
#include "print_drawing.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
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

// The PNG encoding of an export of the view: over the drawing's white background (opaque,
// as RGB) for argument 0, over transparency (RGBA) for 1. `qt_ratio` is the file's size over
// that of Qt's encoder (libpng, zlib's default level) given the same channels.
void BM_EncodePng(benchmark::State& state)
{
    const auto view = fitted_view();
    const bool transparent = state.range(0) == 1;
    const auto background = transparent ? std::nullopt : large_drawing().background_color;
    const QImage picture = *render_drawing({*large_drawing().strokes, view, background}, 1920, 1080, true);
    QByteArray png;
    for (auto _ : state) png = *encode_png(picture);
    QByteArray qt;
    QBuffer buffer(&qt);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(picture.convertToFormat(transparent ? QImage::Format_RGBA8888
                                                                           : QImage::Format_RGB888));
    state.counters["png_MB"] = double(png.size()) / 1e6;
    state.counters["qt_ratio"] = double(png.size()) / double(qt.size());
}

} // namespace

BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond)->Arg(0)->Arg(1);
BENCHMARK(BM_CopyAtFourTimes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CopyAtFourTimesPastedAsPng)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PrintVectorsToPdf)->Unit(benchmark::kMillisecond)->Iterations(2);
