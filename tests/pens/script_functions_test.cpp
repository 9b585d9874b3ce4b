// The functions pen scripts call and the callbacks the pen calls, on a fake view and pen.

#include "pens_test_support.h"

#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

class ScriptFunctions : public PenScriptTest {
protected:
    void SetUp() override
    {
        PenScriptTest::SetUp();
        pen = FakePen{Qt::red, 0.5f, 5, kModeNormal};
    }
    // Runs the body as pen_down.
    std::unique_ptr<Lua> onDown(const QByteArray& body)
    {
        auto lua = run("function pen_down(p, r)\n" + body + "\nend\n");
        (void)down(*lua);
        return lua;
    }
    QString got(const Lua& lua) { return lua.getGlobalStringArray(u"got"_s).join(u' '); }
    color_ns::Color previewAt(int x, int y) { return view.canvas().previewBitmap().pixelAt(x, y); }
};

// A path as "M x,y", "L x,y", "C x,y x,y x,y" and "Z" items.
QString text_of(const Path& path)
{
    QStringList items;
    for (const PathElement& e : path.elements()) {
        QString item = QString(QStringLiteral("MLCZ")[e.element]);
        for (int i = 0; i < (e.element == kCurveTo ? 3 : e.element == kClosePath ? 0 : 1); ++i)
            item += QStringLiteral(" %1,%2").arg(e.p[i].x).arg(e.p[i].y);
        items << item;
    }
    return items.join(u' ');
}

} // namespace

TEST_F(ScriptFunctions, ArgumentErrorsNameTheFunctionOrTheReader)
{
    const QString nan = u"contains a NaN value (division by zero?)."_s;
    const std::pair<const char*, QString> rows[] = {
        {"move_to_point(path)", u"move_to_point: not enough arguments"_s},
        {"move_to_point(path, 5)", u"move_to_point: wrong argument type"_s},
        {"move_to_point(5, {x = 1, y = 1})", u"move_to_point: wrong argument type"_s},
        {"line_to_point(path, {x = 0/0, y = 1})", u"point_arg: Point "_s + nan},
        {"curve_to_point(path, {}, {})", u"curve_to_point: not enough arguments"_s},
        {"set_line_width(path, 0/0)", u"number_arg: Number "_s + nan},
        {"set_line_width(path, '2')", u"set_line_width: wrong argument type"_s},
        {"append_bezier_path_with_rect(path, {w = 0/0})", u"rect_arg: Rect "_s + nan},
        {"set_pen_color({red = 0/0})", u"color_arg: Color "_s + nan},
        {"set_pen_transfer_mode(7)", u"set_pen_transfer_mode: wrong argument type"_s},
        {"retain({})", u"retain: wrong argument type"_s},
    };
    for (const auto& [call, message] : rows) {
        const auto lua = onDown("local path = bezier_path()\n" + QByteArray(call) + "\nafter = 1");
        EXPECT_EQ(onlyAlert(), message) << call;
        EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"after"_s), 0) << call;
    }
}

// A fill keeps any line width, even one that cannot be stroked.
TEST_F(ScriptFunctions, PathsAreBuiltFromPointAndRectangleTablesAndCopiedIntoStrokes)
{
    onDown("local p = bezier_path()\n"
           "move_to_point(p, {x = 1, y = 1}) line_to_point(p, {}) line_to_point(p, {x = '3', y = 4})\n"
           "curve_to_point(p, {x = 9, y = 9}, {x = 5, y = 6}, {x = 7, y = 8}) close_path(p)\n"
           "set_line_width(p, 1/0) add_fill(p)\n"
           "local r = bezier_path() set_line_width(r, -9)\n"
           "append_bezier_path_with_rect(r, {x = 1, y = 2, w = 3, h = 4}) add_fill(r)\n"
           "set_line_width(r, 9) add_stroke(r)\n"
           "local oval = bezier_path()\n"
           "append_bezier_path_with_oval_in_rect(oval, {x = 1, y = 2, w = 30, h = 10}) add_fill(oval)\n");
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
    const StrokeArray added = view.added();
    ASSERT_EQ(added.size(), 4u);
    EXPECT_EQ(text_of(added[0]->path()), u"M 1,1 L 0,0 L 3,4 C 5,6 7,8 9,9 Z"_s);
    EXPECT_EQ(text_of(added[1]->path()), u"M 1,2 L 4,2 L 4,6 L 1,6 Z"_s);
    EXPECT_EQ(text_of(added[2]->path()), text_of(added[1]->path()));
    EXPECT_FALSE(added[1]->drawAsStroke());
    EXPECT_TRUE(added[2]->drawAsStroke());
    EXPECT_FLOAT_EQ(added[2]->lineWidth(), 9.0f);
    const QPainterPath oval = added[3]->path().toQPainterPath();
    EXPECT_EQ(added[3]->path().bounds(), make_rect(1, 2, 30, 10));
    EXPECT_TRUE(oval.contains(QPointF(16 + 15 * 0.7, 7 + 5 * 0.7)));
    EXPECT_FALSE(oval.contains(QPointF(16 + 15 * 0.72, 7 + 5 * 0.72)));
}

