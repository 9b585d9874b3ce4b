// The order in which the view hands pointer, modifier and key events to tools.

#include "rows.h"
#include "view_test_support.h"

#include <QPainter>

#include <sstream>
#include <string>

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
    // "d x y" down, "m x y" move, "u x y" up, "f N" modifier flags N, "arrow" and "none"
    // switch tools, "del" the delete key.
    void run(const std::string& script)
    {
        std::istringstream in(script);
        std::string op;
        while (in >> op) {
            float x = 0, y = 0;
            unsigned flags = 0;
            if (op == "d" || op == "m" || op == "u") in >> x >> y;
            if (op == "f") in >> flags;
            if (op == "d") view->mouseDown(at(x, y));
            else if (op == "m") view->mouseDragged(at(x, y));
            else if (op == "u") view->mouseUp(at(x, y));
            else if (op == "f") view->flagsChanged(at(0, 0, 1, flags));
            else if (op == "arrow") document.setTool(&arrow);
            else if (op == "none") document.setTool(nullptr);
            else if (op == "del") {
                EXPECT_TRUE(view->keyDown(QStringLiteral("\x7f")));
            }
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

// clang-format off
const EventRow kEventRows[] = {
    {"a drag is down, moves, up", "d 10 10 m 12 11 m 15 13 u 15 13", {"pen:down 10,10", "pen:move 12,11", "pen:move 15,13", "pen:up 15,13"}},
    {"a tool switch during a drag waits for the up", "d 10 10 m 20 20 arrow m 30 30 u 30 30 d 5 5 u 5 5",
     {"pen:down 10,10", "pen:move 20,20", kSwitch[0], kSwitch[1], kSwitch[2], "pen:move 30,30", "pen:up 30,30", "arrow:down 5,5", "arrow:up 5,5"}},
    {"a second down ends the gesture where it was last seen", "d 10 10 m 20 25 arrow d 50 50",
     {"pen:down 10,10", "pen:move 20,25", kSwitch[0], kSwitch[1], kSwitch[2], "pen:up 20,25", "arrow:down 50,50"}},
    {"moves and ups without a down are ignored", "m 1 1 u 1 1 d 2 2 u 2 2 u 3 3 m 4 4", {"pen:down 2,2", "pen:up 2,2"}},
    {"with no tool nothing is received", "none d 5 5 u 5 5 f 2", {"setTool none", "pen:deactivate"}},
    {"a delete during a gesture waits for its end", "d 10 10 del u 10 10", {"pen:down 10,10", "pen:up 10,10", "delete"}},
    {"modifier changes during a gesture wait for its end", "f " + kShift + " d 10 10 f 3 arrow f " + kOption + " u 10 10",
     {"pen:flags " + kShift, "pen:down 10,10", kSwitch[0], kSwitch[1], kSwitch[2], "pen:up 10,10", "arrow:flags " + kOption}},
};
// clang-format on

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
    view->mouseDown(at(10, 10, 0.2f, kShiftKey));
    view->mouseDragged(at(12, 11, 0.9f, kOptionKey));
    view->mouseDown(at(50, 50)); // ends the first gesture where it was last seen
    ASSERT_EQ(pen.events.size(), 4u);
    EXPECT_FLOAT_EQ(pen.events[0].pressure, 0.2f);
    EXPECT_TRUE(pen.events[0].has(kShiftKey));
    EXPECT_FLOAT_EQ(pen.events[1].pressure, 0.9f);
    EXPECT_FLOAT_EQ(pen.events[2].pressure, 0);
    EXPECT_TRUE(pen.events[2].has(kOptionKey));
    view->mouseUp(at(50, 50));
    log.clear();
    EXPECT_TRUE(view->keyDown(QStringLiteral("\b")));
    for (const char* text : {"a", " ", "", "\r", "x\x7f"})
        EXPECT_FALSE(view->keyDown(QString::fromLatin1(text))) << text;
    EXPECT_EQ(log, CallLog{"delete"});
}

TEST_F(ViewEvents, ToolsSeeAnUpToDateCanvas)
{
    std::vector<Color> seen;
    pen.onDown = [&](const ToolEvent& e, ToolView& v) { seen.push_back(v.canvas().colorAt(e.location)); };
    ASSERT_TRUE(view->setTransform({2, 0, 0, 2, 0, 0}));
    document.drawing().addStroke(rect_stroke(10, 10, 10, 10, Qt::red));
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
