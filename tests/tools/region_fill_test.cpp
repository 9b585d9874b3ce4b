// Filling: the flood and its growth against slow references, the outline a fill covers,
// closing gaps, and the fill tool that turns a click into one stroke.

#include "fakes.h"
#include "fill_tool.h"
#include "gap_closing.h"
#include "pictures.h"
#include "region_fill.h"
#include "rows.h"

#include <QPainterPath>
#include <algorithm>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace color_ns;

namespace {

constexpr float kNaN = NAN, kInf = INFINITY;

// Greys and translucent blacks at known distances (in 255ths) from black.
const PictureKey kKey = {
    {'1', make(30, 30, 30, 255)}, {'2', make(51, 51, 51, 255)}, {'3', make(52, 52, 52, 255)},
    {'4', make(60, 60, 60, 255)}, {'5', make(90, 90, 90, 255)}, {'t', make(0, 0, 0, 204)},
    {'b', make(0, 0, 0, 203)},    {'x', make(1, 0, 0, 255)},    {'w', WHITE}};

// The slow flood: every pixel joined to the start through its four neighbours whose colour
// lies within the tolerance of the start's (NaN counting as 0).
std::unique_ptr<Bitmap> slow_flood(const Bitmap& source, int sx, int sy, float tolerance)
{
    auto mask = Bitmap::create(source.size());
    const float limit = std::isnan(tolerance) ? 0 : tolerance;
    std::vector<std::pair<int, int>> todo{{sx, sy}};
    mask->setPixel(sx, sy, BLACK);
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        for (const auto& [nx, ny] : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}})
            if (nx >= 0 && ny >= 0 && nx < source.width() && ny < source.height() &&
                !mask->pixelAt(nx, ny) &&
                distance(source.pixelAt(nx, ny), source.pixelAt(sx, sy)) <= limit)
                mask->setPixel(nx, ny, BLACK), todo.push_back({nx, ny});
    }
    return mask;
}

// Shows a picture on a canvas under a view transformation and fills at a view point. The
// area a whole fill must cover is the slow flood grown step by step (past width + height
// steps the growth changes nothing). Pixels whose whole neighbourhood (within the bitmap) is
// in that area must be inside the fill's path and its reported area, pixels with no
// neighbour in it outside; only pixels along the edges may be cut diagonally by the
// simplified outline. The mask is left clear.
void expect_fill_covers(const Bitmap& picture, Point click, float tolerance, int expand,
                        const AffineTransform& t = {})
{
    const int sx = int(std::clamp(click.x, 0.0f, picture.size().width - 1));
    const int sy = int(std::clamp(click.y, 0.0f, picture.size().height - 1));
    auto canvas = PavoCanvas::create(picture.size());
    ASSERT_TRUE(canvas->setTransform(t));
    const Rect all = make_rect(0, 0, picture.size().width, picture.size().height);
    picture.copyRect(all, canvas->drawBitmap());
    const auto fill = fill_outline_at(*canvas, click, tolerance, expand);
    ASSERT_TRUE(fill);
    auto area = slow_flood(picture, sx, sy, tolerance);
    for (int i = std::clamp(expand, 0, area->width() + area->height()); i > 0; --i)
        expand_step(*area, all, BLACK);
    const QImage clear = Bitmap::create(picture.size())->image();
    EXPECT_EQ(largest_difference(canvas->strokeBitmap().image(), clear), 0);
    const QPainterPath path = fill->path.toQPainterPath();
    const PixelSpan reach = area->span(fill->area);
    int wrong = 0;
    for (int y = 0; y < area->height(); ++y)
        for (int x = 0; x < area->width(); ++x) {
            int near = 0, there = 0;
            for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, area->height() - 1); ++ny)
                for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, area->width() - 1); ++nx)
                    ++there, near += area->pixelAt(nx, ny) != TRANSPARENT;
            const Point p = canvas->bitmapPointToWorldPoint({float(x) + 0.5f, float(y) + 0.5f});
            const bool in = path.contains(QPointF(p.x, p.y));
            const bool reached = x >= reach.x0 && x <= reach.x1 && y >= reach.y0 && y <= reach.y1;
            if (((near == there && !in) || (near == 0 && in) ||
                 (area->pixelAt(x, y) && !reached)) &&
                ++wrong <= 5)
                ADD_FAILURE() << (in ? "covered " : "uncovered ") << x << "," << y
                              << (reached ? "" : " beyond the area");
        }
    EXPECT_EQ(wrong, 0) << "area\n" << rows_of(*area).join("\n").toStdString();
}

} // namespace

