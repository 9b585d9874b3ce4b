#include "color.h"
#include "transfer_loops.h"
#include "transfer_ops.h"

#include <QColor>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <tuple>
#include <vector>

using namespace color_ns;

// Opacities from files and scripts: NaN is 0, anything outside 0..1 is clamped, never wrapped.
TEST(PackedColor, PremultipliedColoursClampTheOpacity)
{
    const double nan = std::nan("");
    const std::tuple<QColor, double, Color> rows[] = {
        {QColor::fromRgbF(1, 0, 0, 1), 0.5, make(128, 0, 0, 128)},
        {QColor::fromRgbF(1, 1, 1, 1), nan, TRANSPARENT},
        {QColor::fromRgbF(0, 0, 1, 1), 4.0, BLUE},
        {QColor::fromRgbF(1, 1, 1, 0.5f), -1.0, TRANSPARENT},
        {QColor(), 1.0, BLACK}};
    for (const auto& [color, opacity, want] : rows)
        EXPECT_EQ(premultiplied(color, opacity), want) << opacity;
}

struct TransferRow {
    int mode;
    Color d, s, want;
};

// Hand-worked pixels for each mode. The darker, lighter and colorize rows tip on single
// channels, so that weighting any colour channel as another changes their answer.
// clang-format off
const TransferRow kTransferRows[] = {
    {kModeNormal, RED, make(0, 0, 128, 128), make(127, 0, 128, 255)},
    {kModeNormal, make(0, 0, 40, 60), make(0, 0, 128, 128), make(0, 0, 147, 157)},
    {kModeErase, make(200, 100, 50, 200), make(9, 9, 9, 128), make(99, 49, 24, 99)},
    {kModeDarker, RED, GREEN, GREEN}, // a tie: the painted pixel wins
    {kModeDarker, make(100, 100, 129, 255), make(110, 110, 110, 255), make(100, 100, 129, 255)},
    {kModeDarker, make(129, 100, 100, 255), make(110, 110, 110, 255), make(129, 100, 100, 255)},
    {kModeDarker, make(100, 129, 100, 255), make(110, 110, 110, 255), make(100, 129, 100, 255)},
    {kModeDarker, make(0, 0, 0, 100), make(60, 60, 60, 255), make(60, 60, 60, 255)},
    {kModeLighter, RED, BLUE, BLUE}, // a tie
    {kModeLighter, make(120, 120, 91, 255), make(110, 110, 110, 255), make(120, 120, 91, 255)},
    {kModeLighter, make(91, 120, 120, 255), make(110, 110, 110, 255), make(91, 120, 120, 255)},
    {kModeLighter, make(120, 91, 120, 255), make(110, 110, 110, 255), make(120, 91, 120, 255)},
    {kModeColorize, WHITE, RED, RED},
    {kModeColorize, make(0, 0, 0, 200), WHITE, make(0, 0, 0, 200)}, // dense line work stays
    {kModeColorize, make(0, 0, 0, 200), make(0, 100, 0, 255), make(0, 0, 0, 200)},
    {kModeColorize, make(0, 0, 0, 200), BLUE, BLUE},
    {kModeShadow, make(200, 100, 50, 255), make(1, 2, 3, 128), make(99, 49, 24, 255)},
    {kModeShadow, WHITE, make(0, 0, 0, 1), make(254, 254, 254, 255)}, // divides by 255, not 256
    {kModeHilight, BLACK, BLACK, WHITE},
    {kModeHilight, make(0, 20, 100, 100), make(0, 0, 0, 128), make(51, 61, 100, 100)},
    {kModeHilight, TRANSPARENT, BLACK, TRANSPARENT},
    {kModeHilight, BLACK, make(0, 0, 0, 1), make(1, 1, 1, 255)},
    {kModeMultiply, make(200, 100, 50, 255), make(128, 255, 0, 255), make(100, 100, 0, 255)},
    {kModeMultiply, make(100, 100, 100, 200), make(50, 0, 100, 100), make(75, 50, 100, 200)},
};
// clang-format on

class TransferOps : public ::testing::TestWithParam<TransferRow> {};

TEST_P(TransferOps, HandWorkedPixels)
{
    const TransferRow& r = GetParam();
    EXPECT_EQ(transfer_op(r.mode)(r.d, r.s), r.want) << std::hex << "d=" << r.d << " s=" << r.s;
}

INSTANTIATE_TEST_SUITE_P(Rows, TransferOps, ::testing::ValuesIn(kTransferRows), [](const auto& p) {
    return transfer_mode_name(p.param.mode) + std::to_string(p.index);
});

// No channel may exceed alpha whatever the inputs, or later blends overflow.
TEST(TransferOpsAll, KeepPixelsPremultiplied)
{
    std::mt19937 rng(7);
    const auto any = [&](unsigned a) {
        return make(int(rng() % a), int(rng() % a), int(rng() % a), int(a) - 1);
    };
    for (int mode = 0; mode < kTransferModeCount; ++mode)
        for (int i = 0; i < 20000; ++i) {
            const Color d = any(unsigned(1 + rng() % 256)), s = any(unsigned(1 + rng() % 256));
            const Color r = transfer_op(mode)(d, s);
            ASSERT_TRUE(red(r) <= alpha(r) && green(r) <= alpha(r) && blue(r) <= alpha(r))
                << transfer_mode_name(mode) << std::hex << " d=" << d << " s=" << s << " r=" << r;
        }
}

class RowLoops : public ::testing::TestWithParam<RowVariant> {};

// Every variant this build knows (the ones the processor lacks are skipped) against the exact
// operation, on any pixels, premultiplied or not, at opacities 0, 1 and between: the source is
// scaled first, as a transfer does.
TEST_P(RowLoops, MatchTheExactOperationAtEveryOpacity)
{
    const RowVariant v = GetParam();
    if (!scale_row_op(v)) GTEST_SKIP() << row_variant_name(v) << " not here";
    std::mt19937 rng(19);
    constexpr int n = 1031; // not a multiple of any vector width
    const Color specials[] = {TRANSPARENT, BLACK, WHITE, RED, make(0, 0, 0, 200), make(9, 9, 9, 0)};
    const auto any = [&] { return rng() % 6 == 0 ? specials[rng() % 6] : Color(rng()); };
    std::vector<std::uint32_t> dest(n), source(n), scaled(n), reference(n);
    for (int mode = 0; mode < kTransferModeCount; ++mode)
        for (const int o : {0, 1, 77, 128, 254, 255}) {
            for (int i = 0; i < n; ++i)
                store(&dest[i], any()), store(&source[i], any());
            scale_row_op(v)(scaled.data(), source.data(), n, o);
            scale_row_op(RowVariant::Scalar)(reference.data(), source.data(), n, o);
            ASSERT_EQ(scaled, reference) << "opacity " << o;
            std::vector<Color> want(n);
            for (int i = 0; i < n; ++i)
                want[i] = transfer_op(mode)(load(&dest[i]), load(&scaled[i]));
            row_op(mode, v)(dest.data(), scaled.data(), n);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(load(&dest[i]), want[i])
                    << transfer_mode_name(mode) << " opacity " << o << " pixel " << i;
        }
    EXPECT_TRUE(row_op(kTransferModeCount, v) == nullptr && row_op(-1, v) == nullptr);
}

INSTANTIATE_TEST_SUITE_P(Variants, RowLoops,
                         ::testing::Values(RowVariant::Scalar, RowVariant::Baseline,
                                           RowVariant::Avx2),
                         [](const auto& p) { return std::string(row_variant_name(p.param)); });
