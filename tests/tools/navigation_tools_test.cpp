// Zoom, rotate and move: each gesture and the one change of the view it asks for at its
// up, then the feedback shown while it goes on; then what every tool shares.

#include "rows.h"
#include "navigation_tools.h"

#include "fakes.h"
#include "pictures.h"
#include "tool.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kBig = std::numeric_limits<float>::max();

enum Which { Zoom, Rotate, Move };
using Call = FakeView::Call;

struct Gesture {
    const char* name;
    Which tool;
    std::vector<Point> path; // down, moves, up at the last
    unsigned upFlags;
    std::optional<Call> expected;
};

const Gesture kGestures[] = {
    {"zoom click", Zoom, {{30, 40}}, 0, Call{Call::Zoom, {30, 40}, {}, 2, {}}},
    {"zoom option-click", Zoom, {{30, 40}}, kOptionKey, Call{Call::Zoom, {30, 40}, {}, 0.5f, {}}},
    {"zoom narrow drag is a click at its first corner", Zoom, {{5, 5}, {20, 20}, {23.9f, 60}}, 0,
     Call{Call::Zoom, {20, 20}, {}, 2, {}}},
    {"zoom low drag with option", Zoom, {{5, 5}, {20, 20}, {120, 23.9f}}, kOptionKey,
     Call{Call::Zoom, {20, 20}, {}, 0.5f, {}}},
    {"zoom rectangle, option or not", Zoom, {{0, 0}, {20, 30}, {90, 80}, {60, 70}}, kOptionKey,
     Call{Call::ZoomRect, {}, {}, 0, make_rect(20, 30, 40, 40)}},
    {"zoom rectangle drawn backwards", Zoom, {{0, 0}, {60, 70}, {20, 30}}, 0,
     Call{Call::ZoomRect, {}, {}, 0, make_rect(20, 30, 40, 40)}},
    {"zoom skips points that are no numbers", Zoom, {{0, 0}, {10, 10}, {kNaN, 50}, {50, kNaN}, {50, 50}}, 0,
     Call{Call::ZoomRect, {}, {}, 0, make_rect(10, 10, 40, 40)}},
    {"zoom rectangle too large to measure", Zoom, {{0, 0}, {-kBig, -kBig}, {kBig, kBig}}, 0, std::nullopt},
    {"rotate a quarter", Rotate, {{150, 50}, {100, 0}}, 0, Call{Call::Rotate, {150, 50}, {100, 0}, 0, {}}},
    {"rotate skips points that are no numbers", Rotate, {{150, 50}, {kNaN, 0}, {100, 0}, {0, kNaN}}, 0,
     Call{Call::Rotate, {150, 50}, {100, 0}, 0, {}}},
    {"rotate click", Rotate, {{150, 50}}, 0, std::nullopt},
    {"rotate back to the start", Rotate, {{150, 50}, {100, 0}, {170, 50}}, 0, std::nullopt},
    {"rotate to the centre", Rotate, {{150, 50}, {100, 50.2f}}, 0, std::nullopt},
    {"rotate from the centre", Rotate, {{100, 50}, {100, 0}}, 0, std::nullopt},
    {"move", Move, {{50, 50}, {60, 50}, {90, 70}}, 0, Call{Call::Move, {50, 50}, {90, 70}, 0, {}}},
    {"move click", Move, {{50, 50}}, 0, std::nullopt},
    {"move back to the start", Move, {{50, 50}, {80, 80}, {50, 50}}, 0, std::nullopt},
};

class Navigation : public ::testing::Test {
protected:
    FakeDocument doc;
    FakeView view{doc, {200, 100}};
    ZoomTool zoom;
    RotateTool rotate;
    MoveTool move;
    Tool pen;
    Tool& tool(Which w) { return *std::initializer_list<Tool*>{&zoom, &rotate, &move}.begin()[w]; }
    void run(Tool& t, const std::vector<Point>& path, unsigned upFlags = 0)
    {
        t.toolDownEvent({path.front(), 1, 0}, view);
        for (std::size_t i = 1; i < path.size(); ++i) t.toolMoveEvent({path[i], 1, 0}, view);
        t.toolUpEvent({path.back(), 1, upFlags}, view);
    }
    // What the tool draws over a view showing solid blue.
    QImage feedback(Tool& t)
    {
        return painted({200, 100}, Qt::blue, [&](QPainter& p) { t.toolDrawInView(view, p); });
    }
    // A white picture with a red 4 x 4 block centred on p, over a grey background.
    void showBlockAt(Point p)
    {
        view.canvas().fill(color_ns::WHITE);
        view.canvas().previewBitmap().fillRect(make_rect(p.x - 2, p.y - 2, 4, 4), color_ns::RED);
        view.background = Qt::gray;
    }
};

