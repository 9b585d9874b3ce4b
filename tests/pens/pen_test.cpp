#include "pen.h"
#include "pens_test_support.h"

#include <QPainter>

namespace {

ToolEvent at(float x, float y, float pressure = 1, unsigned flags = 0)
{
    return {{x, y}, pressure, flags};
}

QByteArray pen_type(const char* name, const char* extra = "")
{
    return QByteArray("name = \"") + name + "\"\n" + extra + "\n";
}

class PenTest : public PenScriptTest {
protected:
    std::unique_ptr<Pen> makePen() { return std::make_unique<Pen>(alerts, root()); }
    FakeView view;
};

} // namespace

TEST_F(PenTest, TheDefaultTypeIsTheLastMarkedOneElseTheFirst)
{
    write(QStringLiteral("Pens/a.lua"), pen_type("A"));
    write(QStringLiteral("Pens/b.lua"), pen_type("B", "default = true"));
    write(QStringLiteral("Pens/c.lua"), pen_type("C", "default = true"));
    write(QStringLiteral("Pens/helper.lua"), "x = 1"); // no name: not a pen type
    EXPECT_EQ(makePen()->penTypeName(), QStringLiteral("C"));
    EXPECT_EQ(makePen()->penTypeNames(), (QStringList{"A", "B", "C"}));

    QFile::remove(root() + QStringLiteral("/Pens/b.lua"));
    QFile::remove(root() + QStringLiteral("/Pens/c.lua"));
    EXPECT_EQ(makePen()->penTypeName(), QStringLiteral("A"));

    QFile::remove(root() + QStringLiteral("/Pens/a.lua"));
    const auto bare = makePen(); // no pen types: the built-in pen with its defaults
    EXPECT_FALSE(bare->penTypeName());
    EXPECT_EQ(bare->color(), QColor(Qt::black));
    EXPECT_EQ(bare->radius(), 5.0f);
    EXPECT_EQ(bare->opacity(), 1.0f);
    EXPECT_FALSE(bare->setPenTypeName(QStringLiteral("A")));
}

TEST_F(PenTest, EachTypeKeepsItsOwnSettings)
{
    write(QStringLiteral("Pens/x.lua"), pen_type("X", "color = \"00ff00\" radius = 3 mode = \"Multiply\""));
    write(QStringLiteral("Pens/y.lua"), pen_type("Y", "color = \"0x0000ff\" opacity = 0.5"));
    const auto pen = makePen();
    ASSERT_TRUE(pen->setPenTypeName(QStringLiteral("X")));
    EXPECT_EQ(pen->color(), QColor(Qt::green));
    EXPECT_EQ(pen->transferMode(), kModeMultiply);
    EXPECT_EQ(pen->radius(), 3.0f);
    pen->setOpacity(0.3f);
    pen->setRadius(12);
    pen->setColor(QColor::fromRgbF(1.0f, 0.5f, 0.0f));

    ASSERT_TRUE(pen->setPenTypeName(QStringLiteral("Y")));
    EXPECT_EQ(pen->color(), QColor(Qt::blue));
    EXPECT_EQ(pen->opacity(), 0.5f);
    EXPECT_EQ(pen->radius(), 5.0f);
    const Lua* y = pen->penTypeId();

    ASSERT_TRUE(pen->setPenTypeName(QStringLiteral("X")));
    EXPECT_NE(pen->penTypeId(), y);
    EXPECT_EQ(pen->opacity(), 0.3f);
    EXPECT_EQ(pen->radius(), 12.0f);
    EXPECT_EQ(pen->penTypeId()->getGlobalString(QStringLiteral("color")), QStringLiteral("ff8000"));
    EXPECT_EQ(pen->penTypeId()->getGlobalString(QStringLiteral("mode")), QStringLiteral("multiply"));
}

TEST_F(PenTest, BuiltInStrokeIsPreviewedThenAdded)
{
    write(QStringLiteral("Pens/ink.lua"), pen_type("Ink", "color = \"ff0000\" radius = 4 opacity = 0.5"));
    const auto pen = makePen();
    pen->toolDownEvent(at(10, 20), view);
    pen->toolUpEvent(at(10, 20), view);
    EXPECT_TRUE(view.doc.added.empty()); // a click records no sample

    pen->toolDownEvent(at(10, 20), view);
    for (int x = 12; x <= 50; x += 2) pen->toolMoveEvent(at(float(x), 20, 0.8f), view);
    const color_ns::Color previewed = view.canvas().previewBitmap().pixelAt(30, 20);
    EXPECT_NE(previewed, color_ns::WHITE);
    EXPECT_EQ(view.canvas().drawBitmap().pixelAt(30, 20), color_ns::WHITE);
    pen->toolUpEvent(at(50, 20), view);

    ASSERT_EQ(view.doc.added.size(), 1u);
    const StrokePtr& stroke = view.doc.added.front();
    EXPECT_EQ(stroke->color(), QColor(Qt::red));
    EXPECT_EQ(stroke->opacity(), 0.5f);
    EXPECT_TRUE(stroke->penPoints());
    EXPECT_GT(stroke->bounds().size.width, 38);
    // The preview is over: the view shows the drawing again and the scratch layer is clean.
    EXPECT_EQ(view.canvas().previewBitmap().pixelAt(30, 20), color_ns::WHITE);
    EXPECT_EQ(view.canvas().strokeBitmap().pixelAt(30, 20), color_ns::TRANSPARENT);
    EXPECT_FALSE(view.marked.empty());
}

