#include "pens_test_support.h"

#include <chrono>
#include <limits>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

class ScriptLimitsTest : public PenScriptTest {
protected:
    void SetUp() override
    {
        PenScriptTest::SetUp();
        Lua::setContextView(view, pen);
    }
    FakeView view;
    FakePen pen;
};

// Stopping scripts that run too long --------------------------------------------------------

TEST_F(ScriptLimitsTest, ALoopIsStoppedAndTheNextCallRunsAgain)
{
    const auto start = Clock::now();
    const auto lua = run("function pen_down() downs = (downs or 0) + 1 end\n"
                         "function pen_move() while true do end end\n"
                         "loaded = true\n");
    ASSERT_TRUE(lua->getGlobalBoolean(u"loaded"_s, false));
    EXPECT_FALSE(lua->penMoveTo({}, 0, {}));
    EXPECT_TRUE(onlyAlert().contains(u"ran too long"_s));
    // A fresh budget for every call: the stop does not stick.
    EXPECT_TRUE(lua->penDownAt({}, 0, {}));
    EXPECT_TRUE(lua->penDownAt({}, 0, {}));
    EXPECT_FLOAT_EQ(lua->getGlobalNumber(u"downs"_s), 2.0f);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
}

TEST_F(ScriptLimitsTest, AScriptCannotCatchItsOwnStop)
{
    ScriptLimits limits;
    limits.instructions = 2'000'000;
    run("while true do\n"
        "  pcall(function() while true do end end)\n"
        "  xpcall(function() while true do end end, function() while true do end end)\n"
        "end\n",
        limits);
    EXPECT_TRUE(onlyAlert().contains(u"ran too long"_s));
}

