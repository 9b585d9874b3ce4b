#include "script_args.h"

#include "script_state.h"

#include <lua.hpp>

#include <algorithm>
#include <cstdlib>

void arg_error(lua_State* L, const char* name, const char* message)
{
    // Without the script position that luaL_error would put in front: the message is the
    // name and the text alone, and the log shows where it happened.
    lua_pushfstring(L, "%s: %s", name, message);
    lua_error(L);
    // lua_error does not return; this keeps the compiler sure of it.
    std::abort();
}

void check_arg(lua_State* L, int pos, int type, const char* f)
{
    if (pos > lua_gettop(L)) arg_error(L, f, "not enough arguments");
    if (lua_type(L, pos) != type) arg_error(L, f, "wrong argument type");
}

float number_arg(lua_State* L, int pos, const char* f)
{
    check_arg(L, pos, LUA_TNUMBER, f);
    const float value = float(lua_tonumber(L, pos));
    if (!nice(value)) arg_error(L, "number_arg", "Number contains a NaN value (division by zero?).");
    return value;
}

const char* string_arg(lua_State* L, int pos, const char* f, std::size_t* length)
{
    check_arg(L, pos, LUA_TSTRING, f);
    return lua_tolstring(L, pos, length);
}

namespace {

float number_field(lua_State* L, int table, const char* key, float absent)
{
    lua_getfield(L, table, key);
    const float value = lua_isnumber(L, -1) ? float(lua_tonumber(L, -1)) : absent;
    lua_pop(L, 1);
    return value;
}

float unit(float v) { return std::clamp(v, 0.0f, 1.0f); }

} // namespace

Point point_arg(lua_State* L, int pos, const char* f)
{
    check_arg(L, pos, LUA_TTABLE, f);
    const Point p{number_field(L, pos, "x", 0), number_field(L, pos, "y", 0)};
    if (!nice(p)) arg_error(L, "point_arg", "Point contains a NaN value (division by zero?).");
    return p;
}

Rect rect_arg(lua_State* L, int pos, const char* f)
{
    check_arg(L, pos, LUA_TTABLE, f);
    const Rect r = make_rect(number_field(L, pos, "x", 0), number_field(L, pos, "y", 0),
                             number_field(L, pos, "w", 0), number_field(L, pos, "h", 0));
    if (!nice(r)) arg_error(L, "rect_arg", "Rect contains a NaN value (division by zero?).");
    return r;
}

QColor color_arg(lua_State* L, int pos, const char* f)
{
    check_arg(L, pos, LUA_TTABLE, f);
    const float r = number_field(L, pos, "red", 0), g = number_field(L, pos, "green", 0);
    const float b = number_field(L, pos, "blue", 0), a = number_field(L, pos, "alpha", 1);
    if (!nice(r) || !nice(g) || !nice(b) || !nice(a))
        arg_error(L, "color_arg", "Color contains a NaN value (division by zero?).");
    return QColor::fromRgbF(unit(r), unit(g), unit(b), unit(a));
}

void* id_arg(lua_State* L, int pos, const char* f)
{
    check_arg(L, pos, LUA_TLIGHTUSERDATA, f);
    void* const handle = lua_touserdata(L, pos);
    if (!script_state(L).paths.find(handle)) arg_error(L, f, "wrong class");
    return handle;
}

Path& bezier_path_arg(lua_State* L, int pos, const char* f)
{
    check_arg(L, pos, LUA_TLIGHTUSERDATA, f);
    Path* const path = script_state(L).paths.find(lua_touserdata(L, pos));
    if (!path) arg_error(L, f, "wrong class");
    return *path;
}

void push_point(lua_State* L, Point p)
{
    lua_createtable(L, 0, 2);
    lua_pushnumber(L, p.x);
    lua_setfield(L, -2, "x");
    lua_pushnumber(L, p.y);
    lua_setfield(L, -2, "y");
}

void push_color(lua_State* L, const QColor& color)
{
    const struct {
        const char* name;
        float value;
    } fields[] = {{"red", color.redF()}, {"green", color.greenF()},
                  {"blue", color.blueF()}, {"alpha", color.alphaF()}};
    lua_createtable(L, 0, 4);
    for (const auto& field : fields) {
        lua_pushnumber(L, field.value);
        lua_setfield(L, -2, field.name);
    }
}
