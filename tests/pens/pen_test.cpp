// The pen tool: its pen types and their settings, the built-in stroke, colour picking and
// how it drives a scripted pen.

#include "pen.h"
#include "pens_test_support.h"

namespace {

ToolEvent at(float x, float y, float pressure = 1, unsigned flags = 0)
{
    return {{x, y}, pressure, flags};
}

class PenTest : public PenScriptTest {
protected:
    std::unique_ptr<Pen> makePen() { return std::make_unique<Pen>(alerts, root()); }
    void type(const char* file, const char* script)
    {
        write(QStringLiteral("Pens/") + QLatin1StringView(file), script);
    }
};

} // namespace

TEST_F(PenTest, TheDefaultTypeIsTheLastMarkedOneElseTheFirstElseTheBuiltInPen)
{
    EXPECT_FALSE(makePen()->penTypeName());
    EXPECT_FALSE(makePen()->setPenTypeName(QStringLiteral("A")));
    type("a.lua", "name = 'A'");
    EXPECT_EQ(makePen()->penTypeName(), QStringLiteral("A"));
    type("b.lua", "name = 'B' default = true");
    type("c.lua", "name = 'C' default = true");
    EXPECT_EQ(makePen()->penTypeName(), QStringLiteral("C"));
}

TEST_F(PenTest, EachTypeKeepsItsOwnSettings)
{
    type("x.lua", "name = 'X' color = '00ff00' radius = 3 mode = 'Multiply'");
    type("y.lua", "name = 'Y' color = '0x0000ff' opacity = 0.5");
    const auto tool = makePen();
    ASSERT_TRUE(tool->setPenTypeName(QStringLiteral("X")));
    EXPECT_EQ(tool->color(), QColor(Qt::green));
    EXPECT_EQ(tool->transferMode(), kModeMultiply);
    tool->setOpacity(0.3f);
    tool->setRadius(12);
    tool->setColor(QColor::fromRgbF(1.0f, 0.5f, 0.0f));
    ASSERT_TRUE(tool->setPenTypeName(QStringLiteral("Y")));
    EXPECT_EQ(tool->color(), QColor(Qt::blue));
    EXPECT_EQ(tool->opacity(), 0.5f);
    EXPECT_EQ(tool->radius(), 5.0f);
    ASSERT_TRUE(tool->setPenTypeName(QStringLiteral("X")));
    EXPECT_EQ(tool->opacity(), 0.3f);
    EXPECT_EQ(tool->radius(), 12.0f);
    EXPECT_EQ(tool->penTypeId()->getGlobalString(QStringLiteral("color")), u"ff8000");
}

TEST_F(PenTest, TheBuiltInStrokeIsPreviewedThenAddedInTheTypeItBeganWith)
{
    type("a.lua", "name = 'A' color = 'ff0000' opacity = 0.5 default = true");
    type("b.lua", "name = 'B' color = '0000ff'");
    const auto tool = makePen();
    tool->toolDownEvent(at(10, 20), view);
    tool->toolUpEvent(at(10, 20), view);
    EXPECT_TRUE(view.added().empty()); // a click records no sample
    tool->toolDownEvent(at(10, 20), view);
    for (int x = 12; x <= 50; x += 2) tool->toolMoveEvent(at(float(x), 20, 0.8f), view);
    ASSERT_TRUE(tool->setPenTypeName(QStringLiteral("B")));
    EXPECT_NE(view.canvas().previewBitmap().pixelAt(30, 20), color_ns::WHITE);
    EXPECT_EQ(view.canvas().drawBitmap().pixelAt(30, 20), color_ns::WHITE);
    tool->toolUpEvent(at(50, 20), view);
    ASSERT_EQ(view.added().size(), 1u);
    EXPECT_EQ(view.added().front()->color(), QColor(Qt::red));
    EXPECT_EQ(view.added().front()->opacity(), 0.5f);
    EXPECT_GT(view.added().front()->bounds().size.width, 38);
    // The preview is over, and the type chosen during the stroke takes over.
    EXPECT_EQ(view.canvas().previewBitmap().pixelAt(30, 20), color_ns::WHITE);
    EXPECT_EQ(view.canvas().strokeBitmap().pixelAt(30, 20), color_ns::TRANSPARENT);
    EXPECT_EQ(tool->penTypeName(), QStringLiteral("B"));
    EXPECT_EQ(tool->color(), QColor(Qt::blue));
}

