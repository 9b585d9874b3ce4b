// The script host: the module path, the sandbox, the older library functions, how errors
// are shown, what a script may spend (instructions, time and memory, feedback, path handles),
// and the functions pen scripts call.

#include "pens_test_support.h"

#include <chrono>
#include <limits>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// The person's folder comes before the built-in one of the same kind.
TEST_F(PenScriptTest, RequireTriesTheTemplatesInOrderAndRunsAPackageOnce)
{
    const QStringList places = {u"../U/Pens/m.lua"_s, u"../U/Pens/m"_s, u"Pens/m.lua"_s, u"Pens/m"_s,
                                u"../U/Lib/m.lua"_s,  u"../U/Lib/m"_s,  u"Lib/m.lua"_s,  u"Lib/m"_s};
    for (const QString& place : places)
        write(place, "loads = (loads or 0) + 1 as = _REQUIREDNAME return '" + place.toUtf8() + "'");
    for (const QString& place : places) {
        const auto lua = run("found = require 'm' again = require 'm'\n");
        EXPECT_EQ(lua->getGlobalString(u"found"_s), place);
        EXPECT_EQ(lua->getGlobalString(u"again"_s), place);
        EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"loads"_s), 1.0f);
        EXPECT_EQ(lua->getGlobalString(u"as"_s), u"m"_s);
        EXPECT_FALSE(lua->getGlobalString(u"_REQUIREDNAME"_s));
        ASSERT_TRUE(QFile::remove(root() + u'/' + place));
    }
    run("require 'm'\n");
    EXPECT_TRUE(onlyAlert().contains(u"could not load package 'm'"_s));
}

// What a script must not reach, and the message that says so.
TEST_F(PenScriptTest, TheSandboxRefuses)
{
    write(u"escape.lua"_s, "escaped = true\n");
    write(u"Lib/inner.lua"_s, "escaped = true\n");
    write(u"Lib/compiled.lua"_s, QByteArray("\x1bLua\x54\x00", 6) + "rest");
    const QByteArray dump = "string.dump(function() end)";
    const std::pair<QByteArray, const char*> rows[] = {
        {"require '../escape'", "refused package name"},
        {"require '..'", "refused package name"},
        {"require '/etc/passwd'", "refused package name"},
        {"require 'Lib\\\\inner'", "refused package name"},
        {"require 'compiled'", "binary"},
        {"io.open('/etc/passwd')", "attempt to index a nil value"},
        {"os.time()", "attempt to index a nil value"},
        {"debug.getinfo(1)", "attempt to index a nil value"},
        {"package.loadlib('x', 'y')", "attempt to index a nil value"},
        {"dofile('x')", "attempt to call a nil value"},
        {"loadfile('x')", "attempt to call a nil value"},
        {"assert(load(" + dump + "))", "binary"},
        {"assert(load(" + dump + ", 'c', 'b'))", "binary"},
        {"assert(loadstring(" + dump + "))", "binary"},
        {"loadstring(function() return 'x = 1' end)", "string expected"},
    };
    for (const auto& [script, message] : rows) {
        const auto lua = run(script + "\nafter = true\n");
        EXPECT_TRUE(onlyAlert().contains(QString::fromLatin1(message))) << script.constData();
        EXPECT_FALSE(lua->getGlobalBoolean(u"after"_s, false)) << script.constData();
        EXPECT_FALSE(lua->getGlobalBoolean(u"escaped"_s, false)) << script.constData();
    }
}