class NavigationGestures : public Navigation, public ::testing::WithParamInterface<Gesture> {};

// Chosen for a single use, each tool gives the pen back after its gesture, whatever it did.
TEST_P(NavigationGestures, AskTheViewForOneChangeAtTheUpAndEndTheSingleUse)
{
    const Gesture& g = GetParam();
    Tool& t = tool(g.tool);
    doc.current = &t;
    t.restoreToolAfter(&pen);
    run(t, g.path, g.upFlags);
    EXPECT_TRUE(view.calls == (g.expected ? std::vector<Call>{*g.expected} : std::vector<Call>{})) << g.name;
    for (const Rect& r : view.marked) EXPECT_TRUE(finite(r)) << g.name;
    EXPECT_EQ(doc.current, &pen) << g.name;
    // Chosen by its own command it stays.
    doc.current = &t;
    run(t, g.path, g.upFlags);
    EXPECT_EQ(doc.current, &t) << g.name;
}

INSTANTIATE_TEST_SUITE_P(NavigationTools, NavigationGestures, ::testing::ValuesIn(kGestures),
                         [](const auto& row) { return test_name(row.param.name); });

TEST_F(Navigation, AnUpWithoutADownOrADownThatIsNoPointCompletesNoGesture)
{
    for (Tool* t : std::initializer_list<Tool*>{&zoom, &rotate, &move}) {
        doc.current = t;
        t->restoreToolAfter(&pen);
        for (const Point down : {Point{20, 20}, Point{kNaN, 3}}) {
            if (finite(down.y)) t->toolMoveEvent({down, 1, 0}, view);
            else t->toolDownEvent({down, 1, 0}, view);
            t->toolUpEvent({{20, 20}, 1, 0}, view);
        }
        EXPECT_EQ(doc.current, t);
    }
    EXPECT_TRUE(view.calls.empty());
    EXPECT_TRUE(view.marked.empty());
}

TEST_F(Navigation, TheZoomRectangleIsShownAndRedisplayedWhereverItWas)
{
    const auto covered = [this](const Rect& r) {
        for (const Rect& m : view.marked)
            if (m.minX() <= r.minX() && m.minY() <= r.minY() && m.maxX() >= r.maxX() && m.maxY() >= r.maxY())
                return true;
        return false;
    };
    zoom.toolDownEvent({{0, 0}, 1, 0}, view);
    const QImage blank = feedback(zoom);
    zoom.toolMoveEvent({{20, 20}, 1, 0}, view);
    zoom.toolMoveEvent({{80, 60}, 1, 0}, view);
    EXPECT_TRUE(covered(make_rect(18, 18, 64, 44)));
    const QImage band = feedback(zoom);
    EXPECT_NE(band.pixelColor(50, 40), blank.pixelColor(50, 40));
    EXPECT_EQ(band.pixelColor(150, 40), blank.pixelColor(150, 40));
    // Squashed flat, its outline is still redisplayed.
    zoom.toolMoveEvent({{20, 90}, 1, 0}, view);
    EXPECT_TRUE(covered(make_rect(18, 18, 4, 74)));
    zoom.toolUpEvent({{20, 90}, 1, 0}, view);
    EXPECT_EQ(feedback(zoom), blank);
}

TEST_F(Navigation, RotateShowsThePictureTurnedAsTheViewWillTurn)
{
    showBlockAt({130, 50});
    rotate.toolDownEvent({{150, 50}, 1, 0}, view);
    rotate.toolMoveEvent({{100, 0}, 1, 0}, view);
    EXPECT_NEAR(*rotate.sweptAngle(view), -std::numbers::pi / 2, 1e-6);
    // Right of the centre goes to above it; the uncovered corners show the background.
    QImage image = feedback(rotate);
    EXPECT_EQ(image.pixelColor(100, 20), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(130, 50), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::gray));
    rotate.toolUpEvent({{100, 0}, 1, 0}, view);
    EXPECT_EQ(feedback(rotate).pixelColor(5, 5), QColor(Qt::blue));
}

