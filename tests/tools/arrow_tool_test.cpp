// The arrow tool: gestures and what they leave (the selection, where the strokes are, how
// many undo steps), then the feedback it draws.

#include "rows.h"
#include "arrow_tool.h"

#include "fakes.h"
#include "pictures.h"
#include "support/strokes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Strokes A, B, C (filled squares) and L (a thin line along y = 80), in drawing units.
const Rect kA = make_rect(10, 10, 20, 20);
const Rect kB = make_rect(40, 10, 20, 20);
const Rect kC = make_rect(100, 60, 20, 20);

struct Gesture {
    const char* name;
    const char* selected;
    // Down at the first point, a move to each later one, up at the last.
    std::vector<Point> points;
    unsigned mods = 0;
    unsigned upMods = 0;
    AffineTransform view = AffineTransform::identity();
    const char* selectedAfter = "";
    // Where A and B are afterwards.
    Rect a = kA;
    Rect b = kB;
    int undoSteps = 0;
};

const float kQuarter = std::numbers::pi_v<float> / 2;

const Gesture kGestures[] = {
    {"click picks the topmost stroke and changes nothing", "B", {{15, 15}, {15, 15}}, 0, 0, {}, "A"},
    {"click on nothing clears the selection", "AB", {{80, 50}, {80, 50}}, 0, 0, {}, ""},
    {"click near a thin line picks it", "", {{45, 81.5f}, {45, 81.5f}}, 0, 0, {}, "L"},
    {"click near a thin line in a zoomed out view", "", {{20, 38.5f}, {20, 38.5f}}, 0, 0,
     AffineTransform::scaling(0.5f, 0.5f), "L"},
    {"shift-click adds", "A", {{45, 15}, {45, 15}}, kShiftKey, 0, {}, "AB"},
    {"shift-click takes away", "AB", {{15, 15}, {15, 15}}, kShiftKey, 0, {}, "B"},
    {"drag moves the picked stroke", "B", {{15, 15}, {20, 18}, {25, 20}}, 0, 0, {}, "A",
     make_rect(20, 15, 20, 20), kB, 1},
    {"drag between selected strokes moves them all", "AB", {{35, 15}, {35, 40}}, 0, 0, {}, "AB",
     make_rect(10, 35, 20, 20), make_rect(40, 35, 20, 20), 1},
    {"drag in a zoomed, turned view moves by the drawing distance", "A", {{-30, 30}, {-30, 50}}, 0, 0,
     AffineTransform::rotation(kQuarter).after(AffineTransform::scaling(2, 2)), "A",
     make_rect(20, 10, 20, 20), kB, 1},
    {"rubber band selects what it encloses", "C", {{5, 5}, {50, 40}}, 0, 0, {}, "A"},
    {"rubber band with option at the up selects what it touches", "", {{5, 5}, {50, 40}}, 0, kOptionKey,
     {}, "AB"},
    {"rubber band with shift adds", "C", {{50, 40}, {5, 5}}, kShiftKey, 0, {}, "CA"},
    {"command-drag turns and scales about the centre", "A", {{30, 20}, {20, 40}}, kCommandKey, 0, {}, "A",
     make_rect(0, 0, 40, 40), kB, 1},
    {"command-drag from near the centre does not scale", "A", {{21, 20}, {60, 20}}, kCommandKey, 0, {},
     "A"},
    {"command-drag scales from where it left the centre", "A", {{21, 20}, {30, 20}, {40, 20}},
     kCommandKey, 0, {}, "A", make_rect(0, 0, 40, 40), kB, 1},
    {"command-drag to the centre changes nothing", "A", {{30, 20}, {20, 20}}, kCommandKey, 0, {}, "A"},
    {"command-drag with nothing selected does nothing", "", {{80, 50}, {120, 90}}, kCommandKey, 0, {}, ""},
    {"a long drag after a shift-click moves the selection", "A", {{45, 15}, {50, 15}, {65, 15}},
     kShiftKey, 0, {}, "AB", make_rect(30, 10, 20, 20), make_rect(60, 10, 20, 20), 1},
    {"a short drag after a shift-click moves nothing", "A", {{45, 15}, {50, 15}}, kShiftKey, 0, {}, "AB"},
};

