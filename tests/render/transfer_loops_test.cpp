#include "transfer_loops.h"
#include "transfer_ops.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace color_ns;

// The row loops are compiled for vector units and some are written without branches; on
// any input, premultiplied or not, they must give what the exact pixel operation gives.
TEST(TransferLoops, RowLoopsMatchTheExactOperations)
{
    std::mt19937 rng(19);
    std::uniform_int_distribution<std::uint32_t> word;
    std::uniform_int_distribution<int> pick(0, 5);
    constexpr int n = 4099; // not a multiple of any vector width
    const Color specials[] = {TRANSPARENT, BLACK, WHITE, RED, make(0, 0, 0, 200), make(9, 9, 9, 0)};
    std::vector<std::uint32_t> dest(n), source(n), expected(n);
    for (int mode = 0; mode < kTransferModeCount; ++mode) {
        for (int round = 0; round < 4; ++round) {
            for (int i = 0; i < n; ++i) {
                const Color d = pick(rng) == 0 ? specials[pick(rng)] : Color(word(rng));
                const Color s = pick(rng) == 0 ? specials[pick(rng)] : Color(word(rng));
                store(&dest[i], d);
                store(&source[i], s);
                store(&expected[i], transfer_op(mode)(d, s));
            }
            row_op(mode)(dest.data(), source.data(), n);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(load(&dest[i]), load(&expected[i]))
                    << transfer_mode_name(mode) << " pixel " << i << std::hex << " source "
                    << load(&source[i]);
        }
    }
    EXPECT_EQ(row_op(8), nullptr);
}

TEST(TransferLoops, ScaleRowScalesEveryChannel)
{
    std::vector<std::uint32_t> source(37), out(37);
    for (int i = 0; i < 37; ++i) store(&source[i], make(i * 7, 255 - i, i, 200));
    scale_row(out.data(), source.data(), 37, 128);
    for (int i = 0; i < 37; ++i)
        EXPECT_EQ(load(&out[i]), make(i * 7 * 128 / 255, (255 - i) * 128 / 255, i * 128 / 255,
                                      200 * 128 / 255));
}
