// Saving and opening a large drawing: 10 000 pen strokes of 100 samples each. Save is
// encoding the archive and compressing it; load is decompressing, parsing and decoding it,
// which builds every stroke's outline from its samples. The samples are what simplify
// leaves: 2 to 4 units apart, rounded to tenths and to 1/255 of pressure, so the counts
// below are the counts in the file.

#include "archive.h"
#include "document_file.h"
#include "large_drawing.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

const QByteArray& saved_file()
{
    static const QByteArray file = dataRepresentation(large_drawing()).take().value_or(QByteArray());
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
    const DocumentData& d = large_drawing();
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
        const Result<DocumentData> load = loadDataRepresentation(file);
        if (!load) {
            state.SkipWithError(load.error().toStdString().c_str());
            return;
        }
        samples = sample_count(*load->strokes);
        benchmark::DoNotOptimize(samples);
    }
    state.counters["samples"] = samples;
}
BENCHMARK(BM_DocumentLoad)->Unit(benchmark::kMillisecond);

// Parts of a save and a load, to see where their time goes.
void BM_DocumentEncode(benchmark::State& state)
{
    const DocumentData& d = large_drawing();
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
    const QByteArray archive = archive::to_bytes(encodeDocument(large_drawing()));
    for (auto _ : state) benchmark::DoNotOptimize(compressWithLength(archive));
}
BENCHMARK(BM_DocumentCompress)->Unit(benchmark::kMillisecond);

void BM_DocumentDecompressAndParse(benchmark::State& state)
{
    const QByteArray& file = saved_file();
    for (auto _ : state) {
        auto archive = decompressWithLength(file.first(file.size() - 12));
        benchmark::DoNotOptimize(archive::from_bytes(std::move(archive).take().value_or(QByteArray())));
    }
}
BENCHMARK(BM_DocumentDecompressAndParse)->Unit(benchmark::kMillisecond);

} // namespace
