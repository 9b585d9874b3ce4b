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

ToolView* context_view(lua_State* L) { return script_context(L).view; }

ScriptPen* context_pen(lua_State* L) { return script_context(L).pen; }

namespace {

// Each body below does its C++ work in a function of its own, after every argument is
// read: a Lua error unwinds with longjmp and must find no object that needs destruction.

// Fails when the queue is full.
Result<> queue_feedback(ScriptContext& context, ToolView& view, const Path& path, bool stroke)
{
    Path copy = path;
    copy.transform(view.transform());
    const float width = path.lineWidth() * view.scale();
    copy.setLineWidth(width);
    Rect bounds = copy.bounds();
    if (stroke) bounds = grow_rect(bounds, width, width);
    if (!nice(bounds)) return {};
    Result<> queued = context.queue(std::move(copy), stroke);
    if (queued) context.last_draw_rect = union_rect(context.last_draw_rect, bounds);
    return queued;
}

int draw(lua_State* L, bool stroke, const char* f)
{
    const Path& path = bezier_path_arg(L, 1, f);
    ToolView* const view = context_view(L);
    if (!view) return 0;
    if (!queue_feedback(script_context(L), *view, path, stroke).ok())
        arg_error(L, f, "too much feedback queued");
    return 0;
}

void preview_path(ScriptContext& context, ToolView& view, const ScriptPen& pen, const Path& path,
                  bool stroke)
{
    PavoCanvas& canvas = view.canvas();
    Bitmap& strokeBitmap = canvas.strokeBitmap();
    CGContextWrapper& cg = strokeBitmap.cgContext();
    const QColor color = pen.color();
    cg.setFillColor(color);
    cg.setStrokeColor(color);
    cg.setLineWidth(path.lineWidth());
    const Rect world = stroke ? path.strokeInContext(cg) : path.fillInContext(cg, kNonZero);
    const Rect r = strokeBitmap.worldRectToBitmapRect(world);
    canvas.showPreview(r, pen.transferMode(), pen.opacity());
    context.preview_rect = union_rect(context.preview_rect, r);
    view.setNeedsDisplayInPixelRect(r);
}

int preview(lua_State* L, bool stroke, const char* f)
{
    const Path& path = bezier_path_arg(L, 1, f);
    // A width without end would make the painter's stroker spin; it is ignored like NaN.
    if (!nice(path.bounds()) || (stroke && !std::isfinite(path.lineWidth()))) return 0;
    ToolView* const view = context_view(L);
    const ScriptPen* const pen = context_pen(L);
    if (view && pen) preview_path(script_context(L), *view, *pen, path, stroke);
    return 0;
}

void end_preview(ScriptContext& context, ToolView& view)
{
    if (is_empty(context.preview_rect)) return;
    view.canvas().endPreview(context.preview_rect);
    view.setNeedsDisplayInPixelRect(context.preview_rect);
    context.preview_rect = {};
}

void add_path(ScriptContext& context, ToolView& view, const ScriptPen& pen, const Path& path,
              bool stroke)
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
    end_preview(context, view);
    if (!added || added->bad()) log_line(bad);
    else view.document().drawing().addStroke(added);
}

int add(lua_State* L, bool stroke, const char* f)
{
    const Path& path = bezier_path_arg(L, 1, f);
    ToolView* const view = context_view(L);
    const ScriptPen* const pen = context_pen(L);
    if (view && pen) add_path(script_context(L), *view, *pen, path, stroke);
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
        // As the committed stroke will be drawn: without it a rubber band looks thinner
        // and jagged next to the line it turns into.
        painter.setRenderHint(QPainter::Antialiasing);
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
