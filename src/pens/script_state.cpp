#include "script_state.h"

#include <lua.hpp>

#include <cstdlib>

bool ScriptMemory::take(std::size_t bytes)
{
    if (bytes > _limit - _used) return false;
    _used += bytes;
    return true;
}

void ScriptMemory::give(std::size_t bytes) { _used -= bytes < _used ? bytes : _used; }

void* limited_alloc(void* ud, void* ptr, std::size_t osize, std::size_t nsize)
{
    auto& memory = *static_cast<ScriptMemory*>(ud);
    // Without a block, osize tells the kind of object, not a size.
    const std::size_t old = ptr ? osize : 0;
    if (nsize == 0) {
        std::free(ptr);
        memory.give(old);
        return nullptr;
    }
    if (nsize > old && !memory.take(nsize - old)) return nullptr;
    void* const block = std::realloc(ptr, nsize);
    if (!block) {
        if (nsize > old) memory.give(nsize - old);
        // The interpreter counts on shrinking never failing; the old block still serves.
        return nsize <= old ? ptr : nullptr;
    }
    if (nsize < old) memory.give(old - nsize);
    return block;
}

void attach_script_state(lua_State* L, ScriptState& state)
{
    *static_cast<ScriptState**>(lua_getextraspace(L)) = &state;
}

ScriptState& script_state(lua_State* L) { return **static_cast<ScriptState**>(lua_getextraspace(L)); }

namespace {

constexpr int kHookInterval = 1000;

void budget_hook(lua_State* L, lua_Debug*)
{
    ScriptState& state = script_state(L);
    state.instructions += kHookInterval;
    const bool overrun = state.instructions > state.limits.instructions ||
                         std::chrono::steady_clock::now() > state.deadline;
    if (!overrun) return;
    // From now on every instruction fails, so a pcall inside the script cannot swallow the
    // stop: the error comes back at the next instruction after it, all the way out.
    lua_sethook(L, budget_hook, LUA_MASKCOUNT, 1);
    luaL_error(L, "script stopped: it ran too long");
}

} // namespace

ScriptCall::ScriptCall(lua_State* L) : _state(script_state(L))
{
    if (_state.depth++ > 0) return;
    _state.instructions = 0;
    _state.deadline = std::chrono::steady_clock::now() + _state.limits.time;
    lua_sethook(L, budget_hook, LUA_MASKCOUNT, kHookInterval);
}
