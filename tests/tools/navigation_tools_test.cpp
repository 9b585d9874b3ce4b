#include "navigation_tools.h"

#include "tool_test_support.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

ToolEvent at(Point p, unsigned flags = 0) { return {p, 1, flags}; }

// Down at the first point, a drag event for each later one, up with the given modifiers.
void gesture(Tool& tool, ToolView& view, std::initializer_list<Point> path, unsigned upFlags = 0)
{
    const Point* p = path.begin();
    tool.toolDownEvent(at(*p), view);
    for (++p; p != path.end(); ++p)
        tool.toolMoveEvent(at(*p));
    tool.toolUpEvent(at(path.end()[-1], upFlags));
}

// A view showing solid blue, as the tool finds it.
QImage blank(TestToolView& view)
{
    const Size size = view.canvas().size();
    QImage image(int(size.width), int(size.height), QImage::Format_ARGB32);
    image.fill(Qt::blue);
    return image;
}

// What the tool draws over it.
QImage feedback(Tool& tool, TestToolView& view)
{
    QImage image = blank(view);
    {
        QPainter painter(&image);
        tool.toolDrawInView(view, painter);
    }
    return image;
}

bool contains(const Rect& outer, const Rect& inner)
{
    return outer.minX() <= inner.minX() && outer.minY() <= inner.minY() && outer.maxX() >= inner.maxX() &&
           outer.maxY() >= inner.maxY();
}

bool same_cursor(const ToolCursor& a, const CursorResource& b)
{
    return a.shape == ToolCursor::Shape::Image && a.image == ToolCursor::load(b).image;
}

class Navigation : public ::testing::Test {
protected:
    TestToolDocument doc;
    TestToolView view{doc, {200, 100}};
    ZoomTool zoom{doc};
    RotateTool rotate{doc};
    MoveTool move{doc};

    // A white picture with a red 4 x 4 block centred on p.
    void showBlockAt(Point p)
    {
        view.canvas().fill(color_ns::WHITE);
        view.canvas().previewBitmap().fillRect(make_rect(p.x - 2, p.y - 2, 4, 4), color_ns::RED);
        view.background = Qt::gray;
    }
};

using ZoomToolTest = Navigation;
using RotateToolTest = Navigation;
using MoveToolTest = Navigation;
using NavigationTools = Navigation;

} // namespace

TEST_F(ZoomToolTest, ClicksAndTinyDragsZoomAboutAPointInOrOutByTheOptionKeyAtTheUp)
{
    gesture(zoom, view, {{30, 40}});
    gesture(zoom, view, {{30, 40}}, kOptionKey);
    // Under 4 pixels in either direction is a click, about the rectangle's first corner.
    gesture(zoom, view, {{5, 5}, {20, 20}, {23.9f, 60}});
    gesture(zoom, view, {{5, 5}, {20, 20}, {120, 23.9f}}, kOptionKey);
    const std::vector<std::pair<Point, float>> expected{
        {{30, 40}, 2.0f}, {{30, 40}, 0.5f}, {{20, 20}, 2.0f}, {{20, 20}, 0.5f}};
    ASSERT_EQ(view.calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(view.calls[i].kind, TestToolView::Call::Zoom) << i;
        EXPECT_EQ(view.calls[i].a, expected[i].first) << i;
        EXPECT_EQ(view.calls[i].factor, expected[i].second) << i;
    }
}

TEST_F(ZoomToolTest, ADraggedRectangleIsZoomedOntoWhicheverWayItWasDrawnAndWhateverTheOptionKey)
{
    gesture(zoom, view, {{0, 0}, {20, 30}, {90, 80}, {60, 70}}, kOptionKey);
    gesture(zoom, view, {{0, 0}, {60, 70}, {20, 30}});
    gesture(zoom, view, {{0, 0}, {10, 10}, {14, 14}});
    ASSERT_EQ(view.calls.size(), 3u);
    EXPECT_EQ(view.calls[0].kind, TestToolView::Call::ZoomRect);
    EXPECT_EQ(view.calls[0].rect, make_rect(20, 30, 40, 40));
    EXPECT_EQ(view.calls[1].rect, make_rect(20, 30, 40, 40));
    EXPECT_EQ(view.calls[2].kind, TestToolView::Call::ZoomRect);
    EXPECT_EQ(view.calls[2].rect, make_rect(10, 10, 4, 4));
}

