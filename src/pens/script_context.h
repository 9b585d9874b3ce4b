#pragma once

// The record that one interpreter state and the functions registered in it share: the view
// the current stroke is drawn in, the pen whose settings scripts read and change, the latest
// pen event and its pressure, the feedback paths waiting to be drawn and the areas that the
// feedback and the canvas preview have touched. Each state has its own, reached through the
// state itself (script_context(L)); nothing about it is process-wide.
//
// View and pen are set only while the host calls into the script (ContextBinding) and are
// null again afterwards, so the record never outlives what it points at and nothing has to
// take itself out of it. While the script loads neither is set: functions that need them
// then do nothing and read as 0.

#include "geometry.h"
#include "path.h"
#include "result.h"
#include "tool_event.h"

#include <QColor>
#include <QString>

#include <cstddef>
#include <vector>

class ToolView;
struct lua_State;

// What scripts may read and change of the pen tool: its colour, opacity, radius (view pixels
// at full pressure) and transfer mode. The pen tool implements it.
class ScriptPen {
public:
    virtual ~ScriptPen() = default;
    virtual QColor color() const = 0;
    virtual void setColor(const QColor& color) = 0;
    virtual float opacity() const = 0;
    virtual void setOpacity(float opacity) = 0;
    virtual float radius() const = 0;
    virtual void setRadius(float radius) = 0;
    virtual int transferMode() const = 0;
    virtual QString transferModeString() const = 0;
    // Lower-cased first; a name that is no transfer mode gives normal.
    virtual void setTransferModeString(const QString& name) = 0;
};

// A feedback path in view coordinates, to be stroked or filled.
struct QueuedPath {
    Path path;
    bool stroke = false;
};

struct ScriptContext {
    ToolView* view = nullptr;
    ScriptPen* pen = nullptr;
    std::vector<QueuedPath> queued;
    // View coordinates: everything queued since the last pen event.
    Rect last_draw_rect;
    // Canvas bitmap coordinates: all preview drawing since the preview last ended.
    Rect preview_rect;
    // The latest pen-down or pen-move; no modifier is down before the first.
    ToolEvent event;
    float pressure = 0;

    // Fails, queueing nothing, once the queue holds as much as one redraw may draw.
    Result<> queue(Path path, bool stroke);
    void clearQueue();

private:
    std::size_t _queued_elements = 0;
};

// The context of the state L.
ScriptContext& script_context(lua_State* L);

// Sets view and pen of a context for one call from the host and puts back what was there
// (nothing, outside a call) when it ends.
class ContextBinding {
public:
    ContextBinding(ScriptContext& context, ToolView& view, ScriptPen& pen);
    ~ContextBinding();
    ContextBinding(const ContextBinding&) = delete;
    ContextBinding& operator=(const ContextBinding&) = delete;

private:
    ScriptContext& _context;
    ToolView* const _view;
    ScriptPen* const _pen;
};