TEST_F(ScriptFunctions, PenSettingsGoToThePenAndBack)
{
    const QColor green = QColor::fromRgbF(0, 1, 0.5f);
    // clang-format off
    const struct { const char* call; QColor color; float opacity, radius; int mode; } rows[] = {
        {"set_pen_color({red = 1, alpha = 0})", QColor::fromRgbF(1, 0, 0, 0), 0.5f, 5, kModeErase},
        {"set_pen_color({green = 2, blue = '0.5', red = -1})", green, 0.5f, 5, kModeErase},
        {"set_pen_opacity(3.5) set_pen_radius(-2)", Qt::red, 3.5f, -2, kModeErase},
        {"set_pen_transfer_mode('Multiply')", Qt::red, 0.5f, 5, kModeMultiply},
        {"set_pen_transfer_mode('glow')", Qt::red, 0.5f, 5, kModeNormal},
    };
    // clang-format on
    for (const auto& row : rows) {
        pen = FakePen{Qt::red, 0.5f, 5, kModeErase};
        onDown(row.call);
        EXPECT_EQ(pen._color, row.color) << row.call;
        EXPECT_EQ(pen._opacity, row.opacity) << row.call;
        EXPECT_EQ(pen._radius, row.radius) << row.call;
        EXPECT_EQ(pen._mode, row.mode) << row.call;
    }
    pen = FakePen{QColor::fromRgbF(1, 0, 1, 0), 0.5f, 5, kModeErase};
    const auto lua = onDown("local c = get_pen_color()\n"
                            "got = {c.red, c.green, c.blue, c.alpha, get_pen_opacity(),\n"
                            "       get_pen_radius(), get_pen_transfer_mode(), scale()}");
    EXPECT_EQ(got(*lua), u"1.0 0.0 1.0 0.0 0.5 5.0 erase 1.0"_s);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

// While a script loads no view or pen is set: what needs them does nothing, quietly.
TEST_F(ScriptFunctions, WithNoViewOrPenCallsDoNothing)
{
    const auto lua = run("function pen_up() end\n"
                         "p = retain(bezier_path())\n"
                         "append_bezier_path_with_rect(p, {x = 1, y = 1, w = 4, h = 4})\n"
                         "stroke(p) fill(p) preview_fill(p) preview_stroke(p) add_fill(p) add_stroke(p)\n"
                         "set_pen_color({red = 1}) set_pen_opacity(0) set_pen_radius(1)\n"
                         "set_pen_transfer_mode('erase')\n"
                         "got = {scale(), get_pen_radius(), get_pen_opacity(), pressure(),\n"
                         "       select('#', get_pen_color()), select('#', get_pen_transfer_mode()),\n"
                         "       tostring(shift_down())}\n");
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
    EXPECT_EQ(got(*lua), u"0.0 0.0 0.0 0.0 0 0 false"_s);
    EXPECT_TRUE(lua->context().queued.empty());
    EXPECT_TRUE(log.isEmpty()) << log.join(u'\n').toStdString();
    // A call binds the view and pen for itself only.
    EXPECT_TRUE(up(*lua));
    EXPECT_EQ(lua->context().view, nullptr);
    EXPECT_EQ(lua->context().pen, nullptr);
}

TEST_F(ScriptFunctions, CallbacksGetThePointRadiusPressureAndModifiers)
{
    const auto lua = run("local function keys()\n"
                         "  local s = ''\n"
                         "  for _, f in ipairs({'caps_lock_down', 'shift_down', 'control_down',\n"
                         "                      'option_down', 'command_down'}) do\n"
                         "    if _G[f]() then s = s .. f:sub(1, 2) end\n"
                         "  end\n"
                         "  return s\n"
                         "end\n"
                         "function pen_down(p, r) got = {p.x, p.y, r, pressure(), keys()} end\n"
                         "function pen_move(p, r) got = {p.x, p.y, r, pressure(), keys()} end\n"
                         "function pen_up(...) got = {select('#', ...), pressure(), keys()} end\n");
    EXPECT_TRUE(down(*lua, {1.5f, 2}, 0, {{}, 0.7f, kShiftKey | kCommandKey}));
    EXPECT_EQ(got(*lua), u"1.5 2.0 0.0 0.0 shco"_s);
    const unsigned keys = kCapsLockKey | kControlKey | kOptionKey | kNumericPadKey;
    EXPECT_TRUE(move(*lua, {3, 4.5f}, 2.5f, {{}, 0.25f, keys}));
    EXPECT_EQ(got(*lua), u"3.0 4.5 2.5 0.25 cacoop"_s);
    EXPECT_TRUE(up(*lua));
    EXPECT_EQ(got(*lua), u"0 0.0 cacoop"_s);
    // A missing callback is the script's error.
    EXPECT_FALSE(move(*run("function pen_down() end\n")));
    EXPECT_TRUE(onlyAlert().contains(u"attempt to call a nil value"_s));
}

// Feedback is scaled into the view, lasts one pen event, and is painted anti-aliased in the
// pen's colour and opacity: a slanted line covers its area with partly covered edge pixels.
TEST_F(ScriptFunctions, FeedbackIsScaledLastsOneEventAndIsPaintedSmoothly)
{
    PenView zoomed(3);
    const auto lua = run("function dot(p)\n"
                         "  local path = bezier_path()\n"
                         "  move_to_point(path, p) line_to_point(path, {x = p.x + 4, y = p.y})\n"
                         "  set_line_width(path, 2) stroke(path)\n"
                         "end\n"
                         "pen_down, pen_move, pen_up = dot, dot, function() end\n");
    (void)lua->penDownAt(zoomed, pen, {1, 1}, 0, {});
    ASSERT_EQ(lua->context().queued.size(), 1u);
    EXPECT_FLOAT_EQ(lua->context().queued.front().path.lineWidth(), 6.0f);
    EXPECT_EQ(lua->context().queued.front().path.bounds(), make_rect(3, 3, 12, 0));
    (void)lua->penMoveTo(zoomed, pen, {5, 1}, 0, {});
    EXPECT_EQ(lua->context().queued.size(), 1u);
    (void)lua->penUp(zoomed, pen);
    EXPECT_TRUE(lua->context().queued.empty());
    const Rect first = make_rect(-3, -3, 24, 12), second = make_rect(9, -3, 24, 12);
    EXPECT_EQ(zoomed.marked, (std::vector<Rect>{first, first, second, second}));

    const auto painted = onDown("local box = bezier_path()\n"
                                "append_bezier_path_with_rect(box, {x = 2, y = 2, w = 6, h = 6})\n"
                                "fill(box)\n"
                                "local line = bezier_path()\n"
                                "move_to_point(line, {x = 10, y = 10}) line_to_point(line, {x = 50, y = 40})\n"
                                "set_line_width(line, 3) stroke(line)\n");
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painted->penDraw(view, pen, painter);
    }
    EXPECT_TRUE(painted->context().queued.empty());
    EXPECT_EQ(image.pixelColor(5, 5), QColor(255, 0, 0, 128));
    double covered = 0;
    int partial = 0;
    for (int y = 9; y < 48; ++y)
        for (int x = 9; x < 64; ++x) {
            const int alpha = image.pixelColor(x, y).alpha();
            covered += alpha / 128.0;
            partial += alpha > 0 && alpha < 127;
        }
    EXPECT_NEAR(covered, 50 * 3, 50 * 3 * 0.05);
    EXPECT_GT(partial, 40);
}

