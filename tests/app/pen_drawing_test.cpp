// A pen stroke from pointer events to pixels: the view hands a drag to the built-in pen,
// the pen adds its stroke to a real drawing, and the drawing's changes come back to the
// view's canvas, through undo and redo as well.

#include "pavo_view.h"

#include "drawing.h"
#include "pen.h"
#include "resources.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace color_ns;

namespace {

// Scripts report to a test only through a failure.
class FailingAlerts : public ScriptAlerts {
public:
    void show(const QString& title, const QString& message) override
    {
        ADD_FAILURE() << title.toStdString() << ": " << message.toStdString();
    }
};

// A resources folder whose only pen type is the built-in pen, so the test does not follow
// changes to the shipped pen set.
class PenResources {
public:
    PenResources()
    {
        EXPECT_TRUE(_dir.isValid());
        EXPECT_TRUE(QDir(_dir.path()).mkpath(QStringLiteral("Pens")));
        QFile script(_dir.path() + QStringLiteral("/Pens/pen.lua"));
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("name = \"Pen\"\ndefault = true\ncolor = \"000000\"\nradius = 4\n");
    }
    QString root() const { return _dir.path(); }

private:
    QTemporaryDir _dir;
};

// A document as the controller will be: it owns the drawing and the pen, groups each added
// stroke as one undoable action, and passes the drawing's changes on to the view.
class PenDocument : public ViewDocument, public DrawingObserver {
public:
    explicit PenDocument(const QString& resourceRoot) : pen(*this, _alerts, resourceRoot)
    {
        drawing.setObserver(this);
    }
    ~PenDocument() override { drawing.setObserver(nullptr); }

    Drawing drawing;
    Pen pen;
    PavoView* view = nullptr;

    Tool* tool() override { return &pen; }
    void setTool(Tool*) override {}
    void addStroke(const StrokePtr& stroke) override
    {
        const UndoGroup group(drawing.undoManager());
        drawing.addStroke(stroke);
    }
    void setToolColor(const QColor&) override {}
    void refreshCursor() override {}

    const Strokes& strokes() const override { return drawing.strokes(); }
    bool transformStrokesInArray(const StrokeArray& strokes, const AffineTransform& t) override
    {
        const UndoGroup group(drawing.undoManager());
        return drawing.transformStrokesInArray(strokes, t);
    }
    std::optional<QColor> backgroundColor() const override { return drawing.backgroundColor(); }
    void markChanged() override {}
    void deleteSelection() override {}

    void strokeAdded(const StrokePtr& stroke) override
    {
        if (view) view->strokeAdded(stroke);
    }
    void drawingChanged() override
    {
        if (view) view->redraw();
    }
    void editedChanged(bool) override {}

private:
    FailingAlerts _alerts;
};

class NullDisplay : public ViewDisplay {
public:
    void setNeedsDisplayInRect(const Rect&) override {}
    void setNeedsDisplay() override {}
    void refreshCursor() override {}
};

bool dark(Color c) { return alpha(c) > 200 && red(c) < 80 && green(c) < 80 && blue(c) < 80; }
// The background is transparent; white counts as empty too.
bool empty(Color c) { return alpha(c) == 0 || c == WHITE; }

// A horizontal drag along y = kY from x = kStartX to kEndX.
constexpr float kY = 100, kStartX = 40, kEndX = 260;
constexpr int kMoves = 30;

class PenDrawing : public ::testing::Test {
protected:
    PenResources resources;
    PenDocument document{resources.root()};
    NullDisplay display;
    std::unique_ptr<PavoView> view;

    void SetUp() override
    {
        view = PavoView::create(document, display, {300, 200});
        ASSERT_TRUE(view);
        document.view = view.get();
        ASSERT_EQ(document.pen.penTypeName(), QStringLiteral("Pen"));
    }
    void TearDown() override { document.view = nullptr; }

    int strokeCount() const { return document.drawing.strokes().count(); }
    UndoManager& undo() { return document.drawing.undoManager(); }

    // Down, kMoves moves with the pressure rising from 0.2 to 1, and up, unless `lift` is
    // false.
    void drag(bool lift = true)
    {
        view->mouseDown({{kStartX, kY}, 0.2f});
        for (int i = 0; i < kMoves; ++i) {
            const float t = float(i) / float(kMoves - 1);
            view->mouseDragged({{kStartX + t * (kEndX - kStartX), kY}, 0.2f + 0.8f * t});
        }
        if (lift) view->mouseUp({{kEndX, kY}, 1.0f});
    }

    // Where the pressure is high enough for a solid line, off the path and at its ends.
    static void expectStrokeIn(const Bitmap& bitmap, const char* which)
    {
        SCOPED_TRACE(which);
        for (float x = 150; x <= kEndX - 5; x += 10) EXPECT_TRUE(dark(bitmap.colorAt({x, kY}))) << x;
        expectNothingAwayFromThePathIn(bitmap);
    }
    static void expectNothingAwayFromThePathIn(const Bitmap& bitmap)
    {
        for (float x = 10; x < 300; x += 20) {
            EXPECT_TRUE(empty(bitmap.colorAt({x, kY - 20}))) << x;
            EXPECT_TRUE(empty(bitmap.colorAt({x, kY + 20}))) << x;
        }
        EXPECT_TRUE(empty(bitmap.colorAt({kStartX - 15, kY})));
        EXPECT_TRUE(empty(bitmap.colorAt({kEndX + 15, kY})));
    }
    static void expectNoStrokeIn(const Bitmap& bitmap, const char* which)
    {
        SCOPED_TRACE(which);
        for (float x = 150; x <= kEndX - 5; x += 10) EXPECT_TRUE(empty(bitmap.colorAt({x, kY}))) << x;
        expectNothingAwayFromThePathIn(bitmap);
    }
    void expectStrokeShown()
    {
        const PavoCanvas& canvas = view->canvasForReading();
        expectStrokeIn(canvas.drawBitmap(), "draw");
        expectStrokeIn(canvas.previewBitmap(), "preview");
    }
    void expectNoStrokeShown()
    {
        const PavoCanvas& canvas = view->canvasForReading();
        expectNoStrokeIn(canvas.drawBitmap(), "draw");
        expectNoStrokeIn(canvas.previewBitmap(), "preview");
    }
};

} // namespace

