#include "pens_test_support.h"

#include <QFile>

using namespace Qt::StringLiterals;

// Reading and writing globals ---------------------------------------------------------

TEST_F(PenScriptTest, StringGlobalsReadStringsAndNumbersOnly)
{
    const auto lua = run("name = 12\n"
                         "whole = 12.0\n"
                         "half = 12.5\n"
                         "text = 'Ink'\n"
                         "tab = {}\n"
                         "flag = true\n");
    EXPECT_EQ(lua->getGlobalString(u"name"_s), u"12"_s);
    EXPECT_EQ(lua->getGlobalString(u"whole"_s), u"12.0"_s);
    EXPECT_EQ(lua->getGlobalString(u"half"_s), u"12.5"_s);
    EXPECT_EQ(lua->getGlobalString(u"text"_s), u"Ink"_s);
    EXPECT_FALSE(lua->getGlobalString(u"tab"_s));
    EXPECT_FALSE(lua->getGlobalString(u"flag"_s));
    EXPECT_FALSE(lua->getGlobalString(u"absent"_s));
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

TEST_F(PenScriptTest, BooleanGlobalsCountOnlyTrueAndFalse)
{
    const auto lua = run("default = 1\n"
                         "custom_pen = true\n"
                         "off = false\n"
                         "word = 'true'\n");
    EXPECT_FALSE(lua->getGlobalBoolean(u"default"_s, false));
    EXPECT_TRUE(lua->getGlobalBoolean(u"default"_s, true));
    EXPECT_TRUE(lua->getGlobalBoolean(u"custom_pen"_s, false));
    EXPECT_FALSE(lua->getGlobalBoolean(u"off"_s, true));
    EXPECT_TRUE(lua->getGlobalBoolean(u"word"_s, true));
    EXPECT_FALSE(lua->getGlobalBoolean(u"word"_s, false));
    EXPECT_TRUE(lua->getGlobalBoolean(u"absent"_s, true));
}

TEST_F(PenScriptTest, NumberGlobalsAcceptNumericStrings)
{
    const auto lua = run("radius = 7.25\n"
                         "opacity = '0.5'\n"
                         "mode = 'multiply'\n"
                         "flag = true\n");
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"radius"_s, 5), 7.25f);
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"opacity"_s, 1), 0.5f);
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"mode"_s, 3), 3.0f);
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"flag"_s, 4), 4.0f);
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"absent"_s), 0.0f);
}

TEST_F(PenScriptTest, StringArraysStopAtTheFirstOtherValue)
{
    const auto lua = run("holes = {'width', 'angle', nil, 'later'}\n"
                         "mixed = {'a', 7, true, 'b'}\n"
                         "text = 'width'\n");
    EXPECT_EQ(lua->getGlobalStringArray(u"holes"_s), QStringList({u"width"_s, u"angle"_s}));
    EXPECT_EQ(lua->getGlobalStringArray(u"mixed"_s), QStringList({u"a"_s, u"7"_s}));
    EXPECT_TRUE(lua->getGlobalStringArray(u"text"_s).isEmpty());
    EXPECT_TRUE(lua->getGlobalStringArray(u"absent"_s).isEmpty());
}

TEST_F(PenScriptTest, WrittenGlobalsAreSeenByTheScript)
{
    const auto lua = run("function pen_up() seen = color .. ' ' .. (opacity * 2) end\n");
    lua->setGlobal(u"color"_s, u"ff8000"_s);
    lua->setGlobal(u"opacity"_s, 0.25f);
    EXPECT_EQ(lua->getGlobalString(u"color"_s), u"ff8000"_s);
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"opacity"_s), 0.25f);
    EXPECT_TRUE(lua->penUp());
    EXPECT_EQ(lua->getGlobalString(u"seen"_s), u"ff8000 0.5"_s);
}

TEST_F(PenScriptTest, LocalizedNamesComeFromTheLuaStringTable)
{
    write(u"Lua.strings"_s, "# pen names\n"
                            "Ink = Tinte\n"
                            "\"Eraser\" = \"Radierer\";\n");
    const auto lua = run("name = 'Ink'\nother = 'Chalk'\nrubber = 'Eraser'\n");
    EXPECT_EQ(lua->getGlobalStringLocalized(u"name"_s), u"Tinte"_s);
    EXPECT_EQ(lua->getGlobalStringLocalized(u"rubber"_s), u"Radierer"_s);
    EXPECT_EQ(lua->getGlobalStringLocalized(u"other"_s), u"Chalk"_s);
    EXPECT_FALSE(lua->getGlobalStringLocalized(u"absent"_s));
}

