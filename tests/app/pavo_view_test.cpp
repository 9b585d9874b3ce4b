// The view: its transformation, rendering into the canvas, resizing, and the order in which
// it hands pointer, modifier and key events to tools.

#include "pavo_view.h"

#include "fakes.h"
#include "fill_tool.h"
#include "pen.h"
#include "picture_copy.h"
#include "pictures.h"
#include "rows.h"
#include "support/strokes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

using namespace color_ns;

namespace {

// A view of 200 x 100 pixels over a document holding a real Drawing whose news reaches the
// view as the document controller passes it on, with a display that records what the view
// invalidates.
class ViewTest : public ::testing::Test {
protected:
    static constexpr Point kCentre{100, 50};
    CallLog log;
    FakeDocument document{&log};
    FakeDisplay display;
    std::unique_ptr<PavoView> view;
    void SetUp() override
    {
        view = PavoView::create(document, display, {200, 100});
        ASSERT_TRUE(view);
        document.onChange = [this](const DrawingChange& change) {
            if (change.kind == DrawingChange::StrokeAdded) view->strokeAdded(change.stroke);
            else view->redraw();
        };
    }
    void TearDown() override { document.onChange = nullptr; }
    Point viewPointOf(Point world) { return view->canvas().worldPointToBitmapPoint(world); }
    Point worldPointAt(Point p) { return view->canvas().bitmapPointToWorldPoint(p); }
    Color shownAt(Point viewPoint) { return view->canvasForReading().colorAt(viewPoint); }
};

void expect_near(Point actual, Point expected, float tolerance = 1e-3f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

// Each navigation keeps the right point in place and edits the drawing.
TEST_F(ViewTest, ZoomMoveRotateAndResetKeepTheirPointInPlace)
{
    ASSERT_TRUE(view->setTransform({1.5f, 0, 0, 1.5f, -20, 10}));
    Point world = worldPointAt(kCentre);
    ASSERT_TRUE(view->zoomIn());
    EXPECT_NEAR(view->scale(), 4.5f, 1e-4);
    ASSERT_TRUE(view->zoomOut()); // the inverse: back where it was
    EXPECT_NEAR(view->scale(), 1.5f, 1e-4);
    expect_near(viewPointOf(world), kCentre);
    EXPECT_TRUE(document.drawing().isEdited());
    const Point before = viewPointOf({3, 4});
    ASSERT_TRUE(view->moveFrom({10, 10}, {30, 15}));
    expect_near(viewPointOf({3, 4}), before + Point{20, 5});
    // Both points on one ray from the centre: no turn.
    const AffineTransform unturned = view->transform();
    ASSERT_TRUE(view->rotateFrom(kCentre + Point{10, 5}, kCentre + Point{30, 15}));
    EXPECT_NEAR(view->transform().b, unturned.b, 1e-5);
    // A quarter turn clockwise on screen carries what was right of the centre below it.
    world = worldPointAt(kCentre + Point{20, 0});
    ASSERT_TRUE(view->rotateFrom(kCentre + Point{10, 0}, kCentre + Point{0, 10}));
    expect_near(viewPointOf(world), kCentre + Point{0, 20});
    world = worldPointAt(kCentre);
    ASSERT_TRUE(view->resetRotation());
    const AffineTransform t = view->transform();
    EXPECT_NEAR(t.a, 1.5f, 1e-4);
    EXPECT_NEAR(t.d, 1.5f, 1e-4);
    EXPECT_NEAR(t.b, 0, 1e-6);
    expect_near(viewPointOf(world), kCentre);
}

TEST_F(ViewTest, ZoomToFitFillsTheTighterDimensionCentredAndNeedsAnArea)
{
    document.drawing().addStroke(fill_stroke(make_rect(10, 10, 50, 0), Qt::red)); // flat
    document.drawing().undoManager().markClean();
    EXPECT_FALSE(view->zoomToFit());
    EXPECT_FALSE(document.drawing().isEdited());
    document.drawing().addStroke(fill_stroke(make_rect(10, 20, 40, 10), Qt::red));
    document.drawing().addStroke(fill_stroke(make_rect(-30, 0, 5, 5), Qt::blue));
    ASSERT_TRUE(view->zoomToFit());
    const Rect shown = view->canvas().worldRectToBitmapRect(document.drawing().strokes().bounds());
    expect_near(centre(shown), kCentre, 1e-2f);
    EXPECT_NEAR(shown.size.width, 200, 1e-2f);
    EXPECT_LE(shown.size.height, 100.01f);
}

TEST_F(ViewTest, ZoomStopsAtTheEdgesOfItsRange)
{
    const Point world = worldPointAt({30, 70});
    ASSERT_TRUE(view->zoomToPoint({30, 70}, 1e6f));
    EXPECT_NEAR(view->scale(), PavoView::kMaxScale, 1e-3 * PavoView::kMaxScale);
    // Clamped or not, the point under the pointer comes to the centre.
    expect_near(viewPointOf(world), kCentre, 1e-2f);
    view->zoomToBitmapRect(make_rect(50, 50, 0, 0));
    EXPECT_LE(view->scale(), PavoView::kMaxScale * 1.0001f);
    for (int i = 0; i < 30; ++i) view->zoomOut();
    EXPECT_NEAR(view->scale(), PavoView::kMinScale, 1e-3 * PavoView::kMinScale);
}

TEST_F(ViewTest, UnusableRequestsAreRefusedWholly)
{
    ASSERT_TRUE(view->setTransform({1.25f, 0.5f, -0.5f, 1.25f, 3, -8}));
    const AffineTransform before = view->transform();
    const float inf = INFINITY, nan = std::nanf("");
    EXPECT_FALSE(view->zoomToPoint(kCentre, nan));
    EXPECT_FALSE(view->zoomToPoint(kCentre, -2));
    EXPECT_FALSE(view->zoomToPoint({inf, 10}, 2));
    EXPECT_FALSE(view->zoomToBitmapRect(make_rect(nan, 0, 10, 10)));
    EXPECT_FALSE(view->moveFrom({0, 0}, {inf, 0}));
    EXPECT_FALSE(view->rotateFrom({nan, 0}, {1, 1}));
    const AffineTransform refused[] = {{nan, 0, 0, 1, 0, 0}, {1, 2, 2, 4, 0, 0}, {1e5f, 0, 0, 1e5f, 0, 0}};
    for (const AffineTransform& t : refused) EXPECT_FALSE(view->setTransform(t));
    EXPECT_EQ(view->transform(), before);
    EXPECT_FALSE(document.drawing().isEdited());
    // Far out, the canvas takes the scaling but not the translation that would follow it.
    const AffineTransform farOut{1.25f, 0.5f, -0.5f, 1.25f, 3e38f, -8};
    ASSERT_TRUE(view->setTransform(farOut));
    EXPECT_FALSE(view->zoomToPoint(kCentre, 2));
    EXPECT_EQ(view->transform(), farOut);
    EXPECT_FALSE(document.drawing().isEdited());
}

// Adds a stroke the view does not hear of: it shows only once the whole drawing is rendered.
void add_unseen(FakeDocument& document, const StrokePtr& stroke)
{
    auto news = std::exchange(document.onChange, nullptr);
    document.drawing().addStroke(stroke);
    document.onChange = std::move(news);
}

TEST_F(ViewTest, AStrokeOnTopDrawsOnlyItselfOtherChangesRenderAll)
{
    view->ensureCanvasUpToDate();
    add_unseen(document, fill_stroke(make_rect(100, 70, 10, 10), Qt::blue));
    const int invalidations = display.wholeView;
    document.drawing().addStroke(fill_stroke(make_rect(20, 20, 10, 10), Qt::red));
    ASSERT_EQ(display.rects.size(), 1u);
    const Rect r = display.rects.front();
    EXPECT_TRUE(r.minX() <= 20 && r.minY() <= 20 && r.maxX() >= 30 && r.maxY() >= 30);
    EXPECT_EQ(display.wholeView, invalidations);
    EXPECT_EQ(shownAt({25, 25}), RED);
    EXPECT_EQ(shownAt({105, 75}), TRANSPARENT); // no full render
    document.drawing().undoManager().undo();
    EXPECT_EQ(shownAt({25, 25}), TRANSPARENT);
    EXPECT_EQ(shownAt({105, 75}), BLUE);
    // The same for the preview, which paint and colour picking use.
    EXPECT_EQ(view->canvasForReading().previewBitmap().colorAt({25, 25}), TRANSPARENT);
}

TEST_F(ViewTest, PaintShowsTheCanvasThenTheToolFeedback)
{
    RecordingTool pen{"pen", log};
    pen.onDraw = [](QPainter& painter) { painter.fillRect(QRect(24, 24, 2, 2), Qt::green); };
    document.setTool(&pen);
    document.drawing().addStroke(fill_stroke(make_rect(20, 20, 10, 10), Qt::red));
    document.drawing().setBackgroundColor(QColor(Qt::yellow)); // a full render is due
    log.clear();
    const QImage target = painted({200, 100}, Qt::blue, [this](QPainter& p) { view->paint(p, make_rect(0, 0, 50, 50)); });
    EXPECT_EQ(log, (CallLog{"pen:draw"}));
    EXPECT_EQ(target.pixelColor(21, 21), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(24, 24), QColor(Qt::green));
    // Transparent canvas leaves what lay beneath.
    EXPECT_EQ(target.pixelColor(40, 40), QColor(Qt::blue));
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::yellow));
}

