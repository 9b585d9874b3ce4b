#include "pens_test_support.h"

#include <cmath>

using namespace Qt::StringLiterals;

// Scripts whose pen_down does the work, run in a view at the given scale.
class ScriptFunctions : public PenScriptTest {
protected:
    void SetUp() override
    {
        PenScriptTest::SetUp();
        Lua::setContextView(view, pen);
        pen._color = QColor(Qt::red);
        pen._opacity = 0.5f;
    }

    std::unique_ptr<Lua> down(const QByteArray& body)
    {
        auto lua = run("function pen_down(p, r)\n" + body + "\nend\n");
        lua->penDownAt({}, 0, {});
        return lua;
    }

    color_ns::Color previewAt(int x, int y)
    {
        return view.canvas().previewBitmap().pixelAt(x, y);
    }

    FakeView view;
    FakePen pen;
};

namespace {

void expect_element(const PathElement& e, int kind, std::initializer_list<Point> points)
{
    EXPECT_EQ(e.element, kind);
    int i = 0;
    for (const Point p : points) {
        EXPECT_FLOAT_EQ(e.p[i].x, p.x) << "point " << i;
        EXPECT_FLOAT_EQ(e.p[i].y, p.y) << "point " << i;
        ++i;
    }
}

} // namespace

TEST_F(ScriptFunctions, ArgumentErrorsNameTheFunctionOrTheReader)
{
    const struct {
        const char* call;
        const char* message;
    } cases[] = {
        {"move_to_point(path)", "move_to_point: not enough arguments"},
        {"move_to_point(path, 5)", "move_to_point: wrong argument type"},
        {"move_to_point(5, {x = 1, y = 1})", "move_to_point: wrong argument type"},
        {"move_to_point(path, nil)", "move_to_point: wrong argument type"},
        {"line_to_point(path, {x = 0/0, y = 1})",
         "point_arg: Point contains a NaN value (division by zero?)."},
        {"curve_to_point(path, {}, {})", "curve_to_point: not enough arguments"},
        {"set_line_width(path, 0/0)",
         "number_arg: Number contains a NaN value (division by zero?)."},
        {"set_line_width(path, '2')", "set_line_width: wrong argument type"},
        {"append_bezier_path_with_rect(path, {w = 0/0})",
         "rect_arg: Rect contains a NaN value (division by zero?)."},
        {"append_bezier_path_with_oval_in_rect(path, 1)",
         "append_bezier_path_with_oval_in_rect: wrong argument type"},
        {"set_pen_color({red = 0/0})",
         "color_arg: Color contains a NaN value (division by zero?)."},
        {"set_color({alpha = 0/0})",
         "color_arg: Color contains a NaN value (division by zero?)."},
        {"set_pen_transfer_mode(7)", "set_pen_transfer_mode: wrong argument type"},
        {"set_pen_opacity()", "set_pen_opacity: not enough arguments"},
        {"retain({})", "retain: wrong argument type"},
        {"close_path()", "close_path: not enough arguments"},
    };
    for (const auto& c : cases) {
        alerts.alerts.clear();
        const auto lua = down("local path = bezier_path()\n" + QByteArray(c.call) + "\nafter = true");
        EXPECT_EQ(onlyAlert(), QString::fromLatin1(c.message)) << c.call;
        EXPECT_FALSE(lua->getGlobalBoolean(u"after"_s, false)) << c.call;
    }
}

TEST_F(ScriptFunctions, PathsAreBuiltFromPointTables)
{
    down("local p = bezier_path()\n"
         "move_to_point(p, {x = 1, y = 1})\n"
         "line_to_point(p, {})\n"
         "line_to_point(p, {x = '3', y = 4, z = 'ignored'})\n"
         "curve_to_point(p, {x = 9, y = 9}, {x = 5, y = 6}, {x = 7, y = 8})\n"
         "close_path(p)\n"
         "set_line_width(p, 1/0)\n"
         "add_fill(p)\n");
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
    ASSERT_EQ(view.doc.added.size(), 1u);
    const auto& elements = view.doc.added[0]->path().elements();
    ASSERT_EQ(elements.size(), 5u);
    expect_element(elements[0], kMoveTo, {{1, 1}});
    expect_element(elements[1], kLineTo, {{0, 0}});
    expect_element(elements[2], kLineTo, {{3, 4}});
    expect_element(elements[3], kCurveTo, {{5, 6}, {7, 8}, {9, 9}});
    EXPECT_EQ(elements[4].element, kClosePath);
    EXPECT_FALSE(view.doc.added[0]->drawAsStroke());
}

