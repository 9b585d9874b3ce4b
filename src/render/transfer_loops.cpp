#include "transfer_loops.h"

#include "transfer_ops.h"

#include <bit>

// Each loop is cloned for AVX2 and chosen at run time, so that one binary runs anywhere
// and is fast where it can be.
#define PAVO_VECTOR_LOOP __attribute__((optimize("O3"), target_clones("avx2", "default")))

namespace {

// Channel places in a pixel word read in the machine's byte order (memory R, G, B, A).
constexpr bool kLittle = std::endian::native == std::endian::little;
constexpr int kRedShift = kLittle ? 0 : 24;
constexpr int kGreenShift = kLittle ? 8 : 16;
constexpr int kBlueShift = kLittle ? 16 : 8;
constexpr int kAlphaShift = kLittle ? 24 : 0;

inline std::uint32_t at(std::uint32_t w, int shift) { return (w >> shift) & 255; }
inline std::uint32_t pack(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a)
{
    return ((r & 255) << kRedShift) | ((g & 255) << kGreenShift) | ((b & 255) << kBlueShift) |
           ((a & 255) << kAlphaShift);
}
// All ones where the condition holds: a select that the vectoriser keeps branch-free.
inline std::uint32_t mask(bool condition) { return condition ? ~0u : 0u; }
inline std::uint32_t select(std::uint32_t m, std::uint32_t a, std::uint32_t b)
{
    return (a & m) | (b & ~m);
}

// The branch-free forms below compute every case and select the one the exact operation
// returns, so they agree with it on every input, premultiplied or not. Quotients by a
// variable are taken in floating point, which is exact here: the numerators are far below
// 2^24 (2^53 for multiply), so a correctly rounded quotient never crosses an integer.

// paint_over: C = (cs*255 + cd*(255-as))/255, A = (as*255 + ad*(255-as))/255
inline std::uint32_t blend_pixel(std::uint32_t d, std::uint32_t s)
{
    const std::uint32_t as = at(s, kAlphaShift), ad = at(d, kAlphaShift), k = 255 - as;
    const auto channel = [&](int shift) { return (at(s, shift) * 255 + at(d, shift) * k) / 255; };
    const std::uint32_t out = pack(channel(kRedShift), channel(kGreenShift),
                                   channel(kBlueShift), (as * 255 + k * ad) / 255);
    const std::uint32_t blended = select(mask(as == 255 || ad == 0), s, out);
    return select(mask(as == 0), d, blended);
}

// erase: A = (255-as)*ad/255, C = cd*A/ad
inline std::uint32_t erase_pixel(std::uint32_t d, std::uint32_t s)
{
    const std::uint32_t as = at(s, kAlphaShift), ad = at(d, kAlphaShift);
    const std::uint32_t a = ((255 - as) * ad) / 255;
    // Every lane divides (by 1 where ad is 0) so that no branch is needed around the division.
    const float divisor = float(int(ad + (ad == 0)));
    const auto channel = [&](int shift) {
        return std::uint32_t(int(float(int(at(d, shift) * a)) / divisor));
    };
    const std::uint32_t out = pack(channel(kRedShift), channel(kGreenShift),
                                   channel(kBlueShift), a);
    return select(mask(ad == 0 || as == 0), d, out);
}

// colorize: paint_over, except that black d stays when (255-ad)*100 < 30rs + 59gs + 11bs
inline std::uint32_t colorize_pixel(std::uint32_t d, std::uint32_t s)
{
    const std::uint32_t ad = at(d, kAlphaShift);
    const bool black = (d & ~(255u << kAlphaShift)) == 0;
    const std::uint32_t weight =
        at(s, kRedShift) * 30 + at(s, kGreenShift) * 59 + at(s, kBlueShift) * 11;
    const bool keep = at(s, kAlphaShift) == 0 || d == pack(0, 0, 0, 255) ||
                      (black && (255 - ad) * 100 < weight);
    return select(mask(keep), d, blend_pixel(d, s));
}

// multiply, m = max(ad, as): ad > as: C = cd*m*(cs-as+ad)/(ad*ad), else cs*m*(cd-ad+as)/(as*as)
inline std::uint32_t multiply_pixel(std::uint32_t d, std::uint32_t s)
{
    const std::uint32_t as = at(s, kAlphaShift), ad = at(d, kAlphaShift);
    const std::uint32_t dense = mask(ad > as);
    const std::uint32_t m = select(dense, ad, as);
    const double divisor = double(int(m * m + (m == 0)));
    const auto channel = [&](int shift) {
        const std::uint32_t cd = at(d, shift), cs = at(s, shift);
        const std::uint32_t product =
            select(dense, cd * m * (cs - as + ad), cs * m * (cd - ad + as));
        return std::uint32_t(int(double(int(product)) / divisor));
    };
    const std::uint32_t out = pack(channel(kRedShift), channel(kGreenShift),
                                   channel(kBlueShift), m);
    return select(mask(ad == 0), s, select(mask(as == 0), d, out));
}

template <TransferOp Op> inline void exact_row(std::uint32_t* d, const std::uint32_t* s, int n)
{
    using namespace color_ns;
    for (int i = 0; i < n; ++i) store(d + i, Op(load(d + i), load(s + i)));
}

PAVO_VECTOR_LOOP void normal_row(std::uint32_t* d, const std::uint32_t* s, int n)
{
    for (int i = 0; i < n; ++i) d[i] = blend_pixel(d[i], s[i]);
}
PAVO_VECTOR_LOOP void erase_row(std::uint32_t* d, const std::uint32_t* s, int n)
{
    for (int i = 0; i < n; ++i) d[i] = erase_pixel(d[i], s[i]);
}
PAVO_VECTOR_LOOP void darker_row(std::uint32_t* d, const std::uint32_t* s, int n)
{
    exact_row<color_ns::darker>(d, s, n);
}
PAVO_VECTOR_LOOP void lighter_row(std::uint32_t* d, const std::uint32_t* s, int n)
{
    exact_row<color_ns::lighter>(d, s, n);
}
PAVO_VECTOR_LOOP void colorize_row(std::uint32_t* d, const std::uint32_t* s, int n)
{
    for (int i = 0; i < n; ++i) d[i] = colorize_pixel(d[i], s[i]);
}
PAVO_VECTOR_LOOP void shadow_row(std::uint32_t* d, const std::uint32_t* s, int n)
{
    exact_row<color_ns::shadow>(d, s, n);
}
PAVO_VECTOR_LOOP void hilight_row(std::uint32_t* d, const std::uint32_t* s, int n)
{
    exact_row<color_ns::hilight>(d, s, n);
}
PAVO_VECTOR_LOOP void multiply_row(std::uint32_t* d, const std::uint32_t* s, int n)
{
    for (int i = 0; i < n; ++i) d[i] = multiply_pixel(d[i], s[i]);
}

} // namespace

RowOp row_op(int mode)
{
    switch (mode) {
    case kModeNormal: return normal_row;
    case kModeErase: return erase_row;
    case kModeDarker: return darker_row;
    case kModeLighter: return lighter_row;
    case kModeColorize: return colorize_row;
    case kModeShadow: return shadow_row;
    case kModeHilight: return hilight_row;
    case kModeMultiply: return multiply_row;
    default: return nullptr;
    }
}

PAVO_VECTOR_LOOP void scale_row(std::uint32_t* out, const std::uint32_t* source, int n, int o)
{
    // Channel by channel, so the byte order does not matter: c * o / 255 for each.
    const auto* from = reinterpret_cast<const std::uint8_t*>(source);
    auto* to = reinterpret_cast<std::uint8_t*>(out);
    const unsigned scale = unsigned(o);
    for (int i = 0; i < 4 * n; ++i) to[i] = std::uint8_t(from[i] * scale / 255);
}
