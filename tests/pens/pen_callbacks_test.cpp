#include "pens_test_support.h"

#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

ToolEvent event(float pressure, unsigned flags = 0)
{
    ToolEvent e;
    e.pressure = pressure;
    e.modifierFlags = flags;
    return e;
}

} // namespace

class PenCallbacks : public PenScriptTest {
protected:
    void SetUp() override
    {
        PenScriptTest::SetUp();
        Lua::setContextView(view, pen);
    }
    FakeView view;
    FakePen pen;
};

TEST_F(PenCallbacks, ThePointTheRadiusAndThePressureReachTheScript)
{
    const auto lua = run("function pen_down(p, r) down = {p.x, p.y, r, pressure()} end\n"
                         "function pen_move(p, r) move = {p.x, p.y, r, pressure()} end\n"
                         "function pen_up(...) up = {select('#', ...), pressure()} end\n");
    EXPECT_TRUE(lua->penDownAt({1.5f, 2}, 0, event(0.7f)));
    EXPECT_TRUE(lua->penMoveTo({3, 4.5f}, 2.5f, event(0.25f)));
    EXPECT_TRUE(lua->penUp());
    const auto text = [&lua](const char* name) {
        return lua->getGlobalStringArray(QString::fromLatin1(name)).join(u' ');
    };
    EXPECT_EQ(text("down"), u"1.5 2.0 0.0 0.0"_s);
    EXPECT_EQ(text("move"), u"3.0 4.5 2.5 0.25"_s);
    EXPECT_EQ(text("up"), u"0 0.0"_s);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

TEST_F(PenCallbacks, ModifierKeysAreThoseOfTheLatestPenEvent)
{
    const auto lua = run("local function keys()\n"
                         "  local names = {}\n"
                         "  for _, f in ipairs({'caps_lock_down', 'shift_down', 'control_down',\n"
                         "                      'option_down', 'command_down'}) do\n"
                         "    if _G[f]() then names[#names + 1] = f end\n"
                         "  end\n"
                         "  return table.concat(names, ',')\n"
                         "end\n"
                         "before = keys()\n"
                         "function pen_down() down = keys() end\n"
                         "function pen_move() move = keys() end\n"
                         "function pen_up() up = keys() end\n");
    EXPECT_EQ(lua->getGlobalString(u"before"_s), QString());
    lua->penDownAt({}, 0, event(1, kShiftKey | kCommandKey));
    lua->penMoveTo({}, 0, event(1, kCapsLockKey | kControlKey | kOptionKey | kNumericPadKey));
    lua->penUp();
    EXPECT_EQ(lua->getGlobalString(u"down"_s), u"shift_down,command_down"_s);
    EXPECT_EQ(lua->getGlobalString(u"move"_s), u"caps_lock_down,control_down,option_down"_s);
    // The up keeps the event of the last move.
    EXPECT_EQ(lua->getGlobalString(u"up"_s), lua->getGlobalString(u"move"_s));
}

TEST_F(PenCallbacks, AMissingCallbackIsARuntimeErrorEveryTime)
{
    const auto lua = run("function pen_down() downs = (downs or 0) + 1 end\n");
    lua->penDownAt({}, 0, {});
    lua->penMoveTo({}, 0, {});
    lua->penMoveTo({}, 0, {});
    lua->penUp();
    lua->penDownAt({}, 0, {});
    ASSERT_EQ(alerts.alerts.size(), 3u);
    for (const Alert& alert : alerts.alerts)
        EXPECT_TRUE(alert.message.contains(u"attempt to call a nil value"_s));
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"downs"_s), 2.0f);
}

