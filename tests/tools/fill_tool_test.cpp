#include "fill_tool.h"

#include "region_fill.h"
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using color_ns::Color;
using color_ns::RED;
constexpr Color kWhite = color_ns::WHITE;
constexpr Color kBlack = color_ns::BLACK;

// A pixel grid of flags, row by row.
struct Grid {
    int width = 0;
    int height = 0;
    std::vector<char> on;

    Grid(int w, int h) : width(w), height(h), on(std::size_t(w * h), 0) {}
    bool at(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < width && y < height && on[std::size_t(y * width + x)];
    }
    void set(int x, int y) { on[std::size_t(y * width + x)] = 1; }
    long count() const { return long(std::count(on.begin(), on.end(), 1)); }
};

// Pixels (inclusive corners) of a bitmap painted in one colour.
void paint(Bitmap& bitmap, int x0, int y0, int x1, int y1, Color color)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) bitmap.setPixel(x, y, color);
}

// The area a fill must cover, found the slow way: every pixel joined to the start through
// its four neighbours whose colour is within the tolerance of the start's, then grown
// `steps` times by one pixel wherever a diagonal neighbour (not in the last row or column)
// is already covered.
Grid expected_region(const Bitmap& source, int sx, int sy, float tolerance, int steps)
{
    const int w = source.width(), h = source.height();
    Grid g(w, h);
    const Color start = source.pixelAt(sx, sy);
    std::vector<std::pair<int, int>> todo{{sx, sy}};
    g.set(sx, sy);
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            const int nx = x + dx, ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= w || ny >= h || g.at(nx, ny)) continue;
            if (color_ns::distance(source.pixelAt(nx, ny), start) > tolerance) continue;
            g.set(nx, ny);
            todo.push_back({nx, ny});
        }
    }
    for (int step = 0; step < steps; ++step) {
        Grid next = g;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (const auto& [dx, dy] : {std::pair{1, 1}, {-1, 1}, {1, -1}, {-1, -1}})
                    if (x + dx <= w - 2 && y + dy <= h - 2 && g.at(x + dx, y + dy)) next.set(x, y);
        g = next;
    }
    return g;
}

// The alpha of every pixel of the stroke drawn alone on a canvas like the given one.
std::vector<int> coverage(const Stroke& stroke, const PavoCanvas& like)
{
    auto canvas = PavoCanvas::create(like.size());
    canvas->setTransform(like.transform());
    stroke.drawInCanvas(*canvas);
    const Bitmap& drawn = canvas->drawBitmap();
    std::vector<int> alpha;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) alpha.push_back(color_ns::alpha(drawn.pixelAt(x, y)));
    return alpha;
}

bool all_transparent(const Bitmap& bitmap)
{
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            if (bitmap.pixelAt(x, y) != color_ns::TRANSPARENT) return false;
    return true;
}

// A drawing on its own canvas with a fill tool; the source picture is painted directly.
struct Scene {
    explicit Scene(Size size) : view(doc, size), tool(doc) { source().fill(kWhite); }

    Bitmap& source() { return view.canvas().drawBitmap(); }
    // A click: down and up, as the view sends them.
    void click(Point at, unsigned flags = 0)
    {
        const ToolEvent event{at, 1, flags};
        tool.toolDownEvent(event, view);
        tool.toolUpEvent(event);
    }
    StrokePtr lastStroke() const { return doc.list.lastStroke(); }

    TestToolDocument doc;
    TestToolView view;
    FillTool tool;
};

// Every pixel exactly as the region says: for regions whose outline has no inner corners
// to cut, the stroke covers whole pixels.
void expect_exactly(const std::vector<int>& alpha, const Grid& region)
{
    int wrong = 0;
    for (int y = 0; y < region.height; ++y)
        for (int x = 0; x < region.width; ++x) {
            const int a = alpha[std::size_t(y * region.width + x)];
            if (a != (region.at(x, y) ? 255 : 0) && ++wrong < 10) ADD_FAILURE() << x << "," << y << " alpha " << a;
        }
    EXPECT_EQ(wrong, 0);
}

