#pragma once

// The selection tool. A click picks the topmost stroke under the pointer, a drag on empty
// canvas draws a selection rectangle, a drag inside the selection moves it, and a drag with
// the command key turns and scales it about its centre. While a drag goes on, the selection
// is shown in its new place over the canvas; the strokes themselves change once, at the
// release, as one undoable action of the document. The document's arrangement, delete,
// merge and select-all commands work on selection(), which outlives tool switches.

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

    explicit ArrowTool(ToolDocument& document);

    // The selected strokes in the order they were selected, none twice.
    const StrokeArray& selection() const { return _selection; }
    // Empties the selection, then adds the given strokes in order, skipping repeats and
    // null strokes.
    void setSelection(const StrokeArray& strokes);
    void clearSelection() { _selection.clear(); }
    bool isSelected(const StrokePtr& stroke) const;
    // The union of the selected strokes' bounds (world coordinates); a zero rectangle at
    // the origin for an empty selection.
    Rect selectionBounds() const;

    // The turn and scale about the drag's centre that carries view point a to view point b,
    // in world coordinates. Null when it is not finite and invertible: a drag starting or
    // ending exactly at the centre, or before any mouse-down.
    std::optional<AffineTransform> transformFrom(Point a, Point b) const;

    DragMode dragMode() const { return _drag_mode; }

    void toolDownEvent(const ToolEvent& event, ToolView& view) override;
    void toolMoveEvent(const ToolEvent& event) override;
    void toolUpEvent(const ToolEvent& event) override;
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

    DragMode modeForDown(bool shift, bool command, Point world, const StrokePtr& picked);
    void toggle(const StrokePtr& stroke);
    void appendIfUnselected(const StrokePtr& stroke);
    void selectStrokesInDraggedRect(bool touching);
    void applyToSelection(const std::optional<AffineTransform>& t);

    Point worldPoint(Point viewPoint) const;
    std::optional<AffineTransform> moveTransform() const;
    // What the drag does to the selection so far, in world coordinates; null when nothing.
    std::optional<AffineTransform> liveTransform() const;

    const std::vector<Highlight>& highlights(ToolView& view);
    const QImage* highlightLayer(ToolView& view, QPainter& painter);
    void drawHighlights(ToolView& view, QPainter& painter, const std::optional<AffineTransform>& t);
    void drawSelectionFrame(ToolView& view, QPainter& painter, const std::optional<AffineTransform>& t);
    void drawSelectionRect(QPainter& painter) const;

    ToolDocument& _document;
    ToolView* _view = nullptr;
    StrokeArray _selection;
    DragMode _drag_mode = NONE;
    Point _drag_origin;
    Point _drag_destination;
    Point _drag_center;

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