// Scripts written for the older library call these; each row is an expression and its value.
TEST_F(PenScriptTest, TheOlderLibraryFunctionsWork)
{
    const std::pair<const char*, const char*> rows[] = {
        {"table.getn({1, 2, 3})", "3"},
        {"table.getn({1, 2, nil, 4})", "2"},
        {"table.getn({n = 7, 1})", "7"},
        {"(function() local t = {1, 2, 3} table.setn(t, 1) return table.getn(t) end)()", "1"},
        {"(function() local t = {n = 2} table.setn(t, 5) return t.n end)()", "5"},
        {"select('#', unpack({1, 2, 3}))", "3"},
        {"loadstring('return 1 + 2')()", "3"},
        {"select(2, loadstring('return +', 'chunk'))",
         "[string \"chunk\"]:1: unexpected symbol near '+'"},
        {"math.mod(-7, 3)", "-1"},
        {"(function() local s = '' for w in string.gfind('a bc d', '%a+') do s = s .. w end\n"
         "  return s end)()", "abcd"},
        {"(function() local s = 0 table.foreach({a = 1, b = 2}, function(k, v) s = s + v end)\n"
         "  return s end)()", "3"},
        {"table.foreach({5}, function(k, v) return v * 2 end)", "10"},
        {"(function() local s = '' table.foreachi({'a', 'b', nil, 'c'},\n"
         "  function(i, v) s = s .. i .. v end) return s end)()", "1a2b"},
        {"table.foreachi({4, 5}, function(i, v) if i == 2 then return v end end)", "5"},
    };
    for (const auto& [expression, value] : rows) {
        const auto lua = run("value = tostring(" + QByteArray(expression) + ")\n");
        EXPECT_EQ(lua->getGlobalString(u"value"_s), QString::fromUtf8(value)) << expression;
        EXPECT_TRUE(alerts.alerts.empty()) << expression << ": " << shown();
        alerts.alerts.clear();
    }
}

TEST_F(PenScriptTest, ErrorsAreShownLiterallyUnderTheirTitleAndLogged)
{
    write(u"Localizable.strings"_s, "Runtime error = Laufzeitfehler\n");
    // clang-format off
    const struct { const char* script; const char* title; const char* message; } rows[] = {
        {"name = 'x'\nfunction (", "Compile error", "test.lua:2: <name> expected near '('"},
        {"local function f() error('1%d %s') end\nf()", "Laufzeitfehler", "test.lua:1: 1%d %s"},
        {"error({}, 0)", "Laufzeitfehler", "(error object is a table value)"},
        {"error()", "Laufzeitfehler", "(error object is a nil value)"},
        {"error(42, 0)", "Laufzeitfehler", "42"},
        {"local function f(n) return 1 + f(n + 1) end\nf(1)", "Laufzeitfehler", "stack overflow"},
    };
    // clang-format on
    for (const auto& row : rows) {
        log.clear();
        const auto lua = run(QByteArray(row.script) + "\nafter = true\n");
        const QString message = onlyAlert(QString::fromLatin1(row.title));
        EXPECT_TRUE(message.contains(QString::fromLatin1(row.message))) << qPrintable(message);
        EXPECT_FALSE(lua->getGlobalBoolean(u"after"_s, false)) << row.script;
        // Run-time errors are logged with the stack, of which a deep recursion logs the ends.
        EXPECT_EQ(log.isEmpty(), row.title[0] == 'C') << row.script;
        EXPECT_LT(log.size(), 30) << row.script;
    }
    EXPECT_FALSE(log.filter(u"levels)"_s).isEmpty()) << log.join(u'\n').toStdString();
    Lua::runningFile(root() + u"/Pens/none.lua"_s, alerts, root());
    EXPECT_TRUE(onlyAlert(u"Compile error"_s).startsWith(u"cannot open "_s));
}

TEST_F(PenScriptTest, TheStackKeepsItsHeight)
{
    const auto lua = run("function pen_down(p, r) path = bezier_path() end\n"
                         "function pen_move(p, r) if p.x > 5 then error('far') end end\n"
                         "function pen_up() return 1, 2, 3 end\n");
    const int height = lua->stackHeight();
    for (int i = 0; i < 20; ++i) {
        (void)down(*lua, {1, 1});
        EXPECT_EQ(bool(move(*lua, {float(i % 10), 1})), i % 10 <= 5);
        (void)up(*lua);
        lua->getGlobalStringArray(u"parameters"_s);
        lua->setGlobal(u"radius"_s, 3.0f);
        ASSERT_EQ(lua->stackHeight(), height);
    }
}

