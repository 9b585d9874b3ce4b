#include "outline_tracing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using color_ns::RED;
using Picture = std::vector<std::string>;

// '#' is a filled mask pixel, anything else transparent.
std::unique_ptr<Bitmap> mask_from(const Picture& rows)
{
    auto mask = Bitmap::create({float(rows[0].size()), float(rows.size())});
    mask->fill(color_ns::TRANSPARENT);
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            if (rows[y][x] == '#') mask->setPixel(int(x), int(y), RED);
    return mask;
}

PointList points(std::initializer_list<std::pair<int, int>> xy)
{
    PointList list;
    for (const auto& [x, y] : xy) list.push_back({float(x), float(y)});
    return list;
}

PointList trace(const Bitmap& mask, int x, int y)
{
    PointList outline;
    EXPECT_TRUE(clockwise_outline_from(mask, {float(x), float(y)}, outline));
    return outline;
}

// Twice the area enclosed, positive for an outline that runs clockwise on screen.
double twice_area(const PointList& p)
{
    double sum = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const Point a = p[i], b = p[(i + 1) % p.size()];
        sum += double(a.x) * b.y - double(b.x) * a.y;
    }
    return sum;
}

bool contains_point(const PointList& list, Point p)
{
    return std::find(list.begin(), list.end(), p) != list.end();
}

// What the outer boundary of the 4-connected region of (sx, sy) must be: the pixels it
// encloses (the region and its holes: everything that no path of other pixels, corners
// included, links to the space around the bitmap) and the number of unit edges between
// the region and that outside space.
struct ExpectedOutline {
    long enclosed = 0;
    long edges = 0;
};

ExpectedOutline expected_outline(const Bitmap& mask, int sx, int sy)
{
    // One pixel of outside all around, so the outside is one connected area.
    const int w = mask.width() + 2, h = mask.height() + 2;
    const color_ns::Color c = mask.pixelAt(sx, sy);
    std::vector<char> region(std::size_t(w * h), 0), outside(std::size_t(w * h), 0);
    std::vector<std::pair<int, int>> todo{{sx + 1, sy + 1}};
    region[std::size_t((sy + 1) * w + sx + 1)] = 1;
    const auto in_region = [&](int x, int y) {
        return x > 0 && y > 0 && x < w - 1 && y < h - 1 && mask.pixelAt(x - 1, y - 1) == c;
    };
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
            if (in_region(x + dx, y + dy) && !region[std::size_t((y + dy) * w + x + dx)]) {
                region[std::size_t((y + dy) * w + x + dx)] = 1;
                todo.push_back({x + dx, y + dy});
            }
    }
    todo = {{0, 0}};
    outside[0] = 1;
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                const std::size_t i = std::size_t(ny * w + nx);
                if (region[i] || outside[i]) continue;
                outside[i] = 1;
                todo.push_back({nx, ny});
            }
    }
    ExpectedOutline e;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = std::size_t(y * w + x);
            if (!outside[i]) ++e.enclosed;
            if (!region[i]) continue;
            for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
                if (outside[std::size_t((y + dy) * w + x + dx)]) ++e.edges;
        }
    return e;
}

// A traced outline walks that boundary once, clockwise, one unit step at a time.
void expect_outer_outline(const Bitmap& mask, int sx, int sy)
{
    SCOPED_TRACE(testing::Message() << "from " << sx << "," << sy);
    const PointList outline = trace(mask, sx, sy);
    const ExpectedOutline e = expected_outline(mask, sx, sy);
    ASSERT_FALSE(outline.empty());
    EXPECT_EQ(outline.front(), (Point{float(sx + 1), float(sy)}));
    for (std::size_t i = 0; i < outline.size(); ++i)
        ASSERT_NE(dir(outline, i), Direction::OTHER) << "step " << i;
    EXPECT_EQ(long(outline.size()), e.edges);
    EXPECT_EQ(twice_area(outline), 2.0 * double(e.enclosed));
}