// Overlapping previews combine once with the drawing; the added stroke ends them.
TEST_F(ScriptFunctions, PreviewsCombineOnceAndEndWithTheAddedStroke)
{
    pen._mode = kModeDarker;
    const auto lua = onDown("local function box(at)\n"
                            "  local b = bezier_path()\n"
                            "  append_bezier_path_with_rect(b, {x = at, y = at, w = 20, h = 20})\n"
                            "  return b\n"
                            "end\n"
                            "function pen_up() add_fill(box(10)) end\n"
                            "preview_fill(box(10)) preview_fill(box(20))\n"
                            "local line = bezier_path()\n"
                            "move_to_point(line, {x = 50, y = 2}) line_to_point(line, {x = 50, y = 40})\n"
                            "set_line_width(line, 4) preview_stroke(line)\n");
    const color_ns::Color single = previewAt(15, 15);
    EXPECT_EQ(color_ns::red(single), 255);
    EXPECT_NEAR(color_ns::green(single), 128, 1);
    EXPECT_EQ(previewAt(25, 25), single);
    EXPECT_EQ(previewAt(50, 20), single);
    EXPECT_EQ(previewAt(5, 5), color_ns::WHITE);
    EXPECT_EQ(view.canvas().drawBitmap().pixelAt(15, 15), color_ns::WHITE);
    (void)up(*lua);
    EXPECT_EQ(previewAt(15, 15), color_ns::WHITE);
    EXPECT_EQ(previewAt(50, 20), color_ns::WHITE);
    EXPECT_EQ(view.canvas().strokeBitmap().pixelAt(15, 15), color_ns::TRANSPARENT);
    ASSERT_EQ(view.added().size(), 1u);
    EXPECT_EQ(view.added()[0]->color(), QColor(Qt::red));
    EXPECT_EQ(view.added()[0]->opacity(), 0.5f);
    EXPECT_EQ(view.added()[0]->transferMode(), kModeDarker);
}

// Two infinite points make the bounds' width infinity minus infinity: NaN.
TEST_F(ScriptFunctions, PathsWithoutBoundsAreIgnoredOrLogged)
{
    onDown("local wide = bezier_path()\n"
           "line_to_point(wide, {x = 50, y = 40}) set_line_width(wide, 1/0)\n"
           "preview_stroke(wide) add_stroke(wide)\n"
           "local wild = bezier_path() move_to_point(wild, {x = 1/0, y = 0})\n"
           "stroke(wild) fill(wild) preview_fill(wild) preview_stroke(wild)\n"
           "add_fill(wild) add_stroke(wild)\n");
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
    EXPECT_TRUE(view.added().empty());
    EXPECT_EQ(log.filter(u"Bad stroke added by Lua pen."_s).size(), 3);
}