// Where the outline may leave whole pixels: inside, every pixel whose eight neighbours
// are in the region too is covered; outside, every pixel with no neighbour in the region
// is untouched. Only the pixels along the edge may be cut diagonally.
void expect_covers(const std::vector<int>& alpha, const Grid& region)
{
    int wrong = 0;
    for (int y = 0; y < region.height; ++y)
        for (int x = 0; x < region.width; ++x) {
            int around = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) around += region.at(x + dx, y + dy) ? 1 : 0;
            const int a = alpha[std::size_t(y * region.width + x)];
            if (around == 9 && a != 255 && ++wrong < 10) ADD_FAILURE() << "uncovered " << x << "," << y;
            if (around == 0 && a != 0 && ++wrong < 10) ADD_FAILURE() << "covered " << x << "," << y;
        }
    EXPECT_EQ(wrong, 0);
}

} // namespace

TEST(FillTool, FillsTheEnclosedAreaAsOneUndoableStrokeWithHolesCutOut)
{
    Scene s({60, 40});
    // A frame with a square inside it.
    paint(s.source(), 10, 5, 40, 30, kBlack);
    paint(s.source(), 12, 7, 38, 28, kWhite);
    paint(s.source(), 20, 14, 25, 19, kBlack);
    // Below the square: the outline starts at the top of the click's column, across it.
    s.click({22.5f, 25.5f});

    ASSERT_EQ(s.doc.list.count(), 1);
    const StrokePtr stroke = s.lastStroke();
    EXPECT_EQ(stroke->color(), QColor(Qt::red));
    EXPECT_EQ(stroke->transferMode(), kModeNormal);
    EXPECT_EQ(stroke->opacity(), 1.0f);
    EXPECT_EQ(stroke->windingRule(), kEvenOdd);
    EXPECT_TRUE(all_transparent(s.view.canvas().strokeBitmap()));

    // The inside, grown by one pixel under the frame, with the square (shrunk by one) left out.
    const Grid region = expected_region(s.source(), 22, 25, 0.2f, 1);
    EXPECT_TRUE(region.at(11, 6) && region.at(39, 29) && !region.at(10, 6) && !region.at(22, 16));
    EXPECT_TRUE(region.at(20, 14) && !region.at(21, 15));
    expect_exactly(coverage(*stroke, s.view.canvas()), region);
    ASSERT_EQ(s.view.marked.size(), 1u);
    EXPECT_EQ(s.view.marked[0], make_rect(11, 6, 29, 24));

    s.doc.undo.undo();
    EXPECT_EQ(s.doc.list.count(), 0);
    s.doc.undo.redo();
    ASSERT_EQ(s.doc.list.count(), 1);
    EXPECT_EQ(s.lastStroke(), stroke);

    // The tool's settings go into the stroke.
    s.tool.setColor(Qt::blue);
    s.tool.setOpacity(0.5f);
    s.tool.setTransferMode(kModeMultiply);
    s.click({5, 5});
    ASSERT_EQ(s.doc.list.count(), 2);
    EXPECT_EQ(s.lastStroke()->color(), QColor(Qt::blue));
    EXPECT_EQ(s.lastStroke()->opacity(), 0.5f);
    EXPECT_EQ(s.lastStroke()->transferMode(), kModeMultiply);
}

TEST(FillTool, ThePathIsInDrawingCoordinates)
{
    Scene s({50, 30});
    ASSERT_TRUE(s.view.canvas().setTransform(AffineTransform::scaling(2, 2).after(AffineTransform::translation(3, 1))));
    paint(s.source(), 0, 0, 49, 29, kBlack);
    paint(s.source(), 10, 4, 29, 19, kWhite);
    s.tool.setExpand(0);
    s.click({15, 10});
    ASSERT_EQ(s.doc.list.count(), 1);
    const Rect bounds = s.lastStroke()->bounds();
    const Point low = s.view.canvas().bitmapPointToWorldPoint({10, 4});
    const Point high = s.view.canvas().bitmapPointToWorldPoint({30, 20});
    EXPECT_NEAR(bounds.minX(), std::min(low.x, high.x), 1e-4);
    EXPECT_NEAR(bounds.maxY(), std::max(low.y, high.y), 1e-4);
    expect_exactly(coverage(*s.lastStroke(), s.view.canvas()), expected_region(s.source(), 15, 10, 0.2f, 0));
}

