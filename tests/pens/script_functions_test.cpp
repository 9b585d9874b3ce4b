// The functions pen scripts call and the callbacks the pen calls, on a fake view and pen.

#include "pens_test_support.h"

#include <QPainter>

using namespace Qt::StringLiterals;

TEST_F(PenScriptTest, ArgumentErrorsNameTheFunctionOrTheReader)
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

// While a script loads no view or pen is set: what needs them does nothing, quietly. A call
// binds them for itself only.
TEST_F(PenScriptTest, PenSettingsGoToThePenAndBackAndWithNoPenDoNothing)
{
    pen._mode = kModeErase;
    const auto lua = run(
        "function pen_down()\n"
        "  set_pen_color({green = 2, blue = '0.5', red = -1}) set_pen_opacity(3.5)\n"
        "  set_pen_radius(-2) set_pen_transfer_mode('glow')\n"
        "  got = {scale(), get_pen_radius(), get_pen_opacity(), pressure(),\n"
        "         tostring(shift_down()), select('#', get_pen_transfer_mode()),\n"
        "         get_pen_transfer_mode() or 'none', (get_pen_color() or {}).green or 'none'}\n"
        "end\n"
        "p = retain(bezier_path())\n"
        "append_bezier_path_with_rect(p, {x = 1, y = 1, w = 4, h = 4})\n"
        "stroke(p) fill(p) preview_fill(p) preview_stroke(p) add_fill(p) add_stroke(p)\n"
        "pen_down()\n");
    const auto got = [&lua] { return lua->getGlobalStringArray(u"got"_s).join(u' '); };
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
    EXPECT_EQ(got(), u"0.0 0.0 0.0 0.0 false 0 none none"_s);
    EXPECT_TRUE(lua->context().queued.empty());
    EXPECT_TRUE(log.isEmpty()) << log.join(u'\n').toStdString();
    EXPECT_EQ(pen._color, QColor(Qt::red));
    EXPECT_TRUE(down(*lua));
    EXPECT_EQ(got(), u"1.0 -2.0 3.5 0.0 false 1 normal 1.0"_s);
    EXPECT_EQ(pen._color, QColor::fromRgbF(0, 1, 0.5f));
    EXPECT_EQ(pen._opacity, 3.5f);
    EXPECT_EQ(pen._radius, -2.0f);
    EXPECT_EQ(pen._mode, kModeNormal);
    EXPECT_EQ(lua->context().view, nullptr);
    EXPECT_EQ(lua->context().pen, nullptr);
}

// Feedback is scaled into the view, lasts one pen event, and is painted anti-aliased in the
// pen's colour and opacity: a slanted line covers its area with partly covered edge pixels.
TEST_F(PenScriptTest, FeedbackIsScaledLastsOneEventAndIsPaintedSmoothly)
{
    PenView zoomed(3);
    const auto lua = run("function dot(p)\n"
                         "  local b = bezier_path()\n"
                         "  move_to_point(b, p) line_to_point(b, {x = p.x + 4, y = p.y + 3})\n"
                         "  set_line_width(b, 2) stroke(b)\n"
                         "end\n"
                         "pen_down, pen_move, pen_up = dot, dot, function() end\n");
    (void)lua->penDownAt(zoomed, pen, {1, 1}, 0, {});
    ASSERT_EQ(lua->context().queued.size(), 1u);
    EXPECT_FLOAT_EQ(lua->context().queued.front().path.lineWidth(), 6.0f);
    EXPECT_EQ(lua->context().queued.front().path.bounds(), make_rect(3, 3, 12, 9));
    (void)lua->penMoveTo(zoomed, pen, {5, 1}, 0, {});
    EXPECT_EQ(lua->context().queued.size(), 1u);
    (void)lua->penUp(zoomed, pen);
    EXPECT_TRUE(lua->context().queued.empty());
    const Rect first = make_rect(-3, -3, 24, 21), second = make_rect(9, -3, 24, 21);
    EXPECT_EQ(zoomed.marked, (std::vector<Rect>{first, first, second, second}));
    // The line from (3, 3) to (15, 12), 6 wide, is painted once.
    (void)lua->penDownAt(zoomed, pen, {1, 1}, 0, {});
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    lua->penDraw(zoomed, pen, painter);
    painter.end();
    EXPECT_TRUE(lua->context().queued.empty());
    EXPECT_EQ(image.pixelColor(9, 7), QColor(255, 0, 0, 128)); // on the line's middle
    double covered = 0;
    int partial = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const int alpha = image.pixelColor(x, y).alpha();
            covered += alpha / 128.0;
            partial += alpha > 0 && alpha < 127;
        }
    EXPECT_NEAR(covered, 15 * 6, 15 * 6 * 0.05);
    EXPECT_GT(partial, 30);
}

// Overlapping previews combine once with the drawing; the added stroke ends them.
TEST_F(PenScriptTest, PreviewsCombineOnceAndEndWithTheAddedStroke)
{
    pen._mode = kModeDarker;
    const auto lua = onDown("local function box(at)\n"
                            "  local b = bezier_path()\n"
                            "  append_bezier_path_with_rect(b, {x = at, y = at, w = 20, h = 20})\n"
                            "  return b\n"
                            "end\n"
                            "function pen_up() add_fill(box(10)) end\n"
                            "preview_fill(box(10)) preview_fill(box(20))\n"
                            "local e = box(40) set_line_width(e, 4) preview_stroke(e)\n");
    const Bitmap& preview = view.canvas().previewBitmap();
    const color_ns::Color single = preview.pixelAt(15, 15);
    EXPECT_EQ(color_ns::red(single), 255);
    EXPECT_NEAR(color_ns::green(single), 128, 1);
    EXPECT_EQ(preview.pixelAt(25, 25), single);
    EXPECT_EQ(preview.pixelAt(50, 40), single);
    EXPECT_EQ(preview.pixelAt(5, 5), color_ns::WHITE);
    EXPECT_EQ(view.canvas().drawBitmap().pixelAt(15, 15), color_ns::WHITE);
    (void)up(*lua);
    EXPECT_EQ(preview.pixelAt(15, 15), color_ns::WHITE);
    EXPECT_EQ(preview.pixelAt(50, 40), color_ns::WHITE);
    EXPECT_EQ(view.canvas().strokeBitmap().pixelAt(15, 15), color_ns::TRANSPARENT);
    EXPECT_EQ(view.added().size(), 1u);
}

// Two infinite points make the bounds' width infinity minus infinity: NaN.
TEST_F(PenScriptTest, PathsWithoutBoundsAreIgnoredOrLogged)
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
