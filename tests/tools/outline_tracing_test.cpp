#include "outline_tracing.h"
#include "pictures.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

using color_ns::BLACK;
using color_ns::BLUE;

PointList points(std::initializer_list<std::pair<int, int>> xy)
{
    PointList list;
    for (const auto& [x, y] : xy)
        list.push_back({float(x), float(y)});
    return list;
}

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
        set[at(x0, y0)] = 1;
        while (!todo.empty()) {
            const auto [x, y] = todo.back();
            todo.pop_back();
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (std::abs(dx) + std::abs(dy) > reach || nx < 0 || ny < 0 || nx >= w ||
                        ny >= h || set[at(nx, ny)] || !joins(nx, ny))
                        continue;
                    set[at(nx, ny)] = 1;
                    todo.push_back({nx, ny});
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

// The simplification done the plain way: one point removed at a time from the list.
void simplify_reference(PointList& p)
{
    for (std::size_t i = 0; i < p.size() && p.size() >= 4; ++i) {
        const Direction d = dir(p, i), t = turn_left(d), e = dir(p, i + 1);
        if (d == Direction::OTHER || e == Direction::OTHER) continue;
        std::size_t k = 0;
        if (e == t) {
            for (k = 1; dir(p, i + k + 1) == t;)
                ++k;
        } else if (e == d) {
            for (k = 1; dir(p, i + k + 1) == d;)
                ++k;
            if (dir(p, i + k + 1) == t) ++k;
        }
        if (k > 10) k = 5;
        for (; k > 0 && p.size() >= 4; --k)
            p.erase(p.begin() + std::ptrdiff_t((i + 1) % p.size()));
    }
}

} // namespace

TEST(OutlineTracing, SmallRegionsTraceFromTheTopRightCornerOfTheStart)
{
    // clang-format off
    const std::tuple<QStringList, Point, PointList> rows[] = {
        {{".....", ".##..", "....."}, {1, 1}, points({{2, 1}, {3, 1}, {3, 2}, {2, 2}, {1, 2}, {1, 1}})},
        {{"#"}, {-5, 7}, points({{1, 0}, {1, 1}, {0, 1}, {0, 0}})}, // a start off the bitmap moves on
        // Pixels touching only at a corner are separate regions.
        {{"....", ".#..", "..#.", "...."}, {2, 2}, points({{3, 2}, {3, 3}, {2, 3}, {2, 2}})},
        // A hole, traced clockwise like a region.
        {{"#####", "#..##", "#...#", "#####"}, {1, 1}, points({{2, 1}, {3, 1}, {3, 2}, {4, 2}, {4, 3}, {3, 3}, {2, 3}, {1, 3}, {1, 2}, {1, 1}})},
    };
    // clang-format on
    for (const auto& [picture, start, want] : rows)
        EXPECT_EQ(trace(*bitmap_from_rows(picture), start), want)
            << picture.join("/").toStdString();
    // Refused: a start with its own colour above, an empty bitmap.
    PointList outline{{9, 9}};
    EXPECT_FALSE(clockwise_outline_from(*bitmap_from_rows({"##", "##"}), {1, 1}, outline));
    EXPECT_FALSE(clockwise_outline_from(*Bitmap::create({0, 0}), {0, 0}, outline));
    EXPECT_EQ(outline, points({{9, 9}}));
}

// Starts whose top-right corner is also a corner of another pixel of the region: the outline
// passes that vertex twice before it is back where it began. Then random masks, from the top
// of every column as the fill starts: the whole boundary, and the simplification the same as
// removing point by point.
TEST(OutlineTracing, OuterBoundaryWalkedOnceAround)
{
    // clang-format off
    const std::pair<QStringList, std::pair<int, int>> pictures[] = {
        {{"..##", ".#.#", ".###"}, {1, 1}},
        {{".#.#.#", "#.#.#.", "######", "#.#.#.", ".#.#.#"}, {2, 1}},
        {{".......", ".#####.", ".#...#.", ".#...#.", ".####..", "......."}, {1, 1}},
    };
    // clang-format on
    for (const auto& [picture, start] : pictures)
        expect_outer_outline(*bitmap_from_rows(picture), start.first, start.second);
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        const int w = 3 + round % 40, h = 3 + round % 23;
        auto mask = Bitmap::create({float(w), float(h)});
        std::bernoulli_distribution filled(round % 3 ? 0.6 : 0.8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (filled(rng)) mask->setPixel(x, y, BLACK);
        for (int x = 0; x < w; ++x) {
            int y = 0;
            while (y < h && mask->pixelAt(x, y) != BLACK)
                ++y;
            if (y == h) continue;
            expect_outer_outline(*mask, x, y);
            PointList fast = trace(*mask, {float(x), float(y)}), plain = fast;
            simplify_points_on_outside(fast);
            simplify_reference(plain);
            ASSERT_EQ(fast, plain) << "round " << round;
        }
    }
}

