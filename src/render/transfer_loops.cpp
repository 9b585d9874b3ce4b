#include "transfer_loops.h"

#include "transfer_ops.h"

#include <bit>

// The AVX2 variant is built on x86-64 and chosen at run time, so that one binary runs
// anywhere and is fast where it can be.
#if defined(__x86_64__) && defined(__GNUC__)
#define PAVO_HAS_AVX2 1
#else
#define PAVO_HAS_AVX2 0
#endif

// Pixel operations are forced inline into each variant's loop, so that every variant
// compiles them with its own instruction set.
#define PAVO_PIXEL inline __attribute__((always_inline))

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
PAVO_PIXEL std::uint32_t blend_pixel(std::uint32_t d, std::uint32_t s)
{
    const std::uint32_t as = at(s, kAlphaShift), ad = at(d, kAlphaShift), k = 255 - as;
    const auto channel = [&](int shift) { return (at(s, shift) * 255 + at(d, shift) * k) / 255; };
    const std::uint32_t out = pack(channel(kRedShift), channel(kGreenShift),
                                   channel(kBlueShift), (as * 255 + k * ad) / 255);
    const std::uint32_t blended = select(mask(as == 255 || ad == 0), s, out);
    return select(mask(as == 0), d, blended);
}

// erase: A = (255-as)*ad/255, C = cd*A/ad
PAVO_PIXEL std::uint32_t erase_pixel(std::uint32_t d, std::uint32_t s)
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
PAVO_PIXEL std::uint32_t colorize_pixel(std::uint32_t d, std::uint32_t s)
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
PAVO_PIXEL std::uint32_t multiply_pixel(std::uint32_t d, std::uint32_t s)
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

// The exact operation on pixels as they lie in memory, for the modes that have no
// branch-free form of their own.
template <TransferOp Op> PAVO_PIXEL std::uint32_t exact_pixel(std::uint32_t d, std::uint32_t s)
{
    std::uint32_t out;
    color_ns::store(&out, Op(color_ns::load(&d), color_ns::load(&s)));
    return out;
}

using PixelOp = std::uint32_t (*)(std::uint32_t d, std::uint32_t s);

struct Loops {
    RowOp rows[kTransferModeCount];
    ScaleRowOp scale;
};

// One variant: a row loop per mode, in mode order, and the opacity scaling, all compiled
// with the same attributes. The scaling works channel by channel, so the byte order does
// not matter: c * o / 255 for each.
#define PAVO_ROW_LOOPS(name, attributes)                                                  \
    template <PixelOp Pixel>                                                              \
    attributes void name##_row(std::uint32_t* d, const std::uint32_t* s, int n)           \
    {                                                                                     \
        for (int i = 0; i < n; ++i) d[i] = Pixel(d[i], s[i]);                             \
    }                                                                                     \
    attributes void name##_scale(std::uint32_t* out, const std::uint32_t* in, int n, int o) \
    {                                                                                     \
        const auto* from = reinterpret_cast<const std::uint8_t*>(in);                     \
        auto* to = reinterpret_cast<std::uint8_t*>(out);                                  \
        const unsigned scale = unsigned(o);                                               \
        for (int i = 0; i < 4 * n; ++i) to[i] = std::uint8_t(from[i] * scale / 255);      \
    }                                                                                     \
    constexpr Loops name##_loops = {{name##_row<blend_pixel>,                             \
                                     name##_row<erase_pixel>,                             \
                                     name##_row<exact_pixel<color_ns::darker>>,           \
                                     name##_row<exact_pixel<color_ns::lighter>>,          \
                                     name##_row<colorize_pixel>,                          \
                                     name##_row<exact_pixel<color_ns::shadow>>,           \
                                     name##_row<exact_pixel<color_ns::hilight>>,          \
                                     name##_row<multiply_pixel>},                         \
                                    name##_scale};

PAVO_ROW_LOOPS(scalar, __attribute__((optimize("no-tree-vectorize"))))
PAVO_ROW_LOOPS(baseline, __attribute__((optimize("O3"))))
#if PAVO_HAS_AVX2
PAVO_ROW_LOOPS(avx2, __attribute__((optimize("O3"), target("avx2"))))
#endif

bool available(RowVariant v)
{
    switch (v) {
    case RowVariant::Scalar:
    case RowVariant::Baseline: return true;
    case RowVariant::Avx2:
#if PAVO_HAS_AVX2
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
#else
        return false;
#endif
    }
    return false;
}

const Loops* loops(RowVariant v)
{
    if (!available(v)) return nullptr;
    switch (v) {
    case RowVariant::Scalar: return &scalar_loops;
    case RowVariant::Baseline: return &baseline_loops;
    case RowVariant::Avx2:
#if PAVO_HAS_AVX2
        return &avx2_loops;
#else
        return nullptr;
#endif
    }
    return nullptr;
}

const Loops& fastest()
{
    static const Loops& chosen = *loops(row_variants().back());
    return chosen;
}

} // namespace

std::vector<RowVariant> row_variants()
{
    std::vector<RowVariant> out;
    for (const RowVariant v : {RowVariant::Scalar, RowVariant::Baseline, RowVariant::Avx2})
        if (available(v)) out.push_back(v);
    return out;
}

const char* row_variant_name(RowVariant v)
{
    switch (v) {
    case RowVariant::Scalar: return "scalar";
    case RowVariant::Baseline: return "baseline";
    case RowVariant::Avx2: return "avx2";
    }
    return "unknown";
}

RowOp row_op(int mode)
{
    if (unsigned(mode) >= unsigned(kTransferModeCount)) return nullptr;
    return fastest().rows[mode];
}

RowOp row_op(int mode, RowVariant v)
{
    const Loops* l = loops(v);
    if (!l || unsigned(mode) >= unsigned(kTransferModeCount)) return nullptr;
    return l->rows[mode];
}

void scale_row(std::uint32_t* out, const std::uint32_t* source, int n, int o)
{
    fastest().scale(out, source, n, o);
}

ScaleRowOp scale_row_op(RowVariant v)
{
    const Loops* l = loops(v);
    return l ? l->scale : nullptr;
}