TEST(FillToolFlood, ToleranceComparesEveryPixelWithTheClickedColour)
{
    auto mask = Bitmap::create({8, 3});
    auto source = Bitmap::create({8, 3});
    mask->fill(color_ns::TRANSPARENT);
    source->fill(kBlack);
    // Grey steps of 30, 21 and 1 from the start along the middle row.
    const int greys[] = {0, 30, 51, 52, 60, 90};
    for (int x = 0; x < 6; ++x) source->setPixel(x, 1, color_ns::make(greys[x], greys[x], greys[x], 255));
    // The top row differs in alpha by 51 (joins) and the bottom row by 52 (does not).
    paint(*source, 0, 0, 7, 0, color_ns::make(0, 0, 0, 204));
    paint(*source, 0, 2, 7, 2, color_ns::make(0, 0, 0, 203));
    paint(*source, 6, 1, 7, 1, kWhite);

    Rect r = flood_fill(*mask, *source, {0.9f, 1.7f}, RED, 0.2f);
    const auto filled = [&](int x, int y) { return mask->pixelAt(x, y) == RED; };
    // 0, 30 and 51 join; 52 does not, nor 60 beyond it though only 8 from its neighbour.
    EXPECT_TRUE(filled(0, 1) && filled(1, 1) && filled(2, 1));
    EXPECT_FALSE(filled(3, 1) || filled(4, 1) || filled(5, 1));
    EXPECT_TRUE(filled(0, 0) && filled(7, 0));
    EXPECT_FALSE(filled(0, 2));
    EXPECT_EQ(r, make_rect(0, 0, 8, 2));

    // With tolerance 0 only the exact colour joins, and a corner does not join.
    mask->fill(color_ns::TRANSPARENT);
    source->fill(kWhite);
    source->setPixel(1, 1, kBlack);
    source->setPixel(2, 2, kBlack);
    source->setPixel(2, 1, color_ns::make(1, 0, 0, 255));
    r = flood_fill(*mask, *source, {1, 1}, RED, 0);
    EXPECT_EQ(r, make_rect(1, 1, 1, 1));
    EXPECT_FALSE(filled(2, 2) || filled(2, 1));

    // NaN matches like 0, a huge tolerance takes everything, a negative one only the start.
    mask->fill(color_ns::TRANSPARENT);
    EXPECT_EQ(flood_fill(*mask, *source, {2, 2}, RED, std::nanf("")), make_rect(2, 2, 1, 1));
    mask->fill(color_ns::TRANSPARENT);
    EXPECT_EQ(flood_fill(*mask, *source, {2, 2}, RED, 1e30f), make_rect(0, 0, 8, 3));
    mask->fill(color_ns::TRANSPARENT);
    EXPECT_EQ(flood_fill(*mask, *source, {0, 0}, RED, -1), make_rect(0, 0, 1, 1));
}

TEST(FillToolFlood, SweepsFindTheConnectedAreaOnRandomPictures)
{
    std::mt19937 rng(3);
    for (int round = 0; round < 200; ++round) {
        const int w = 1 + round % 37, h = 1 + round % 23;
        auto mask = Bitmap::create({float(w), float(h)});
        auto source = Bitmap::create({float(w), float(h)});
        mask->fill(color_ns::TRANSPARENT);
        // Few, close colours, so that tolerances matter and spirals form.
        std::uniform_int_distribution<int> level(0, 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int v = level(rng) * 40;
                source->setPixel(x, y, color_ns::make(v, v, v, 255));
            }
        const int sx = int(rng() % unsigned(w)), sy = int(rng() % unsigned(h));
        const float tolerance = round % 2 ? 0.0f : 0.2f;
        const Rect r = flood_fill(*mask, *source, {float(sx), float(sy)}, RED, tolerance);
        const Grid expected = expected_region(*source, sx, sy, tolerance, 0);
        int x0 = w, y0 = h, x1 = -1, y1 = -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(mask->pixelAt(x, y) == RED, expected.at(x, y)) << "round " << round << " at " << x << "," << y;
                if (expected.at(x, y)) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
        EXPECT_EQ(r, make_rect(float(x0), float(y0), float(x1 - x0 + 1), float(y1 - y0 + 1)));
    }
}