// A script's metatable on its globals can neither break nor run during the host's reads
// and writes.
TEST_F(PenScriptTest, MetatablesOnGlobalsDoNotReachTheHost)
{
    const auto lua = run("hits = 0\n"
                         "function pen_up() rawset(_G, 'copy', rawget(_G, 'written')) end\n"
                         "setmetatable(_G, {\n"
                         "  __index = function(t, k) rawset(t, 'hits', rawget(t, 'hits') + 1)\n"
                         "                           error('no global ' .. k) end,\n"
                         "  __newindex = function(t, k, v) error('read only') end})\n");
    EXPECT_FALSE(lua->getGlobalString(u"name"_s));
    EXPECT_TRUE(lua->getGlobalBoolean(u"default"_s, true));
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"radius"_s, 5), 5.0f);
    EXPECT_TRUE(lua->getGlobalStringArray(u"parameters"_s).isEmpty());
    lua->setGlobal(u"written"_s, u"yes"_s);
    EXPECT_EQ(lua->getGlobalString(u"written"_s), u"yes"_s);
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"hits"_s), 0.0f);
    EXPECT_TRUE(lua->penUp());
    EXPECT_EQ(lua->getGlobalString(u"copy"_s), u"yes"_s);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

// The module path -----------------------------------------------------------------------

TEST_F(PenScriptTest, LuaPathNamesTheFourTemplates)
{
    const auto lua = run("");
    const QString r = root();
    EXPECT_EQ(lua->getGlobalString(u"LUA_PATH"_s),
              r + "/Pens/?.lua;"_L1 + r + "/Pens/?;"_L1 + r + "/Lib/?.lua;"_L1 + r + "/Lib/?"_L1);
    // A trailing separator on the root is not doubled.
    const auto slashed = Lua::create(alerts, r + u'/');
    EXPECT_EQ(slashed->getGlobalString(u"LUA_PATH"_s), lua->getGlobalString(u"LUA_PATH"_s));
}

TEST_F(PenScriptTest, RequireTriesTheTemplatesInOrder)
{
    const QStringList places = {u"Pens/m.lua"_s, u"Pens/m"_s, u"Lib/m.lua"_s, u"Lib/m"_s};
    for (const QString& place : places)
        write(place, "return '" + place.toUtf8() + "'\n");
    for (const QString& place : places) {
        const auto lua = run("found = require 'm'\n");
        EXPECT_EQ(lua->getGlobalString(u"found"_s), place);
        ASSERT_TRUE(QFile::remove(root() + u'/' + place));
    }
    const auto lua = run("found = require 'm'\n");
    EXPECT_FALSE(lua->getGlobalString(u"found"_s));
    EXPECT_TRUE(onlyAlert().contains(u"could not load package 'm'"_s));
}

TEST_F(PenScriptTest, RequireRunsAPackageOnce)
{
    write(u"Lib/counter.lua"_s, "loads = (loads or 0) + 1\nnamed = _REQUIREDNAME\n");
    write(u"Lib/shapes.lua"_s, "return {sides = 4}\n");
    const auto lua = run("a = require 'counter'\n"
                         "b = require 'counter'\n"
                         "same = require 'shapes' == require 'shapes'\n"
                         "sides = require('shapes').sides\n");
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"loads"_s), 1.0f);
    EXPECT_EQ(lua->getGlobalString(u"named"_s), u"counter"_s);
    EXPECT_TRUE(lua->getGlobalBoolean(u"a"_s, false));
    EXPECT_TRUE(lua->getGlobalBoolean(u"b"_s, false));
    EXPECT_TRUE(lua->getGlobalBoolean(u"same"_s, false));
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"sides"_s), 4.0f);
    EXPECT_FALSE(lua->getGlobalString(u"_REQUIREDNAME"_s));
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

TEST_F(PenScriptTest, RequireRefusesPathsOutOfTheFolders)
{
    // Each would name an existing file if separators or ".." were followed.
    write(u"escape.lua"_s, "escaped = true\n");
    write(u"Lib/inner.lua"_s, "escaped = true\n");
    for (const char* name : {"../escape", "..", "../Lib/inner", "/etc/passwd", "Lib\\\\inner"}) {
        alerts.alerts.clear();
        const auto lua = run("require '" + QByteArray(name) + "'\n");
        EXPECT_FALSE(lua->getGlobalBoolean(u"escaped"_s, false)) << name;
        EXPECT_TRUE(onlyAlert().contains(u"refused package name"_s)) << name;
    }
}

TEST_F(PenScriptTest, RequireLoadsSourceOnly)
{
    write(u"Lib/compiled.lua"_s, QByteArray("\x1bLua\x54\x00", 6) + "rest");
    const auto lua = run("require 'compiled'\n");
    const QString message = onlyAlert();
    EXPECT_TRUE(message.contains(u"error loading package 'compiled'"_s)) << message.toStdString();
    EXPECT_TRUE(message.contains(u"binary"_s)) << message.toStdString();
}

// What scripts cannot reach -----------------------------------------------------------------

TEST_F(PenScriptTest, OnlyTheFourLibrariesAreOpen)
{
    const auto lua = run("kinds = table.concat({type(io), type(os), type(debug), type(package),\n"
                         "  type(dofile), type(loadfile), type(string.format), type(math.sin),\n"
                         "  type(table.insert), type(print)}, ' ')\n");
    EXPECT_EQ(lua->getGlobalString(u"kinds"_s),
              u"nil nil nil nil nil nil function function function function"_s);
    for (const QByteArray call : {"io.open('/etc/passwd')", "os.time()"}) {
        alerts.alerts.clear();
        run(call + '\n');
        EXPECT_TRUE(onlyAlert().contains(u"attempt to index a nil value"_s)) << call.constData();
    }
}