TEST_F(ViewTest, LiveResizeShowsTheOldCanvasUntilItEnds)
{
    document.drawing().addStroke(fill_stroke(make_rect(20, 20, 10, 10), Qt::red));
    ASSERT_TRUE(view->zoomToPoint({25, 25}, 1.5f));
    const AffineTransform transform = view->transform();
    const Point shown = viewPointOf({25, 25});
    view->ensureCanvasUpToDate();
    add_unseen(document, fill_stroke(make_rect(60, 40, 10, 10), Qt::blue));
    const Point unseen = viewPointOf({65, 45});
    ASSERT_TRUE(view->setSize({300, 150}, true));
    ASSERT_TRUE(view->setSize({320, 160}, true));
    EXPECT_EQ(view->canvasForReading().size(), (Size{200, 100}));
    EXPECT_EQ(shownAt(shown), RED);
    EXPECT_EQ(shownAt(unseen), TRANSPARENT); // the old canvas, not rendered again
    view->endLiveResize();
    EXPECT_EQ(view->canvas().size(), (Size{320, 160}));
    EXPECT_EQ(view->transform(), transform);
    EXPECT_EQ(view->canvas().colorAt(unseen), BLUE);
}

TEST_F(ViewTest, ASizeChangeRebuildsTheCanvasBeforeItIsUsedAndRefusesTheImpossible)
{
    // Beyond the old canvas, inside the new one.
    document.drawing().addStroke(fill_stroke(make_rect(95, 70, 10, 10), Qt::red));
    ASSERT_TRUE(view->setTransform({2, 0, 0, 2, 0, 0}));
    EXPECT_FALSE(view->setSize({-1, 50}, false));
    EXPECT_FALSE(view->setSize({std::nanf(""), 50}, false));
    ASSERT_TRUE(view->setSize({400, 300}, false));
    // The zoom centres on the new size, not on the canvas still waiting to be rebuilt.
    const Point world = worldPointAt({200, 150});
    ASSERT_TRUE(view->zoomIn());
    expect_near(viewPointOf(world), {200, 150});
    EXPECT_EQ(view->canvasForReading().size(), (Size{400, 300}));
    EXPECT_EQ(shownAt({200, 150}), RED);
    // A canvas too large to make keeps the old one.
    ASSERT_TRUE(view->setSize({1e6f, 1e6f}, false));
    EXPECT_EQ(view->canvasForReading().size(), (Size{400, 300}));
    EXPECT_FALSE(PavoView::create(document, display, {1e6f, 1e6f}));
}