TEST_F(ZoomToolTest, OptionShowsTheZoomOutCursorUntilARectangleBigEnoughIsDrawn)
{
    EXPECT_TRUE(same_cursor(zoom.toolCursor(), kZoomInCursor));
    int refreshes = doc.cursorRefreshes;
    zoom.toolFlagsChanged(at({}, kOptionKey));
    EXPECT_GT(doc.cursorRefreshes, refreshes);
    EXPECT_TRUE(same_cursor(zoom.toolCursor(), kZoomOutCursor));

    zoom.toolDownEvent(at({10, 10}, kOptionKey), view);
    zoom.toolMoveEvent(at({10, 10}, kOptionKey));
    zoom.toolMoveEvent(at({12, 40}, kOptionKey));
    EXPECT_TRUE(same_cursor(zoom.toolCursor(), kZoomOutCursor));
    refreshes = doc.cursorRefreshes;
    zoom.toolMoveEvent(at({40, 40}, kOptionKey));
    EXPECT_GT(doc.cursorRefreshes, refreshes);
    EXPECT_TRUE(same_cursor(zoom.toolCursor(), kZoomInCursor));
    // Option released during the drag: known from the drag events alone.
    zoom.toolMoveEvent(at({12, 40}));
    EXPECT_TRUE(same_cursor(zoom.toolCursor(), kZoomInCursor));

    refreshes = doc.cursorRefreshes;
    zoom.toolUpEvent(at({12, 40}, kOptionKey));
    EXPECT_GT(doc.cursorRefreshes, refreshes);
    EXPECT_TRUE(same_cursor(zoom.toolCursor(), kZoomOutCursor));
    zoom.toolFlagsChanged(at({}));
    EXPECT_TRUE(same_cursor(zoom.toolCursor(), kZoomInCursor));
}

TEST_F(ZoomToolTest, TheRubberBandIsDrawnAndRedisplayedWhereverItWas)
{
    zoom.toolDownEvent(at({0, 0}), view);
    EXPECT_EQ(feedback(zoom, view), blank(view)) << "nothing to show before a drag";
    zoom.toolMoveEvent(at({20, 20}));
    zoom.toolMoveEvent(at({80, 60}));
    ASSERT_FALSE(view.marked.empty());
    EXPECT_TRUE(contains(view.marked.back(), make_rect(16, 16, 68, 48)));

    // Light blue at 30% over the blue view: red is 0.3 of a half.
    const QImage image = feedback(zoom, view);
    EXPECT_NEAR(image.pixelColor(50, 40).red(), 38, 2);
    EXPECT_EQ(image.pixelColor(150, 40), QColor(Qt::blue));
    // A dashed 2-pixel dark outline, 6 pixels on and 6 off, starting at the corner.
    EXPECT_LT(image.pixelColor(22, 20).red(), 12);
    EXPECT_NEAR(image.pixelColor(28, 20).red(), 38, 2);
    EXPECT_LT(image.pixelColor(34, 20).red(), 12);
    EXPECT_LT(image.pixelColor(20, 22).red(), 12);

    // Squashed flat, the band's outline still lies inside what is redisplayed.
    zoom.toolMoveEvent(at({20, 90}));
    EXPECT_TRUE(contains(view.marked.back(), make_rect(16, 16, 68, 78)));
    zoom.toolUpEvent(at({20, 90}));
    EXPECT_TRUE(contains(view.marked.back(), make_rect(16, 16, 8, 78)));
    EXPECT_EQ(feedback(zoom, view), blank(view)) << "nothing left after the up";
}

TEST_F(ZoomToolTest, UpsWithoutADownAndPointsThatAreNotNumbersReachNothing)
{
    Tool pen;
    doc.current = &zoom;
    zoom.restoreToolAfter(&pen);
    zoom.toolMoveEvent(at({20, 20}));
    zoom.toolUpEvent(at({20, 20}));
    zoom.toolDownEvent(at({kNaN, 3}), view);
    zoom.toolUpEvent(at({20, 20}));
    EXPECT_TRUE(view.calls.empty());
    EXPECT_TRUE(view.marked.empty());
    EXPECT_EQ(doc.current, &zoom) << "no gesture was completed";

    gesture(zoom, view, {{0, 0}, {10, 10}, {kNaN, 50}, {50, kNaN}, {50, 50}});
    ASSERT_EQ(view.calls.size(), 1u);
    EXPECT_EQ(view.calls[0].rect, make_rect(10, 10, 40, 40));
    for (const Rect& r : view.marked)
        EXPECT_TRUE(finite(r));

    // Far-flung corners overflow the rectangle's size; that is no zoom.
    constexpr float big = std::numeric_limits<float>::max();
    gesture(zoom, view, {{0, 0}, {-big, -big}, {big, big}});
    EXPECT_EQ(view.calls.size(), 1u);
    for (const Rect& r : view.marked)
        EXPECT_TRUE(finite(r));
}

