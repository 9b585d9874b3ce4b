#pragma once

// Packed colours: 32-bit pixel values with red in bits 31-24, green 23-16, blue 15-8 and
// alpha 7-0, premultiplied inside bitmaps. In memory the bytes lie in the order R, G, B, A,
// so a packed colour is those four bytes read as one big-endian integer.
// A channel that is packed back keeps only its low 8 bits. The transfer operations that
// combine pixels are in transfer_ops.h; the table of mode names and numbers is here.

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

class QColor;

namespace color_ns {

using Color = std::uint32_t;

inline constexpr Color WHITE = 0xFFFFFFFFu;
inline constexpr Color RED = 0xFF0000FFu;
inline constexpr Color GREEN = 0x00FF00FFu;
inline constexpr Color BLUE = 0x0000FFFFu;
inline constexpr Color BLACK = 0x000000FFu;
inline constexpr Color TRANSPARENT = 0x00000000u;

// Channels are ints so that the arithmetic below stays in signed 32 bits.
constexpr Color make(int r, int g, int b, int a)
{
    return (Color(r & 255) << 24) | (Color(g & 255) << 16) | (Color(b & 255) << 8) |
           Color(a & 255);
}
constexpr int red(Color c) { return int(c >> 24); }
constexpr int green(Color c) { return int((c >> 16) & 255); }
constexpr int blue(Color c) { return int((c >> 8) & 255); }
constexpr int alpha(Color c) { return int(c & 255); }
constexpr int component(Color c, int i) { return int((c >> (24 - 8 * i)) & 255); }

Color min(Color a, Color b);
Color max(Color a, Color b);
// The largest of the four channel differences, over 255.
float distance(Color a, Color b);

// Pixels sit in memory as bytes R, G, B, A; these read and write them as packed colours.
inline Color load(const std::uint32_t* p)
{
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap32(*p);
    else return *p;
}
inline void store(std::uint32_t* p, Color c)
{
    if constexpr (std::endian::native == std::endian::little) *p = __builtin_bswap32(c);
    else *p = c;
}

// A colour component as a channel: NaN counts as 0 and values outside 0..1 are clamped,
// so no colour from a file or a script can wrap around into another one.
int channel_from_unit(double v);
// The colour, not premultiplied, as drawing code fills a background with it.
Color from_qcolor(const QColor& color);
// The colour of a premultiplied pixel with its alpha taken out, made opaque.
QColor to_qcolor_no_alpha(Color c);
// Premultiplied pixel of a colour at the given opacity (clamped to 0..1).
Color premultiplied(const QColor& color, double opacity = 1.0);

} // namespace color_ns

// Transfer mode numbers, as strokes store them and the bitmap transfer takes them.
enum TransferMode : int {
    kModeNormal = 0,
    kModeErase = 1,
    kModeDarker = 2,
    kModeLighter = 3,
    kModeColorize = 4,
    kModeShadow = 5,
    kModeHilight = 6,
    kModeMultiply = 7,
};
inline constexpr int kTransferModeCount = 8;

using TransferOp = color_ns::Color (*)(color_ns::Color dest, color_ns::Color source);
// The operation of a mode, or null for a number outside the table.
TransferOp transfer_op(int mode);
// Case-insensitive; every unknown name, "normal" included, is mode 0.
int transfer_mode_from_name(std::string_view name);
// Any number outside the table is "normal".
std::string transfer_mode_name(int mode);
