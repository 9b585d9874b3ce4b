#include "transfer_loops.h"
#include "transfer_ops.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace color_ns;

void PrintTo(RowVariant v, std::ostream* os)
{
    *os << row_variant_name(v);
}

namespace {

// Every variant this build knows; the ones the processor lacks are skipped at run time.
class RowLoops : public ::testing::TestWithParam<RowVariant> {
protected:
    void SetUp() override
    {
        if (!scale_row_op(GetParam())) GTEST_SKIP() << row_variant_name(GetParam()) << " not here";
    }
};

} // namespace

TEST_P(RowLoops, ScaleHandWorkedPixels)
{
    // clang-format off
    const std::tuple<Color, int, Color> rows[] = {
        {make(255, 128, 3, 200), 128, make(128, 64, 1, 100)}, {make(255, 128, 3, 200), 255, make(255, 128, 3, 200)},
        {make(255, 128, 3, 200), 0, TRANSPARENT}, {WHITE, 1, make(1, 1, 1, 1)}, {make(254, 1, 0, 254), 254, make(253, 0, 0, 253)},
    };
    // clang-format on
    for (const auto& [pixel, o, want] : rows) {
        std::uint32_t in, out;
        store(&in, pixel);
        scale_row_op(GetParam())(&out, &in, 1, o);
        EXPECT_EQ(load(&out), want) << std::hex << pixel << std::dec << " at " << o;
    }
}

// Branch-free and vectorised forms against the exact operation, on any pixels, premultiplied
// or not, at opacities 0, 1 and between: the source is scaled first, as a transfer does.
TEST_P(RowLoops, MatchTheExactOperationAtEveryOpacity)
{
    const RowVariant v = GetParam();
    std::mt19937 rng(19);
    std::uniform_int_distribution<std::uint32_t> word;
    std::uniform_int_distribution<int> pick(0, 5);
    constexpr int n = 1031; // not a multiple of any vector width
    const Color specials[] = {TRANSPARENT, BLACK, WHITE, RED, make(0, 0, 0, 200), make(9, 9, 9, 0)};
    const auto any = [&] { return pick(rng) == 0 ? specials[pick(rng)] : Color(word(rng)); };
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
                    << transfer_mode_name(mode) << " opacity " << o << " pixel " << i << std::hex
                    << " source " << load(&scaled[i]);
        }
    EXPECT_EQ(row_op(kTransferModeCount, v), nullptr);
    EXPECT_EQ(row_op(-1, v), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Variants, RowLoops,
                         ::testing::Values(RowVariant::Scalar, RowVariant::Baseline,
                                           RowVariant::Avx2),
                         [](const auto& p) { return std::string(row_variant_name(p.param)); });
