// Throughput of the transfer loop over a 4K canvas in every mode, beside a memcpy of the
// same buffer so that the figures can be read as a fraction of the machine's bandwidth.

#include "bitmap.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;

// A stroke layer as strokes leave it: mostly transparent, opaque cores, soft edges.
void fill_stroke_like(Bitmap& bm)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x) {
            const int band = (x / 64 + y / 64) % 3;
            const int a = band == 0 ? 0 : (band == 1 ? 255 : byte(rng));
            bm.setPixel(x, y, color_ns::make(a * 3 / 4, a / 2, a / 5, a));
        }
}

void fill_drawing_like(Bitmap& bm)
{
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x)
            bm.setPixel(x, y, color_ns::make(x & 255, y & 255, (x ^ y) & 255, 255));
}

void BM_Transfer(benchmark::State& state)
{
    const int mode = int(state.range(0));
    const float opacity = float(state.range(1)) / 100.0f;
    auto source = Bitmap::create({kWidth, kHeight});
    auto dest = Bitmap::create({kWidth, kHeight});
    fill_stroke_like(*source);
    fill_drawing_like(*dest);
    const Rect all = make_rect(0, 0, kWidth, kHeight);
    for (auto _ : state) {
        source->transferRect(all, *dest, mode, opacity);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.SetLabel(transfer_mode_name(mode));
}

void BM_Memcpy(benchmark::State& state)
{
    std::vector<std::uint32_t> from(std::size_t(kWidth) * kHeight, 0x12345678u);
    std::vector<std::uint32_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void transfer_args(benchmark::internal::Benchmark* b)
{
    for (int mode = 0; mode < kTransferModeCount; ++mode) {
        b->Args({mode, 100});
        b->Args({mode, 50});
    }
}

} // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Transfer)->Apply(transfer_args)->Unit(benchmark::kMillisecond);
