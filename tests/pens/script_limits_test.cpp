// What a script may spend: instructions, time and memory, feedback, and path handles.

#include "pens_test_support.h"

#include <chrono>
#include <limits>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

TEST_F(PenScriptTest, AStoppedScriptIsToldSoAndTheNextCallRunsAgain)
{
    ScriptLimits fewInstructions, littleTime;
    fewInstructions.instructions = 2'000'000;
    littleTime.instructions = std::numeric_limits<std::uint64_t>::max();
    littleTime.time = std::chrono::milliseconds(200);
    const struct {
        const char* loop;
        ScriptLimits limits;
    } rows[] = {
        {"while true do end", {}},
        // A script cannot catch its own stop.
        {"while true do pcall(function() while true do end end)\n"
         "  xpcall(function() while true do end end, function() while true do end end) end",
         fewInstructions},
        // Time spent inside the program's functions counts too.
        {"local p = bezier_path()\n"
         "while true do move_to_point(p, {x = 1, y = 2}) release(retain(p)) end",
         littleTime},
    };
    for (const auto& row : rows) {
        const auto start = Clock::now();
        const auto lua = run("function pen_down() downs = (downs or 0) + 1 end\n"
                             "function pen_move() " + QByteArray(row.loop) + " end\n",
                             row.limits);
        EXPECT_FALSE(move(*lua));
        EXPECT_TRUE(onlyAlert().contains(u"ran too long"_s)) << row.loop;
        EXPECT_TRUE(down(*lua));
        EXPECT_TRUE(down(*lua));
        EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"downs"_s), 2.0f);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(20)) << row.loop;
    }
}

// The collector runs finalizers beyond any budget, so tables get none.
TEST_F(PenScriptTest, TablesGetNoFinalizers)
{
    const auto start = Clock::now();
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
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

TEST_F(PenScriptTest, ExhaustingMemoryOrTheFeedbackQueueIsAnError)
{
    ScriptLimits small;
    small.memoryBytes = std::size_t(4) << 20;
    const struct {
        const char* body;
        const char* message;
        ScriptLimits limits;
    } rows[] = {
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
        const auto lua = run("function pen_down() " + QByteArray(row.body) + " end\n"
                             "function pen_move() collectgarbage() ok = true end\n", row.limits);
        EXPECT_FALSE(down(*lua));
        EXPECT_EQ(onlyAlert(), QString::fromLatin1(row.message)) << row.body;
        EXPECT_LE(lua->memoryInUse(), row.limits.memoryBytes);
        EXPECT_LE(lua->context().queued.size(), std::size_t(1) << 20);
        // The memory of the failed call comes back; the state goes on working.
        EXPECT_TRUE(move(*lua));
        EXPECT_TRUE(lua->getGlobalBoolean(u"ok"_s, false));
        EXPECT_LT(lua->memoryInUse(), row.limits.memoryBytes / 2);
    }
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