TEST(RegionFill, FloodComparesEveryPixelWithTheClickedColour)
{
    // clang-format off
    const std::tuple<QStringList, Point, float, QStringList> rows[] = {
        // 0, 30 and 51 join; 52 does not, nor 60 beyond it though only 8 from its neighbour.
        // The row above differs in alpha by 51 and joins, the row below by 52.
        {{"tttttttt", "#12345ww", "bbbbbbbb"}, {0.9f, 1.7f}, 0.2f, {"########", "###.....", "........"}},
        // Only the exact colour at tolerance 0 or NaN, and never through a corner.
        {{"w#x", "ww#"}, {1, 0}, 0, {".#.", "..."}},
        {{"##x", "ww#"}, {1, 0}, kNaN, {"##.", "..."}},
        {{"##x", "ww#"}, {1, 0}, 1e30f, {"###", "###"}},
    };
    // clang-format on
    for (const auto& [picture, click, tolerance, want] : rows) {
        const auto source = bitmap_from_rows(picture, kKey);
        auto mask = Bitmap::create(source->size());
        const Rect found = flood_fill(*mask, *source, click, RED, tolerance);
        EXPECT_EQ(rows_of(*mask), want) << picture.join("/").toStdString();
        EXPECT_EQ(found, filled_bounds(*mask));
    }
}