TEST_F(ScriptLimitsTest, TimeIsBoundedToo)
{
    ScriptLimits limits;
    limits.instructions = std::numeric_limits<std::uint64_t>::max();
    limits.time = std::chrono::milliseconds(200);
    const auto start = Clock::now();
    run("local p = bezier_path()\n"
        "while true do move_to_point(p, {x = 1, y = 2}) release(retain(p)) end\n",
        limits);
    EXPECT_TRUE(onlyAlert().contains(u"ran too long"_s));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

TEST_F(ScriptLimitsTest, TablesGetNoFinalizers)
{
    const auto start = Clock::now();
    {
        const auto lua = run("local mt = {__gc = function() while true do end end}\n"
                             "setmetatable({}, mt)\n"
                             "keep = setmetatable({}, mt)\n"
                             "kept = getmetatable(keep).__gc ~= nil\n"
                             "setmetatable({}, {__gc = function() ran = true end})\n"
                             "collectgarbage() collectgarbage()\n"
                             "local locked = setmetatable({}, {__metatable = 'locked'})\n"
                             "refused = not pcall(setmetatable, locked, mt)\n"
                             "back = rawget(mt, '__gc') ~= nil\n");
        EXPECT_TRUE(lua->getGlobalBoolean(u"kept"_s, false));
        EXPECT_FALSE(lua->getGlobalBoolean(u"ran"_s, false));
        EXPECT_TRUE(lua->getGlobalBoolean(u"refused"_s, false));
        EXPECT_TRUE(lua->getGlobalBoolean(u"back"_s, false));
        EXPECT_TRUE(alerts.alerts.empty()) << shown();
    }
    // Closing the state ran no looping finalizer.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

// Memory ---------------------------------------------------------------------------------------

TEST_F(ScriptLimitsTest, ExhaustingMemoryIsAnErrorNotACrash)
{
    const auto lua = run("function pen_down()\n"
                         "  local t = {}\n"
                         "  for i = 1, 1e9 do t[i] = string.rep('x', 100) .. i end\n"
                         "end\n"
                         "function pen_up() big = string.rep('x', 2^30) end\n"
                         "function pen_move() ok = true end\n");
    EXPECT_FALSE(lua->penDownAt({}, 0, {}));
    EXPECT_FALSE(lua->penUp());
    ASSERT_EQ(alerts.alerts.size(), 2u);
    for (const Alert& alert : alerts.alerts) EXPECT_EQ(alert.message, u"not enough memory"_s);
    EXPECT_LE(lua->memoryInUse(), ScriptLimits{}.memoryBytes);
    // The memory of the failed call comes back; the state goes on working.
    EXPECT_TRUE(lua->penMoveTo({}, 0, {}));
    EXPECT_TRUE(lua->getGlobalBoolean(u"ok"_s, false));
    EXPECT_LT(lua->memoryInUse(), ScriptLimits{}.memoryBytes / 2);
}

TEST_F(ScriptLimitsTest, PathsCountAgainstTheMemoryCap)
{
    ScriptLimits limits;
    limits.memoryBytes = std::size_t(4) << 20;
    const auto lua = run("function pen_down() while true do retain(bezier_path()) end end\n"
                         "function pen_move()\n"
                         "  local p = bezier_path()\n"
                         "  while true do line_to_point(p, {x = 1, y = 1}) end\n"
                         "end\n",
                         limits);
    EXPECT_FALSE(lua->penDownAt({}, 0, {}));
    EXPECT_EQ(onlyAlert(), u"bezier_path: not enough memory"_s);
    alerts.alerts.clear();
    EXPECT_FALSE(lua->penMoveTo({}, 0, {}));
    EXPECT_EQ(onlyAlert(), u"line_to_point: not enough memory"_s);
    EXPECT_LE(lua->memoryInUse(), limits.memoryBytes);
}

TEST_F(ScriptLimitsTest, FeedbackCannotPileUpWithoutBound)
{
    const auto lua = run("function pen_down()\n"
                         "  local p = bezier_path()\n"
                         "  append_bezier_path_with_rect(p, {x = 1, y = 1, w = 2, h = 2})\n"
                         "  while true do fill(p) end\n"
                         "end\n");
    EXPECT_FALSE(lua->penDownAt({}, 0, {}));
    EXPECT_EQ(onlyAlert(), u"fill: too much feedback queued"_s);
    EXPECT_LE(script_context().queued.size(), std::size_t(1) << 20);
}

// Path handles ----------------------------------------------------------------------------------

TEST_F(ScriptLimitsTest, AReleasedPathLivesUntilTheEndOfTheCallback)
{
    const auto lua = run("function pen_down()\n"
                         "  kept = retain(bezier_path())\n"
                         "  local p = bezier_path()\n"
                         "  same = retain(p) == p and release(p) == p\n"
                         "  release(p)\n"
                         "  move_to_point(p, {x = 1, y = 1})\n"
                         "  later = p\n"
                         "end\n"
                         "function pen_move() move_to_point(kept, {x = 2, y = 2}) end\n"
                         "function pen_up() release(kept) move_to_point(kept, {x = 3, y = 3}) end\n");
    EXPECT_TRUE(lua->penDownAt({}, 0, {}));
    EXPECT_TRUE(lua->getGlobalBoolean(u"same"_s, false));
    EXPECT_EQ(lua->livePaths(), 1u);
    EXPECT_TRUE(lua->penMoveTo({}, 0, {}));
    EXPECT_TRUE(lua->penMoveTo({}, 0, {}));
    EXPECT_TRUE(lua->penUp());
    EXPECT_EQ(lua->livePaths(), 0u);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

TEST_F(ScriptLimitsTest, DeadHandlesAreRefused)
{
    const auto lua = run("function pen_down() kept = retain(bezier_path()) later = bezier_path() end\n"
                         "function pen_up() release(kept) end\n"
                         "function use(name) move_to_point(_G[name], {x = 1, y = 1}) end\n"
                         "function pen_move(p) use(p.x == 1 and 'kept' or 'later') end\n");
    lua->penDownAt({}, 0, {});
    EXPECT_EQ(lua->livePaths(), 1u);
    EXPECT_FALSE(lua->penMoveTo({0, 0}, 0, {}));
    EXPECT_EQ(onlyAlert(), u"move_to_point: wrong class"_s);
    alerts.alerts.clear();
    EXPECT_TRUE(lua->penMoveTo({1, 0}, 0, {}));
    lua->penUp();
    EXPECT_FALSE(lua->penMoveTo({1, 0}, 0, {}));
    EXPECT_EQ(onlyAlert(), u"move_to_point: wrong class"_s);
    alerts.alerts.clear();
    // Nor can a dead handle be brought back.
    const auto again = run("function pen_down() p = bezier_path() end\n"
                           "function pen_up() retain(p) end\n");
    again->penDownAt({}, 0, {});
    EXPECT_FALSE(again->penUp());
    EXPECT_EQ(onlyAlert(), u"retain: wrong class"_s);
}

TEST(PathPool, HandlesCountReferencesAndBelongToOnePool)
{
    ScriptMemory memory(1 << 20);
    PathPool pool(memory), other(memory);
    void* const a = pool.create();
    void* const b = pool.create();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_TRUE(pool.find(a));
    EXPECT_FALSE(other.find(a));
    EXPECT_FALSE(other.retain(a));
    EXPECT_FALSE(pool.find(nullptr));
    // a: one reference from its creation, which the drain gives up; two retains; one
    // release -> one reference left.
    EXPECT_TRUE(pool.retain(a));
    EXPECT_TRUE(pool.retain(a));
    EXPECT_TRUE(pool.release(a));
    EXPECT_TRUE(pool.find(a));
    pool.drain();
    EXPECT_TRUE(pool.find(a));
    EXPECT_FALSE(pool.find(b));
    EXPECT_FALSE(pool.release(b));
    pool.release(a);
    EXPECT_TRUE(pool.find(a));
    pool.drain();
    EXPECT_FALSE(pool.find(a));
    // One release too many frees the path once, and does no harm.
    void* const d = pool.create();
    pool.release(d);
    pool.drain();
    EXPECT_EQ(pool.size(), 0u);
    // A new path never takes an old number.
    void* const c = pool.create();
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_NE(c, d);
}

TEST(PathPool, PathsAreChargedToTheMemoryAccount)
{
    ScriptMemory memory(64 * 1024);
    {
        PathPool pool(memory);
        void* const path = pool.create();
        const std::size_t empty = memory.used();
        EXPECT_GT(empty, 0u);
        ASSERT_TRUE(pool.reserve(path, 100));
        EXPECT_GE(memory.used(), empty + 100 * sizeof(PathElement));
        EXPECT_FALSE(pool.reserve(path, 1 << 20));
        EXPECT_FALSE(pool.reserve(nullptr, 1));
        int made = 0;
        while (pool.create()) ++made;
        EXPECT_GT(made, 10);
        EXPECT_LE(memory.used(), memory.limit());
        pool.drain();
        EXPECT_EQ(memory.used(), 0u);
        pool.retain(pool.create());
        pool.drain();
        EXPECT_GT(memory.used(), 0u);
    }
    // Paths still alive when the pool goes give their memory back.
    EXPECT_EQ(memory.used(), 0u);
}