// The simplification exactly as written: remove one point at a time from the list.
void simplify_reference(PointList& p)
{
    std::size_t i = 0;
    while (i < p.size() && p.size() >= 4) {
        const Direction d = dir(p, i);
        if (d == Direction::OTHER) {
            ++i;
            continue;
        }
        const Direction t = turn_left(d);
        const Direction e = dir(p, i + 1);
        if (e == Direction::OTHER) {
            ++i;
            continue;
        }
        std::size_t k = 0;
        if (e == t) {
            k = 1;
            while (dir(p, i + k + 1) == t) ++k;
        } else if (e == d) {
            k = 1;
            while (dir(p, i + k + 1) == d) ++k;
            if (dir(p, i + k + 1) == t) ++k;
        }
        if (k > 10) k = 5;
        for (; k > 0 && p.size() >= 4; --k) p.erase(p.begin() + std::ptrdiff_t((i + 1) % p.size()));
        ++i;
    }
}

// Each pixel filled with the given chance.
std::unique_ptr<Bitmap> random_mask(std::mt19937& rng, int w, int h, double chance)
{
    auto mask = Bitmap::create({float(w), float(h)});
    mask->fill(color_ns::TRANSPARENT);
    std::bernoulli_distribution filled(chance);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (filled(rng)) mask->setPixel(x, y, RED);
    return mask;
}

} // namespace

TEST(OutlineTracing, SmallRegionsTraceFromTheTopRightCornerOfTheStart)
{
    const auto single = mask_from({".....", "..#..", "....."});
    EXPECT_EQ(trace(*single, 2, 1), points({{3, 1}, {3, 2}, {2, 2}, {2, 1}}));

    const auto pair = mask_from({".....", ".##..", "....."});
    PointList outline = trace(*pair, 1, 1);
    EXPECT_EQ(outline, points({{2, 1}, {3, 1}, {3, 2}, {2, 2}, {1, 2}, {1, 1}}));
    simplify_points_on_outside(outline);
    EXPECT_EQ(outline, points({{3, 1}, {3, 2}, {1, 2}, {1, 1}}));

    // The bitmap's edges bound the region like any empty pixel.
    const auto whole = mask_from({"#"});
    EXPECT_EQ(trace(*whole, 0, 0), points({{1, 0}, {1, 1}, {0, 1}, {0, 0}}));
    // A start off the bitmap is moved onto its nearest pixel.
    EXPECT_EQ(trace(*whole, -5, 7), points({{1, 0}, {1, 1}, {0, 1}, {0, 0}}));
}

TEST(OutlineTracing, PixelsTouchingAtACornerAreSeparateRegions)
{
    const auto mask = mask_from({"....", ".#..", "..#.", "...."});
    EXPECT_EQ(trace(*mask, 1, 1), points({{2, 1}, {2, 2}, {1, 2}, {1, 1}}));
    EXPECT_EQ(trace(*mask, 2, 2), points({{3, 2}, {3, 3}, {2, 3}, {2, 2}}));
}

TEST(OutlineTracing, AStartVertexWhereTwoRegionPixelsTouchDoesNotCutTheOutlineShort)
{
    // The start pixel (1, 1) touches (2, 0) only at its top-right corner, the start vertex:
    // the outline passes that vertex twice before it is back where it began.
    const auto mask = mask_from({"..##", ".#.#", ".###"});
    const PointList outline = trace(*mask, 1, 1);
    EXPECT_EQ(std::count(outline.begin(), outline.end(), Point{2, 1}), 2);
    expect_outer_outline(*mask, 1, 1);

    const auto bays = mask_from({".#.#.#", "#.#.#.", "######", "#.#.#.", ".#.#.#"});
    expect_outer_outline(*bays, 0, 1);
    expect_outer_outline(*bays, 2, 1);
}

TEST(OutlineTracing, AnyRegionIsWalkedOnceAroundClockwise)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 60; ++round) {
        const auto mask = random_mask(rng, 2 + round % 13, 2 + round % 7, 0.55);
        // The topmost filled pixel of every column, as the fill tool starts.
        for (int x = 0; x < mask->width(); ++x)
            for (int y = 0; y < mask->height(); ++y)
                if (mask->pixelAt(x, y) == RED) {
                    expect_outer_outline(*mask, x, y);
                    break;
                }
    }
}

TEST(OutlineTracing, AStartWithItsOwnColourAboveIsRefused)
{
    const auto mask = mask_from({"##", "##"});
    PointList outline{{9, 9}};
    EXPECT_FALSE(clockwise_outline_from(*mask, {1, 1}, outline));
    EXPECT_EQ(outline.size(), 1u);
    const auto empty = Bitmap::create({0, 0});
    ASSERT_TRUE(empty);
    EXPECT_FALSE(clockwise_outline_from(*empty, {0, 0}, outline));
}