// A pixel grows where a diagonal neighbour is filled, unless that neighbour is in the last
// row or column; a step limited to a rectangle looks one pixel beyond its low edges and two
// beyond its high ones. The fast growth is held to repeated steps on random masks.
TEST(RegionFill, GrowthTakesTheDiagonalsWithinItsRange)
{
    // clang-format off
    const std::tuple<QStringList, Rect, QStringList> rows[] = {
        {{".....#", "......", "..#...", "......", "......"}, make_rect(0, 0, 6, 5), {".....#", ".#.#..", "..#...", ".#.#..", "......"}},
        {{"#######.", "#.....#.", "#.....#.", "#.....#.", "#.....#.", "#.....#.", "#######.", "........"}, make_rect(3, 3, 0, 0),
         {"#######.", "#.....#.", "#....##.", "#....##.", "#....##.", "#.#####.", "#######.", "........"}},
    };
    // clang-format on
    for (const auto& [before, r, want] : rows) {
        auto mask = bitmap_from_rows(before);
        expand_step(*mask, r, BLACK);
        EXPECT_EQ(rows_of(*mask), want) << before.join("/").toStdString();
    }
    std::mt19937 rng(5);
    for (int round = 0; round < 400; ++round) {
        const int w = 1 + round % 19, h = 1 + round % 13;
        auto fast = Bitmap::create({float(w), float(h)}), plain = Bitmap::create(fast->size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (rng() % 100 < (round % 4 ? 15u : 2u))
                    fast->setPixel(x, y, RED), plain->setPixel(x, y, RED);
        const auto any = [&](int n) { return float(int(rng() % unsigned(n + 4)) - 2); };
        const Rect r = make_rect(any(w), any(h), float(rng() % unsigned(w + 1)),
                                 float(rng() % unsigned(h + 1)));
        grow_mask(*fast, r, round % 7, RED);
        for (int i = 0; i < round % 7; ++i)
            expand_step(*plain, r, RED);
        ASSERT_EQ(rows_of(*fast), rows_of(*plain)) << "round " << round;
    }
}

namespace {

struct FillRow {
    const char* name;
    QStringList picture;
    Point click;
    float tolerance = 0.2f;
    int expand = 0;
    AffineTransform transform = {};
};

// clang-format off
const QStringList kFrame = {"..................", "..##############..", "..#............#..",
                            "..#...######...#..", "..#...######...#..", "..#...######...#..",
                            "..#...######...#..", "..#............#..", "..##############..", ".................."};
const QStringList kHalves = {"....####", "....####", "....####"};

const FillRow kFillRows[] = {
    {"hole cut out", kFrame, {7.5f, 7.5f}, 0.2f, 1},
    {"outside of the frame", kFrame, {0, 0}, 0.2f, 1},
    {"turned view", kFrame, {7.5f, 7.5f}, 0.2f, 1, AffineTransform::rotation(0.6f)},
    {"mirrored view", kFrame, {7.5f, 7.5f}, 0.2f, 1, {0, 1.5f, 1.5f, 0, 4, -2}},
    {"negative expand", kFrame, {7.5f, 7.5f}, 0.2f, -5},
    {"expand beyond the canvas", kFrame, {7.5f, 7.5f}, 0.2f, INT_MAX},
    // Notches and bays open towards an edge of the canvas, or up, stay unfilled.
    {"notches at the edges", {"....##....", "..........", "##.......#", "##.......#", "..........", "...##....."}, {5, 2}},
    {"bay open up", {"#########", "#..###..#", "#..###..#", "#.......#", "#########"}, {1, 3}, 0.2f, 1},
    {"two holes", {"..........", ".########.", ".#..#####.", ".#..#..##.", ".####..##.", ".########.", ".........."}, {1, 1}},
    {"corner (5, 5) open where the tracer turns away", {".......", ".#####.", ".#...#.", ".#...#.", ".#...#.", ".####..", "......."}, {1, 1}},
    // The outline starts at (1, 1), whose top-right corner touches (2, 0) diagonally.
    {"start at a diagonal contact", {"##..##", "#.#.##", "#...##", "######"}, {1.5f, 2.5f}},
    // A ring whose inside reaches the outside through one corner: no hole to cut.
    {"ring open at a corner", {"#######", "#.....#", "#.###.#", "#.###.#", "#.###.#", "#....##", "#######"}, {1, 1}},
    {"click at plus infinity", kHalves, {kInf, 1}},
    {"infinite tolerance", kHalves, {1, 1}, kInf},
};
// clang-format on

class RegionFillPictures : public ::testing::TestWithParam<FillRow> {};

} // namespace

TEST_P(RegionFillPictures, CoverTheSlowReferenceArea)
{
    const FillRow& r = GetParam();
    expect_fill_covers(*bitmap_from_rows(r.picture, kKey), r.click, r.tolerance, r.expand,
                       r.transform);
}

INSTANTIATE_TEST_SUITE_P(Rows, RegionFillPictures, ::testing::ValuesIn(kFillRows),
                         [](const auto& p) { return test_name(p.param.name); });

// Blocks of a few close colours, so that tolerances matter and spirals form: the flood
// exactly as the slow one, the whole fill covering its area.
TEST(RegionFill, RandomPictures)
{
    std::mt19937 rng(3);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        const int w = 1 + round % 37, h = 1 + round % 23, block = 1 + round % 3;
        auto picture = Bitmap::create({float(w), float(h)});
        for (int y = 0; y < h; y += block)
            for (int x = 0; x < w; x += block) {
                const int v = int(rng() % 4u) * 40;
                picture->fillRect(make_rect(float(x), float(y), float(block - 1), float(block - 1)),
                                  make(v, v, v, 255));
            }
        const int sx = int(rng() % unsigned(w)), sy = int(rng() % unsigned(h));
        const float tolerance = round % 2 ? 0.0f : 0.2f;
        auto mask = Bitmap::create(picture->size());
        const Rect found = flood_fill(*mask, *picture, {float(sx), float(sy)}, RED, tolerance);
        const auto want = slow_flood(*picture, sx, sy, tolerance);
        ASSERT_EQ(rows_of(*mask), rows_of(*want));
        ASSERT_EQ(found, filled_bounds(*want));
        expect_fill_covers(*picture, {float(sx) + 0.5f, float(sy) + 0.5f}, tolerance, round % 3);
    }
    // Nothing to fill at a click that is no point, or on a canvas without pixels.
    EXPECT_FALSE(fill_outline_at(*PavoCanvas::create({2, 2}), {1, kNaN}, 0.2f, 1));
    EXPECT_FALSE(fill_outline_at(*PavoCanvas::create({0, 0}), {0, 0}, 0.2f, 1));
}

