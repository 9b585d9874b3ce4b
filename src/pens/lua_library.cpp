#include "lua_library.h"

#include "script_functions.h"
#include "script_state.h"

#include <lua.hpp>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <string>
#include <string_view>

namespace {

constexpr int kNotFound = -1;

// Names are file names inside Pens/ and Lib/, never paths out of them.
bool valid_module_name(std::string_view name)
{
    return !name.empty() && name.find_first_of(std::string_view("/\\\0", 3)) == name.npos &&
           name.find("..") == name.npos;
}

// The chunk of the first template that names a readable file, with LUA_OK; a load error
// status with the message; or kNotFound. Pushes only through the loader, which never raises.
int load_module(lua_State* L, const ScriptState& state, std::string_view name)
{
    for (const ModuleTemplate& t : state.modules) {
        const QString file = QString::fromUtf8(t.prefix + std::string(name) + t.suffix);
        QFile input(file);
        if (!QFileInfo(file).isFile() || !input.open(QIODevice::ReadOnly)) continue;
        const QByteArray source = input.readAll();
        const QByteArray chunkname = '@' + file.toUtf8();
        return luaL_loadbufferx(L, source.constData(), std::size_t(source.size()),
                                chunkname.constData(), "t");
    }
    return kNotFound;
}

// require(name) as scripts knew it: a package is loaded once and cached; while its chunk
// runs, the global _REQUIREDNAME holds its name; a chunk that returns nothing is cached as true.
int script_require(lua_State* L)
{
    std::size_t length = 0;
    const char* const name = luaL_checklstring(L, 1, &length);
    if (!valid_module_name({name, length}))
        return luaL_error(L, "require: refused package name '%s'", name);
    lua_settop(L, 1);
    lua_getfield(L, LUA_REGISTRYINDEX, LUA_LOADED_TABLE); // 2: the cache
    lua_pushvalue(L, 1);
    if (lua_rawget(L, 2) != LUA_TNIL && lua_toboolean(L, -1)) return 1;
    lua_pop(L, 1);
    const ScriptState& state = script_state(L);
    const int status = load_module(L, state, {name, length});
    if (status == kNotFound)
        return luaL_error(L, "could not load package '%s' from path '%s'", name,
                          state.lua_path.c_str());
    if (status != LUA_OK)
        return luaL_error(L, "error loading package '%s' (%s)", name, lua_tostring(L, -1));
    lua_getglobal(L, "_REQUIREDNAME");
    lua_insert(L, -2);
    lua_pushvalue(L, 1);
    lua_setglobal(L, "_REQUIREDNAME");
    lua_call(L, 0, 1);
    lua_insert(L, -2);
    lua_setglobal(L, "_REQUIREDNAME");
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        lua_pushboolean(L, 1);
    }
    lua_pushvalue(L, 1);
    lua_pushvalue(L, -2);
    lua_rawset(L, 2);
    return 1;
}

// load(chunk [, chunkname [, mode [, env]]]) with the mode always "t": precompiled chunks
// can crash the interpreter, so they are refused.
int text_only_load(lua_State* L)
{
    const int given = lua_gettop(L);
    lua_settop(L, 4);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushvalue(L, 1);
    lua_pushvalue(L, 2);
    lua_pushliteral(L, "t");
    // An explicit nil environment differs from none, so the fourth argument goes on only
    // when it was given.
    if (given >= 4) lua_pushvalue(L, 4);
    lua_call(L, given >= 4 ? 4 : 3, LUA_MULTRET);
    return lua_gettop(L) - 4;
}