// A call stopped for its instructions, its time or its memory, or for queueing too much
// feedback, fails and says why; its memory comes back and the next call runs in full.
TEST_F(PenScriptTest, AStoppedCallSaysWhyAndTheNextCallRunsAgain)
{
    const ScriptLimits small{.memoryBytes = std::size_t(4) << 20};
    const char* stopped = "script stopped: it ran too long";
    const struct {
        const char* body;
        const char* message;
        ScriptLimits limits;
    } rows[] = {
        {"while true do end", stopped, {}},
        // A script cannot catch its own stop.
        {"while true do pcall(function() while true do end end)\n"
         "  xpcall(function() while true do end end, function() while true do end end) end",
         stopped, {.instructions = 2'000'000}},
        // Time spent inside the program's functions counts too.
        {"local p = bezier_path()\n"
         "while true do move_to_point(p, {x = 1, y = 2}) release(retain(p)) end", stopped,
         // Memory enough that the path's growth never stops it first, however fast the machine.
         {.memoryBytes = std::size_t(1) << 30, .instructions = std::numeric_limits<std::uint64_t>::max(), .time = Ms(200)}},
        {"local t = {} for i = 1, 1e9 do t[i] = string.rep('x', 100) .. i end",
         "not enough memory", {}},
        {"big = string.rep('x', 2^30)", "not enough memory", {}},
        {"while true do bezier_path() end", "bezier_path: not enough memory", small},
        {"local p = bezier_path() while true do line_to_point(p, {x = 1, y = 1}) end",
         "line_to_point: not enough memory", small},
        {"local p = bezier_path() append_bezier_path_with_rect(p, {x = 1, y = 1, w = 2, h = 2})\n"
         "while true do fill(p) end", "fill: too much feedback queued", {}},
    };
    for (const auto& row : rows) {
        const auto start = Clock::now();
        const auto lua = run("function pen_down() " + QByteArray(row.body) + " end\n"
                             "function pen_move() for i = 1, 1e5 do end collectgarbage() end\n",
                             row.limits);
        EXPECT_FALSE(down(*lua));
        EXPECT_EQ(onlyAlert(), QString::fromLatin1(row.message)) << row.body;
        EXPECT_LE(lua->memoryInUse(), row.limits.memoryBytes);
        EXPECT_LE(lua->context().queued.size(), std::size_t(1) << 20);
        EXPECT_TRUE(move(*lua)) << row.body;
        EXPECT_LT(lua->memoryInUse(), row.limits.memoryBytes / 2);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(20)) << row.body;
    }
}

// The collector runs finalizers beyond any budget, so tables get none.
TEST_F(PenScriptTest, TablesGetNoFinalizers)
{
    const auto lua = run("local mt = {__gc = function() while true do end end}\n"
                         "keep = setmetatable({}, mt)\n"
                         "kept = getmetatable(keep).__gc ~= nil\n"
                         "setmetatable({}, {__gc = function() ran = true end})\n"
                         "collectgarbage() collectgarbage()\n"
                         "local locked = setmetatable({}, {__metatable = 1})\n"
                         "refused = not pcall(setmetatable, locked, mt)\n");
    EXPECT_TRUE(lua->getGlobalBoolean(u"kept"_s, false));
    EXPECT_FALSE(lua->getGlobalBoolean(u"ran"_s, false));
    EXPECT_TRUE(lua->getGlobalBoolean(u"refused"_s, false));
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

// A path lives until the end of the callback unless retained; a released one until the end
// of the callback that released it; a dead handle is refused.
TEST_F(PenScriptTest, PathHandlesLiveAsLongAsTheirReferences)
{
    const auto lua = run("function pen_down()\n"
                         "  kept = retain(bezier_path()) later = bezier_path()\n"
                         "  local p = bezier_path()\n"
                         "  same = retain(p) == p and release(p) == p\n"
                         "  release(p) move_to_point(p, {x = 1, y = 1})\n"
                         "end\n"
                         "function pen_move(p) move_to_point(p.x == 1 and kept or later, {}) end\n"
                         "function pen_up() release(kept) move_to_point(kept, {}) end\n");
    EXPECT_TRUE(down(*lua));
    EXPECT_TRUE(lua->getGlobalBoolean(u"same"_s, false));
    EXPECT_EQ(lua->livePaths(), 1u);
    EXPECT_TRUE(move(*lua, {1, 0}));
    EXPECT_FALSE(move(*lua, {0, 0}));
    EXPECT_EQ(onlyAlert(), u"move_to_point: wrong class"_s);
    EXPECT_TRUE(up(*lua));
    EXPECT_EQ(lua->livePaths(), 0u);
    EXPECT_FALSE(move(*lua, {1, 0}));
    EXPECT_EQ(onlyAlert(), u"move_to_point: wrong class"_s);
}

// The functions pen scripts call and the callbacks the pen calls, on a fake view and pen.
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
    const QImage image = painted({64, 48}, Qt::transparent, [&](QPainter& p) { lua->penDraw(zoomed, pen, p); });
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