TEST_F(PenTest, OptionClickPicksTheColourInsteadOfDrawing)
{
    const auto tool = makePen();
    view.canvas().fill(color_ns::TRANSPARENT);
    view.canvas().previewBitmap().fillRect(make_rect(5, 5, 2, 2), color_ns::make(128, 0, 0, 128));
    tool->toolDownEvent(at(6, 6, 1, kOptionKey), view);
    tool->toolMoveEvent(at(20, 20), view);
    tool->toolUpEvent(at(20, 20), view);
    EXPECT_EQ(view.doc.toolColor, QColor(Qt::red));
    EXPECT_TRUE(view.added().empty());
    EXPECT_EQ(tool->toolCursor().shape, ToolCursor::Shape::Image);
    tool->toolDownEvent(at(30, 30, 1, kOptionKey), view);
    EXPECT_EQ(view.doc.toolColor, QColor(Qt::white)); // nothing drawn: the background
    tool->toolFlagsChanged(at(0, 0, 1, 0), view);
    EXPECT_EQ(tool->toolCursor().shape, ToolCursor::Shape::Crosshair);
    EXPECT_EQ(view.doc.cursorRefreshes, 1);
}

TEST_F(PenTest, AScriptedPenGetsDrawingUnitsItsSettingsAndKeys)
{
    write(QStringLiteral("Localizable.strings"), "shift_key = Shift+\ncommand_key = Ctrl+\n");
    type("dot.lua", "name = 'Dot' custom_pen = true radius = 10 key = 'shift-cmd-e'\n"
                    "parameters = {'angle'} angle = 30 angle_min = 0 angle_max = 180\n"
                    "function pen_down(p, r) down_radius = r end\n"
                    "function pen_move(p, r)\n"
                    "  last_radius, last_x, seen = r, p.x, get_pen_radius()\n"
                    "end\n"
                    "function pen_up()\n"
                    "  local path = bezier_path()\n"
                    "  append_bezier_path_with_rect(path, {x = 1, y = 1, w = 5, h = 5})\n"
                    "  add_fill(path)\n"
                    "end\n");
    PenView zoomed(2);
    const auto tool = std::make_unique<Pen>(alerts, root());
    ASSERT_TRUE(tool->isCustomPen());
    EXPECT_EQ(tool->penTypeNameWithKeyEquivalent(), QStringLiteral("Dot  Shift+Ctrl+E"));
    EXPECT_EQ(tool->customParameters(), QStringList{QStringLiteral("angle")});
    EXPECT_EQ(tool->parameterMax(QStringLiteral("angle")), 180.0f);
    tool->setParameter(QStringLiteral("angle"), 45);
    EXPECT_EQ(tool->getParameter(QStringLiteral("angle")), 45.0f);
    tool->toolDownEvent(at(20, 20), zoomed);
    tool->toolMoveEvent(at(30, 20, 1.0f), zoomed);
    tool->toolUpEvent(at(30, 20), zoomed);
    const Lua* dot = tool->penTypeId();
    EXPECT_EQ(dot->getGlobalNumber(QStringLiteral("down_radius"), -1), 0.0f);
    EXPECT_EQ(dot->getGlobalNumber(QStringLiteral("last_radius")), 5.0f);
    EXPECT_EQ(dot->getGlobalNumber(QStringLiteral("last_x")), 15.0f);
    EXPECT_EQ(dot->getGlobalNumber(QStringLiteral("seen")), 10.0f);
    ASSERT_EQ(zoomed.added().size(), 1u);
    EXPECT_EQ(zoomed.added().front()->bounds(), make_rect(1, 1, 5, 5));
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}