TEST(OutlineTracing, HolesAreFoundOnceEachButBaysAndCornerLinkedSpaceAreNot)
{
    // clang-format off
    const std::pair<QStringList, PointList> rows[] = {
        {{"..........", ".########.", ".#..#####.", ".#..#..##.", ".####..##.", ".########.", ".........."}, points({{2, 2}, {5, 3}})},
        {{".......", ".#####.", ".#...#.", ".#...#.", ".#...#.", ".#####.", "......."}, points({{2, 2}})},
        // Open at the corner (5, 5), where the tracer turns away: outside the outline.
        {{".......", ".#####.", ".#...#.", ".#...#.", ".#...#.", ".####..", "......."}, {}},
        // Bays open up, left, and the same against the bitmap's edges.
        {{"........", ".##..##.", ".##..##.", ".######.", "........"}, {}},
        {{"......", ".####.", "....#.", "....#.", ".####.", "......"}, {}},
        {{"##..##", "##..##", "######"}, {}},
        {{"####", "...#", "...#", "####"}, {}},
        {{"####", "#...", "#...", "####"}, {}},
    };
    // clang-format on
    for (const auto& [picture, want] : rows) {
        const auto mask = bitmap_from_rows(picture);
        const Rect region = filled_bounds(*mask); // the region's exact box, as the fill gives it
        PointList holes;
        find_holes_in_rect(*mask, region, holes);
        EXPECT_EQ(holes, want) << picture.join("/").toStdString();
        // Every transparent pixel of the searched box is marked, and nothing beyond it.
        const PixelSpan box = hole_search_box(*mask, region);
        for (int y = 0; y < mask->height(); ++y)
            for (int x = 0; x < mask->width(); ++x) {
                const bool in_box = x >= box.x0 && x <= box.x1 && y >= box.y0 && y <= box.y1;
                const color_ns::Color pixel = mask->pixelAt(x, y);
                ASSERT_EQ(pixel, pixel == BLACK ? BLACK
                                 : in_box       ? kHoleMarker
                                                : 0)
                    << x << "," << y;
            }
    }
}

TEST(OutlineTracing, ExactFillTakesOnlyTheConnectedAreaInsideTheLimit)
{
    const QStringList picture = {"..#.....", "..#.....", "###.#...", "...#....", "........"};
    // clang-format off
    const std::tuple<Point, Rect, QStringList> rows[] = {
        {{0, 0}, make_rect(0, 0, 7, 4), {"oo#.....", "oo#.....", "###.#...", "...#....", "........"}},
        // Around (4, 2), but no further than the limit's edges (both inclusive).
        {{5, 1}, make_rect(3, 0, 3, 3), {"..#oooo.", "..#oooo.", "###o#oo.", "...#ooo.", "........"}},
        {{7, 1}, make_rect(0, 0, 2, 2), picture}, // a start outside the limit
        {{0, 4}, make_rect(-50, -50, 1000, 1000), {"..#ooooo", "..#ooooo", "###o#ooo", "ooo#oooo", "oooooooo"}},
    };
    // clang-format on
    for (const auto& [start, limit, want] : rows) {
        auto mask = bitmap_from_rows(picture);
        flood_fill_at(*mask, start, BLUE, limit);
        EXPECT_EQ(largest_difference(mask->image(), bitmap_from_rows(want, {{'o', BLUE}})->image()),
                  0)
            << "from " << start.x << "," << start.y;
    }
}

// The plain reference, which the random masks hold the fast one to, on a known shape.
TEST(OutlineTracing, SimplificationCutsInnerCorners)
{
    PointList few = points({{0, 0}, {1, 0}, {1, 1}});
    simplify_points_on_outside(few);
    EXPECT_EQ(few, points({{0, 0}, {1, 0}, {1, 1}}));
    // A staircase with the region below it collapses to its six stairs and three outer corners.
    const auto steps =
        bitmap_from_rows({".....#", "....##", "...###", "..####", ".#####", "######"});
    PointList stairs = trace(*steps, {5, 0});
    simplify_points_on_outside(stairs);
    EXPECT_EQ(stairs,
              points({{6, 0}, {6, 6}, {0, 6}, {0, 5}, {1, 4}, {2, 3}, {3, 2}, {4, 1}, {5, 0}}));
    // A straight run longer than a whole lap of a small list.
    PointList square = points({{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}});
    PointList plain = square;
    simplify_points_on_outside(square);
    simplify_reference(plain);
    EXPECT_EQ(square, plain);
}
