#pragma once

// The three tools that change how the drawing is shown, never the drawing: zoom, rotate and
// move. While the pointer is held they only draw feedback over the view (a rubber band, or
// the rendered picture turned or displaced); the view's transformation changes once, when
// the pointer is lifted. Each lifts with after(), so a tool chosen for a single use from the
// menus gives the previous tool back after one completed gesture.

#include "geometry.h"
#include "tool.h"

#include <optional>

// Click to zoom in by 2 about the point, option-click to zoom out by 2, drag a rectangle to
// fill the view with it. A rectangle narrower or lower than kMinZoomRect view pixels is
// taken for a click, zooming about its first corner.
class ZoomTool : public Tool {
public:
    static constexpr float kMinZoomRect = 4.0f;
    static constexpr float kZoomInFactor = 2.0f;
    static constexpr float kZoomOutFactor = 0.5f;

    explicit ZoomTool(ToolDocument& document);

    void toolDownEvent(const ToolEvent& event, ToolView& view) override;
    void toolMoveEvent(const ToolEvent& event) override;
    void toolUpEvent(const ToolEvent& event) override;
    void toolFlagsChanged(const ToolEvent& event) override;
    void toolDrawInView(ToolView& view, QPainter& painter) override;
    // Zoom out while option is held, unless a rectangle big enough to zoom onto is drawn.
    ToolCursor toolCursor() const override;

private:
    bool rangeIsClick() const;
    void noteOptionKey(const ToolEvent& event);

    ToolCursor _zoom_in_cursor;
    ToolCursor _zoom_out_cursor;
    ToolDocument& _document;
    bool _option_down = false;
    bool _zoom_down = false;
    bool _zoom_first_set = false;
    ToolView* _view = nullptr;
    Point _zoom_first;
    Point _zoom_last;
    Rect _range_rect;
};

// Turns the view about its centre by the angle the pointer sweeps around it.
class RotateTool : public Tool {
public:
    // Nearer the centre than this (view pixels) a pointer has no direction to measure.
    static constexpr float kCentreTolerance = 0.5f;

    explicit RotateTool(ToolDocument& document);

    void toolDownEvent(const ToolEvent& event, ToolView& view) override;
    void toolMoveEvent(const ToolEvent& event) override;
    void toolUpEvent(const ToolEvent& event) override;
    void toolDrawInView(ToolView& view, QPainter& painter) override;
    ToolCursor toolCursor() const override { return _rotate_cursor; }

    // Radians swept about the centre of the view so far (y downwards, so negative is
    // anticlockwise on screen); none outside a drag or when either end is at the centre.
    std::optional<float> sweptAngle() const;

private:
    ToolCursor _rotate_cursor;
    ToolDocument& _document;
    bool _rotate_down = false;
    ToolView* _view = nullptr;
    Point _rotate_first;
    Point _rotate_last;
};

// Pans the view by the distance dragged.
class MoveTool : public Tool {
public:
    explicit MoveTool(ToolDocument& document);

    void toolDownEvent(const ToolEvent& event, ToolView& view) override;
    void toolMoveEvent(const ToolEvent& event) override;
    void toolUpEvent(const ToolEvent& event) override;
    void toolDrawInView(ToolView& view, QPainter& painter) override;
    ToolCursor toolCursor() const override { return _move_cursor; }

private:
    ToolCursor _move_cursor;
    ToolDocument& _document;
    bool _move_down = false;
    ToolView* _view = nullptr;
    Point _move_first;
    Point _move_last;
};
