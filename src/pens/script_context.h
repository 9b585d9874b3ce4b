#pragma once

// The one record that every script state and every registered function share: the view the
// current stroke is drawn in, the pen whose settings scripts read and change, the latest pen
// event and its pressure, the feedback paths waiting to be drawn and the areas that the
// feedback and the canvas preview have touched. The pen tool fills in view and pen before
// every call into a script. A view or pen that goes away takes itself out (forgetView,
// forgetPen from its destructor), so the record never points at a dead object; functions that
// need a missing view or pen raise a script error instead.

#include "geometry.h"
#include "path.h"
#include "tool_event.h"

#include <QColor>
#include <QString>

#include <cstddef>
#include <vector>

class ToolView;

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
    std::vector<QueuedPath> queued;
    // View coordinates: everything queued since the last pen event.
    Rect last_draw_rect;
    // Canvas bitmap coordinates: all preview drawing since the preview last ended.
    Rect preview_rect;
    ScriptPen* pen = nullptr;
    // The latest pen-down or pen-move; no modifier is down before the first.
    ToolEvent event;
    float pressure = 0;

    void setViewAndPen(ToolView& v, ScriptPen& p);
    void forgetView(const ToolView* v);
    void forgetPen(const ScriptPen* p);
    // False, queueing nothing, once the queue holds as much as one redraw may draw.
    bool queue(Path path, bool stroke);
    void clearQueue();

private:
    std::size_t _queued_elements = 0;
};

// The shared instance.
ScriptContext& script_context();