TEST_F(PenDrawing, DragPreviewsWhileTheDrawingWaitsForPenUp)
{
    drag(false);
    EXPECT_EQ(strokeCount(), 0);
    expectStrokeIn(view->canvas().previewBitmap(), "preview");
    expectNoStrokeIn(view->canvas().drawBitmap(), "draw");
    view->mouseUp({{kEndX, kY}, 1.0f});
    EXPECT_EQ(strokeCount(), 1);
}

TEST_F(PenDrawing, DragAddsOneStrokeShownInTheCanvas)
{
    drag();
    ASSERT_EQ(strokeCount(), 1);
    const StrokePtr stroke = document.drawing.strokes().lastStroke();
    EXPECT_EQ(stroke->color(), QColor(Qt::black));
    ASSERT_TRUE(stroke->penPoints());
    const Rect bounds = stroke->bounds();
    EXPECT_NEAR(bounds.origin.x, kStartX, 2);
    EXPECT_NEAR(bounds.origin.x + bounds.size.width, kEndX + 4, 1);
    EXPECT_NEAR(bounds.origin.y + bounds.size.height / 2, kY, 0.5f);
    expectStrokeShown();
    EXPECT_EQ(undo().undoActionName(), QStringLiteral("Stroke"));
}

TEST_F(PenDrawing, UndoAndRedoTakeTheStrokeOutOfTheCanvasAndBack)
{
    drag();
    ASSERT_EQ(strokeCount(), 1);
    const StrokePtr stroke = document.drawing.strokes().lastStroke();
    ASSERT_TRUE(undo().canUndo());

    undo().undo();
    EXPECT_EQ(strokeCount(), 0);
    expectNoStrokeShown();
    EXPECT_EQ(undo().redoActionName(), QStringLiteral("Stroke"));

    undo().redo();
    ASSERT_EQ(strokeCount(), 1);
    EXPECT_EQ(document.drawing.strokes().lastStroke(), stroke);
    expectStrokeShown();
    EXPECT_EQ(undo().undoActionName(), QStringLiteral("Stroke"));
}

TEST_F(PenDrawing, StrokeDrawnWhileZoomedLandsInDrawingUnits)
{
    // Zooming by 2 about (75, 50) brings the origin to the origin: a pure scaling.
    constexpr float kZoom = 2;
    ASSERT_TRUE(view->zoomToPoint({75, 50}, kZoom));
    const AffineTransform t = view->transform();
    ASSERT_FLOAT_EQ(t.a, kZoom);
    ASSERT_NEAR(t.tx, 0, 1e-3);
    ASSERT_NEAR(t.ty, 0, 1e-3);

    drag();
    ASSERT_EQ(strokeCount(), 1);
    const Rect bounds = document.drawing.strokes().lastStroke()->bounds();
    // The pen's radius shrinks with the zoom as well.
    EXPECT_NEAR(bounds.origin.x, kStartX / kZoom, 1);
    EXPECT_NEAR(bounds.origin.x + bounds.size.width, (kEndX + 4) / kZoom, 0.5f);
    EXPECT_NEAR(bounds.origin.y + bounds.size.height / 2, kY / kZoom, 0.25f);
    EXPECT_LE(bounds.size.height, 2 * 4 / kZoom + 0.5f);
    expectStrokeShown();
}

TEST_F(PenDrawing, ClickAddsNothing)
{
    view->mouseDown({{100, 100}, 1.0f});
    view->mouseUp({{100, 100}, 1.0f});
    EXPECT_EQ(strokeCount(), 0);
    EXPECT_FALSE(undo().canUndo());
    EXPECT_TRUE(empty(view->canvasForReading().previewBitmap().colorAt({100, 100})));
}

// The pen set the program ships: its default pen draws through the view like any other.
TEST(ShippedPenSet, DefaultPenDrawsUndoesAndRedoes)
{
    PenDocument document(resource_path());
    NullDisplay display;
    const std::unique_ptr<PavoView> view = PavoView::create(document, display, {300, 200});
    ASSERT_TRUE(view);
    document.view = view.get();
    EXPECT_EQ(document.pen.penTypeName(), QStringLiteral("Pen"));
    view->mouseDown({{40, 100}, 0.5f});
    for (float x = 44; x <= 260; x += 4) view->mouseDragged({{x, 100}, 0.9f});
    view->mouseUp({{260, 100}, 0.9f});
    ASSERT_EQ(document.drawing.strokes().count(), 1);
    EXPECT_TRUE(dark(view->canvasForReading().drawBitmap().colorAt({200, 100})));
    document.drawing.undoManager().undo();
    EXPECT_EQ(document.drawing.strokes().count(), 0);
    EXPECT_TRUE(empty(view->canvasForReading().previewBitmap().colorAt({200, 100})));
    document.drawing.undoManager().redo();
    EXPECT_EQ(document.drawing.strokes().count(), 1);
    EXPECT_TRUE(dark(view->canvasForReading().previewBitmap().colorAt({200, 100})));
    document.view = nullptr;
}