// The same view on a screen of two device pixels per view pixel beside the one of ratio 1.
class ViewAtRatioTwo : public ViewTest {
protected:
    FakeDisplay dense;
    std::unique_ptr<PavoView> view2;
    void SetUp() override
    {
        ViewTest::SetUp();
        dense.ratio = 2;
        view2 = PavoView::create(document, dense, {200, 100});
        ASSERT_TRUE(view2);
        document.onChange = [this](const DrawingChange& change) {
            for (PavoView* v : {view.get(), view2.get()})
                change.kind == DrawingChange::StrokeAdded ? v->strokeAdded(change.stroke) : v->redraw();
        };
    }
};

double coverage(const Bitmap& b)
{
    double sum = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) sum += alpha(b.pixelAt(x, y));
    return sum / 255;
}

TEST_F(ViewAtRatioTwo, TheCanvasHoldsDevicePixelsWhileTheTransformStaysInViewPixels)
{
    document.drawing().addStroke(fill_stroke(make_rect(20, 20, 40, 30), Qt::red));
    const std::function<bool(PavoView&)> steps[] = {
        [](PavoView& v) { return v.setTransform({1.5f, 0, 0, 1.5f, -20, 10}); },
        [](PavoView& v) { return v.zoomToPoint({30, 70}, 2.5f); },
        [](PavoView& v) { return v.rotateFrom({110, 50}, {100, 60}); },
        [](PavoView& v) { return v.moveFrom({10, 10}, {33, 17}); },
        [](PavoView& v) { return v.resetRotation() && v.zoomToFit(); }};
    for (const auto& step : steps) {
        ASSERT_TRUE(step(*view) && step(*view2));
        EXPECT_EQ(view2->transform(), view->transform());
    }
    EXPECT_EQ(view2->canvas().transform(), AffineTransform::scaling(2, 2).after(view->transform()));
    EXPECT_EQ(view2->canvasForReading().size(), (Size{400, 200}));
    EXPECT_EQ(view2->viewGeometry().size(), view->viewGeometry().size());
    // Copies are in view pixels; the denser canvas averages down to the same picture but for rounding.
    EXPECT_LE(largest_difference(capture_view(*view2, std::nullopt), capture_view(*view, std::nullopt)), 8);
    EXPECT_EQ(picture_at_scale(*view2, document.drawing().strokes(), std::nullopt, 2)->size(), QSize(400, 200));
    EXPECT_NEAR(coverage(view2->canvas().previewBitmap()), 4 * coverage(view->canvasForReading().previewBitmap()),
                40);
    // Moved to a screen of ratio 1, it renders anew there and looks at the same place.
    dense.ratio = 1;
    EXPECT_EQ(view2->canvasForReading().size(), (Size{200, 100}));
    EXPECT_EQ(view2->transform(), view->transform());
    EXPECT_EQ(largest_difference(view2->canvas().previewBitmap().image(), view->canvas().previewBitmap().image()), 0);
}