TEST(OutlineTracing, HolesAreFoundOnceEachAndTracedClockwise)
{
    const auto mask = mask_from({
        "..........",
        ".########.",
        ".#..#####.",
        ".#..#..##.",
        ".####..##.",
        ".########.",
        "..........",
    });
    PointList holes;
    const Rect region = make_rect(1, 1, 8, 5);
    find_holes_in_rect(*mask, region, holes);
    EXPECT_EQ(holes, points({{2, 2}, {5, 3}}));

    // Every transparent pixel of the searched box is marked, and nothing beyond it.
    const PixelSpan box = hole_search_box(*mask, region);
    EXPECT_EQ((std::vector{box.x0, box.y0, box.x1, box.y1}), (std::vector{0, 0, 9, 6}));
    for (int y = 0; y < mask->height(); ++y)
        for (int x = 0; x < mask->width(); ++x)
            if (mask->pixelAt(x, y) != RED) {
                EXPECT_EQ(mask->pixelAt(x, y), kHoleMarker) << x << "," << y;
            }

    const PointList first = trace(*mask, 2, 2);
    EXPECT_EQ(first, points({{3, 2}, {4, 2}, {4, 3}, {4, 4}, {3, 4}, {2, 4}, {2, 3}, {2, 2}}));
    EXPECT_GT(twice_area(first), 0);
    const PointList second = trace(*mask, 5, 3);
    EXPECT_EQ(twice_area(second), 2.0 * 4);
    EXPECT_EQ(second.front(), (Point{6, 3}));
}

TEST(OutlineTracing, BaysOpenTowardsAnySideAreNotHoles)
{
    // A U open upwards, a C open to the left, and both again against the bitmap's edges.
    const Picture u = {"........", ".##..##.", ".##..##.", ".######.", "........"};
    const Picture c = {"......", ".####.", "....#.", "....#.", ".####.", "......"};
    const Picture u_at_edge = {"##..##", "##..##", "######"};
    const Picture c_at_edge = {"####", "...#", "...#", "####"};
    const Picture right_edge = {"####", "#...", "#...", "####"};
    for (const Picture& picture : {u, c, u_at_edge, c_at_edge, right_edge}) {
        const auto mask = mask_from(picture);
        int x0 = mask->width(), y0 = mask->height(), x1 = -1, y1 = -1;
        for (int y = 0; y < mask->height(); ++y)
            for (int x = 0; x < mask->width(); ++x)
                if (mask->pixelAt(x, y) == RED) {
                    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
                }
        PointList holes;
        // The region's exact bounding box, as the fill hands it over.
        find_holes_in_rect(*mask, make_rect(float(x0), float(y0), float(x1 - x0 + 1), float(y1 - y0 + 1)), holes);
        EXPECT_TRUE(holes.empty()) << picture[1];
    }
}

TEST(OutlineTracing, SpaceLinkedToTheOutsideThroughACornerIsNoHole)
{
    // The space inside touches the outside at the corner (5, 5), where the tracer turns
    // away: it lies outside the region's outline, so it must not be cut out a second time.
    const auto mask = mask_from({
        ".......",
        ".#####.",
        ".#...#.",
        ".#...#.",
        ".#...#.",
        ".####..",
        ".......",
    });
    PointList holes;
    find_holes_in_rect(*mask, make_rect(1, 1, 5, 5), holes);
    EXPECT_TRUE(holes.empty());
    expect_outer_outline(*mask, 1, 1);

    // Closed at the corner, the same space is a hole.
    const auto closed = mask_from({".......", ".#####.", ".#...#.", ".#...#.", ".#...#.", ".#####.", "......."});
    find_holes_in_rect(*closed, make_rect(1, 1, 5, 5), holes);
    EXPECT_EQ(holes, points({{2, 2}}));
}

