#include "color.h"
#include "transfer_ops.h"

#include <QColor>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <tuple>

using namespace color_ns;

// Pixels go to Qt and to files byte by byte: R, G, B, A in memory on any processor.
TEST(PackedColor, MemoryOrderIsRGBA)
{
    const Color c = make(0x11, 0x22, 0x33, 0x44);
    std::uint32_t word;
    store(&word, c);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&word);
    EXPECT_EQ((std::array{bytes[0], bytes[1], bytes[2], bytes[3]}),
              (std::array<unsigned char, 4>{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(load(&word), c);
}

// Colours from files and scripts: NaN is 0, anything outside 0..1 is clamped, never wrapped.
TEST(PackedColor, ConversionsClampAndUnpremultiply)
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
    for (const auto& [v, want] : {std::pair{nan, 0}, {-3.0, 0}, {7.0, 255}, {0.5, 128}})
        EXPECT_EQ(channel_from_unit(v), want) << v;
    for (const auto& [c, want] : {std::pair{make(128, 0, 0, 128), QColor(255, 0, 0)},
                                  {make(200, 0, 0, 100), QColor(255, 0, 0)},
                                  {TRANSPARENT, QColor(0, 0, 0)}})
        EXPECT_EQ(to_qcolor_no_alpha(c), want) << std::hex << c;
}

struct TransferRow {
    int mode;
    Color d, s, want;
};

void PrintTo(const TransferRow& r, std::ostream* os)
{
    *os << std::hex << r.d << " " << r.s;
}

// Hand-worked pixels for each mode. The darker, lighter and colorize rows tip on single
// channels, so that weighting any colour channel as another changes their answer.
// clang-format off
const TransferRow kTransferRows[] = {
    {kModeNormal, RED, make(0, 0, 128, 128), make(127, 0, 128, 255)},
    {kModeNormal, RED, TRANSPARENT, RED},
    {kModeNormal, TRANSPARENT, make(0, 0, 128, 128), make(0, 0, 128, 128)},
    {kModeNormal, make(0, 0, 40, 60), make(0, 0, 128, 128), make(0, 0, 147, 157)},
    {kModeErase, RED, BLACK, TRANSPARENT},
    {kModeErase, TRANSPARENT, BLACK, TRANSPARENT},
    {kModeErase, make(200, 100, 50, 200), make(9, 9, 9, 128), make(99, 49, 24, 99)},
    {kModeDarker, TRANSPARENT, RED, RED},
    {kModeDarker, WHITE, BLACK, BLACK},
    {kModeDarker, BLACK, WHITE, BLACK},
    {kModeDarker, RED, GREEN, GREEN}, // a tie: the painted pixel wins
    {kModeDarker, make(100, 100, 129, 255), make(110, 110, 110, 255), make(100, 100, 129, 255)},
    {kModeDarker, make(129, 100, 100, 255), make(110, 110, 110, 255), make(129, 100, 100, 255)},
    {kModeDarker, make(100, 129, 100, 255), make(110, 110, 110, 255), make(100, 129, 100, 255)},
    {kModeDarker, make(0, 0, 0, 100), make(60, 60, 60, 255), make(60, 60, 60, 255)},
    {kModeLighter, TRANSPARENT, RED, RED},
    {kModeLighter, WHITE, BLACK, WHITE},
    {kModeLighter, BLACK, WHITE, WHITE},
    {kModeLighter, RED, BLUE, BLUE}, // a tie
    {kModeLighter, make(120, 120, 91, 255), make(110, 110, 110, 255), make(120, 120, 91, 255)},
    {kModeLighter, make(91, 120, 120, 255), make(110, 110, 110, 255), make(91, 120, 120, 255)},
    {kModeLighter, make(120, 91, 120, 255), make(110, 110, 110, 255), make(120, 91, 120, 255)},
    {kModeColorize, BLACK, RED, BLACK},
    {kModeColorize, WHITE, RED, RED},
    {kModeColorize, make(0, 0, 0, 200), WHITE, make(0, 0, 0, 200)}, // dense line work stays
    {kModeColorize, make(0, 0, 0, 10), make(0, 0, 40, 255), make(0, 0, 40, 255)},
    {kModeColorize, make(0, 0, 0, 200), make(0, 100, 0, 255), make(0, 0, 0, 200)},
    {kModeColorize, make(0, 0, 0, 200), make(190, 0, 0, 255), make(0, 0, 0, 200)},
    {kModeColorize, make(0, 0, 0, 200), BLUE, BLUE},
    {kModeShadow, make(200, 100, 50, 255), make(1, 2, 3, 128), make(99, 49, 24, 255)},
    {kModeShadow, make(200, 100, 50, 220), TRANSPARENT, make(200, 100, 50, 220)},
    {kModeShadow, TRANSPARENT, BLACK, TRANSPARENT},
    {kModeHilight, BLACK, BLACK, WHITE},
    {kModeHilight, make(0, 20, 100, 100), make(0, 0, 0, 128), make(51, 61, 100, 100)},
    {kModeHilight, TRANSPARENT, BLACK, TRANSPARENT},
    {kModeMultiply, make(200, 100, 50, 255), make(128, 255, 0, 255), make(100, 100, 0, 255)},
    {kModeMultiply, TRANSPARENT, RED, RED},
    {kModeMultiply, make(100, 100, 100, 200), make(50, 0, 100, 100), make(75, 50, 100, 200)},
    {kModeMultiply, make(50, 0, 100, 100), make(100, 100, 100, 200), make(75, 50, 100, 200)},
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
    std::uniform_int_distribution<int> byte(0, 255);
    const auto any = [&] {
        const int a = byte(rng);
        std::uniform_int_distribution<int> channel(0, a);
        return make(channel(rng), channel(rng), channel(rng), a);
    };
    for (int mode = 0; mode < kTransferModeCount; ++mode)
        for (int i = 0; i < 20000; ++i) {
            const Color d = any(), s = any(), r = transfer_op(mode)(d, s);
            ASSERT_TRUE(red(r) <= alpha(r) && green(r) <= alpha(r) && blue(r) <= alpha(r))
                << transfer_mode_name(mode) << std::hex << " d=" << d << " s=" << s << " r=" << r;
        }
}

// Stored drawings name their modes: any case, anything unknown drawn as normal.
TEST(TransferModes, NamesAndNumbers)
{
    // clang-format off
    for (const auto& [name, mode] : {std::pair{"Multiply", kModeMultiply}, {"HILIGHT", kModeHilight}, {"", kModeNormal}, {"overlay", kModeNormal}})
        EXPECT_EQ(transfer_mode_from_name(name), mode) << name;
    // clang-format on
    for (int mode = 0; mode < kTransferModeCount; ++mode)
        EXPECT_EQ(transfer_mode_from_name(transfer_mode_name(mode)), mode);
    EXPECT_TRUE(transfer_op(-1) == nullptr && transfer_op(kTransferModeCount) == nullptr);
}
