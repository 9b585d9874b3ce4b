#include "drawing.h"
#include "model_test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Recorder : DrawingObserver {
    int added = 0;
    int redraws = 0;
    std::vector<bool> edited;
    void strokeAdded(const StrokePtr&) override { ++added; }
    void drawingChanged() override { ++redraws; }
    void editedChanged(bool e) override { edited.push_back(e); }
};

void draw_one(Drawing& drawing, const QColor& color)
{
    UndoGroup group(drawing.undoManager());
    drawing.addStroke(fill_stroke(1, 2, 30, 40, color));
}

} // namespace

TEST(Drawing, UndoReachesTheViewAndTracksTheSavedState)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.pavo");
    Drawing drawing;
    Recorder view;
    drawing.setObserver(&view);
    EXPECT_FALSE(drawing.isEdited());

    draw_one(drawing, Qt::red);
    EXPECT_EQ(view.added, 1);
    EXPECT_TRUE(drawing.isEdited());
    ASSERT_TRUE(drawing.save(path, QStringLiteral("0 0 640 480"), AffineTransform::scaling(2, 2)));
    EXPECT_FALSE(drawing.isEdited());

    drawing.undoManager().undo(); // replayed through the drawing, so the view redraws
    EXPECT_EQ(drawing.strokes().count(), 0);
    EXPECT_EQ(view.redraws, 1);
    EXPECT_TRUE(drawing.isEdited());
    drawing.undoManager().redo();
    EXPECT_EQ(view.added, 2);
    EXPECT_FALSE(drawing.isEdited());
    EXPECT_EQ(view.edited, (std::vector<bool>{true, false, true, false}));

    // The background cannot be undone, but it is a change to save.
    drawing.setBackgroundColor(QColor(Qt::yellow));
    EXPECT_TRUE(drawing.isEdited());
    drawing.undoManager().undo();
    drawing.undoManager().redo();
    EXPECT_TRUE(drawing.isEdited());
}

TEST(Drawing, LoadReplacesEverythingOrNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("b.pavo");
    {
        Drawing original;
        draw_one(original, Qt::red);
        draw_one(original, Qt::blue);
        original.setBackgroundColor(std::nullopt);
        ASSERT_TRUE(original.save(path, QStringLiteral("frame"), AffineTransform::translation(3, 4)));
    }
    Drawing drawing;
    draw_one(drawing, Qt::green);
    Recorder view;
    drawing.setObserver(&view);
    ASSERT_TRUE(drawing.load(path));
    EXPECT_EQ(drawing.strokes().count(), 2);
    EXPECT_EQ(drawing.strokes().lastStroke()->color(), QColor(Qt::blue));
    EXPECT_FALSE(drawing.backgroundColor());
    EXPECT_FALSE(drawing.isEdited());
    EXPECT_FALSE(drawing.undoManager().canUndo());
    EXPECT_EQ(view.redraws, 1);
    EXPECT_EQ(drawing.takeWindowFrame(), QStringLiteral("frame"));
    EXPECT_EQ(drawing.takeViewTransform(), AffineTransform::translation(3, 4));
    EXPECT_FALSE(drawing.takeWindowFrame()); // taken once

    // Edits after loading undo through the loaded list.
    draw_one(drawing, Qt::black);
    drawing.undoManager().undo();
    EXPECT_EQ(drawing.strokes().count(), 2);

    // A damaged file changes nothing.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(file.size() - 3);
    file.write("XXX");
    file.close();
    const DrawingResult result = drawing.load(path);
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_EQ(drawing.strokes().count(), 2);
    EXPECT_FALSE(drawing.load(dir.filePath("missing.pavo")));
}

TEST(Drawing, FailedSaveKeepsTheDrawingEdited)
{
    Drawing drawing;
    draw_one(drawing, Qt::red);
    const DrawingResult result =
        drawing.save(QStringLiteral("/nonexistent-folder/x.pavo"), std::nullopt, std::nullopt);
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_TRUE(drawing.isEdited());
}