TEST(FillToolGrowth, DiagonalNeighboursGrowTheMaskOneStepAtATime)
{
    auto mask = Bitmap::create({6, 5});
    mask->fill(color_ns::TRANSPARENT);
    mask->setPixel(2, 2, RED);
    // Only the last column's pixel: the last column is never consulted.
    mask->setPixel(5, 0, RED);
    expand_step(*mask, make_rect(0, 0, 6, 5), RED);
    for (const auto& [x, y] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}}) EXPECT_EQ(mask->pixelAt(x, y), RED);
    for (const auto& [x, y] : {std::pair{2, 1}, {1, 2}, {4, 1}, {0, 0}}) EXPECT_EQ(mask->pixelAt(x, y), 0u);

    // A growth limited to a rectangle looks one pixel beyond its low edges and two beyond
    // its high ones, no further: inside a frame, only the corners within reach grow.
    auto framed = Bitmap::create({8, 8});
    framed->fill(color_ns::TRANSPARENT);
    paint(*framed, 0, 0, 6, 6, RED);
    paint(*framed, 1, 1, 5, 5, color_ns::TRANSPARENT);
    expand_step(*framed, make_rect(3, 3, 0, 0), RED);
    for (const auto& [x, y] : {std::pair{5, 5}, {2, 5}, {5, 2}}) EXPECT_EQ(framed->pixelAt(x, y), RED) << x << "," << y;
    for (const auto& [x, y] : {std::pair{1, 1}, {1, 5}, {5, 1}, {3, 3}}) EXPECT_EQ(framed->pixelAt(x, y), 0u) << x << "," << y;
}

TEST(FillToolGrowth, FastGrowthMatchesRepeatedSteps)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 400; ++round) {
        const int w = 1 + round % 19, h = 1 + round % 13;
        auto fast = Bitmap::create({float(w), float(h)});
        auto plain = Bitmap::create({float(w), float(h)});
        fast->fill(color_ns::TRANSPARENT);
        std::bernoulli_distribution on(round % 4 == 0 ? 0.02 : 0.15);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (on(rng)) fast->setPixel(x, y, RED);
        fast->copyRect(make_rect(0, 0, float(w), float(h)), *plain);
        const float rx = float(int(rng() % unsigned(w + 4)) - 2), ry = float(int(rng() % unsigned(h + 4)) - 2);
        const Rect r = make_rect(rx, ry, float(rng() % unsigned(w + 1)), float(rng() % unsigned(h + 1)));
        const int steps = round % 7;
        grow_mask(*fast, r, steps, RED);
        for (int i = 0; i < steps; ++i) expand_step(*plain, r, RED);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(fast->pixelAt(x, y), plain->pixelAt(x, y)) << "round " << round << " at " << x << "," << y;
    }
}