class ArrowTest : public ::testing::Test {
protected:
    FakeDocument doc;
    FakeView view{doc, {300, 200}};
    ArrowTool tool;
    StrokeArray strokes{fill_stroke(kA), fill_stroke(kB), fill_stroke(kC, Qt::blue), line_stroke({10, 80}, {80, 80})};
    void SetUp() override
    {
        for (const StrokePtr& s : strokes) doc.drawing().addStroke(s);
        // As opened: only the tool's own edits are on the history.
        doc.drawing().undoManager().removeAllActions();
        doc.drawing().undoManager().markClean();
    }
    Drawing& drawing() { return doc.drawing(); }
    void select(const std::string& letters)
    {
        StrokeArray chosen;
        for (const char c : letters) chosen.push_back(strokes[std::string("ABCL").find(c)]);
        drawing().setSelection(chosen);
    }
    std::string selected() const
    {
        std::string out;
        for (const StrokePtr& s : const_cast<FakeDocument&>(doc).drawing().selection())
            out += "ABCL"[std::find(strokes.begin(), strokes.end(), s) - strokes.begin()];
        return out;
    }
    void run(const std::vector<Point>& points, unsigned mods = 0, unsigned upMods = 0)
    {
        tool.toolDownEvent({points.front(), 1, mods}, view);
        for (std::size_t i = 1; i < points.size(); ++i) tool.toolMoveEvent({points[i], 1, mods}, view);
        tool.toolUpEvent({points.back(), 1, upMods}, view);
    }
    // The tool's feedback alone, over a transparent picture of the view's size.
    QImage feedback()
    {
        const Size size = view.canvas().size();
        return painted({int(size.width), int(size.height)}, Qt::transparent,
                       [this](QPainter& p) { tool.toolDrawInView(view, p); });
    }
};

void expect_rect_near(const Rect& got, const Rect& want, const char* what)
{
    EXPECT_LT(std::max({std::abs(got.minX() - want.minX()), std::abs(got.minY() - want.minY()),
                        std::abs(got.maxX() - want.maxX()), std::abs(got.maxY() - want.maxY())}), 1e-3f) << what;
}

class ArrowGestures : public ArrowTest, public ::testing::WithParamInterface<Gesture> {};

TEST_P(ArrowGestures, LeaveTheSelectionStrokesAndHistoryExpected)
{
    const Gesture& g = GetParam();
    ASSERT_TRUE(view.canvas().setTransform(g.view));
    select(g.selected);
    run(g.points, g.mods, g.upMods);
    EXPECT_EQ(selected(), g.selectedAfter) << g.name;
    expect_rect_near(strokes[0]->bounds(), g.a, g.name);
    expect_rect_near(strokes[1]->bounds(), g.b, g.name);
    expect_rect_near(strokes[2]->bounds(), kC, g.name);
    int steps = 0;
    for (; drawing().undoManager().canUndo(); ++steps) drawing().undoManager().undo();
    EXPECT_EQ(steps, g.undoSteps) << g.name;
    EXPECT_EQ(drawing().isEdited(), false) << g.name;
    expect_rect_near(strokes[0]->bounds(), kA, g.name);
    expect_rect_near(strokes[1]->bounds(), kB, g.name);
}

INSTANTIATE_TEST_SUITE_P(ArrowTool, ArrowGestures, ::testing::ValuesIn(kGestures),
                         [](const auto& row) { return test_name(row.param.name); });

TEST_F(ArrowTest, LiveMoveShowsWhatTheReleaseLeaves)
{
    select("ABL");
    const QImage before = feedback();
    tool.toolDownEvent({{35, 15}, 1, 0}, view);
    feedback(); // the first redraw of the drag, at the down
    tool.toolMoveEvent({{52, 28}, 1, 0}, view);
    const QImage live = feedback();
    tool.toolUpEvent({{52, 28}, 1, 0}, view);
    EXPECT_LE(largest_difference(live, feedback()), 3);
    EXPECT_GT(largest_difference(live, before), 100);
    // Once the gesture is over, nothing drawn for it is reused.
    drawing().undoManager().undo();
    EXPECT_LE(largest_difference(feedback(), before), 3);
}

const QColor kLightBlue = QColor::fromRgbF(0.5f, 0.5f, 1.0f, 0.8f);

TEST_F(ArrowTest, HighlightsShowEachStrokeAsItIsDrawn)
{
    ASSERT_TRUE(view.canvas().setTransform(AffineTransform::scaling(2, 2)));
    select("ACL");
    const QImage image = feedback();
    EXPECT_TRUE(near(image.pixelColor(40, 40).rgba(), kLightBlue.rgba(), 7));  // A, black
    EXPECT_TRUE(near(image.pixelColor(220, 140).rgba(), QColor::fromRgbF(1, 0.5f, 0.5f, 0.8f).rgba(), 7)); // C, blue
    // The line is stroked 2 view pixels wide about y = 160.
    EXPECT_TRUE(near(image.pixelColor(100, 160).rgba(), kLightBlue.rgba(), 7));
    EXPECT_EQ(image.pixelColor(100, 163).alpha(), 0);
}

} // namespace