TEST_F(PenScriptTest, LoadTakesTextChunksOnly)
{
    const auto lua = run("sum = load('return 1 + 2')()\n"
                         "local dumped = string.dump(function() return 1 end)\n"
                         "local f, message = load(dumped)\n"
                         "refused, why = f == nil, message\n"
                         "forced = load(dumped, 'chunk', 'b') == nil\n"
                         "env = load('return x', 'chunk', 't', {x = 5})()\n"
                         "local pieces = {'return ', '7'}\n"
                         "read = load(function() return table.remove(pieces, 1) end)()\n");
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"sum"_s), 3.0f);
    EXPECT_TRUE(lua->getGlobalBoolean(u"refused"_s, false));
    EXPECT_TRUE(lua->getGlobalString(u"why"_s).value_or(QString()).contains(u"binary"_s));
    EXPECT_TRUE(lua->getGlobalBoolean(u"forced"_s, false));
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"env"_s), 5.0f);
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"read"_s), 7.0f);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

// Errors ---------------------------------------------------------------------------------------

TEST_F(PenScriptTest, CompileErrorsLeaveTheGlobalsUnset)
{
    const auto lua = run("name = 'Broken'\nfunction (\n");
    EXPECT_TRUE(onlyAlert(u"Compile error"_s).contains(u"test.lua:2:"_s));
    EXPECT_FALSE(lua->getGlobalString(u"name"_s));

    alerts.alerts.clear();
    const auto missing = Lua::runningFile(root() + u"/Pens/none.lua"_s, alerts, root());
    ASSERT_TRUE(missing);
    EXPECT_TRUE(onlyAlert(u"Compile error"_s).startsWith(u"cannot open "_s));
}

TEST_F(PenScriptTest, RuntimeErrorsAreShownLiterallyAndLogged)
{
    const auto lua = run("name = 'Half'\n"
                         "local function fail() error('100%d done %s') end\n"
                         "fail()\n"
                         "after = true\n");
    EXPECT_TRUE(onlyAlert().endsWith(u"test.lua:2: 100%d done %s"_s));
    EXPECT_EQ(lua->getGlobalString(u"name"_s), u"Half"_s);
    EXPECT_FALSE(lua->getGlobalBoolean(u"after"_s, false));
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log.front().endsWith(u"test.lua:2: 100%d done %s"_s));
    EXPECT_TRUE(log.filter(u"test.lua:2 fail"_s).size() == 1) << log.join(u'\n').toStdString();
}

TEST_F(PenScriptTest, TranslatedAlertTitles)
{
    write(u"Localizable.strings"_s, "Runtime error = Laufzeitfehler\n");
    run("error('x', 0)\n");
    EXPECT_EQ(onlyAlert(u"Laufzeitfehler"_s), u"x"_s);
}

TEST_F(PenScriptTest, ErrorValuesThatAreNotStrings)
{
    run("error({}, 0)\n");
    EXPECT_EQ(onlyAlert(), u"(error object is a table value)"_s);
    alerts.alerts.clear();
    run("error()\n");
    EXPECT_EQ(onlyAlert(), u"(error object is a nil value)"_s);
    alerts.alerts.clear();
    run("error(42, 0)\n");
    EXPECT_EQ(onlyAlert(), u"42"_s);
    // The main chunk has no function name; its level is still logged.
    EXPECT_FALSE(log.filter(u"test.lua:1 ?"_s).isEmpty()) << log.join(u'\n').toStdString();
}

TEST_F(PenScriptTest, DeepRecursionLogsOnlyTheEndsOfTheStack)
{
    run("local function down(n) return 1 + down(n + 1) end\ndown(1)\n");
    EXPECT_TRUE(onlyAlert().contains(u"stack overflow"_s));
    EXPECT_LT(log.size(), 30);
    EXPECT_FALSE(log.filter(u"levels)"_s).isEmpty());
}

TEST_F(PenScriptTest, TheStackKeepsItsHeight)
{
    const auto lua = run("function pen_down(p, r) path = bezier_path() end\n"
                         "function pen_move(p, r) if p.x > 5 then error('far') end end\n"
                         "function pen_up() return 1, 2, 3 end\n");
    const int height = lua->stackHeight();
    for (int i = 0; i < 200; ++i) {
        lua->penDownAt({1, 1}, 0, {});
        lua->penMoveTo({float(i % 10), 1}, 2, {});
        lua->penUp();
        lua->getGlobalString(u"name"_s);
        lua->getGlobalStringArray(u"parameters"_s);
        lua->setGlobal(u"radius"_s, 3.0f);
        ASSERT_EQ(lua->stackHeight(), height);
    }
    EXPECT_EQ(alerts.alerts.size(), 80u);
}