TEST(FillTool, AFillReachingTheEdgesFollowsThem)
{
    Scene s({40, 30});
    paint(s.source(), 15, 10, 24, 19, kBlack);
    s.click({2, 2});
    ASSERT_EQ(s.doc.list.count(), 1);
    EXPECT_EQ(s.lastStroke()->bounds(), make_rect(0, 0, 40, 30));
    EXPECT_EQ(s.view.marked.back(), make_rect(0, 0, 40, 30));
    const Grid region = expected_region(s.source(), 2, 2, 0.2f, 1);
    EXPECT_EQ(region.count(), 40 * 30 - 8 * 8);
    expect_exactly(coverage(*s.lastStroke(), s.view.canvas()), region);
    EXPECT_TRUE(all_transparent(s.view.canvas().strokeBitmap()));

    // An area touching every edge with a square notch in each edge: the notches open
    // towards the canvas's edges and stay unfilled.
    Scene n({40, 30});
    paint(n.source(), 18, 0, 21, 4, kBlack);
    paint(n.source(), 18, 25, 21, 29, kBlack);
    paint(n.source(), 0, 13, 4, 16, kBlack);
    paint(n.source(), 35, 13, 39, 16, kBlack);
    n.tool.setExpand(0);
    n.click({10, 10});
    ASSERT_EQ(n.doc.list.count(), 1);
    expect_covers(coverage(*n.lastStroke(), n.view.canvas()), expected_region(n.source(), 10, 10, 0.2f, 0));
    EXPECT_TRUE(all_transparent(n.view.canvas().strokeBitmap()));
}

TEST(FillTool, BaysOfTheFilledAreaStayUnfilled)
{
    // White shapes on black: a U open upwards, a C open to the left against the canvas's
    // edge, and a U open upwards against the top edge.
    struct Shape {
        int x0, y0, x1, y1;   // the shape's box
        int bx0, by0, bx1, by1; // the bay cut out of it
    };
    const Shape shapes[] = {{5, 5, 25, 25, 10, 5, 20, 20}, {0, 3, 20, 23, 0, 8, 15, 18}, {4, 0, 24, 20, 9, 0, 19, 15}};
    for (const Shape& shape : shapes) {
        for (const int expand : {0, 1}) {
            Scene s({32, 28});
            s.source().fill(kBlack);
            paint(s.source(), shape.x0, shape.y0, shape.x1, shape.y1, kWhite);
            paint(s.source(), shape.bx0, shape.by0, shape.bx1, shape.by1, kBlack);
            s.tool.setExpand(expand);
            s.click({float(shape.x1), float(shape.y1)});
            ASSERT_EQ(s.doc.list.count(), 1);
            const std::vector<int> alpha = coverage(*s.lastStroke(), s.view.canvas());
            EXPECT_EQ(alpha[std::size_t(((shape.by0 + shape.by1) / 2) * 32 + (shape.bx0 + shape.bx1) / 2)], 0)
                << "bay of the shape at " << shape.x0 << "," << shape.y0 << " expand " << expand;
            expect_covers(alpha, expected_region(s.source(), shape.x1, shape.y1, 0.2f, expand));
        }
    }
}

TEST(FillTool, OutlinesMeetingThemselvesAtACornerAreWhole)
{
    // Expand 0 keeps the corners where the area touches itself diagonally.
    // The click's column starts the outline at (1, 1), whose top-right corner is also the
    // bottom-left corner of (2, 0): every pixel of the area must still be inside it.
    Scene s({6, 5});
    s.source().fill(kBlack);
    for (const auto& [x, y] : {std::pair{2, 0}, {3, 0}, {1, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}})
        s.source().setPixel(x, y, kWhite);
    s.tool.setExpand(0);
    s.click({1.5f, 2.5f});
    ASSERT_EQ(s.doc.list.count(), 1);
    for (const auto& [x, y] : {std::pair{2, 0}, {3, 0}, {1, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}})
        EXPECT_TRUE(s.lastStroke()->contains({float(x) + 0.5f, float(y) + 0.5f})) << x << "," << y;
    EXPECT_TRUE(all_transparent(s.view.canvas().strokeBitmap()));

    // A ring open at one corner: the space inside is outside the area's outline, and must
    // not come back as a hole that the even-odd rule would fill.
    Scene r({9, 9});
    r.source().fill(kBlack);
    paint(r.source(), 1, 1, 7, 7, kWhite);
    paint(r.source(), 2, 2, 6, 6, kBlack);
    r.source().setPixel(7, 7, kBlack);
    r.tool.setExpand(0);
    r.click({1, 1});
    ASSERT_EQ(r.doc.list.count(), 1);
    const std::vector<int> alpha = coverage(*r.lastStroke(), r.view.canvas());
    EXPECT_EQ(alpha[4 * 9 + 4], 0);
    expect_covers(alpha, expected_region(r.source(), 1, 1, 0.2f, 0));
}

