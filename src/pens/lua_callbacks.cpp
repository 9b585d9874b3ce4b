#include "lua_host.h"

#include "script_args.h"
#include "script_context.h"
#include "script_drawing.h"
#include "tool_host.h"

#include <lua.hpp>

namespace {

struct PenCall {
    const char* name;
    const Point* point;
    float radius;
};

// Calls the script's pen function, inside the protected call: a missing function is the
// script's error ("attempt to call a nil value"), and so is running out of memory while
// the arguments are built.
int call_pen_function(lua_State* L)
{
    const PenCall& call = *static_cast<const PenCall*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushstring(L, call.name);
    lua_rawget(L, 1);
    lua_remove(L, 1);
    if (call.point) {
        push_point(L, *call.point);
        lua_pushnumber(L, call.radius);
    }
    lua_call(L, call.point ? 2 : 0, 0);
    return 0;
}

void mark(ToolView& view, const Rect& viewRect)
{
    if (!is_empty(viewRect)) view.setNeedsDisplayInRect(viewRect);
}

} // namespace

Result<> Lua::callPenFunction(const char* name, const Point* p, float radius)
{
    const PenCall call{name, p, radius};
    lua_pushcfunction(L.get(), call_pen_function);
    lua_pushlightuserdata(L.get(), const_cast<PenCall*>(&call));
    Result<> ran = pcallWithArgs(1, 0);
    // The end of the event: paths nobody retained go.
    _state.paths.drain();
    return ran;
}

// Feedback lasts from one pen event to the next: each callback starts an empty queue, so
// paths that no redraw showed in time are not shown late, and do not pile up when no
// redraw comes at all.

Result<> Lua::penDownAt(ToolView& view, ScriptPen& pen, Point p, float radius,
                        const ToolEvent& event)
{
    ScriptContext& context = _state.context;
    const ContextBinding binding(context, view, pen);
    context.last_draw_rect = {};
    context.preview_rect = {};
    context.clearQueue();
    context.event = event;
    context.pressure = 0;
    Result<> ran = callPenFunction("pen_down", &p, radius);
    mark(view, context.last_draw_rect);
    return ran;
}

Result<> Lua::penMoveTo(ToolView& view, ScriptPen& pen, Point p, float radius,
                        const ToolEvent& event)
{
    ScriptContext& context = _state.context;
    const ContextBinding binding(context, view, pen);
    mark(view, context.last_draw_rect);
    context.last_draw_rect = {};
    context.clearQueue();
    context.event = event;
    context.pressure = event.pressure;
    Result<> ran = callPenFunction("pen_move", &p, radius);
    mark(view, context.last_draw_rect);
    return ran;
}

Result<> Lua::penUp(ToolView& view, ScriptPen& pen)
{
    ScriptContext& context = _state.context;
    const ContextBinding binding(context, view, pen);
    context.pressure = 0;
    Result<> ran = callPenFunction("pen_up", nullptr, 0);
    if (!is_empty(context.preview_rect)) view.canvas().endPreview(context.preview_rect);
    mark(view, view.viewRectOfPixels(context.preview_rect));
    context.preview_rect = {};
    mark(view, context.last_draw_rect);
    context.last_draw_rect = {};
    context.clearQueue();
    return ran;
}

void Lua::penDraw(ToolView& view, ScriptPen& pen, QPainter& painter)
{
    const ContextBinding binding(_state.context, view, pen);
    paint_queued_paths(_state.context, painter);
    _state.paths.drain();
}
