// The script host: globals, the module path, the sandbox, the older library functions and
// how errors are shown.

#include "pens_test_support.h"

using namespace Qt::StringLiterals;

// Reads and writes are raw: the script's own metatable on _G is never run.
TEST_F(PenScriptTest, GlobalsAreReadAndWrittenByKindPastTheScriptsMetatable)
{
    write(u"Lua.strings"_s, "# names\nInk = Tinte\n\"Eraser\" = \"Radierer\";\n");
    const auto lua = run("whole = 12.0 half = 12.5 text = 'Ink' tab = {} flag = true off = false\n"
                         "numeric = '0.5' list = {'w', 7, true, 'x'} holes = {'a', nil, 'b'}\n"
                         "rubber = 'Eraser' other = 'Chalk'\n"
                         "function pen_up() rawset(_G, 'seen', color .. opacity) end\n"
                         "setmetatable(_G, {__index = function() error('ran') end,\n"
                         "                  __newindex = function() error('read only') end})\n");
    // clang-format off
    const struct { const char* name; std::optional<QString> string; float number; int boolean; }
    rows[] = {
        {"whole", u"12.0"_s, 12, -1}, // -1: the default
        {"half", u"12.5"_s, 12.5f, -1},
        {"text", u"Ink"_s, -1, -1},
        {"tab", {}, -1, -1},
        {"flag", {}, -1, 1},
        {"off", {}, -1, 0},
        {"numeric", u"0.5"_s, 0.5f, -1},
        {"absent", {}, -1, -1},
    };
    // clang-format on
    for (const auto& row : rows) {
        const QString name = QString::fromLatin1(row.name);
        EXPECT_EQ(lua->getGlobalString(name), row.string) << row.name;
        EXPECT_FLOAT_EQ(lua->getGlobalNumber(name, -1), row.number) << row.name;
        EXPECT_EQ(lua->getGlobalBoolean(name, true), row.boolean != 0) << row.name;
        EXPECT_EQ(lua->getGlobalBoolean(name, false), row.boolean == 1) << row.name;
    }
    EXPECT_EQ(lua->getGlobalStringArray(u"list"_s), QStringList({u"w"_s, u"7"_s}));
    EXPECT_EQ(lua->getGlobalStringArray(u"holes"_s), QStringList({u"a"_s}));
    EXPECT_TRUE(lua->getGlobalStringArray(u"text"_s).isEmpty());
    EXPECT_EQ(lua->getGlobalStringLocalized(u"text"_s), u"Tinte"_s);
    EXPECT_EQ(lua->getGlobalStringLocalized(u"rubber"_s), u"Radierer"_s);
    EXPECT_EQ(lua->getGlobalStringLocalized(u"other"_s), u"Chalk"_s);
    lua->setGlobal(u"color"_s, u"ff8000 "_s);
    lua->setGlobal(u"opacity"_s, 0.25f);
    EXPECT_TRUE(up(*lua));
    EXPECT_EQ(lua->getGlobalString(u"seen"_s), u"ff8000 0.25"_s);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

TEST_F(PenScriptTest, RequireTriesTheFourTemplatesInOrderAndRunsAPackageOnce)
{
    const QString r = root();
    EXPECT_EQ((*Lua::create(alerts, r + u'/'))->getGlobalString(u"LUA_PATH"_s),
              r + "/Pens/?.lua;"_L1 + r + "/Pens/?;"_L1 + r + "/Lib/?.lua;"_L1 + r + "/Lib/?"_L1);
    const QStringList places = {u"Pens/m.lua"_s, u"Pens/m"_s, u"Lib/m.lua"_s, u"Lib/m"_s};
    for (const QString& place : places)
        write(place, "loads = (loads or 0) + 1 named = _REQUIREDNAME return '" + place.toUtf8() +
                         "'");
    for (const QString& place : places) {
        const auto lua = run("found = require 'm' again = require 'm'\n");
        EXPECT_EQ(lua->getGlobalString(u"found"_s), place);
        EXPECT_EQ(lua->getGlobalString(u"again"_s), place);
        EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"loads"_s), 1.0f);
        EXPECT_EQ(lua->getGlobalString(u"named"_s), u"m"_s);
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
        EXPECT_EQ(bool(move(*lua, {float(i % 10), 1}, 2)), i % 10 <= 5);
        (void)up(*lua);
        lua->getGlobalStringArray(u"parameters"_s);
        lua->setGlobal(u"radius"_s, 3.0f);
        ASSERT_EQ(lua->stackHeight(), height);
    }
}