TEST_F(ScriptFunctions, RectanglesAndOvalsFillTheirRectangle)
{
    down("local box = bezier_path()\n"
         "append_bezier_path_with_rect(box, {x = 1, y = 2, w = 30, h = 10})\n"
         "add_fill(box)\n"
         "local oval = bezier_path()\n"
         "append_bezier_path_with_oval_in_rect(oval, {x = 1, y = 2, w = 30, h = 10})\n"
         "add_fill(oval)\n");
    ASSERT_EQ(view.doc.added.size(), 2u);
    const Path& box = view.doc.added[0]->path();
    const Path& oval = view.doc.added[1]->path();
    EXPECT_EQ(box.bounds(), make_rect(1, 2, 30, 10));
    EXPECT_EQ(oval.bounds(), make_rect(1, 2, 30, 10));
    ASSERT_EQ(box.elements().size(), 5u);
    EXPECT_EQ(box.elements().back().element, kClosePath);
    ASSERT_EQ(oval.elements().size(), 6u);
    EXPECT_EQ(oval.elements().back().element, kClosePath);
    // Every arc ends on the ellipse.
    for (const PathElement& e : oval.elements()) {
        if (e.element != kCurveTo) continue;
        const float u = (e.p[2].x - 16) / 15, v = (e.p[2].y - 7) / 5;
        EXPECT_NEAR(u * u + v * v, 1.0f, 1e-5f);
    }
    const QPainterPath painted = oval.toQPainterPath();
    EXPECT_TRUE(painted.contains(QPointF(16, 7)));
    EXPECT_TRUE(painted.contains(QPointF(16 + 15 * 0.7, 7 + 5 * 0.7)));
    EXPECT_FALSE(painted.contains(QPointF(16 + 15 * 0.72, 7 + 5 * 0.72)));
}

TEST_F(ScriptFunctions, PenSettingsGoToThePen)
{
    down("set_pen_color({red = 1})");
    EXPECT_EQ(pen._color, QColor::fromRgbF(1, 0, 0, 1));
    down("set_pen_color({red = 1, alpha = 0})");
    EXPECT_EQ(pen._color, QColor::fromRgbF(1, 0, 0, 0));
    down("set_pen_color({red = 2, green = -1, blue = '0.5'})");
    EXPECT_EQ(pen._color, QColor::fromRgbF(1, 0, 0.5f, 1));
    down("set_pen_opacity(3.5) set_pen_radius(-2)");
    EXPECT_FLOAT_EQ(pen._opacity, 3.5f);
    EXPECT_FLOAT_EQ(pen._radius, -2.0f);
    down("set_pen_transfer_mode('Multiply')");
    EXPECT_EQ(pen._mode, kModeMultiply);
    down("set_pen_transfer_mode('glow')");
    EXPECT_EQ(pen._mode, kModeNormal);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();

    pen._color = QColor::fromRgbF(0.25f, 0.5f, 1, 0.75f);
    pen._opacity = 0.125f;
    pen._radius = 12;
    pen._mode = kModeErase;
    const auto lua = down("local c = get_pen_color()\n"
                          "got = {c.red, c.green, c.blue, c.alpha, get_pen_opacity(),\n"
                          "       get_pen_radius(), get_pen_transfer_mode(), scale()}");
    const QStringList got = lua->getGlobalStringArray(u"got"_s);
    ASSERT_EQ(got.size(), 8);
    EXPECT_NEAR(got[0].toDouble(), 0.25, 1e-3);
    EXPECT_NEAR(got[1].toDouble(), 0.5, 1e-3);
    EXPECT_NEAR(got[2].toDouble(), 1.0, 1e-3);
    EXPECT_NEAR(got[3].toDouble(), 0.75, 1e-3);
    EXPECT_EQ(got.mid(4), QStringList({u"0.125"_s, u"12.0"_s, u"erase"_s, u"1.0"_s}));
}

TEST_F(ScriptFunctions, StrokeFeedbackIsScaledIntoTheView)
{
    FakeView zoomed(3);
    Lua::setContextView(zoomed, pen);
    const auto lua = run("function pen_down()\n"
                         "  kept = retain(bezier_path())\n"
                         "  move_to_point(kept, {x = 1, y = 1})\n"
                         "  line_to_point(kept, {x = 5, y = 1})\n"
                         "  set_line_width(kept, 2)\n"
                         "  stroke(kept)\n"
                         "end\n"
                         "function pen_up() add_stroke(kept) end\n");
    lua->penDownAt({}, 0, {});
    ASSERT_EQ(script_context().queued.size(), 1u);
    const QueuedPath& queued = script_context().queued.front();
    EXPECT_TRUE(queued.stroke);
    EXPECT_FLOAT_EQ(queued.path.lineWidth(), 6.0f);
    EXPECT_EQ(queued.path.bounds(), make_rect(3, 3, 12, 0));
    ASSERT_EQ(zoomed.marked.size(), 1u);
    EXPECT_EQ(zoomed.marked[0], make_rect(-3, -3, 24, 12));
    lua->penUp();
    ASSERT_EQ(zoomed.doc.added.size(), 1u);
    EXPECT_TRUE(zoomed.doc.added[0]->drawAsStroke());
    EXPECT_FLOAT_EQ(zoomed.doc.added[0]->lineWidth(), 2.0f);
}