// The edges one device pixel wide on screen: the window test at QT_SCALE_FACTOR=2.
TEST_F(ViewAtRatioTwo, PaintCopiesTheDevicePixelsAndRedisplayIsInViewPixels)
{
    view2->ensureCanvasUpToDate();
    document.drawing().addStroke(fill_stroke(make_rect(20.3f, 20, 40, 30), Qt::red));
    ASSERT_EQ(dense.rects.size(), 1u);
    const Rect marked = dense.rects.front();
    EXPECT_TRUE(marked.minX() <= 20.3f && marked.maxX() >= 60.3f && marked.maxX() < 62) << marked.maxX();
    QImage shown(400, 200, QImage::Format_RGBA8888_Premultiplied);
    shown.setDevicePixelRatio(2);
    shown.fill(Qt::transparent);
    {
        QPainter painter(&shown);
        view2->paint(painter, make_rect(0, 0, 200, 100));
    }
    EXPECT_EQ(largest_difference(shown, view2->canvas().previewBitmap().image()), 0);
}

TEST_F(ViewAtRatioTwo, ToolsReadAndDrawUnderTheViewPoint)
{
    document.drawing().addStroke(fill_stroke(make_rect(60, 20, 40, 40), Qt::red));
    FillTool fill;
    fill.setColor(Qt::blue);
    document.setTool(&fill);
    view2->mouseDown({{80, 40}, 1, kOptionKey});
    view2->mouseUp({{80, 40}, 0, kOptionKey});
    EXPECT_EQ(document.toolColor, QColor(Qt::red));
    // The growth under the edges is in view pixels too.
    fill.setExpand(4);
    const auto filled = [&](PavoView& v) {
        v.mouseDown({{80, 40}, 1, 0});
        v.mouseUp({{80, 40}, 0, 0});
        const Rect r = document.drawing().strokes().strokeArray().back()->bounds();
        document.drawing().undoManager().undo();
        return r;
    };
    const Rect dense_fill = filled(*view2), plain_fill = filled(*view);
    EXPECT_NEAR(dense_fill.minX(), plain_fill.minX(), 0.5f);
    EXPECT_NEAR(dense_fill.maxY(), plain_fill.maxY(), 0.5f);
    EXPECT_NEAR(plain_fill.maxY(), 64, 1);
    RecordingAlerts alerts;
    Pen pen{alerts, QStringLiteral("/no pens here")};
    pen.setRadius(3);
    document.setTool(&pen);
    view2->mouseDown({{30, 70}, 1, 0});
    view2->mouseDragged({{30, 70}, 1, 0});
    view2->mouseDragged({{50, 70}, 1, 0});
    EXPECT_NE(alpha(view2->canvas().previewBitmap().colorAt({80, 140})), 0);
    EXPECT_EQ(alpha(view2->canvas().previewBitmap().colorAt({40, 70})), 0);
    ASSERT_FALSE(dense.rects.empty());
    const Rect r = dense.rects.back();
    EXPECT_TRUE(r.minX() <= 40 && r.maxX() >= 50 && r.maxX() < 60 && r.minY() < 70 && r.maxY() > 70);
}