namespace {

// Two rooms joined by a corridor `corridor` pixels wide, all flooded, with an unflooded
// margin around them: the left room spans x 2..9, the corridor 10..13, the right room 14..21.
std::unique_ptr<Bitmap> two_rooms(int corridor)
{
    QStringList rows;
    for (int y = 0; y < 12; ++y) {
        QString row(24, u'.');
        const bool room_row = y >= 2 && y <= 9, corridor_row = y >= 6 - corridor / 2 && y < 6 - corridor / 2 + corridor;
        for (int x = 2; x <= 21; ++x)
            if (room_row && (x <= 9 || x >= 14 || corridor_row)) row[x] = u'#';
        rows << row;
    }
    return bitmap_from_rows(rows);
}

} // namespace

// Whether the right room stays in the fill after closing gaps from a click at (x, y); the
// left room keeps the pixels along its wall, so the fill still meets it.
TEST(GapClosing, OpeningsNarrowerThanTwiceTheRadiusClose)
{
    const struct {
        int corridor;
        float radius;
        int x, y;
        bool right_room;
    } rows[] = {
        {2, 1.5f, 5, 5, false}, {3, 1.5f, 5, 5, true}, {1, 0.5f, 5, 5, true}, {1, 1, 5, 5, false},
        {4, 0, 5, 5, true},     {4, 2.5f, 5, 5, false}, {2, 1.5f, 18, 5, true},
        // A click in the corridor itself is too close to the walls to pass anything.
        {2, 1.5f, 11, 6, true},
    };
    for (const auto& row : rows) {
        auto mask = two_rooms(row.corridor);
        const Rect found = filled_bounds(*mask);
        const Rect kept = close_gaps(*mask, found, row.x, row.y, row.radius);
        const auto where = ::testing::Message() << "corridor " << row.corridor << " radius " << row.radius << "\n"
                                                << rows_of(*mask).join(u'\n').toStdString();
        EXPECT_EQ(color_ns::alpha(mask->pixelAt(17, 4)) != 0, row.right_room) << where;
        EXPECT_NE(color_ns::alpha(mask->pixelAt(row.x < 12 ? 2 : 21, 5)), 0) << where;
        EXPECT_EQ(kept, filled_bounds(*mask)) << where;
    }
}

// Growth reaches exactly the cells within the radius of a set cell.
TEST(GapClosing, GrownCellsMatchTheDistances)
{
    std::mt19937 random(7);
    CellGrid grid{23, 17, std::vector<std::uint8_t>(23 * 17)};
    for (auto& c : grid.cells) c = random() % 19 == 0;
    for (const float radius : {0.0f, 1.0f, 1.5f, 2.9f, 4.0f}) {
        const CellGrid grown = grown_cells(grid, radius);
        for (int y = 0; y < grid.height; ++y)
            for (int x = 0; x < grid.width; ++x) {
                bool near = false;
                for (int sy = 0; sy < grid.height; ++sy)
                    for (int sx = 0; sx < grid.width; ++sx)
                        near |= grid.at(sx, sy) && float((sx - x) * (sx - x) + (sy - y) * (sy - y)) <= radius * radius;
                ASSERT_EQ(bool(grown.at(x, y)), near) << x << "," << y << " radius " << radius;
            }
    }
}

