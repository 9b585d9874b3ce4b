// A pen stroke from pointer events to pixels: the view hands a drag to the built-in pen,
// the pen adds its stroke to a real drawing, and the drawing's changes come back to the
// view's canvas, through undo and redo as well.

#include "pavo_document.h"

#include "fakes.h"

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

bool dark(Color c) { return alpha(c) > 200 && red(c) < 80 && green(c) < 80 && blue(c) < 80; }
// The background is transparent; white counts as empty too.
bool empty(Color c) { return alpha(c) == 0 || c == WHITE; }

// A horizontal drag along y = kY from x = kStartX to kEndX.
constexpr float kY = 100, kStartX = 40, kEndX = 260;
constexpr int kMoves = 30;

class PenDrawing : public ::testing::Test {
protected:
    PenResources resources;
    DocumentShell shell;
    FakeDisplay display;
    FailingAlerts alerts;
    std::unique_ptr<PavoDocument> document =
        PavoDocument::create(shell, display, {300, 200}, alerts, resources.root());
    PavoView* view = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(document);
        view = &document->view();
        ASSERT_EQ(document->pen().penTypeName(), QStringLiteral("Pen"));
    }

    int strokeCount() const { return document->strokes().count(); }
    UndoManager& undo() { return document->undoManager(); }

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

// The stroke is previewed while the pen is down, added at pen-up, and taken out of the
// canvas and back by undo and redo, which the view learns of from the drawing alone.
TEST_F(PenDrawing, ADragPreviewsThenAddsOneStrokeThatUndoAndRedoTakeAwayAndBack)
{
    drag(false);
    EXPECT_EQ(strokeCount(), 0);
    expectStrokeIn(view->canvas().previewBitmap(), "preview");
    expectNoStrokeIn(view->canvas().drawBitmap(), "draw");
    view->mouseUp({{kEndX, kY}, 1.0f});
    ASSERT_EQ(strokeCount(), 1);
    const StrokePtr stroke = document->strokes().lastStroke();
    ASSERT_TRUE(stroke->penPoints());
    const Rect bounds = stroke->bounds();
    EXPECT_NEAR(bounds.origin.x, kStartX, 2);
    EXPECT_NEAR(bounds.origin.x + bounds.size.width, kEndX + 4, 1);
    EXPECT_NEAR(bounds.origin.y + bounds.size.height / 2, kY, 0.5f);
    expectStrokeShown();

    undo().undo();
    EXPECT_EQ(strokeCount(), 0);
    expectNoStrokeShown();
    undo().redo();
    EXPECT_EQ(document->strokes().lastStroke(), stroke);
    expectStrokeShown();
    EXPECT_EQ(undo().undoActionName(), QStringLiteral("Stroke"));
}
