#pragma once

// The three tools that change how the drawing is shown, never the drawing: zoom, rotate and
// move. While the pointer is held they only draw feedback over the view (a rubber band, or
// the rendered picture turned or displaced); the view's transformation changes once, when
// the pointer is lifted. Each lifts with after(), so a tool chosen for a single use from the
// menus gives the previous tool back after one completed gesture.

#include "geometry.h"
#include "tool.h"
#include "tool_host.h"

#include <optional>

// What the three have in common: a drag from a down to an up with finite points, feedback
// while it goes on, one change of the view at the end, then the single use ends.
class DragTool : public Tool {
public:
    void toolDownEvent(const ToolEvent& event, ToolView& view) final;
    void toolMoveEvent(const ToolEvent& event, ToolView& view) final;
    void toolUpEvent(const ToolEvent& event, ToolView& view) final;

protected:
    bool dragging() const { return _down; }
    Point first() const { return _first; }
    Point last() const { return _last; }

    virtual void dragBegan(const ToolEvent& /*event*/, ToolView& /*view*/) {}
    // By default the feedback covers the whole view.
    virtual void dragMoved(const ToolEvent& /*event*/, ToolView& view) { view.setNeedsDisplay(); }
    // The view change the drag asks for.
    virtual void dragEnded(const ToolEvent& event, ToolView& view) = 0;

private:
    bool _down = false;
    Point _first;
    Point _last;
};

// Click to zoom in by 2 about the point, option-click to zoom out by 2, drag a rectangle to
// fill the view with it. A rectangle narrower or lower than kMinZoomRect view pixels is
// taken for a click, zooming about its first corner.
class ZoomTool : public DragTool {
public:
    static constexpr float kMinZoomRect = 4.0f;
    static constexpr float kZoomInFactor = 2.0f;
    static constexpr float kZoomOutFactor = 0.5f;

    ZoomTool();

    void toolFlagsChanged(const ToolEvent& event, ToolView& view) override;
    void toolDrawInView(ToolView& view, QPainter& painter) override;
    // Zoom out while option is held, unless a rectangle big enough to zoom onto is drawn.
    ToolCursor toolCursor() const override;

private:
    void dragBegan(const ToolEvent& event, ToolView& view) override;
    void dragMoved(const ToolEvent& event, ToolView& view) override;
    void dragEnded(const ToolEvent& event, ToolView& view) override;
    bool rangeIsClick() const;
    void noteOptionKey(const ToolEvent& event, ToolView& view);

    ToolCursor _zoom_in_cursor;
    ToolCursor _zoom_out_cursor;
    bool _option_down = false;
    // The rectangle starts at the first move; a click with no move zooms about the down.
    bool _zoom_first_set = false;
    Point _zoom_first;
    Rect _range_rect;
};

// Turns the view about its centre by the angle the pointer sweeps around it.
class RotateTool : public DragTool {
public:
    // Nearer the centre than this (view pixels) a pointer has no direction to measure.
    static constexpr float kCentreTolerance = 0.5f;

    RotateTool();

    void toolDrawInView(ToolView& view, QPainter& painter) override;
    ToolCursor toolCursor() const override { return _rotate_cursor; }

    // Radians swept about the centre of the view so far (y downwards, so negative is
    // anticlockwise on screen); none outside a drag or when either end is at the centre.
    std::optional<float> sweptAngle(ToolView& view) const;

private:
    void dragEnded(const ToolEvent& event, ToolView& view) override;

    ToolCursor _rotate_cursor;
};

// Pans the view by the distance dragged.
class MoveTool : public DragTool {
public:
    MoveTool();

    void toolDrawInView(ToolView& view, QPainter& painter) override;
    ToolCursor toolCursor() const override { return _move_cursor; }

private:
    void dragEnded(const ToolEvent& event, ToolView& view) override;

    ToolCursor _move_cursor;
};