TEST(FillTool, ClicksOnOrBeyondTheEdgeFillFromTheNearestPixel)
{
    const Point clicks[] = {{-30, -30}, {40, 30}, {39.99f, 0}, {1e30f, 5}, {-INFINITY, 29}, {5, INFINITY}};
    for (const Point at : clicks) {
        Scene s({40, 30});
        // Left half white, right half black, so the nearest pixel decides what is filled.
        paint(s.source(), 20, 0, 39, 29, kBlack);
        s.tool.setExpand(0);
        s.click(at);
        ASSERT_EQ(s.doc.list.count(), 1) << at.x << "," << at.y;
        const int x = at.x < 0 ? 0 : std::min(int(std::min(at.x, 1e6f)), 39);
        const int y = at.y < 0 ? 0 : std::min(int(std::min(at.y, 1e6f)), 29);
        expect_exactly(coverage(*s.lastStroke(), s.view.canvas()), expected_region(s.source(), x, y, 0.2f, 0));
        EXPECT_TRUE(all_transparent(s.view.canvas().strokeBitmap()));
    }
    // A point that is not a number fills nothing.
    Scene s({40, 30});
    s.click({std::nanf(""), 3});
    s.click({3, std::nanf("")}, kOptionKey);
    EXPECT_EQ(s.doc.list.count(), 0);
    EXPECT_FALSE(s.doc.toolColor.isValid());
}

TEST(FillTool, AnySettingIsSafe)
{
    const auto fill_with = [](int expand, float tolerance, Size size = {30, 20}) {
        Scene s(size);
        if (size.width > 10) paint(s.source(), 10, 5, 19, 14, kBlack);
        s.tool.setExpand(expand);
        s.tool.setTolerance(tolerance);
        s.click({12, 7});
        EXPECT_TRUE(all_transparent(s.view.canvas().strokeBitmap()));
        EXPECT_EQ(s.doc.list.count(), 1);
        return s.doc.list.count() ? coverage(*s.lastStroke(), s.view.canvas()) : std::vector<int>{};
    };
    const auto covered = [](const std::vector<int>& alpha) { return std::count(alpha.begin(), alpha.end(), 255); };

    // A negative expand grows nothing, like 0; one beyond the canvas's size, or the largest
    // there is, covers the whole canvas.
    EXPECT_EQ(covered(fill_with(-5, 0.2f)), 100);
    EXPECT_EQ(covered(fill_with(0, 0.2f)), 100);
    EXPECT_EQ(covered(fill_with(1000, 0.2f)), 600);
    EXPECT_EQ(covered(fill_with(INT_MAX, 0.2f)), 600);
    // NaN matches only the same colour, an infinite tolerance everything, a negative one only
    // the clicked pixel.
    EXPECT_EQ(covered(fill_with(0, std::nanf(""))), 100);
    EXPECT_EQ(covered(fill_with(0, INFINITY)), 600);
    EXPECT_EQ(covered(fill_with(0, -1)), 1);
    // A canvas of one pixel.
    EXPECT_EQ(covered(fill_with(3, 0.2f, {1, 1})), 1);
    EXPECT_EQ(covered(fill_with(0, 0.2f, {1, 7})), 7);
}

