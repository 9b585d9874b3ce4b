#pragma once

// The functions that put paths on screen or into the drawing: feedback (stroke, fill),
// canvas preview (preview_stroke, preview_fill) and strokes (add_stroke, add_fill), and the
// painting of the queued feedback while the view redraws.

#include <QColor>

class QPainter;
class ScriptPen;
class ToolView;
struct lua_State;

struct ScriptContext;

int script_stroke(lua_State* L);
int script_fill(lua_State* L);
int script_add_stroke(lua_State* L);
int script_add_fill(lua_State* L);
int script_preview_stroke(lua_State* L);
int script_preview_fill(lua_State* L);

// The view and pen of the state's context; null while the script loads, when the functions
// that need them do nothing.
ToolView* context_view(lua_State* L);
ScriptPen* context_pen(lua_State* L);

// Draws the queued feedback anti-aliased, in the pen's colour with its opacity as alpha,
// then empties the queue.
void paint_queued_paths(ScriptContext& context, QPainter& painter);
