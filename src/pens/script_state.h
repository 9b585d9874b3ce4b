#pragma once

// What one interpreter state may spend, and the record that the registered functions reach
// through the state itself (its extra space holds a pointer to it): the memory account that
// its allocator and its paths draw on, the instruction and time budget of the current call
// from the host, the templates its `require` resolves names through, its live paths and its
// script context.
//
// The budget keeps a script stuck in a loop from freezing the program: every call from the
// host starts a fresh budget, and a call that overruns it is stopped with a Lua error that
// the script cannot catch with its own pcall.

#include "path_pool.h"
#include "script_context.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct lua_State;

struct ScriptLimits {
    std::size_t memoryBytes = std::size_t(64) << 20;
    std::uint64_t instructions = 50'000'000;
    // Wall-clock bound of one call, for scripts that spend their time inside our functions.
    std::chrono::milliseconds time{10'000};
};

// Bytes in use by one state: the interpreter's own blocks plus the paths its script built.
class ScriptMemory {
public:
    explicit ScriptMemory(std::size_t limit) : _limit(limit) {}
    // False, taking nothing, when the bytes would pass the limit.
    bool take(std::size_t bytes);
    void give(std::size_t bytes);
    std::size_t used() const { return _used; }
    std::size_t limit() const { return _limit; }

private:
    std::size_t _used = 0;
    std::size_t _limit;
};

// The interpreter's allocator over a ScriptMemory (its user data). Growth past the limit
// fails, which the interpreter reports as a memory error.
void* limited_alloc(void* ud, void* ptr, std::size_t osize, std::size_t nsize);

// One template of the module path: a name N stands for the file prefix + N + suffix.
struct ModuleTemplate {
    std::string prefix;
    std::string suffix;
};

struct ScriptState {
    explicit ScriptState(const ScriptLimits& l) : limits(l), memory(l.memoryBytes), paths(memory) {}
    ScriptState(const ScriptState&) = delete;
    ScriptState& operator=(const ScriptState&) = delete;

    const ScriptLimits limits;
    ScriptMemory memory;
    PathPool paths;
    std::vector<ModuleTemplate> modules;
    // The templates joined as LUA_PATH shows them.
    std::string lua_path;
    ScriptContext context;
    // Budget of the call in progress, and how many host calls are open.
    std::uint64_t instructions = 0;
    std::chrono::steady_clock::time_point deadline;
    int depth = 0;
};

void attach_script_state(lua_State* L, ScriptState& state);
ScriptState& script_state(lua_State* L);

// One call from the host into the state, including the host's own reading and writing of
// globals, in which the collector may run a script's finalizers. The outermost call starts a
// fresh budget; a call made from inside another (a pen setter that reads a global, say)
// shares the running one, so it cannot renew a looping script's budget.
class ScriptCall {
public:
    explicit ScriptCall(lua_State* L);
    ~ScriptCall() { --_state.depth; }
    ScriptCall(const ScriptCall&) = delete;
    ScriptCall& operator=(const ScriptCall&) = delete;

private:
    ScriptState& _state;
};