TEST(FillTool, OptionClickPicksTheColourUnderThePointer)
{
    Scene s({20, 10});
    s.view.background = Qt::yellow;
    Bitmap& shown = s.view.canvas().previewBitmap();
    shown.fill(color_ns::TRANSPARENT);
    shown.setPixel(4, 3, 0x336699FFu);
    shown.setPixel(0, 3, color_ns::GREEN);
    s.click({4.5f, 3.5f}, kOptionKey);
    EXPECT_EQ(s.doc.toolColor.red(), 0x33);
    EXPECT_EQ(s.doc.toolColor.green(), 0x66);
    EXPECT_EQ(s.doc.toolColor.blue(), 0x99);
    EXPECT_EQ(s.doc.toolColor.alpha(), 255);
    // The option key was down at the click, so the picker cursor shows.
    EXPECT_EQ(s.tool.toolCursor().hotSpot, kColorPickerCursor.hotSpot);

    s.click({8, 8}, kOptionKey);
    EXPECT_EQ(s.doc.toolColor, QColor(Qt::yellow));
    // Beyond the edge, the nearest pixel.
    s.click({-7, 3}, kOptionKey | kShiftKey);
    EXPECT_EQ(s.doc.toolColor, QColor(Qt::green));
    s.click({4, -100}, kOptionKey);
    EXPECT_EQ(s.doc.toolColor, QColor(Qt::yellow));
    EXPECT_EQ(s.doc.list.count(), 0);
    EXPECT_TRUE(all_transparent(s.view.canvas().strokeBitmap()));

    // A plain click fills again.
    s.click({8, 8});
    EXPECT_EQ(s.doc.list.count(), 1);
    EXPECT_EQ(s.tool.toolCursor().hotSpot, kFillCursor.hotSpot);
}

TEST(FillTool, TheCursorFollowsTheOptionKey)
{
    TestToolDocument doc;
    FillTool tool(doc);
    EXPECT_EQ(tool.toolCursor().shape, ToolCursor::Shape::Image);
    EXPECT_EQ(tool.toolCursor().hotSpot, kFillCursor.hotSpot);

    tool.toolFlagsChanged({{}, 1, kOptionKey});
    EXPECT_EQ(doc.cursorRefreshes, 1);
    EXPECT_EQ(tool.toolCursor().shape, ToolCursor::Shape::Image);
    EXPECT_EQ(tool.toolCursor().hotSpot, kColorPickerCursor.hotSpot);

    tool.toolFlagsChanged({{}, 1, kShiftKey});
    EXPECT_EQ(doc.cursorRefreshes, 2);
    EXPECT_EQ(tool.toolCursor().hotSpot, kFillCursor.hotSpot);

    // Becoming the current tool forgets a key seen earlier.
    tool.toolFlagsChanged({{}, 1, kOptionKey});
    tool.toolActivate();
    EXPECT_EQ(tool.toolCursor().hotSpot, kFillCursor.hotSpot);
}

TEST(FillTool, RandomPicturesFillTheirRegion)
{
    std::mt19937 rng(9);
    for (int round = 0; round < 60; ++round) {
        const int w = 8 + round % 29, h = 6 + round % 17;
        Scene s({float(w), float(h)});
        // Blocks of a few colours, some of them within the default tolerance of each other.
        const Color colours[] = {kWhite, kBlack, color_ns::make(230, 230, 230, 255), color_ns::TRANSPARENT};
        const int block = 1 + round % 3;
        for (int y = 0; y < h; y += block)
            for (int x = 0; x < w; x += block)
                paint(s.source(), x, y, std::min(x + block, w) - 1, std::min(y + block, h) - 1, colours[rng() % 4]);
        const int sx = int(rng() % unsigned(w)), sy = int(rng() % unsigned(h));
        const int expand = round % 3;
        const float tolerance = round % 2 ? 0.0f : 0.2f;
        s.tool.setExpand(expand);
        s.tool.setTolerance(tolerance);
        s.click({float(sx) + 0.5f, float(sy) + 0.5f});
        SCOPED_TRACE(testing::Message() << "round " << round);
        ASSERT_EQ(s.doc.list.count(), 1);
        EXPECT_TRUE(all_transparent(s.view.canvas().strokeBitmap()));
        expect_covers(coverage(*s.lastStroke(), s.view.canvas()), expected_region(s.source(), sx, sy, tolerance, expand));
    }
}
