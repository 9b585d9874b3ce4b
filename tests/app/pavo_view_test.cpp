// The view transformation, rendering into the canvas and resizing.

#include "view_test_support.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <utility>

using namespace color_ns;

using ViewNavigation = ViewTest;

// Each navigation keeps the right point in place and edits the drawing.
TEST_F(ViewNavigation, ZoomMoveRotateAndResetKeepTheirPointInPlace)
{
    ASSERT_TRUE(view->setTransform({1.5f, 0, 0, 1.5f, -20, 10}));
    Point world = worldPointAt(kCentre);
    ASSERT_TRUE(view->zoomIn());
    EXPECT_NEAR(view->scale(), 4.5f, 1e-4);
    ASSERT_TRUE(view->zoomOut());
    EXPECT_NEAR(view->scale(), 1.35f, 1e-4);
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
    EXPECT_NEAR(t.a, 1.35f, 1e-4);
    EXPECT_NEAR(t.d, 1.35f, 1e-4);
    EXPECT_NEAR(t.b, 0, 1e-6);
    expect_near(viewPointOf(world), kCentre);
}

TEST_F(ViewNavigation, ZoomToFitFillsTheTighterDimensionCentredAndNeedsAnArea)
{
    document.drawing().addStroke(rect_stroke(10, 10, 50, 0, Qt::red)); // flat
    document.drawing().undoManager().markClean();
    EXPECT_FALSE(view->zoomToFit());
    EXPECT_FALSE(document.drawing().isEdited());
    document.drawing().addStroke(rect_stroke(10, 20, 40, 10, Qt::red));
    document.drawing().addStroke(rect_stroke(-30, 0, 5, 5, Qt::blue));
    ASSERT_TRUE(view->zoomToFit());
    const Rect shown = view->canvas().worldRectToBitmapRect(document.drawing().strokes().bounds());
    expect_near(centre(shown), kCentre, 1e-2f);
    EXPECT_NEAR(shown.size.width, 200, 1e-2f);
    EXPECT_LE(shown.size.height, 100.01f);
}

TEST_F(ViewNavigation, ZoomStopsAtTheEdgesOfItsRange)
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

TEST_F(ViewNavigation, UnusableRequestsAreRefusedWholly)
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

using ViewRendering = ViewTest;

// Adds a stroke the view does not hear of: it shows only once the whole drawing is rendered.
void add_unseen(FakeDocument& document, const StrokePtr& stroke)
{
    auto news = std::exchange(document.onChange, nullptr);
    document.drawing().addStroke(stroke);
    document.onChange = std::move(news);
}

TEST_F(ViewRendering, AStrokeOnTopDrawsOnlyItselfOtherChangesRenderAll)
{
    view->ensureCanvasUpToDate();
    add_unseen(document, rect_stroke(100, 70, 10, 10, Qt::blue));
    const int invalidations = display.wholeView;
    document.drawing().addStroke(rect_stroke(20, 20, 10, 10, Qt::red));
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

TEST_F(ViewRendering, PaintShowsTheCanvasThenTheToolFeedback)
{
    RecordingTool pen{"pen", log};
    pen.onDraw = [](QPainter& painter) { painter.fillRect(QRect(24, 24, 2, 2), Qt::green); };
    document.setTool(&pen);
    document.drawing().addStroke(rect_stroke(20, 20, 10, 10, Qt::red));
    document.drawing().setBackgroundColor(QColor(Qt::yellow)); // a full render is due
    log.clear();
    QImage target(200, 100, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::blue);
    {
        QPainter painter(&target);
        view->paint(painter, make_rect(0, 0, 50, 50));
    }
    EXPECT_EQ(log, (CallLog{"pen:draw"}));
    EXPECT_EQ(target.pixelColor(21, 21), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(24, 24), QColor(Qt::green));
    // Transparent canvas leaves what lay beneath.
    EXPECT_EQ(target.pixelColor(40, 40), QColor(Qt::blue));
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::yellow));
}

TEST_F(ViewRendering, LiveResizeShowsTheOldCanvasUntilItEnds)
{
    document.drawing().addStroke(rect_stroke(20, 20, 10, 10, Qt::red));
    ASSERT_TRUE(view->zoomToPoint({25, 25}, 1.5f));
    const AffineTransform transform = view->transform();
    const Point shown = viewPointOf({25, 25});
    view->ensureCanvasUpToDate();
    add_unseen(document, rect_stroke(60, 40, 10, 10, Qt::blue));
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

TEST_F(ViewRendering, ASizeChangeRebuildsTheCanvasBeforeItIsUsedAndRefusesTheImpossible)
{
    // Beyond the old canvas, inside the new one.
    document.drawing().addStroke(rect_stroke(95, 70, 10, 10, Qt::red));
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