// The fill tool as a tool: a click adds one undoable stroke made of its settings, in drawing
// units, and leaves the scratch layer clean; an option-click picks a colour instead. What
// area a fill covers is the region fill's own test.
namespace {

class FillToolTest : public ::testing::Test {
protected:
    FakeDocument doc;
    FakeView view{doc, {50, 30}};
    FillTool tool;
    void click(Point at, unsigned flags = 0)
    {
        tool.toolDownEvent({at, 1, flags}, view);
        tool.toolUpEvent({at, 1, flags}, view);
    }
    const Strokes& strokes() { return doc.drawing().strokes(); }
};

TEST_F(FillToolTest, AClickAddsOneUndoableStrokeOfTheSettingsInDrawingUnits)
{
    // A white hole in black, in a view zoomed by 2 and moved.
    ASSERT_TRUE(view.canvas().setTransform(AffineTransform::scaling(2, 2).after(AffineTransform::translation(3, 1))));
    Bitmap& shown = view.canvas().drawBitmap();
    shown.fill(color_ns::BLACK);
    shown.fillRect(make_rect(10, 4, 19, 15), color_ns::WHITE);
    tool.setColor(Qt::blue);
    tool.setOpacity(0.5f);
    tool.setTransferMode(kModeMultiply);
    tool.setExpand(0);
    click({15, 10});
    ASSERT_EQ(strokes().count(), 1);
    const StrokePtr stroke = strokes().lastStroke();
    EXPECT_EQ(stroke->color(), QColor(Qt::blue));
    EXPECT_EQ(stroke->opacity(), 0.5f);
    EXPECT_EQ(stroke->transferMode(), kModeMultiply);
    EXPECT_EQ(stroke->windingRule(), kEvenOdd);
    const Rect b = stroke->bounds();
    EXPECT_LT(length(b.origin - view.canvas().bitmapPointToWorldPoint({10, 4})), 1e-4f);
    EXPECT_LT(length(Point{b.maxX(), b.maxY()} - view.canvas().bitmapPointToWorldPoint({30, 20})), 1e-4f);
    const Bitmap& scratch = view.canvas().strokeBitmap();
    for (int y = 0; y < scratch.height(); ++y)
        for (int x = 0; x < scratch.width(); ++x)
            ASSERT_EQ(scratch.pixelAt(x, y), color_ns::TRANSPARENT) << x << "," << y;
    doc.drawing().undoManager().undo();
    EXPECT_EQ(strokes().count(), 0);
    EXPECT_FALSE(doc.drawing().undoManager().canUndo());
}

TEST_F(FillToolTest, OptionClickPicksTheColourUnderThePointerAndTheCursorShowsIt)
{
    view.background = Qt::yellow;
    Bitmap& shown = view.canvas().previewBitmap();
    shown.fill(color_ns::TRANSPARENT);
    shown.setPixel(4, 3, 0x336699FFu);
    shown.setPixel(0, 3, color_ns::GREEN);
    // Nothing drawn shows the background; beyond the edge, the nearest pixel.
    using Row = std::pair<Point, QColor>;
    for (const auto& [at, picked] : std::initializer_list<Row>{{{4.5f, 3.5f}, QColor(0x33, 0x66, 0x99)},
                                                               {{8, 8}, Qt::yellow},
                                                               {{-7, 3}, Qt::green},
                                                               {{4, -100}, Qt::yellow}}) {
        click(at, kOptionKey);
        EXPECT_EQ(doc.toolColor, picked) << at.x << "," << at.y;
    }
    EXPECT_EQ(strokes().count(), 0);
    EXPECT_EQ(tool.toolCursor().hotSpot, kColorPickerCursor.hotSpot);
    const int refreshes = doc.cursorRefreshes;
    tool.toolFlagsChanged({{}, 1, kShiftKey}, view);
    EXPECT_EQ(doc.cursorRefreshes, refreshes + 1);
    EXPECT_EQ(tool.toolCursor().hotSpot, kFillCursor.hotSpot);
    // Becoming the current tool forgets a key seen earlier.
    tool.toolFlagsChanged({{}, 1, kOptionKey}, view);
    tool.toolActivate();
    EXPECT_EQ(tool.toolCursor().hotSpot, kFillCursor.hotSpot);
}

} // namespace
