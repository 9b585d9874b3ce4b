#include "color.h"
#include "transfer_ops.h"

#include <QColor>

#include <gtest/gtest.h>

#include <random>

using namespace color_ns;

namespace {

Color random_premultiplied(std::mt19937& rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    const int a = byte(rng);
    std::uniform_int_distribution<int> channel(0, a);
    return make(channel(rng), channel(rng), channel(rng), a);
}

bool is_premultiplied(Color c)
{
    return red(c) <= alpha(c) && green(c) <= alpha(c) && blue(c) <= alpha(c);
}

} // namespace

TEST(PackedColor, ChannelsAndComponents)
{
    const Color c = make(1, 2, 3, 4);
    EXPECT_EQ(c, 0x01020304u);
    EXPECT_EQ(red(c), 1);
    EXPECT_EQ(green(c), 2);
    EXPECT_EQ(blue(c), 3);
    EXPECT_EQ(alpha(c), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(component(c, i), i + 1);
    // Only the low 8 bits of a channel are packed.
    EXPECT_EQ(make(256 + 7, 0, 0, 0), 0x07000000u);
    EXPECT_EQ(min(make(10, 200, 3, 40), make(20, 100, 3, 30)), make(10, 100, 3, 30));
    EXPECT_EQ(max(make(10, 200, 3, 40), make(20, 100, 3, 30)), make(20, 200, 3, 40));
}

TEST(PackedColor, MemoryOrderIsRedGreenBlueAlpha)
{
    std::uint32_t word;
    store(&word, make(0x11, 0x22, 0x33, 0x44));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&word);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0x22);
    EXPECT_EQ(bytes[2], 0x33);
    EXPECT_EQ(bytes[3], 0x44);
    EXPECT_EQ(load(&word), make(0x11, 0x22, 0x33, 0x44));
}

TEST(PackedColor, Distance)
{
    EXPECT_FLOAT_EQ(distance(RED, RED), 0.0f);
    EXPECT_FLOAT_EQ(distance(BLACK, TRANSPARENT), 1.0f);
    EXPECT_FLOAT_EQ(distance(make(10, 20, 30, 40), make(10, 21, 30, 40)), 1.0f / 255);
    EXPECT_FLOAT_EQ(distance(make(0, 0, 0, 0), make(5, 200, 0, 0)), 200.0f / 255);
}

TEST(PackedColor, ConversionsClampAndUnpremultiply)
{
    EXPECT_EQ(from_qcolor(QColor()), BLACK); // an invalid colour is black
    EXPECT_EQ(from_qcolor(QColor::fromRgbF(1, 0.5f, 0, 1)), make(255, 128, 0, 255));
    EXPECT_EQ(channel_from_unit(std::nan("")), 0);
    EXPECT_EQ(channel_from_unit(-3), 0);
    EXPECT_EQ(channel_from_unit(7), 255);

    const QColor red_again = to_qcolor_no_alpha(make(128, 0, 0, 128));
    EXPECT_FLOAT_EQ(red_again.redF(), 1.0f);
    EXPECT_FLOAT_EQ(red_again.greenF(), 0.0f);
    EXPECT_FLOAT_EQ(red_again.alphaF(), 1.0f);
    EXPECT_EQ(to_qcolor_no_alpha(TRANSPARENT), QColor::fromRgbF(0, 0, 0, 1));

    EXPECT_EQ(premultiplied(QColor::fromRgbF(1, 0, 0, 1), 0.5), make(128, 0, 0, 128));
    EXPECT_EQ(premultiplied(QColor::fromRgbF(1, 1, 1, 1), std::nan("")), TRANSPARENT);
    EXPECT_EQ(premultiplied(QColor::fromRgbF(0, 0, 1, 1), 4.0), BLUE);
}

TEST(TransferOps, PaintOver)
{
    const Color half_blue = make(0, 0, 128, 128);
    EXPECT_EQ(paint_over(RED, half_blue), make(127, 0, 128, 255));
    EXPECT_EQ(paint_over(RED, BLUE), BLUE);
    EXPECT_EQ(paint_over(RED, TRANSPARENT), RED);
    EXPECT_EQ(paint_over(TRANSPARENT, half_blue), half_blue);
    EXPECT_EQ(paint_over(make(0, 0, 40, 60), half_blue), make(0, 0, 147, 157));
}

TEST(TransferOps, Erase)
{
    EXPECT_EQ(erase(RED, BLACK), TRANSPARENT);
    EXPECT_EQ(erase(RED, TRANSPARENT), RED);
    EXPECT_EQ(erase(TRANSPARENT, BLACK), TRANSPARENT);
    // Half coverage removed; the colour keeps its ratio to alpha.
    EXPECT_EQ(erase(make(200, 100, 50, 200), make(9, 9, 9, 128)), make(99, 49, 24, 99));
}