TEST_F(RotateToolTest, AQuarterTurnAboutTheCentreIsShownWhileDraggingAndMadeAtTheUp)
{
    const Point c{100, 50};
    showBlockAt({130, 50});
    EXPECT_TRUE(same_cursor(rotate.toolCursor(), kRotateCursor));
    rotate.toolDownEvent(at({150, 50}), view);
    const int displays = view.wholeView;
    rotate.toolMoveEvent(at({100, 0}));
    EXPECT_GT(view.wholeView, displays);
    ASSERT_TRUE(rotate.sweptAngle().has_value());
    EXPECT_NEAR(*rotate.sweptAngle(), -std::numbers::pi / 2, 1e-6);

    // Right of the centre goes to above it; the uncovered corners show the background.
    const QImage image = feedback(rotate, view);
    EXPECT_EQ(image.pixelColor(100, 20), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(130, 50), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::gray));
    EXPECT_TRUE(view.calls.empty()) << "the view changes only at the up";

    rotate.toolUpEvent(at({100, 0}));
    ASSERT_EQ(view.calls.size(), 1u);
    EXPECT_EQ(view.calls[0].kind, TestToolView::Call::Rotate);
    EXPECT_EQ(view.calls[0].a, (Point{150, 50}));
    EXPECT_EQ(view.calls[0].b, (Point{100, 0}));
    EXPECT_EQ(feedback(rotate, view).pixelColor(5, 5), QColor(Qt::blue));

    // The view turned the same way as the feedback: the block's drawing is now above.
    const Point w = view.canvas().bitmapPointToWorldPoint({130, 50});
    const Point a = view.calls[0].a - c;
    const Point b = view.calls[0].b - c;
    ASSERT_TRUE(view.canvas().rotateAroundPoint(c, angle(b) - angle(a)));
    const Point now = view.canvas().worldPointToBitmapPoint(w);
    EXPECT_NEAR(now.x, 100, 1e-3);
    EXPECT_NEAR(now.y, 20, 1e-3);
}

TEST_F(RotateToolTest, NoAngleAtTheCentreOrWithoutASweepChangesNothing)
{
    showBlockAt({130, 50});
    rotate.toolDownEvent(at({100, 50}), view);
    rotate.toolMoveEvent(at({100, 0}));
    EXPECT_FALSE(rotate.sweptAngle().has_value());
    const QImage image = feedback(rotate, view);
    EXPECT_EQ(image.pixelColor(130, 50), QColor(Qt::red)) << "shown unturned";
    rotate.toolUpEvent(at({100, 0}));
    gesture(rotate, view, {{150, 50}, {100, 50.2f}});
    gesture(rotate, view, {{150, 50}});
    gesture(rotate, view, {{150, 50}, {100, 0}, {170, 50}});
    rotate.toolUpEvent(at({20, 20}));
    rotate.toolDownEvent(at({kNaN, 0}), view);
    rotate.toolUpEvent(at({20, 20}));
    EXPECT_TRUE(view.calls.empty());

    gesture(rotate, view, {{150, 50}, {kNaN, 0}, {100, 0}, {0, kNaN}});
    ASSERT_EQ(view.calls.size(), 1u);
    EXPECT_EQ(view.calls[0].b, (Point{100, 0}));
}

TEST_F(MoveToolTest, TheDragIsShownDisplacedAndMadeAtTheUp)
{
    showBlockAt({30, 30});
    EXPECT_TRUE(same_cursor(move.toolCursor(), kMoveCursor));
    move.toolDownEvent(at({50, 50}), view);
    const int displays = view.wholeView;
    move.toolMoveEvent(at({60, 50}));
    move.toolMoveEvent(at({90, 70}));
    EXPECT_GT(view.wholeView, displays);
    const QImage image = feedback(move, view);
    EXPECT_EQ(image.pixelColor(70, 50), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(120, 60), QColor(Qt::white));
    // Where the picture was and no longer is, the background shows.
    EXPECT_EQ(image.pixelColor(30, 30), QColor(Qt::gray));
    EXPECT_TRUE(view.calls.empty());

    move.toolUpEvent(at({90, 70}));
    ASSERT_EQ(view.calls.size(), 1u);
    EXPECT_EQ(view.calls[0].kind, TestToolView::Call::Move);
    EXPECT_EQ(view.calls[0].a, (Point{50, 50}));
    EXPECT_EQ(view.calls[0].b, (Point{90, 70}));

    // A click, a drag back to its start, an up alone and a point that is no number: no move.
    gesture(move, view, {{50, 50}});
    gesture(move, view, {{50, 50}, {80, 80}, {50, 50}});
    move.toolUpEvent(at({90, 70}));
    move.toolDownEvent(at({kNaN, 50}), view);
    move.toolUpEvent(at({90, 70}));
    gesture(move, view, {{50, 50}, {kNaN, 60}});
    EXPECT_EQ(view.calls.size(), 1u);
}

TEST_F(NavigationTools, ChosenForASingleUseEachGivesThePreviousToolBackAfterOneGesture)
{
    Tool pen;
    for (Tool* tool : std::initializer_list<Tool*>{&zoom, &rotate, &move}) {
        doc.current = &pen;
        tool->restoreToolAfter(doc.tool());
        doc.setTool(tool);
        gesture(*tool, view, {{150, 50}, {100, 10}, {120, 0}});
        EXPECT_EQ(doc.current, &pen);

        // Chosen by its ordinary command it stays, gesture after gesture.
        doc.setTool(tool);
        gesture(*tool, view, {{150, 50}, {100, 10}, {120, 0}});
        gesture(*tool, view, {{30, 30}});
        EXPECT_EQ(doc.current, tool);
    }
    // Two zooms and a click zoom; two turns and two moves, as a click turns or moves nothing.
    EXPECT_EQ(view.calls.size(), 3u + 2u + 2u);
}
