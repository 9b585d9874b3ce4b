// The fill tool as a tool: a click adds one undoable stroke made of its settings, in drawing
// units, and leaves the scratch layer clean; an option-click picks a colour instead. What
// area a fill covers is the region fill's own test.

#include "fill_tool.h"

#include "fakes.h"

#include <gtest/gtest.h>

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