TEST_F(PenCallbacks, FeedbackLastsFromOnePenEventToTheNext)
{
    const auto lua = run("function pen_down(p) dot(p) end\n"
                         "function pen_move(p) dot(p) end\n"
                         "function pen_up() end\n"
                         "function dot(p)\n"
                         "  local path = bezier_path()\n"
                         "  append_bezier_path_with_rect(path, {x = p.x, y = p.y, w = 4, h = 4})\n"
                         "  fill(path)\n"
                         "end\n");
    lua->penDownAt({2, 2}, 0, {});
    ASSERT_EQ(view.marked.size(), 1u);
    EXPECT_EQ(view.marked.back(), make_rect(2, 2, 4, 4));
    EXPECT_EQ(script_context().queued.size(), 1u);
    view.marked.clear();
    lua->penMoveTo({10, 2}, 0, {});
    // The old area is erased, the new one drawn; the old path is no longer queued.
    ASSERT_EQ(view.marked.size(), 2u);
    EXPECT_EQ(view.marked[0], make_rect(2, 2, 4, 4));
    EXPECT_EQ(view.marked[1], make_rect(10, 2, 4, 4));
    ASSERT_EQ(script_context().queued.size(), 1u);
    EXPECT_EQ(script_context().queued.front().path.bounds(), make_rect(10, 2, 4, 4));
    view.marked.clear();
    lua->penUp();
    ASSERT_EQ(view.marked.size(), 1u);
    EXPECT_EQ(view.marked[0], make_rect(10, 2, 4, 4));
    EXPECT_TRUE(script_context().queued.empty());
    EXPECT_TRUE(is_empty(script_context().last_draw_rect));
}

TEST_F(PenCallbacks, PenDrawPaintsTheQueueInThePensColourAndOpacity)
{
    const auto lua = run("function pen_down(p)\n"
                         "  local box = bezier_path()\n"
                         "  append_bezier_path_with_rect(box, {x = 2, y = 2, w = 6, h = 6})\n"
                         "  fill(box)\n"
                         "  local line = bezier_path()\n"
                         "  move_to_point(line, {x = 20, y = 1})\n"
                         "  line_to_point(line, {x = 20, y = 30})\n"
                         "  set_line_width(line, 4)\n"
                         "  stroke(line)\n"
                         "end\n");
    pen._color = QColor(Qt::red);
    pen._opacity = 0.5f;
    lua->penDownAt({}, 0, {});
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        lua->penDraw(painter);
    }
    const QColor inside = image.pixelColor(5, 5);
    EXPECT_EQ(inside.red(), 255);
    EXPECT_NEAR(inside.alpha(), 128, 1);
    EXPECT_NEAR(image.pixelColor(20, 15).alpha(), 128, 1);
    EXPECT_EQ(image.pixelColor(20, 35).alpha(), 0);
    EXPECT_EQ(image.pixelColor(12, 5).alpha(), 0);
    EXPECT_TRUE(script_context().queued.empty());
}

TEST_F(PenCallbacks, APenOrViewThatGoesAwayLeavesTheContext)
{
    const auto lua = run("function pen_down() s = scale() end\n"
                         "function pen_up() o = get_pen_opacity() end\n");
    {
        FakeView shortLived(2);
        FakePen shortPen;
        Lua::setContextView(shortLived, shortPen);
    }
    EXPECT_EQ(script_context().view, nullptr);
    EXPECT_EQ(script_context().pen, nullptr);
    EXPECT_FALSE(lua->penDownAt({}, 0, {}));
    EXPECT_FALSE(lua->penUp());
    ASSERT_EQ(alerts.alerts.size(), 2u);
    EXPECT_EQ(alerts.alerts[0].message, u"scale: no view to draw in"_s);
    EXPECT_EQ(alerts.alerts[1].message, u"get_pen_opacity: no pen"_s);
}

TEST_F(PenCallbacks, FunctionsThatNeedAViewFailOutsideAStroke)
{
    script_context() = ScriptContext{};
    const auto lua = run("p = retain(bezier_path())\n"
                         "move_to_point(p, {x = 1, y = 1})\n"
                         "calm = pressure() == 0 and not shift_down()\n"
                         "stroke(p)\n"
                         "after = true\n");
    EXPECT_EQ(onlyAlert(), u"stroke: no view to draw in"_s);
    EXPECT_TRUE(lua->getGlobalBoolean(u"calm"_s, false));
    EXPECT_FALSE(lua->getGlobalBoolean(u"after"_s, false));
    for (const char* call : {"fill(p)", "add_fill(p)", "add_stroke(p)", "preview_fill(p)",
                             "preview_stroke(p)", "scale()", "set_pen_radius(3)",
                             "get_pen_color()", "set_pen_transfer_mode('erase')"}) {
        alerts.alerts.clear();
        run("p = bezier_path()\nmove_to_point(p, {x = 1, y = 1})\n" + QByteArray(call) + '\n');
        const QString message = onlyAlert();
        EXPECT_TRUE(message.endsWith(u"no view to draw in"_s) || message.endsWith(u"no pen"_s))
            << call << ": " << message.toStdString();
    }
}
