// Saving and opening a large drawing: 10 000 pen strokes of 100 samples each. Save is
// encoding the archive and compressing it; load is decompressing, parsing and decoding it,
// which builds every stroke's outline from its samples. The samples are what simplify
// leaves: 2 to 4 units apart, rounded to tenths and to 1/255 of pressure, so the counts
// below are the counts in the file.

#include "archive.h"
#include "document_file.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr int kStrokes = 10000;
constexpr int kSamplesPerStroke = 100;

// What a file holds: tenths of a unit and 1/255 steps of pressure.
float tenths(float v) { return std::trunc(v * 10.0f) / 10.0f; }
float pressure_step(float p) { return std::trunc(p * 255.0f) / 255.0f; }

PenPoints wandering_stroke(std::mt19937& random)
{
    std::uniform_real_distribution<float> u(-1, 1);
    std::uniform_real_distribution<float> unit(0, 1);
    PenPoints points(AffineTransform::identity(), 3 + 5 * unit(random));
    Point p{2000 * unit(random), 1500 * unit(random)};
    float heading = 6.2832f * unit(random);
    float pressure = 0.4f + 0.5f * unit(random);
    for (int i = 0; i < kSamplesPerStroke; ++i) {
        points.addPointAt({tenths(p.x), tenths(p.y)}, pressure_step(pressure));
        heading += 0.15f * u(random);
        pressure = std::clamp(pressure + 0.05f * u(random), 0.25f, 1.0f);
        p = p + Point{std::cos(heading), std::sin(heading)} * (3 + u(random));
    }
    return points;
}

const DocumentData& drawing()
{
    static const DocumentData d = [] {
        std::mt19937 random(2024);
        StrokeArray strokes;
        strokes.reserve(kStrokes);
        for (int i = 0; i < kStrokes; ++i) {
            const QColor color(int(random() % 256), int(random() % 256), int(random() % 256));
            strokes.push_back(Stroke::withPenPoints(wandering_stroke(random), color, 0, 1));
        }
        DocumentData data;
        data.background_color = QColor(Qt::white);
        data.strokes = std::make_unique<Strokes>(std::move(strokes));
        data.window_frame = QStringLiteral("0 0 1600 1000 0 0 1920 1080 ");
        return data;
    }();
    return d;
}

const QByteArray& saved_file()
{
    static const QByteArray file = dataRepresentation(drawing()).value_or(QByteArray());
    return file;
}

double sample_count(const Strokes& strokes)
{
    double n = 0;
    for (const StrokePtr& s : strokes.strokeArray())
        n += s && s->penPoints() ? s->penPoints()->count() : 0;
    return n;
}

void BM_DocumentSave(benchmark::State& state)
{
    const DocumentData& d = drawing();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const auto file = dataRepresentation(d);
        bytes = file ? file->size() : 0;
        benchmark::DoNotOptimize(bytes);
    }
    const double samples = sample_count(*d.strokes);
    state.counters["samples"] = samples;
    state.counters["file_bytes"] = double(bytes);
    state.counters["bytes_per_sample"] = double(bytes) / samples;
}
BENCHMARK(BM_DocumentSave)->Unit(benchmark::kMillisecond);

void BM_DocumentLoad(benchmark::State& state)
{
    const QByteArray& file = saved_file();
    double samples = 0;
    for (auto _ : state) {
        const DocumentLoad load = loadDataRepresentation(file);
        if (!load) {
            state.SkipWithError(load.error.toStdString().c_str());
            return;
        }
        samples = sample_count(*load.data->strokes);
        benchmark::DoNotOptimize(samples);
    }
    state.counters["samples"] = samples;
}
BENCHMARK(BM_DocumentLoad)->Unit(benchmark::kMillisecond);

// Parts of a save and a load, to see where their time goes.
void BM_DocumentEncode(benchmark::State& state)
{
    const DocumentData& d = drawing();
    qsizetype bytes = 0;
    for (auto _ : state) {
        bytes = archive::to_bytes(encodeDocument(d)).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["archive_bytes"] = double(bytes);
}
BENCHMARK(BM_DocumentEncode)->Unit(benchmark::kMillisecond);

void BM_DocumentCompress(benchmark::State& state)
{
    const QByteArray archive = archive::to_bytes(encodeDocument(drawing()));
    for (auto _ : state) benchmark::DoNotOptimize(compressWithLength(archive));
}
BENCHMARK(BM_DocumentCompress)->Unit(benchmark::kMillisecond);

void BM_DocumentDecompressAndParse(benchmark::State& state)
{
    const QByteArray& file = saved_file();
    for (auto _ : state) {
        const auto archive = decompressWithLength(file.first(file.size() - 12));
        benchmark::DoNotOptimize(archive::from_bytes(archive.value_or(QByteArray())));
    }
}
BENCHMARK(BM_DocumentDecompressAndParse)->Unit(benchmark::kMillisecond);

} // namespace