TEST(OutlineTracing, ExactFillTakesOnlyTheConnectedAreaInsideTheLimit)
{
    const auto mask = mask_from({
        "..#.....",
        "..#.....",
        "###.#...",
        "...#....",
        "........",
    });
    const color_ns::Color blue = color_ns::BLUE;
    flood_fill_at(*mask, {0, 0}, blue, make_rect(0, 0, 7, 4));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(mask->pixelAt(x, y), blue);
    EXPECT_EQ(mask->pixelAt(3, 0), color_ns::TRANSPARENT);

    // From the right-hand area: it flows around (4, 2) but stops at the limit's edges
    // (x from 3 to 6, y up to 3, both inclusive).
    flood_fill_at(*mask, {5, 1}, blue, make_rect(3, 0, 3, 3));
    EXPECT_EQ(mask->pixelAt(3, 0), blue);
    EXPECT_EQ(mask->pixelAt(6, 3), blue);
    EXPECT_EQ(mask->pixelAt(5, 3), blue);
    EXPECT_EQ(mask->pixelAt(7, 1), color_ns::TRANSPARENT);
    EXPECT_EQ(mask->pixelAt(4, 4), color_ns::TRANSPARENT);
    EXPECT_EQ(mask->pixelAt(2, 3), color_ns::TRANSPARENT);
    EXPECT_EQ(mask->pixelAt(4, 2), RED);

    // A start outside the limit fills nothing; a limit reaching past the bitmap is cut to it.
    flood_fill_at(*mask, {7, 1}, blue, make_rect(0, 0, 2, 2));
    EXPECT_EQ(mask->pixelAt(7, 1), color_ns::TRANSPARENT);
    flood_fill_at(*mask, {0, 4}, blue, make_rect(-50, -50, 1000, 1000));
    for (const Point p : {Point{0, 3}, Point{7, 4}, Point{7, 0}}) EXPECT_EQ(mask->pixelAt(int(p.x), int(p.y)), blue);
    EXPECT_EQ(mask->pixelAt(3, 3), RED);
}

TEST(OutlineTracing, SimplificationCutsConcaveCornersAndThinsStraightRuns)
{
    PointList few = points({{0, 0}, {1, 0}, {1, 1}});
    simplify_points_on_outside(few);
    EXPECT_EQ(few, points({{0, 0}, {1, 0}, {1, 1}}));

    // A staircase climbing to the right with the region below it.
    const auto stairs = mask_from({".....#", "....##", "...###", "..####", ".#####", "######"});
    PointList outline = trace(*stairs, 5, 0);
    simplify_points_on_outside(outline);
    for (int s = 0; s < 6; ++s) EXPECT_TRUE(contains_point(outline, {float(s), float(5 - s)})) << "stair " << s;
    for (int s = 0; s < 5; ++s)
        EXPECT_FALSE(contains_point(outline, {float(s + 1), float(5 - s)})) << "inner corner " << s;
    // The six stairs and the three outer corners.
    EXPECT_EQ(outline.size(), 6u + 3u);

    // A bar 20 pixels long keeps vertices along its long edges: a run of more than 10 points
    // loses only 5 of them at a time, so no gap is longer than 11.
    const auto bar = mask_from({"......................", ".####################.", "......................"});
    outline = trace(*bar, 1, 1);
    simplify_points_on_outside(outline);
    std::vector<float> top;
    for (const Point& p : outline)
        if (p.y == 1) top.push_back(p.x);
    std::sort(top.begin(), top.end());
    ASSERT_GE(top.size(), 4u);
    EXPECT_EQ(top.front(), 1);
    EXPECT_EQ(top.back(), 21);
    for (std::size_t i = 1; i < top.size(); ++i) EXPECT_LE(top[i] - top[i - 1], 11) << i;
    // Convex corners stay.
    for (const Point corner : {Point{1, 1}, Point{21, 1}, Point{21, 2}, Point{1, 2}})
        EXPECT_TRUE(contains_point(outline, corner));
}

TEST(OutlineTracing, SimplificationAgreesWithRemovingPointByPoint)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        const auto mask = random_mask(rng, 3 + round % 40, 3 + round % 23, round % 3 == 0 ? 0.8 : 0.6);
        for (int x = 0; x < mask->width(); ++x) {
            int y = 0;
            while (y < mask->height() && mask->pixelAt(x, y) != RED) ++y;
            if (y == mask->height()) continue;
            PointList fast = trace(*mask, x, y);
            PointList plain = fast;
            simplify_points_on_outside(fast);
            simplify_reference(plain);
            ASSERT_EQ(fast, plain) << "round " << round << " column " << x;
        }
    }
    // Straight runs longer than a whole lap of a small list.
    PointList square = points({{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}});
    PointList plain = square;
    simplify_points_on_outside(square);
    simplify_reference(plain);
    EXPECT_EQ(square, plain);
}