TEST(TransferOps, DarkerAndLighter)
{
    EXPECT_EQ(darker(TRANSPARENT, RED), RED);
    EXPECT_EQ(darker(RED, TRANSPARENT), RED);
    EXPECT_EQ(lighter(TRANSPARENT, RED), RED);
    EXPECT_EQ(lighter(RED, TRANSPARENT), RED);
    EXPECT_EQ(darker(WHITE, BLACK), BLACK);
    EXPECT_EQ(darker(BLACK, WHITE), BLACK);
    EXPECT_EQ(lighter(WHITE, BLACK), WHITE);
    EXPECT_EQ(lighter(BLACK, WHITE), WHITE);
    // Equal darkness and lightness: the painted pixel wins the tie.
    EXPECT_EQ(darker(RED, GREEN), GREEN);
    EXPECT_EQ(lighter(RED, BLUE), BLUE);
}

TEST(TransferOps, Colorize)
{
    EXPECT_EQ(colorize(BLACK, RED), BLACK);
    EXPECT_EQ(colorize(TRANSPARENT, make(0, 0, 1, 1)), make(0, 0, 1, 1));
    EXPECT_EQ(colorize(WHITE, RED), RED);
    EXPECT_EQ(colorize(RED, TRANSPARENT), RED);
    // Dense black line work stays; faint black takes the colour.
    EXPECT_EQ(colorize(make(0, 0, 0, 200), WHITE), make(0, 0, 0, 200));
    EXPECT_EQ(colorize(make(0, 0, 0, 10), make(0, 0, 40, 255)), make(0, 0, 40, 255));
}

TEST(TransferOps, ShadowAndHilightKeepAlpha)
{
    EXPECT_EQ(shadow(make(200, 100, 50, 255), make(1, 2, 3, 128)), make(99, 49, 24, 255));
    EXPECT_EQ(shadow(make(200, 100, 50, 220), TRANSPARENT), make(200, 100, 50, 220));
    EXPECT_EQ(shadow(TRANSPARENT, BLACK), TRANSPARENT);
    EXPECT_EQ(hilight(BLACK, make(0, 0, 0, 255)), WHITE);
    EXPECT_EQ(hilight(make(0, 20, 100, 100), make(0, 0, 0, 128)), make(51, 61, 100, 100));
    EXPECT_EQ(hilight(TRANSPARENT, BLACK), TRANSPARENT);
}

TEST(TransferOps, Multiply)
{
    EXPECT_EQ(multiply(make(200, 100, 50, 255), make(128, 255, 0, 255)),
              make(200 * 128 / 255, 100, 0, 255));
    EXPECT_EQ(multiply(TRANSPARENT, RED), RED);
    EXPECT_EQ(multiply(RED, TRANSPARENT), RED);
    // Destination denser than source: m = ad, R = rd*m*(rs-as+ad)/(ad*ad).
    EXPECT_EQ(multiply(make(100, 100, 100, 200), make(50, 0, 100, 100)), make(75, 50, 100, 200));
    // Source denser: R = rs*m*(rd-ad+as)/(as*as).
    EXPECT_EQ(multiply(make(50, 0, 100, 100), make(100, 100, 100, 200)), make(75, 50, 100, 200));
}

TEST(TransferOps, KeepPixelsPremultiplied)
{
    std::mt19937 rng(7);
    for (int mode = 0; mode < kTransferModeCount; ++mode) {
        const TransferOp op = transfer_op(mode);
        ASSERT_NE(op, nullptr);
        for (int i = 0; i < 20000; ++i) {
            const Color d = random_premultiplied(rng);
            const Color s = random_premultiplied(rng);
            const Color r = op(d, s);
            ASSERT_TRUE(is_premultiplied(r))
                << transfer_mode_name(mode) << std::hex << " d=" << d << " s=" << s << " r=" << r;
        }
    }
}

TEST(TransferModes, NamesAndNumbers)
{
    EXPECT_EQ(transfer_mode_from_name("Multiply"), kModeMultiply);
    EXPECT_EQ(transfer_mode_from_name("HILIGHT"), kModeHilight);
    EXPECT_EQ(transfer_mode_from_name("erase"), kModeErase);
    EXPECT_EQ(transfer_mode_from_name(""), kModeNormal);
    EXPECT_EQ(transfer_mode_from_name("normal"), kModeNormal);
    EXPECT_EQ(transfer_mode_from_name("overlay"), kModeNormal);
    EXPECT_EQ(transfer_mode_name(8), "normal");
    EXPECT_EQ(transfer_mode_name(-1), "normal");
    for (int mode = 0; mode < kTransferModeCount; ++mode)
        EXPECT_EQ(transfer_mode_from_name(transfer_mode_name(mode)), mode);
    EXPECT_EQ(transfer_op(8), nullptr);
    EXPECT_EQ(transfer_op(-1), nullptr);
}
