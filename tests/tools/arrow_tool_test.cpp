#include "arrow_tool.h"

#include "tool_test_support.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace {

ToolEvent at(float x, float y, unsigned mods = 0) { return ToolEvent{{x, y}, 1, mods}; }

void expect_rect_near(const Rect& got, const Rect& want, float tolerance = 1e-3f)
{
    EXPECT_NEAR(got.minX(), want.minX(), tolerance);
    EXPECT_NEAR(got.minY(), want.minY(), tolerance);
    EXPECT_NEAR(got.size.width, want.size.width, tolerance);
    EXPECT_NEAR(got.size.height, want.size.height, tolerance);
}

// Largest difference of any channel of any pixel, in 8-bit steps.
int largest_difference(const QImage& a, const QImage& b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

bool looks_like(const QColor& got, const QColor& want)
{
    const float tolerance = 0.03f;
    return std::abs(got.redF() - want.redF()) < tolerance &&
           std::abs(got.greenF() - want.greenF()) < tolerance &&
           std::abs(got.blueF() - want.blueF()) < tolerance &&
           std::abs(got.alphaF() - want.alphaF()) < tolerance;
}

const QColor kLightBlue = QColor::fromRgbF(0.5f, 0.5f, 1.0f, 0.8f);
const QColor kLightRed = QColor::fromRgbF(1.0f, 0.5f, 0.5f, 0.8f);
const QColor kDarkBlue = QColor::fromRgbF(0.0f, 0.0f, 0.8f, 0.8f);

class ArrowToolTest : public ::testing::Test {
protected:
    TestToolDocument doc;
    TestToolView view{doc};
    ArrowTool tool{doc};

    StrokePtr add(float x, float y, float w, float h, const QColor& color = Qt::black)
    {
        StrokePtr s = test_rect_stroke(x, y, w, h, color);
        doc.list.addStroke(s);
        // The drawing as it was opened: only the tool's own edits are on the undo stack.
        doc.undo.removeAllActions();
        return s;
    }
    void click(Point p, unsigned mods = 0)
    {
        tool.toolDownEvent(at(p.x, p.y, mods), view);
        tool.toolUpEvent(at(p.x, p.y, mods));
    }
    // Down, the pointer at `to`, and up with `upMods`.
    void drag(Point from, Point to, unsigned mods = 0, unsigned upMods = 0)
    {
        tool.toolDownEvent(at(from.x, from.y, mods), view);
        tool.toolMoveEvent(at(to.x, to.y, mods));
        tool.toolUpEvent(at(to.x, to.y, upMods));
    }
    // The tool's feedback alone, over a transparent picture of the view's size.
    QImage feedback()
    {
        const Size size = view.canvas().size();
        QImage image(int(size.width), int(size.height), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        tool.toolDrawInView(view, painter);
        return image;
    }
};

} // namespace

TEST_F(ArrowToolTest, SelectionKeepsOrderWithoutRepeats)
{
    const StrokePtr a = add(10, 10, 20, 20);
    const StrokePtr b = add(50, 30, 10, 40);
    EXPECT_TRUE(tool.selection().empty());
    EXPECT_EQ(tool.dragMode(), ArrowTool::NONE);
    EXPECT_EQ(tool.toolCursor().shape, ToolCursor::Shape::Arrow);

    tool.setSelection({b, a, b, nullptr});
    EXPECT_EQ(tool.selection(), (StrokeArray{b, a}));
    expect_rect_near(tool.selectionBounds(), make_rect(10, 10, 50, 60));
    tool.setSelection(tool.selection());
    EXPECT_EQ(tool.selection(), (StrokeArray{b, a}));
    tool.clearSelection();
    EXPECT_TRUE(tool.selection().empty());
}

TEST_F(ArrowToolTest, ClicksPickTheTopmostStrokeAndShiftToggles)
{
    const StrokePtr bottom = add(10, 10, 40, 40);
    const StrokePtr top = add(30, 30, 40, 40);
    const StrokePtr apart = add(120, 10, 20, 20);

    click({40, 40});
    EXPECT_EQ(tool.selection(), (StrokeArray{top}));
    click({20, 20});
    EXPECT_EQ(tool.selection(), (StrokeArray{bottom}));
    click({130, 20}, kShiftKey);
    EXPECT_EQ(tool.selection(), (StrokeArray{bottom, apart}));

    // A shift-click on a selected stroke lets it go and starts no drag.
    const int transforms = doc.transforms;
    tool.toolDownEvent(at(20, 20, kShiftKey), view);
    EXPECT_EQ(tool.dragMode(), ArrowTool::NONE);
    EXPECT_EQ(tool.selection(), (StrokeArray{apart}));
    tool.toolUpEvent(at(20, 20));
    EXPECT_EQ(doc.transforms, transforms);

    // A click on another stroke selects only it; on empty canvas, nothing.
    click({15, 15});
    EXPECT_EQ(tool.selection(), (StrokeArray{bottom}));
    click({190, 90});
    EXPECT_TRUE(tool.selection().empty());
}

TEST_F(ArrowToolTest, ClickOnTheSelectionMovesItByNothing)
{
    const StrokePtr s = add(10, 10, 20, 20);
    tool.setSelection({s});
    click({20, 20});
    EXPECT_EQ(doc.transforms, 1);
    EXPECT_TRUE(doc.undo.canUndo());
    expect_rect_near(s->bounds(), make_rect(10, 10, 20, 20));
}

TEST_F(ArrowToolTest, DragBetweenSelectedStrokesMovesAllAsOneUndoStep)
{
    const StrokePtr a = add(10, 10, 20, 20);
    const StrokePtr b = add(60, 10, 20, 20);
    tool.setSelection({a, b});
    drag({45, 20}, {55, 25});
    EXPECT_EQ(tool.selection(), (StrokeArray{a, b}));
    EXPECT_EQ(doc.transforms, 1);
    expect_rect_near(a->bounds(), make_rect(20, 15, 20, 20));
    expect_rect_near(b->bounds(), make_rect(70, 15, 20, 20));

    doc.undo.undo();
    expect_rect_near(a->bounds(), make_rect(10, 10, 20, 20));
    expect_rect_near(b->bounds(), make_rect(60, 10, 20, 20));
    EXPECT_FALSE(doc.undo.canUndo());
}

TEST_F(ArrowToolTest, MoveInATurnedAndZoomedViewMovesByTheWorldDistance)
{
    // World to view: a quarter turn and twice the size, (x, y) -> (150 - 2y, 10 + 2x); a
    // view step (dx, dy) is the world step (dy / 2, -dx / 2).
    ASSERT_TRUE(view.canvas().setTransform({0, 2, -2, 0, 150, 10}));
    const StrokePtr s = add(10, 10, 20, 20); // on screen [90, 130] x [30, 70]
    tool.toolDownEvent(at(110, 50), view);
    EXPECT_EQ(tool.selection(), (StrokeArray{s}));
    tool.toolMoveEvent(at(120, 70));

    // The live highlight is where the stroke will land: [100, 140] x [50, 90].
    const QImage live = feedback();
    EXPECT_TRUE(looks_like(live.pixelColor(120, 70), kLightBlue));
    EXPECT_EQ(live.pixelColor(95, 40).alpha(), 0);
    expect_rect_near(s->bounds(), make_rect(10, 10, 20, 20));

    tool.toolUpEvent(at(120, 70));
    EXPECT_EQ(doc.transforms, 1);
    expect_rect_near(s->bounds(), make_rect(20, 5, 20, 20));
    doc.undo.undo();
    expect_rect_near(s->bounds(), make_rect(10, 10, 20, 20));
}

TEST_F(ArrowToolTest, LiveMoveShowsWhatTheReleaseLeaves)
{
    const StrokePtr a = add(10, 10, 30, 20);
    const StrokePtr b = add(50, 30, 20, 40, Qt::blue);
    QPainterPath line;
    line.moveTo(20, 60);
    line.lineTo(45, 85);
    Path path(line);
    path.setLineWidth(3);
    const StrokePtr c = Stroke::withLine(path, Qt::black, kModeNormal, 1);
    doc.list.addStroke(c);
    tool.setSelection({a, b, c});
    const QImage before = feedback();

    tool.toolDownEvent(at(45, 40), view);
    feedback(); // the first redraw of the drag, at the down
    tool.toolMoveEvent(at(62, 49));
    const QImage live = feedback();
    tool.toolUpEvent(at(62, 49));
    EXPECT_LE(largest_difference(live, feedback()), 3);
    EXPECT_GT(largest_difference(live, before), 100);

    // Once the gesture is over, nothing drawn for it is reused.
    doc.undo.undo();
    EXPECT_LE(largest_difference(feedback(), before), 3);
}

TEST_F(ArrowToolTest, RubberBandSelectsEnclosedOrWithOptionTouchingStrokes)
{
    const StrokePtr inside = add(10, 10, 20, 20);
    const StrokePtr across = add(35, 10, 20, 20);
    const StrokePtr far = add(150, 10, 20, 20);

    tool.setSelection({far});
    drag({5, 5}, {40, 40});
    EXPECT_EQ(tool.selection(), (StrokeArray{inside}));

    drag({5, 5}, {40, 40}, 0, kOptionKey);
    EXPECT_EQ(tool.selection(), (StrokeArray{inside, across}));

    // With shift at the down the rectangle adds to the selection.
    tool.setSelection({far});
    drag({40, 40}, {5, 5}, kShiftKey, kOptionKey);
    EXPECT_EQ(tool.selection(), (StrokeArray{far, inside, across}));
    EXPECT_EQ(doc.transforms, 0);
}

TEST_F(ArrowToolTest, RubberBandInATurnedViewSearchesTheWorldRectAroundItsCorners)
{
    // An eighth of a turn: the view square (0,0)-(100,100) is a diamond in the world whose
    // upright bounds are [0, 141] x [-71, 71]; its diagonal alone spans no height at all.
    const float r = std::numbers::pi_v<float> / 4;
    ASSERT_TRUE(view.canvas().setTransform(AffineTransform::rotation(r)));
    const StrokePtr inDiamond = add(60, -10, 20, 20);
    const StrokePtr inBoundsOnly = add(5, 50, 10, 10);
    const StrokePtr outside = add(150, 0, 10, 10);

    tool.toolDownEvent(at(0, 0), view);
    tool.toolMoveEvent(at(100, 100));
    // Drawn upright on screen: the view corner near (3, 97) is inside the band.
    const QImage band = feedback();
    EXPECT_GT(band.pixelColor(3, 96).alpha(), 50);
    EXPECT_EQ(band.pixelColor(150, 50).alpha(), 0);
    tool.toolUpEvent(at(100, 100));
    EXPECT_EQ(tool.selection(), (StrokeArray{inDiamond, inBoundsOnly}));
    (void)outside;
}

TEST_F(ArrowToolTest, NineteenStrokesAreHighlightedTwentyShadeTheFrame)
{
    StrokeArray strokes;
    for (int i = 0; i < 20; ++i) strokes.push_back(add(5 + 9 * float(i), 10, 6, 6));

    tool.setSelection(StrokeArray(strokes.begin(), strokes.end() - 1));
    QImage image = feedback();
    for (int i = 0; i < 19; ++i)
        EXPECT_TRUE(looks_like(image.pixelColor(8 + 9 * i, 13), kLightBlue)) << i;
    EXPECT_EQ(image.pixelColor(12, 13).alpha(), 0); // between two strokes

    tool.setSelection(strokes);
    image = feedback();
    EXPECT_TRUE(looks_like(image.pixelColor(12, 13), kDarkBlue));
    EXPECT_TRUE(looks_like(image.pixelColor(8, 13), kDarkBlue));
}

TEST_F(ArrowToolTest, BlueStrokesGetARedHighlight)
{
    const StrokePtr blue = add(10, 10, 10, 10, QColor::fromRgbF(0.3f, 0.3f, 0.7f));
    const StrokePtr violet = add(40, 10, 10, 10, QColor::fromRgbF(0.4f, 0.3f, 0.7f));
    const StrokePtr black = add(70, 10, 10, 10);
    tool.setSelection({blue, violet, black});
    const QImage image = feedback();
    EXPECT_TRUE(looks_like(image.pixelColor(15, 15), kLightRed));
    EXPECT_TRUE(looks_like(image.pixelColor(45, 15), kLightBlue));
    EXPECT_TRUE(looks_like(image.pixelColor(75, 15), kLightBlue));
}

TEST_F(ArrowToolTest, LineHighlightIsStrokedAtItsWidthOnScreen)
{
    ASSERT_TRUE(view.canvas().setTransform(AffineTransform::scaling(2, 2)));
    QPainterPath line;
    line.moveTo(10, 20);
    line.lineTo(60, 20);
    Path path(line);
    path.setLineWidth(4);
    const StrokePtr s = Stroke::withLine(path, Qt::black, kModeNormal, 1);
    ASSERT_TRUE(s);
    doc.list.addStroke(s);
    tool.setSelection({s});
    // 8 view pixels wide about y = 40: row 42 is inside, row 47 outside.
    const QImage image = feedback();
    EXPECT_TRUE(looks_like(image.pixelColor(60, 42), kLightBlue));
    EXPECT_EQ(image.pixelColor(60, 47).alpha(), 0);
}

TEST_F(ArrowToolTest, CommandDragScalesAndTurnsAboutTheCentre)
{
    const StrokePtr s = add(40, 45, 20, 10); // centre (50, 50)
    tool.setSelection({s});
    tool.toolDownEvent(at(70, 50, kCommandKey), view);
    tool.toolMoveEvent(at(90, 50, kCommandKey));
    // Shown twice the size before the release: [30, 70] x [40, 60].
    EXPECT_TRUE(looks_like(feedback().pixelColor(34, 50), kLightBlue));
    expect_rect_near(s->bounds(), make_rect(40, 45, 20, 10));
    tool.toolUpEvent(at(90, 50));
    expect_rect_near(s->bounds(), make_rect(30, 40, 40, 20));
    doc.undo.undo();
    expect_rect_near(s->bounds(), make_rect(40, 45, 20, 10));

    drag({70, 50}, {50, 70}, kCommandKey);
    expect_rect_near(s->bounds(), make_rect(45, 40, 10, 20));
    EXPECT_EQ(doc.transforms, 2);
}

TEST_F(ArrowToolTest, TransformCarriesTheDragStartToItsEnd)
{
    ASSERT_TRUE(view.canvas().setTransform({0.8f, 1.1f, -1.1f, 0.8f, 90, -20}));
    tool.setSelection({add(10, 10, 30, 20)});
    tool.toolDownEvent(at(5, 5, kCommandKey), view);
    ASSERT_EQ(tool.dragMode(), ArrowTool::TRANSFORM);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(0, 200);
    const PavoCanvas& canvas = view.canvas();
    for (int i = 0; i < 50; ++i) {
        const Point a{coordinate(random), coordinate(random)};
        const Point b{coordinate(random), coordinate(random)};
        const std::optional<AffineTransform> t = tool.transformFrom(a, b);
        ASSERT_TRUE(t);
        const Point moved = t->apply(canvas.bitmapPointToWorldPoint(a));
        const Point want = canvas.bitmapPointToWorldPoint(b);
        EXPECT_NEAR(moved.x, want.x, 0.01f);
        EXPECT_NEAR(moved.y, want.y, 0.01f);
    }
    tool.toolUpEvent(at(5, 5));
}

TEST_F(ArrowToolTest, DragsFromOrToTheCentreChangeNothing)
{
    const StrokePtr s = add(40, 40, 20, 20); // centre (50, 50)
    tool.setSelection({s});

    tool.toolDownEvent(at(50, 50, kCommandKey), view);
    tool.toolMoveEvent(at(80, 70, kCommandKey));
    EXPECT_FALSE(tool.transformFrom({50, 50}, {80, 70}));
    const QImage image = feedback(); // shows the selection where it is
    EXPECT_TRUE(looks_like(image.pixelColor(45, 45), kLightBlue));
    tool.toolUpEvent(at(80, 70));

    drag({55, 50}, {50, 50}, kCommandKey);
    EXPECT_EQ(doc.transforms, 0);
    EXPECT_FALSE(doc.undo.canUndo());
    EXPECT_EQ(tool.selection(), (StrokeArray{s}));
    expect_rect_near(s->bounds(), make_rect(40, 40, 20, 20));
}

TEST_F(ArrowToolTest, DragsWithNothingSelectedDoNothing)
{
    const StrokePtr s = add(40, 40, 20, 20);
    tool.toolDownEvent(at(150, 50, kCommandKey), view);
    EXPECT_EQ(tool.dragMode(), ArrowTool::NONE);
    tool.toolMoveEvent(at(190, 90, kCommandKey));
    EXPECT_EQ(tool.dragMode(), ArrowTool::NONE);
    tool.toolUpEvent(at(190, 90));

    // Shift-clicking the only selected stroke away, then dragging.
    tool.setSelection({s});
    drag({50, 50}, {90, 90}, kShiftKey);
    EXPECT_TRUE(tool.selection().empty());
    EXPECT_EQ(doc.transforms, 0);
    EXPECT_FALSE(doc.undo.canUndo());
}

TEST_F(ArrowToolTest, LongDragFromAClickThatStartedNothingMovesOrTurns)
{
    const StrokePtr a = add(10, 10, 20, 20);
    const StrokePtr b = add(60, 10, 20, 20);
    tool.setSelection({a});
    tool.toolDownEvent(at(70, 20, kShiftKey), view);
    tool.toolMoveEvent(at(75, 25, kShiftKey));
    EXPECT_EQ(tool.dragMode(), ArrowTool::NONE);
    tool.toolMoveEvent(at(80, 30, kShiftKey));
    EXPECT_EQ(tool.dragMode(), ArrowTool::MOVE);
    tool.toolUpEvent(at(80, 30));
    expect_rect_near(a->bounds(), make_rect(20, 20, 20, 20));
    expect_rect_near(b->bounds(), make_rect(70, 20, 20, 20));

    // A command-click on an unselected stroke adds it and turns the whole selection.
    const StrokePtr c = add(150, 60, 10, 10);
    tool.toolDownEvent(at(155, 65, kCommandKey), view);
    EXPECT_EQ(tool.selection(), (StrokeArray{a, b, c}));
    EXPECT_EQ(tool.dragMode(), ArrowTool::TRANSFORM);
    tool.toolUpEvent(at(155, 65));
}

TEST_F(ArrowToolTest, SelectionReplacedDuringTheEditStillMovesAll)
{
    // The document renews the selection whenever the stroke list changes; the tool must not
    // hand it a list that this empties.
    class RenewingDocument : public TestToolDocument {
    public:
        ArrowTool* arrow = nullptr;
        bool transformStrokesInArray(const StrokeArray& strokes, const AffineTransform& t) override
        {
            arrow->clearSelection();
            return TestToolDocument::transformStrokesInArray(strokes, t);
        }
    } renewing;
    TestToolView renewingView(renewing);
    ArrowTool arrow(renewing);
    renewing.arrow = &arrow;
    const StrokePtr s = test_rect_stroke(10, 10, 20, 20);
    renewing.list.addStroke(s);
    arrow.toolDownEvent(at(20, 20), renewingView);
    arrow.toolMoveEvent(at(30, 20));
    arrow.toolUpEvent(at(30, 20));
    expect_rect_near(s->bounds(), make_rect(20, 10, 20, 20));
}

TEST_F(ArrowToolTest, FeedbackMarksTheViewAndPaintsInEveryMode)
{
    add(10, 10, 20, 20);
    feedback(); // before any mouse-down
    tool.toolDownEvent(at(20, 20), view);
    EXPECT_EQ(view.wholeView, 1);
    tool.toolMoveEvent(at(25, 20));
    EXPECT_EQ(view.wholeView, 2);
    feedback();
    tool.toolUpEvent(at(25, 20));
    EXPECT_EQ(view.wholeView, 3);

    // A shift-click that starts nothing redraws at the down and the up, not for small moves.
    tool.toolDownEvent(at(25, 20, kShiftKey), view);
    tool.toolMoveEvent(at(27, 20, kShiftKey));
    EXPECT_EQ(view.wholeView, 4);
    feedback();
    tool.toolUpEvent(at(27, 20));
    EXPECT_EQ(view.wholeView, 5);

    tool.toolDownEvent(at(150, 80), view);
    tool.toolMoveEvent(at(100, 5));
    EXPECT_EQ(view.wholeView, 7);
    EXPECT_GT(feedback().pixelColor(120, 40).alpha(), 0);
    tool.toolUpEvent(at(100, 5));
}