TEST_F(Navigation, MoveShowsThePictureDisplaced)
{
    showBlockAt({30, 30});
    move.toolDownEvent({{50, 50}, 1, 0}, view);
    move.toolMoveEvent({{90, 70}, 1, 0}, view);
    const QImage image = feedback(move);
    EXPECT_EQ(image.pixelColor(70, 50), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(120, 60), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(30, 30), QColor(Qt::gray));
    EXPECT_GT(view.wholeView, 0);
}

} // namespace

// What every tool shares: going back after a single use, transfer mode names, cursor pictures.
namespace {

class SingleUse : public RecordingTool {
public:
    using RecordingTool::RecordingTool;
    void toolUpEvent(const ToolEvent& e, ToolView& view) override
    {
        RecordingTool::toolUpEvent(e, view);
        after(view.document());
    }
};

// A single use is given back by the tool's up; switching away first keeps it for later.
TEST(RestoreAfter, SwitchingAwayBeforeUseKeepsTheTargetAndRestoringToItselfDoesNothing)
{
    CallLog log;
    FakeDocument document(&log);
    FakeView view(document);
    RecordingTool pen{"pen", log};
    SingleUse fill{"fill", log}, zoom{"zoom", log};
    document.setTool(&pen);
    zoom.restoreToolAfter(&pen);
    document.setTool(&zoom);
    document.setTool(&fill);
    fill.toolUpEvent({{5, 5}, 0, 0}, view);
    EXPECT_EQ(document.tool(), &fill);
    document.setTool(&zoom);
    zoom.toolUpEvent({{5, 5}, 0, 0}, view);
    EXPECT_EQ(document.tool(), &pen);
    EXPECT_EQ(zoom.restoreAfter(), nullptr);
    document.setTool(&zoom);
    zoom.restoreToolAfter(&zoom);
    log.clear();
    zoom.toolUpEvent({{5, 5}, 0, 0}, view);
    EXPECT_EQ(log, (CallLog{"zoom:up 5,5", "setTool zoom"}));
}

TEST(TransferModeNames, RoundTripAndUnknownOnesAreNormal)
{
    const auto name = [](const char* text) { return QString::fromLatin1(text); };
    const char* const names[] = {"normal", "erase",  "darker",  "lighter",
                                 "colorize", "shadow", "hilight", "multiply"};
    for (int mode = 0; mode < 8; ++mode) {
        EXPECT_EQ(Tool::transferModeIntToString(mode), name(names[mode]));
        EXPECT_EQ(Tool::transferModeStringToInt(name(names[mode]).toUpper()), mode) << names[mode];
    }
    for (const char* text : {"", "multiply ", "erased"})
        EXPECT_EQ(Tool::transferModeStringToInt(name(text)), 0) << text;
    for (const int mode : {8, -1, INT_MIN})
        EXPECT_EQ(Tool::transferModeIntToString(mode), name("normal")) << mode;
}

TEST(ToolCursors, PicturesComeFromTheResourceFolderAndAMissingOneIsTheCrosshair)
{
    const ToolCursor fromSource = ToolCursor::load(kMoveCursor);
    ASSERT_EQ(fromSource.shape, ToolCursor::Shape::Image);
    QTemporaryDir resources;
    ASSERT_TRUE(QDir(resources.path()).mkdir(QStringLiteral("Images")));
    ASSERT_TRUE(fromSource.image.save(resources.path() + QStringLiteral("/Images/move_cursor.png")));
    const QByteArray saved = qgetenv("PAVO_RESOURCES");
    qputenv("PAVO_RESOURCES", resources.path().toLocal8Bit());
    const ToolCursor moved = ToolCursor::load(kMoveCursor);
    const ToolCursor absent = ToolCursor::load(kFillCursor);
    if (saved.isEmpty()) qunsetenv("PAVO_RESOURCES");
    else qputenv("PAVO_RESOURCES", saved);
    const auto argb = [](const ToolCursor& c) { return c.image.convertToFormat(QImage::Format_ARGB32); };
    EXPECT_EQ(argb(moved), argb(fromSource));
    EXPECT_EQ(absent.shape, ToolCursor::Shape::Crosshair);
}

} // namespace