class ViewEvents : public ViewTest {
protected:
    RecordingTool pen{"pen", log};
    RecordingTool arrow{"arrow", log};
    void SetUp() override
    {
        ViewTest::SetUp();
        document.setTool(&pen);
        log.clear();
    }
    // "d x y" down, "m x y" move, "u x y" up, "f N" modifier flags N, "arrow" and "none"
    // switch tools, "del" the delete key.
    void run(const std::string& script)
    {
        std::istringstream in(script);
        std::string op;
        while (in >> op) {
            ToolEvent e{{0, 0}, 1, 0};
            if (op == "d" || op == "m" || op == "u") in >> e.location.x >> e.location.y;
            if (op == "f") in >> e.modifierFlags;
            EXPECT_TRUE(op != "del" || view->keyDown(QStringLiteral("\x7f"))) << "the delete key";
            if (op == "d") view->mouseDown(e);
            else if (op == "m") view->mouseDragged(e);
            else if (op == "u") view->mouseUp(e);
            else if (op == "f") view->flagsChanged(e);
            else if (op == "arrow") document.setTool(&arrow);
            else if (op == "none") document.setTool(nullptr);
        }
    }
};

struct EventRow {
    const char* what;
    std::string script;
    CallLog expected;
};

const std::string kShift = std::to_string(kShiftKey);
const std::string kOption = std::to_string(kOptionKey);
const std::string kSwitch[] = {"setTool arrow", "pen:deactivate", "arrow:activate"};