TEST_F(ScriptFunctions, PathsWithoutBoundsAreIgnoredOrLogged)
{
    // Two infinite points make the bounds' width infinity minus infinity: NaN.
    // A bad stroke still ends the preview, so it comes first here.
    down("local wide = bezier_path()\n"
         "line_to_point(wide, {x = 50, y = 40})\n"
         "set_line_width(wide, 1/0)\n"
         "preview_stroke(wide)\n"
         "add_stroke(wide)\n"
         "local box = bezier_path()\n"
         "append_bezier_path_with_rect(box, {x = 10, y = 10, w = 20, h = 20})\n"
         "preview_fill(box)\n"
         "local wild = bezier_path()\n"
         "move_to_point(wild, {x = 1/0, y = 0})\n"
         "stroke(wild) fill(wild) preview_fill(wild) preview_stroke(wild)\n"
         "add_fill(wild) add_stroke(wild)\n");
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
    EXPECT_TRUE(script_context().queued.empty());
    EXPECT_TRUE(view.doc.added.empty());
    EXPECT_EQ(log.filter(u"Bad stroke added by Lua pen."_s).size(), 3);
    EXPECT_NE(previewAt(15, 15), color_ns::WHITE);
}

TEST_F(ScriptFunctions, PreviewsCombineOnceWithThePensModeAndOpacity)
{
    const auto lua = down("for _, at in ipairs({10, 20}) do\n"
                          "  local box = bezier_path()\n"
                          "  append_bezier_path_with_rect(box, {x = at, y = at, w = 20, h = 20})\n"
                          "  preview_fill(box)\n"
                          "end\n"
                          "local line = bezier_path()\n"
                          "move_to_point(line, {x = 50, y = 2}) line_to_point(line, {x = 50, y = 40})\n"
                          "set_line_width(line, 4)\n"
                          "preview_stroke(line)\n");
    const color_ns::Color single = previewAt(15, 15);
    EXPECT_EQ(color_ns::red(single), 255);
    EXPECT_NEAR(color_ns::green(single), 128, 1);
    EXPECT_EQ(previewAt(25, 25), single);
    EXPECT_EQ(previewAt(35, 35), single);
    EXPECT_EQ(previewAt(50, 20), single);
    EXPECT_EQ(previewAt(5, 5), color_ns::WHITE);
    EXPECT_EQ(view.canvas().drawBitmap().pixelAt(15, 15), color_ns::WHITE);
    const Rect touched = script_context().preview_rect;
    EXPECT_LE(touched.minX(), 10);
    EXPECT_GE(touched.maxX(), 52);
    EXPECT_EQ(view.marked.size(), 3u);

    lua->penUp();
    EXPECT_EQ(previewAt(15, 15), color_ns::WHITE);
    EXPECT_EQ(previewAt(50, 20), color_ns::WHITE);
    EXPECT_EQ(view.canvas().strokeBitmap().pixelAt(15, 15), color_ns::TRANSPARENT);
    EXPECT_TRUE(is_empty(script_context().preview_rect));
}

TEST_F(ScriptFunctions, AddingAStrokeEndsThePreview)
{
    pen._mode = kModeDarker;
    down("local box = bezier_path()\n"
         "append_bezier_path_with_rect(box, {x = 10, y = 10, w = 20, h = 20})\n"
         "preview_fill(box)\n"
         "add_fill(box)\n");
    ASSERT_EQ(view.doc.added.size(), 1u);
    const Stroke& added = *view.doc.added[0];
    EXPECT_EQ(added.color(), QColor(Qt::red));
    EXPECT_FLOAT_EQ(added.opacity(), 0.5f);
    EXPECT_EQ(added.transferMode(), kModeDarker);
    EXPECT_EQ(added.bounds(), make_rect(10, 10, 20, 20));
    EXPECT_EQ(previewAt(15, 15), color_ns::WHITE);
    EXPECT_TRUE(is_empty(script_context().preview_rect));
}

TEST_F(ScriptFunctions, AddedStrokesKeepTheirOwnCopyOfThePath)
{
    down("local p = bezier_path()\n"
         "move_to_point(p, {x = 0, y = 0})\n"
         "line_to_point(p, {x = 10, y = 0})\n"
         "line_to_point(p, {x = 10, y = 10})\n"
         "add_fill(p)\n"
         "line_to_point(p, {x = -5, y = 10})\n"
         "set_line_width(p, 9)\n"
         "add_stroke(p)\n"
         "move_to_point(p, {x = 40, y = 40})\n");
    ASSERT_EQ(view.doc.added.size(), 2u);
    EXPECT_EQ(view.doc.added[0]->path().elements().size(), 3u);
    EXPECT_EQ(view.doc.added[0]->bounds(), make_rect(0, 0, 10, 10));
    EXPECT_EQ(view.doc.added[1]->path().elements().size(), 4u);
    EXPECT_FLOAT_EQ(view.doc.added[1]->lineWidth(), 9.0f);
    EXPECT_FLOAT_EQ(view.doc.added[0]->path().lineWidth(), 1.0f);
}