// setmetatable(t, mt) that never marks t for finalization. The collector runs finalizers
// with hooks off, beyond any budget, so one that loops would freeze the program; as in the
// Lua that pen scripts were written for, a table's __gc is simply never called. The field
// is taken out of mt only while the original setmetatable looks at it.
int setmetatable_without_finalizer(lua_State* L)
{
    lua_settop(L, 2);
    bool finalizer = false;
    if (lua_istable(L, 2)) {
        lua_pushliteral(L, "__gc");
        finalizer = lua_rawget(L, 2) != LUA_TNIL; // 3: the field, to be put back
    }
    if (finalizer) {
        lua_pushliteral(L, "__gc");
        lua_pushnil(L);
        lua_rawset(L, 2);
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushvalue(L, 1);
    lua_pushvalue(L, 2);
    const int status = lua_pcall(L, 2, 1, 0);
    if (finalizer) {
        lua_pushliteral(L, "__gc");
        lua_pushvalue(L, 3);
        lua_rawset(L, 2);
    }
    if (status != LUA_OK) return lua_error(L);
    return 1;
}

// The functions of the older library that pen scripts were written against, as that
// library defined them. getn takes a numeric field "n" first, then a size given by setn, and
// otherwise counts up to the first nil; setn writes "n" when the table has a numeric one and
// otherwise remembers the size beside it. loadstring takes text only, like load here.
constexpr char kCompatibility[] = R"lua(
local error, type, tonumber, tostring, rawget, rawset, next, load, floor =
  error, type, tonumber, tostring, rawget, rawset, next, load, math.floor
local sizes = setmetatable({}, {__mode = "k"})

local function table_arg(t, name)
  if type(t) ~= "table" then
    error("bad argument #1 to '" .. name .. "' (table expected, got " .. type(t) .. ")", 3)
  end
end

local function count(t)
  local n = tonumber(rawget(t, "n"))
  if n and n >= 0 then return floor(n) end
  n = sizes[t]
  if n then return n end
  n = 0
  while rawget(t, n + 1) ~= nil do n = n + 1 end
  return n
end

function table.getn(t)
  table_arg(t, "getn")
  return count(t)
end

function table.setn(t, n)
  table_arg(t, "setn")
  n = tonumber(n)
  if not n then error("bad argument #2 to 'setn' (number expected)", 2) end
  local field = tonumber(rawget(t, "n"))
  if field and field >= 0 then rawset(t, "n", n) else sizes[t] = floor(n) end
end

function table.foreach(t, f)
  table_arg(t, "foreach")
  for k, v in next, t do
    local result = f(k, v)
    if result ~= nil then return result end
  end
end

function table.foreachi(t, f)
  table_arg(t, "foreachi")
  for i = 1, count(t) do
    local result = f(i, rawget(t, i))
    if result ~= nil then return result end
  end
end

function loadstring(text, chunkname)
  if type(text) ~= "string" and type(text) ~= "number" then
    error("bad argument #1 to 'loadstring' (string expected, got " .. type(text) .. ")", 2)
  end
  return load(tostring(text), chunkname, "t")
end

unpack = table.unpack
math.mod = math.fmod
string.gfind = string.gmatch
)lua";

// Runs the chunk above in the state, after the sandbox is in place, so that what it keeps
// is the restricted load and setmetatable.
void open_compatibility(lua_State* L)
{
    const std::size_t size = sizeof kCompatibility - 1;
    if (luaL_loadbufferx(L, kCompatibility, size, "=compatibility", "t") != LUA_OK) lua_error(L);
    lua_call(L, 0, 0);
}

void restrict_globals(lua_State* L)
{
    lua_pushnil(L);
    lua_setglobal(L, "dofile");
    lua_pushnil(L);
    lua_setglobal(L, "loadfile");
    lua_getglobal(L, "load");
    lua_pushcclosure(L, text_only_load, 1);
    lua_setglobal(L, "load");
    lua_register(L, "require", script_require);
    lua_getglobal(L, "setmetatable");
    lua_pushcclosure(L, setmetatable_without_finalizer, 1);
    lua_setglobal(L, "setmetatable");
}

} // namespace

int open_script_library(lua_State* L)
{
    lua_pushstring(L, script_state(L).lua_path.c_str());
    lua_setglobal(L, "LUA_PATH");
    const luaL_Reg libraries[] = {{LUA_GNAME, luaopen_base},
                                  {LUA_TABLIBNAME, luaopen_table},
                                  {LUA_STRLIBNAME, luaopen_string},
                                  {LUA_MATHLIBNAME, luaopen_math}};
    for (const luaL_Reg& library : libraries) {
        luaL_requiref(L, library.name, library.func, 1);
        lua_pop(L, 1);
    }
    register_script_functions(L);
    restrict_globals(L);
    open_compatibility(L);
    return 0;
}
