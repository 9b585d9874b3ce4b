#include "script_drawing.h"

#include "context_wrapper.h"
#include "script_args.h"
#include "script_context.h"
#include "strokes.h"
#include "tool_host.h"

#include <lua.hpp>

#include <QPainter>

#include <algorithm>
#include <cmath>

ToolView& context_view(lua_State* L, const char* f)
{
    ToolView* const view = script_context().view;
    if (!view) arg_error(L, f, "no view to draw in");
    return *view;
}

ScriptPen& context_pen(lua_State* L, const char* f)
{
    ScriptPen* const pen = script_context().pen;
    if (!pen) arg_error(L, f, "no pen");
    return *pen;
}

namespace {

// Each body below does its C++ work in a function of its own, after every argument is
// read: a Lua error unwinds with longjmp and must find no object that needs destruction.

// False when the queue is full.
bool queue_feedback(ToolView& view, const Path& path, bool stroke)
{
    ScriptContext& context = script_context();
    Path copy = path;
    copy.transform(view.transform());
    const float width = path.lineWidth() * view.scale();
    copy.setLineWidth(width);
    Rect bounds = copy.bounds();
    if (stroke) bounds = grow_rect(bounds, width, width);
    if (!nice(bounds)) return true;
    if (!context.queue(std::move(copy), stroke)) return false;
    context.last_draw_rect = union_rect(context.last_draw_rect, bounds);
    return true;
}

int draw(lua_State* L, bool stroke, const char* f)
{
    const Path& path = bezier_path_arg(L, 1, f);
    ToolView& view = context_view(L, f);
    if (!queue_feedback(view, path, stroke)) arg_error(L, f, "too much feedback queued");
    return 0;
}

void preview_path(ToolView& view, const ScriptPen& pen, const Path& path, bool stroke)
{
    ScriptContext& context = script_context();
    PavoCanvas& canvas = view.canvas();
    Bitmap& strokeBitmap = canvas.strokeBitmap();
    CGContextWrapper& cg = strokeBitmap.cgContext();
    const QColor color = pen.color();
    cg.setFillColor(color);
    cg.setStrokeColor(color);
    cg.setLineWidth(path.lineWidth());
    const Rect world = stroke ? path.strokeInContext(cg) : path.fillInContext(cg, kNonZero);
    const Rect r = strokeBitmap.worldRectToBitmapRect(world);
    canvas.drawBitmap().copyRect(r, canvas.previewBitmap());
    strokeBitmap.transferRect(r, canvas.previewBitmap(), pen.transferMode(), pen.opacity());
    context.preview_rect = union_rect(context.preview_rect, r);
    view.setNeedsDisplayInRect(r);
}

int preview(lua_State* L, bool stroke, const char* f)
{
    const Path& path = bezier_path_arg(L, 1, f);
    // A width without end would make the painter's stroker spin; it is ignored like NaN.
    if (!nice(path.bounds()) || (stroke && !std::isfinite(path.lineWidth()))) return 0;
    ToolView& view = context_view(L, f);
    const ScriptPen& pen = context_pen(L, f);
    preview_path(view, pen, path, stroke);
    return 0;
}

void end_preview(ToolView& view)
{
    ScriptContext& context = script_context();
    if (is_empty(context.preview_rect)) return;
    view.canvas().endPreview(context.preview_rect);
    view.setNeedsDisplayInRect(context.preview_rect);
    context.preview_rect = {};
}

void add_path(ToolView& view, const ScriptPen& pen, const Path& path, bool stroke)
{
    const QString bad = QStringLiteral("Bad stroke added by Lua pen.");
    if (!nice(path.bounds())) {
        log_line(bad);
        return;
    }
    // The stroke gets its own copy, so a script that goes on editing its path changes no
    // stroke already in the drawing.
    const StrokePtr added =
        stroke ? Stroke::withLine(path, pen.color(), pen.transferMode(), pen.opacity())
               : Stroke::withPath(path, pen.color(), pen.transferMode(), pen.opacity());
    end_preview(view);
    if (!added || added->bad()) log_line(bad);
    else view.document().drawing().addStroke(added);
}

int add(lua_State* L, bool stroke, const char* f)
{
    const Path& path = bezier_path_arg(L, 1, f);
    ToolView& view = context_view(L, f);
    const ScriptPen& pen = context_pen(L, f);
    add_path(view, pen, path, stroke);
    return 0;
}

} // namespace

int script_stroke(lua_State* L) { return draw(L, true, "stroke"); }
int script_fill(lua_State* L) { return draw(L, false, "fill"); }
int script_add_stroke(lua_State* L) { return add(L, true, "add_stroke"); }
int script_add_fill(lua_State* L) { return add(L, false, "add_fill"); }
int script_preview_stroke(lua_State* L) { return preview(L, true, "preview_stroke"); }
int script_preview_fill(lua_State* L) { return preview(L, false, "preview_fill"); }

void paint_queued_paths(ScriptContext& context, QPainter& painter)
{
    if (context.pen && !context.queued.empty()) {
        QColor color = context.pen->color().toRgb();
        if (!color.isValid()) color = QColor(Qt::black);
        const float opacity = context.pen->opacity();
        color.setAlphaF(nice(opacity) ? std::clamp(opacity, 0.0f, 1.0f) : 0.0f);
        painter.save();
        for (const QueuedPath& queued : context.queued) {
            const QPainterPath path = queued.path.toQPainterPath();
            const float width = queued.path.lineWidth();
            if (!queued.stroke) painter.fillPath(path, color);
            else if (std::isfinite(width))
                painter.strokePath(path, QPen(color, width, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        }
        painter.restore();
    }
    context.clearQueue();
}
