// The order in which the view hands pointer, modifier and key events to tools.

#include "view_test_support.h"

#include <QPainter>

using namespace color_ns;

namespace {

ToolEvent at(float x, float y, float pressure = 1, unsigned flags = 0)
{
    return ToolEvent{{x, y}, pressure, flags};
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

    void click(float x, float y)
    {
        view->mouseDown(at(x, y));
        view->mouseUp(at(x, y));
    }
};

} // namespace

TEST_F(ViewEvents, AClickIsDownThenUp)
{
    click(10, 20);
    EXPECT_EQ(log, (CallLog{"pen:down 10,20", "pen:up 10,20"}));
}

TEST_F(ViewEvents, ADragIsDownMovesUp)
{
    view->mouseDown(at(10, 10, 0.2f, kShiftKey));
    view->mouseDragged(at(12, 11, 0.5f));
    view->mouseDragged(at(15, 13, 0.9f));
    view->mouseUp(at(15, 13, 0));
    EXPECT_EQ(log, (CallLog{"pen:down 10,10", "pen:move 12,11", "pen:move 15,13", "pen:up 15,13"}));
    ASSERT_EQ(pen.events.size(), 4u);
    EXPECT_FLOAT_EQ(pen.events[0].pressure, 0.2f);
    EXPECT_TRUE(pen.events[0].has(kShiftKey));
    EXPECT_FLOAT_EQ(pen.events[2].pressure, 0.9f);
}

TEST_F(ViewEvents, AToolSwitchDuringADragWaitsForTheUp)
{
    view->mouseDown(at(10, 10));
    view->mouseDragged(at(20, 20));
    document.setTool(&arrow);
    view->mouseDragged(at(30, 30));
    view->mouseUp(at(30, 30));
    click(5, 5);
    EXPECT_EQ(log, (CallLog{"pen:down 10,10", "pen:move 20,20", "setTool arrow", "pen:deactivate",
                            "arrow:activate", "pen:move 30,30", "pen:up 30,30", "arrow:down 5,5",
                            "arrow:up 5,5"}));
}

TEST_F(ViewEvents, ASecondDownEndsTheGestureWhereItWasLastSeen)
{
    view->mouseDown(at(10, 10, 1, kOptionKey));
    view->mouseDragged(at(20, 25, 0.7f, kOptionKey));
    document.setTool(&arrow);
    view->mouseDown(at(50, 50));
    EXPECT_EQ(log, (CallLog{"pen:down 10,10", "pen:move 20,25", "setTool arrow", "pen:deactivate",
                            "arrow:activate", "pen:up 20,25", "arrow:down 50,50"}));
    ASSERT_EQ(pen.events.size(), 3u);
    EXPECT_FLOAT_EQ(pen.events[2].pressure, 0);
    EXPECT_TRUE(pen.events[2].has(kOptionKey));
}

TEST_F(ViewEvents, MovesAndUpsWithoutADownAreIgnored)
{
    view->mouseDragged(at(1, 1));
    view->mouseUp(at(1, 1));
    click(2, 2);
    view->mouseUp(at(3, 3));
    view->mouseDragged(at(4, 4));
    EXPECT_EQ(log, (CallLog{"pen:down 2,2", "pen:up 2,2"}));
    EXPECT_FALSE(view->inGesture());

    document.setTool(nullptr);
    log.clear();
    click(5, 5);
    view->flagsChanged(at(0, 0, 1, kShiftKey));
    EXPECT_TRUE(log.empty());
}

TEST_F(ViewEvents, ModifierChangesDuringAGestureWaitForItsEnd)
{
    view->flagsChanged(at(0, 0, 1, kShiftKey));
    view->mouseDown(at(10, 10));
    view->flagsChanged(at(0, 0, 1, kShiftKey | kOptionKey));
    document.setTool(&arrow);
    view->flagsChanged(at(0, 0, 1, kOptionKey));
    view->mouseUp(at(10, 10));
    EXPECT_EQ(log, (CallLog{"pen:flags " + std::to_string(kShiftKey), "pen:down 10,10",
                            "setTool arrow", "pen:deactivate", "arrow:activate", "pen:up 10,10",
                            "arrow:flags " + std::to_string(kOptionKey)}));
}

TEST_F(ViewEvents, DeleteAndBackspaceDeleteAndOtherKeysPassOn)
{
    EXPECT_TRUE(view->keyDown(QStringLiteral("\x7f")));
    EXPECT_TRUE(view->keyDown(QStringLiteral("\b")));
    EXPECT_EQ(document.deletes, 2);
    for (const QString& text : {QStringLiteral("a"), QStringLiteral(" "), QString(),
                                QStringLiteral("\r"), QStringLiteral("x\x7f")})
        EXPECT_FALSE(view->keyDown(text));
    EXPECT_EQ(document.deletes, 2);

    log.clear();
    view->mouseDown(at(10, 10));
    EXPECT_TRUE(view->keyDown(QStringLiteral("\x7f")));
    EXPECT_EQ(document.deletes, 2);
    view->mouseUp(at(10, 10));
    EXPECT_EQ(log, (CallLog{"pen:down 10,10", "pen:up 10,10", "delete"}));
}

TEST_F(ViewEvents, ToolsSeeAnUpToDateCanvas)
{
    std::vector<Color> seen;
    pen.onDown = [&](const ToolEvent& e, ToolView& toolView) {
        seen.push_back(toolView.canvas().colorAt(e.location));
    };
    ASSERT_TRUE(view->setTransform({2, 0, 0, 2, 0, 0}));
    document.drawing().addStroke(rect_stroke(10, 10, 10, 10, Qt::red));
    view->mouseDown(at(30, 30));
    view->mouseUp(at(30, 30));
    document.drawing().undoManager().undo();
    click(30, 30);
    EXPECT_EQ(seen, (std::vector<Color>{RED, TRANSPARENT}));
}

TEST_F(ViewEvents, FeedbackAndCursorFollowTheToolOfTheGesture)
{
    pen.cursor = ToolCursor::load(kColorPickerCursor);
    QImage target(200, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&target);
    view->mouseDown(at(10, 10));
    document.setTool(&arrow);
    view->paint(painter, make_rect(0, 0, 200, 100));
    EXPECT_EQ(view->cursor().hotSpot, kColorPickerCursor.hotSpot);
    view->mouseUp(at(10, 10));
    view->paint(painter, make_rect(0, 0, 200, 100));
    EXPECT_EQ(view->cursor().shape, ToolCursor::Shape::Crosshair);
    EXPECT_EQ(log, (CallLog{"pen:down 10,10", "setTool arrow", "pen:deactivate", "arrow:activate",
                            "pen:draw", "pen:up 10,10", "arrow:draw"}));
}
