#include "script_functions.h"

#include "script_args.h"
#include "script_context.h"
#include "script_drawing.h"
#include "script_state.h"
#include "tool_host.h"

#include <lua.hpp>

#include <QByteArray>

#include <initializer_list>
#include <vector>

namespace {

// Handles -------------------------------------------------------------------------------

int script_retain(lua_State* L)
{
    script_state(L).paths.retain(id_arg(L, 1, "retain"));
    lua_settop(L, 1);
    return 1;
}

int script_release(lua_State* L)
{
    script_state(L).paths.release(id_arg(L, 1, "release"));
    lua_settop(L, 1);
    return 1;
}

int script_bezier_path(lua_State* L)
{
    void* const handle = script_state(L).paths.create();
    if (!handle) arg_error(L, "bezier_path", "not enough memory");
    lua_pushlightuserdata(L, handle);
    return 1;
}

// Path building ------------------------------------------------------------------------------

// Appends to the path at argument 1; the memory check comes first, as it may raise.
void append(lua_State* L, const char* f, Path& path, std::initializer_list<PathElement> elements)
{
    if (!script_state(L).paths.reserve(lua_touserdata(L, 1), elements.size()))
        arg_error(L, f, "not enough memory");
    path.append(Path(std::vector<PathElement>(elements)));
}

int script_move_to_point(lua_State* L)
{
    Path& path = bezier_path_arg(L, 1, "move_to_point");
    const Point p = point_arg(L, 2, "move_to_point");
    append(L, "move_to_point", path, {{kMoveTo, {p}}});
    return 0;
}

int script_line_to_point(lua_State* L)
{
    Path& path = bezier_path_arg(L, 1, "line_to_point");
    const Point p = point_arg(L, 2, "line_to_point");
    append(L, "line_to_point", path, {{kLineTo, {p}}});
    return 0;
}

int script_curve_to_point(lua_State* L)
{
    const char* const f = "curve_to_point";
    Path& path = bezier_path_arg(L, 1, f);
    const Point end = point_arg(L, 2, f);
    const Point control1 = point_arg(L, 3, f);
    const Point control2 = point_arg(L, 4, f);
    append(L, f, path, {{kCurveTo, {control1, control2, end}}});
    return 0;
}

int script_append_oval(lua_State* L)
{
    const char* const f = "append_bezier_path_with_oval_in_rect";
    Path& path = bezier_path_arg(L, 1, f);
    const Rect r = rect_arg(L, 2, f);
    // Four quarter arcs, each a cubic whose control points lie kappa of the radius along
    // the tangents: the usual close fit to a circle.
    constexpr float kappa = 0.5522847498f;
    const Point c = centre(r);
    const float rx = r.size.width / 2, ry = r.size.height / 2;
    const float kx = kappa * rx, ky = kappa * ry;
    append(L, f, path,
           {{kMoveTo, {{c.x + rx, c.y}}},
            {kCurveTo, {{c.x + rx, c.y + ky}, {c.x + kx, c.y + ry}, {c.x, c.y + ry}}},
            {kCurveTo, {{c.x - kx, c.y + ry}, {c.x - rx, c.y + ky}, {c.x - rx, c.y}}},
            {kCurveTo, {{c.x - rx, c.y - ky}, {c.x - kx, c.y - ry}, {c.x, c.y - ry}}},
            {kCurveTo, {{c.x + kx, c.y - ry}, {c.x + rx, c.y - ky}, {c.x + rx, c.y}}},
            {kClosePath, {}}});
    return 0;
}

int script_append_rect(lua_State* L)
{
    const char* const f = "append_bezier_path_with_rect";
    Path& path = bezier_path_arg(L, 1, f);
    const Rect r = rect_arg(L, 2, f);
    append(L, f, path,
           {{kMoveTo, {{r.minX(), r.minY()}}},
            {kLineTo, {{r.maxX(), r.minY()}}},
            {kLineTo, {{r.maxX(), r.maxY()}}},
            {kLineTo, {{r.minX(), r.maxY()}}},
            {kClosePath, {}}});
    return 0;
}

int script_close_path(lua_State* L)
{
    Path& path = bezier_path_arg(L, 1, "close_path");
    append(L, "close_path", path, {{kClosePath, {}}});
    return 0;
}

int script_set_line_width(lua_State* L)
{
    Path& path = bezier_path_arg(L, 1, "set_line_width");
    path.setLineWidth(number_arg(L, 2, "set_line_width"));
    return 0;
}

// No graphics context is current while a script runs and nothing draws with this colour;
// the argument is still checked, so a script's mistake shows.
int script_set_color(lua_State* L)
{
    color_arg(L, 1, "set_color");
    return 0;
}

// Pen settings ---------------------------------------------------------------------------------
//
// With no pen (while the script loads) setters do nothing, number getters give 0 and the
// others give nothing; the arguments are checked all the same.

int script_set_pen_color(lua_State* L)
{
    const QColor color = color_arg(L, 1, "set_pen_color");
    if (ScriptPen* pen = context_pen(L)) pen->setColor(color);
    return 0;
}

int script_get_pen_color(lua_State* L)
{
    const ScriptPen* const pen = context_pen(L);
    if (!pen) return 0;
    QColor color = pen->color().toRgb();
    if (!color.isValid()) color = QColor(Qt::black);
    push_color(L, color);
    return 1;
}

int script_set_pen_opacity(lua_State* L)
{
    const float opacity = number_arg(L, 1, "set_pen_opacity");
    if (ScriptPen* pen = context_pen(L)) pen->setOpacity(opacity);
    return 0;
}

int script_get_pen_opacity(lua_State* L)
{
    const ScriptPen* const pen = context_pen(L);
    lua_pushnumber(L, pen ? pen->opacity() : 0);
    return 1;
}

int script_set_pen_radius(lua_State* L)
{
    const float radius = number_arg(L, 1, "set_pen_radius");
    if (ScriptPen* pen = context_pen(L)) pen->setRadius(radius);
    return 0;
}

int script_get_pen_radius(lua_State* L)
{
    const ScriptPen* const pen = context_pen(L);
    lua_pushnumber(L, pen ? pen->radius() : 0);
    return 1;
}

int script_set_pen_transfer_mode(lua_State* L)
{
    std::size_t length = 0;
    const char* const name = string_arg(L, 1, "set_pen_transfer_mode", &length);
    if (ScriptPen* pen = context_pen(L))
        pen->setTransferModeString(QString::fromUtf8(name, qsizetype(length)));
    return 0;
}

int script_get_pen_transfer_mode(lua_State* L)
{
    const ScriptPen* const pen = context_pen(L);
    if (!pen) return 0;
    // Copied out first: pushing may raise, which would skip the QByteArray's destructor.
    char name[32] = {};
    {
        const QByteArray text = pen->transferModeString().toUtf8();
        qstrncpy(name, text.constData(), sizeof name);
    }
    lua_pushstring(L, name);
    return 1;
}

// Pressure, scale and modifiers -------------------------------------------------------------

int script_pressure(lua_State* L)
{
    lua_pushnumber(L, script_context(L).pressure);
    return 1;
}

int script_scale(lua_State* L)
{
    const ToolView* const view = context_view(L);
    lua_pushnumber(L, view ? view->scale() : 0);
    return 1;
}

template <ModifierFlag flag> int modifier_down(lua_State* L)
{
    lua_pushboolean(L, script_context(L).event.has(flag));
    return 1;
}

const luaL_Reg kFunctions[] = {
    {"retain", script_retain},
    {"release", script_release},
    {"bezier_path", script_bezier_path},
    {"move_to_point", script_move_to_point},
    {"line_to_point", script_line_to_point},
    {"curve_to_point", script_curve_to_point},
    {"append_bezier_path_with_oval_in_rect", script_append_oval},
    {"append_bezier_path_with_rect", script_append_rect},
    {"close_path", script_close_path},
    {"set_line_width", script_set_line_width},
    {"set_color", script_set_color},
    {"stroke", script_stroke},
    {"fill", script_fill},
    {"add_stroke", script_add_stroke},
    {"add_fill", script_add_fill},
    {"preview_stroke", script_preview_stroke},
    {"preview_fill", script_preview_fill},
    {"set_pen_color", script_set_pen_color},
    {"get_pen_color", script_get_pen_color},
    {"set_pen_opacity", script_set_pen_opacity},
    {"get_pen_opacity", script_get_pen_opacity},
    {"set_pen_radius", script_set_pen_radius},
    {"get_pen_radius", script_get_pen_radius},
    {"set_pen_transfer_mode", script_set_pen_transfer_mode},
    {"get_pen_transfer_mode", script_get_pen_transfer_mode},
    {"pressure", script_pressure},
    {"scale", script_scale},
    {"caps_lock_down", modifier_down<kCapsLockKey>},
    {"shift_down", modifier_down<kShiftKey>},
    {"control_down", modifier_down<kControlKey>},
    {"option_down", modifier_down<kOptionKey>},
    {"command_down", modifier_down<kCommandKey>},
};

} // namespace

void register_script_functions(lua_State* L)
{
    for (const luaL_Reg& function : kFunctions) lua_register(L, function.name, function.func);
}