const EventRow kEventRows[] = {
    {"a tool switch during a drag waits for the up",
     "d 10 10 m 20 20 arrow m 30 30 u 30 30 d 5 5 u 5 5",
     {"pen:down 10,10", "pen:move 20,20", kSwitch[0], kSwitch[1], kSwitch[2], "pen:move 30,30",
      "pen:up 30,30", "arrow:down 5,5", "arrow:up 5,5"}},
    {"a second down ends the gesture where it was last seen", "d 10 10 m 20 25 arrow d 50 50",
     {"pen:down 10,10", "pen:move 20,25", kSwitch[0], kSwitch[1], kSwitch[2], "pen:up 20,25",
      "arrow:down 50,50"}},
    {"moves and ups without a down are ignored", "m 1 1 u 1 1 d 2 2 u 2 2 u 3 3 m 4 4",
     {"pen:down 2,2", "pen:up 2,2"}},
    {"with no tool nothing is received", "none d 5 5 u 5 5 f 2",
     {"setTool none", "pen:deactivate"}},
    {"a delete during a gesture waits for its end", "d 10 10 del u 10 10",
     {"pen:down 10,10", "pen:up 10,10", "delete"}},
    {"modifier changes during a gesture wait for its end",
     "f " + kShift + " d 10 10 f 3 arrow f " + kOption + " u 10 10",
     {"pen:flags " + kShift, "pen:down 10,10", kSwitch[0], kSwitch[1], kSwitch[2], "pen:up 10,10",
      "arrow:flags " + kOption}},
};

class ViewEventScripts : public ViewEvents, public ::testing::WithParamInterface<EventRow> {};

TEST_P(ViewEventScripts, ReachToolsInTheOrderTheyExpect)
{
    run(GetParam().script);
    EXPECT_EQ(log, GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(ViewEvents, ViewEventScripts, ::testing::ValuesIn(kEventRows),
                         [](const auto& row) { return test_name(row.param.what); });

TEST_F(ViewEvents, EventsKeepTheirPressureAndModifiersAndOnlyDeleteKeysDelete)
{
    view->mouseDown({{10, 10}, 0.2f, kShiftKey});
    view->mouseDragged({{12, 11}, 0.9f, kOptionKey});
    view->mouseDown({{50, 50}, 1, 0}); // ends the first gesture where it was last seen
    ASSERT_EQ(pen.events.size(), 4u);
    EXPECT_FLOAT_EQ(pen.events[0].pressure, 0.2f);
    EXPECT_TRUE(pen.events[0].has(kShiftKey));
    EXPECT_FLOAT_EQ(pen.events[1].pressure, 0.9f);
    EXPECT_FLOAT_EQ(pen.events[2].pressure, 0);
    EXPECT_TRUE(pen.events[2].has(kOptionKey));
    view->mouseUp({{50, 50}, 1, 0});
    log.clear();
    EXPECT_TRUE(view->keyDown(QStringLiteral("\b")));
    for (const char* text : {"a", " ", "", "\r", "x\x7f"})
        EXPECT_FALSE(view->keyDown(QString::fromLatin1(text))) << text;
    EXPECT_EQ(log, CallLog{"delete"});
}

TEST_F(ViewEvents, ToolsSeeAnUpToDateCanvas)
{
    std::vector<Color> seen;
    pen.onDown = [&](const ToolEvent& e, ToolView& v) {
        seen.push_back(v.canvas().colorAt(e.location));
    };
    ASSERT_TRUE(view->setTransform({2, 0, 0, 2, 0, 0}));
    document.drawing().addStroke(fill_stroke(make_rect(10, 10, 10, 10), Qt::red));
    run("d 30 30 u 30 30");
    document.drawing().undoManager().undo();
    run("d 30 30 u 30 30");
    EXPECT_EQ(seen, (std::vector<Color>{RED, TRANSPARENT}));
}

TEST_F(ViewEvents, FeedbackAndCursorFollowTheToolOfTheGesture)
{
    pen.cursor = ToolCursor::load(kColorPickerCursor);
    QImage target(200, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&target);
    run("d 10 10 arrow");
    view->paint(painter, make_rect(0, 0, 200, 100));
    EXPECT_EQ(view->cursor().hotSpot, kColorPickerCursor.hotSpot);
    run("u 10 10");
    view->paint(painter, make_rect(0, 0, 200, 100));
    EXPECT_EQ(view->cursor().shape, ToolCursor::Shape::Crosshair);
    EXPECT_EQ(log, (CallLog{"pen:down 10,10", kSwitch[0], kSwitch[1], kSwitch[2], "pen:draw",
                            "pen:up 10,10", "arrow:draw"}));
}

} // namespace