TEST_F(PenTest, OptionClickPicksTheColourInsteadOfDrawing)
{
    const auto pen = makePen();
    view.canvas().fill(color_ns::TRANSPARENT);
    view.canvas().previewBitmap().fillRect(make_rect(5, 5, 2, 2), color_ns::make(128, 0, 0, 128));
    pen->toolDownEvent(at(6, 6, 1, kOptionKey), view);
    pen->toolMoveEvent(at(20, 20), view);
    pen->toolUpEvent(at(20, 20), view);
    EXPECT_EQ(view.doc.toolColor, QColor(Qt::red));
    EXPECT_TRUE(view.doc.added.empty());
    EXPECT_EQ(pen->toolCursor().shape, ToolCursor::Shape::Image);

    pen->toolDownEvent(at(30, 30, 1, kOptionKey), view);
    EXPECT_EQ(view.doc.toolColor, QColor(Qt::white)); // nothing drawn: the background

    pen->toolFlagsChanged(at(0, 0, 1, 0), view);
    EXPECT_EQ(pen->toolCursor().shape, ToolCursor::Shape::Crosshair);
    EXPECT_EQ(view.doc.cursorRefreshes, 1);
}

TEST_F(PenTest, ScriptedPenGetsDrawingUnitsAndAddsItsStroke)
{
    write(QStringLiteral("Pens/dot.lua"), pen_type("Dot", R"(
custom_pen = true
radius = 10
function pen_down(p, r) down_radius = r end
function pen_move(p, r)
  last_radius = r
  last_x = p.x
end
function pen_up()
  local path = bezier_path()
  append_bezier_path_with_rect(path, {x = 1, y = 1, w = 5, h = 5})
  add_fill(path)
end
)"));
    FakeView zoomed(2);
    const auto pen = std::make_unique<Pen>(alerts, root());
    ASSERT_TRUE(pen->isCustomPen());
    pen->toolDownEvent(at(20, 20), zoomed);
    pen->toolMoveEvent(at(30, 20, 1.0f), zoomed);
    pen->toolUpEvent(at(30, 20), zoomed);
    const Lua* dot = pen->penTypeId();
    EXPECT_EQ(dot->getGlobalNumber(QStringLiteral("down_radius"), -1), 0.0f);
    EXPECT_EQ(dot->getGlobalNumber(QStringLiteral("last_radius")), 5.0f);
    EXPECT_EQ(dot->getGlobalNumber(QStringLiteral("last_x")), 15.0f);
    ASSERT_EQ(zoomed.doc.added.size(), 1u);
    EXPECT_EQ(zoomed.doc.added.front()->bounds(), make_rect(1, 1, 5, 5));
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

TEST_F(PenTest, TypeChosenDuringAStrokeTakesOverAfterIt)
{
    write(QStringLiteral("Pens/a.lua"), pen_type("A", "color = \"ff0000\" default = true"));
    write(QStringLiteral("Pens/b.lua"), pen_type("B", "color = \"0000ff\""));
    const auto pen = makePen();
    pen->toolDownEvent(at(10, 10), view);
    pen->toolMoveEvent(at(20, 10), view);
    ASSERT_TRUE(pen->setPenTypeName(QStringLiteral("B")));
    EXPECT_EQ(pen->penTypeName(), QStringLiteral("A"));
    pen->toolMoveEvent(at(30, 10), view);
    pen->toolUpEvent(at(30, 10), view);
    ASSERT_EQ(view.doc.added.size(), 1u);
    EXPECT_EQ(view.doc.added.front()->color(), QColor(Qt::red));
    EXPECT_EQ(pen->penTypeName(), QStringLiteral("B"));
    EXPECT_EQ(pen->color(), QColor(Qt::blue));
}

TEST_F(PenTest, KeyEquivalentsAndParameters)
{
    write(QStringLiteral("Localizable.strings"), "shift_key = \"Shift+\"\ncommand_key = \"Ctrl+\"\n");
    write(QStringLiteral("Pens/a.lua"), pen_type("Nib", R"(
key = "shift-cmd-e"
default = true
parameters = {"angle"}
angle = 30
angle_min = 0
angle_max = 180
)"));
    write(QStringLiteral("Pens/b.lua"), pen_type("Wet", "key = \"ctrl-e\""));
    const auto pen = makePen();
    EXPECT_EQ(pen->penTypeNameWithKeyEquivalent(), QStringLiteral("Nib  Shift+Ctrl+E"));
    EXPECT_EQ(pen->customParameters(), QStringList{QStringLiteral("angle")});
    EXPECT_EQ(pen->getParameter(QStringLiteral("angle")), 30.0f);
    EXPECT_EQ(pen->parameterMax(QStringLiteral("angle")), 180.0f);
    pen->setParameter(QStringLiteral("angle"), 45);
    EXPECT_EQ(pen->getParameter(QStringLiteral("angle")), 45.0f);
    ASSERT_TRUE(pen->setPenTypeName(QStringLiteral("Wet")));
    EXPECT_EQ(pen->penTypeNameWithKeyEquivalent(), QStringLiteral("Wet  CTRLE"));
}
