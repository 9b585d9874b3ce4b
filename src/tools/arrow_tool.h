#pragma once

// The selection tool. A click picks the topmost stroke under the pointer, a drag on empty
// canvas draws a selection rectangle, a drag inside the selection moves it, and a drag with
// the command key turns and scales it about its centre. While a drag goes on, the selection
// is shown in its new place over the canvas; the strokes themselves change once, at the
// release, as one undoable action of the document. The selection itself belongs to the
// drawing, whose arrangement, delete and merge commands work on it.

#include "tool.h"
#include "tool_host.h"

#include <QColor>
#include <QImage>
#include <QPainterPath>

#include <optional>
#include <vector>

class ArrowTool : public Tool {
public:
    enum DragMode : int { NONE = 0, MOVE = 1, SELECT_RECT = 2, TRANSFORM = 3 };

    // A drag this far (view pixels) from a click that started nothing moves or turns the
    // selection after all.
    static constexpr float kDragThreshold = 10.0f;
    // From this many selected strokes on, one filled frame replaces the stroke highlights.
    static constexpr std::size_t kMaxHighlights = 20;

    // A line is picked as if it were at least this many view pixels wide, however thin.
    static constexpr float kPickTolerance = 4.0f;
    // Nearer the centre than this (view pixels) a command-drag turns the selection but
    // does not scale it: a tiny distance to measure against would scale it many times.
    static constexpr float kMinScaleRadius = 8.0f;

    ArrowTool() = default;

    // The turn and scale about the drag's centre that the drag so far makes, in world
    // coordinates; null when it is not finite and invertible (a drag ending at the centre).
    std::optional<AffineTransform> turnTransform(ToolView& view) const;

    DragMode dragMode() const { return _drag_mode; }

    void toolDownEvent(const ToolEvent& event, ToolView& view) override;
    void toolMoveEvent(const ToolEvent& event, ToolView& view) override;
    void toolUpEvent(const ToolEvent& event, ToolView& view) override;
    void toolDrawInView(ToolView& view, QPainter& painter) override;
    ToolCursor toolCursor() const override;

private:
    // One selected stroke's outline as the view shows it before the drag.
    struct Highlight {
        QPainterPath viewPath;
        QColor color;
        bool stroked = false;
        float lineWidth = 0;
    };

    DragMode modeForDown(Drawing& drawing, bool shift, bool command, Point world, const StrokePtr& picked);
    void startTurn(ToolView& view);
    void noteScaleAnchor(ToolView& view, Point at);
    void selectStrokesInDraggedRect(ToolView& view, bool touching);
    void applyToSelection(ToolView& view, const std::optional<AffineTransform>& t);

    std::optional<AffineTransform> moveTransform(ToolView& view) const;
    // What the drag does to the selection so far, in world coordinates; null when nothing.
    std::optional<AffineTransform> liveTransform(ToolView& view) const;

    const std::vector<Highlight>& highlights(ToolView& view);
    const QImage* highlightLayer(ToolView& view, QPainter& painter);
    void drawHighlights(ToolView& view, QPainter& painter, const std::optional<AffineTransform>& t);
    void drawSelectionFrame(ToolView& view, QPainter& painter, const std::optional<AffineTransform>& t);
    void drawSelectionRect(QPainter& painter) const;

    DragMode _drag_mode = NONE;
    Point _drag_origin;
    Point _drag_destination;
    Point _drag_center;
    // Where a command-drag first was far enough from the centre to measure a scale against.
    std::optional<Point> _scale_anchor;

    // The highlights' view outlines, kept from the first redraw of a gesture to its end (the
    // view tracks the pointer alone meanwhile, so the strokes cannot change), so that a drag
    // only moves or maps them. Rebuilt when the selection or the view's transformation
    // differs from what they were made of; never kept between gestures, when undo may move
    // the strokes.
    std::vector<Highlight> _highlights;
    StrokeArray _highlighted;
    AffineTransform _highlighted_view_transform;
    bool _highlights_valid = false;
    bool _in_gesture = false;
    // The same highlights painted once, for moves, which then only place the picture at its
    // offset: painting the outlines of long pen strokes anew costs a frame's time. Null
    // when not made yet or larger than the view, whose pixels it would then outnumber.
    QImage _highlight_layer;
    QPoint _highlight_layer_origin;
    bool _highlight_layer_made = false;
};
