#include "outline_tracing.h"
#include "pictures.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

using color_ns::BLACK;

PointList trace(const Bitmap& mask, Point start)
{
    PointList outline;
    EXPECT_TRUE(clockwise_outline_from(mask, start, outline));
    return outline;
}

// The outer boundary of the 4-connected region of (sx, sy), the slow way: the pixels it
// encloses (everything no path of other pixels, corners included, links to the space around
// the bitmap) and the unit edges between the region and that outside space.
std::pair<long, long> enclosed_and_edges(const Bitmap& mask, int sx, int sy)
{
    const int w = mask.width() + 2, h = mask.height() + 2; // a ring of outside all around
    const color_ns::Color c = mask.pixelAt(sx, sy);
    std::vector<char> region(std::size_t(w * h), 0), outside(std::size_t(w * h), 0);
    const auto at = [w](int x, int y) { return std::size_t(y * w + x); };
    const auto spread = [&](std::vector<char>& set, int x0, int y0, int reach, auto joins) {
        std::vector<std::pair<int, int>> todo{{x0, y0}};
        for (set[at(x0, y0)] = 1; !todo.empty();) {
            const auto [x, y] = todo.back();
            todo.pop_back();
            for (int n = 0; n < 9; ++n) {
                const int dx = n % 3 - 1, dy = n / 3 - 1, nx = x + dx, ny = y + dy;
                if (std::abs(dx) + std::abs(dy) <= reach && nx >= 0 && ny >= 0 && nx < w &&
                    ny < h && !set[at(nx, ny)] && joins(nx, ny))
                    set[at(nx, ny)] = 1, todo.push_back({nx, ny});
            }
        }
    };
    spread(region, sx + 1, sy + 1, 1, [&](int x, int y) {
        return x > 0 && y > 0 && x < w - 1 && y < h - 1 && mask.pixelAt(x - 1, y - 1) == c;
    });
    spread(outside, 0, 0, 2, [&](int x, int y) { return !region[at(x, y)]; });
    long enclosed = 0, edges = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            enclosed += !outside[at(x, y)];
            if (region[at(x, y)])
                edges += outside[at(x + 1, y)] + outside[at(x - 1, y)] + outside[at(x, y + 1)] +
                         outside[at(x, y - 1)];
        }
    return {enclosed, edges};
}

// A traced outline walks that boundary once, clockwise (twice its signed area is the enclosed
// count), one unit step at a time from the start's top-right corner.
void expect_outer_outline(const Bitmap& mask, int sx, int sy)
{
    SCOPED_TRACE(testing::Message() << "from " << sx << "," << sy << "\n"
                                    << rows_of(mask).join("\n").toStdString());
    const PointList p = trace(mask, {float(sx), float(sy)});
    const auto [enclosed, edges] = enclosed_and_edges(mask, sx, sy);
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.front(), (Point{float(sx + 1), float(sy)}));
    double twice_area = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        ASSERT_NE(dir(p, i), Direction::OTHER) << "step " << i;
        const Point a = p[i], b = p[(i + 1) % p.size()];
        twice_area += double(a.x) * b.y - double(b.x) * a.y;
    }
    EXPECT_EQ(long(p.size()), edges);
    EXPECT_EQ(twice_area, 2.0 * double(enclosed));
}

} // namespace

// Starts whose top-right corner is also a corner of another pixel of the region: the outline
// passes that vertex twice before it is back where it began. Then random masks, from the top
// of every column as the fill starts.
TEST(OutlineTracing, OuterBoundaryWalkedOnceAround)
{
    // clang-format off
    const std::pair<QStringList, std::pair<int, int>> pictures[] = {
        {{"..##", ".#.#", ".###"}, {1, 1}},
        {{".#.#.#", "#.#.#.", "######", "#.#.#.", ".#.#.#"}, {2, 1}},
        {{".......", ".#####.", ".#...#.", ".#...#.", ".####..", "......."}, {1, 1}},
        {{"#####", "#..##", "#...#", "#####"}, {1, 1}}, // a hole, traced clockwise like a region
    };
    // clang-format on
    for (const auto& [picture, start] : pictures)
        expect_outer_outline(*bitmap_from_rows(picture), start.first, start.second);
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        const int w = 3 + round % 40, h = 3 + round % 23;
        auto mask = Bitmap::create({float(w), float(h)});
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (rng() % 10 < (round % 3 ? 6u : 8u)) mask->setPixel(x, y, BLACK);
        for (int x = 0; x < w; ++x) {
            int y = 0;
            while (y < h && mask->pixelAt(x, y) != BLACK)
                ++y;
            if (y == h) continue;
            expect_outer_outline(*mask, x, y);
        }
    }
}

// A staircase with the region below it collapses to its six stairs and three outer corners.
TEST(OutlineTracing, SimplificationCutsInnerCorners)
{
    const auto steps =
        bitmap_from_rows({".....#", "....##", "...###", "..####", ".#####", "######"});
    PointList stairs = trace(*steps, {5, 0});
    simplify_points_on_outside(stairs);
    EXPECT_EQ(stairs,
              (PointList{{6, 0}, {6, 6}, {0, 6}, {0, 5}, {1, 4}, {2, 3}, {3, 2}, {4, 1}, {5, 0}}));
}
