#include "navigation_tools.h"

#include "tool_host.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QTransform>


namespace {

// How far the outline of the zoom rectangle reaches beyond it, and then some.
constexpr float kRubberBandMargin = 4.0f;

QRectF qrect(const Rect& r)
{
    return {double(r.origin.x), double(r.origin.y), double(r.size.width), double(r.size.height)};
}

// The rubber band: light blue, with a dashed dark blue outline 2 pixels wide.
void draw_rubber_band(QPainter& painter, const Rect& r)
{
    painter.save();
    painter.fillRect(qrect(r), QColor::fromRgbF(0.5f, 0.5f, 1.0f, 0.3f));
    QPen outline(QColor::fromRgbF(0.0f, 0.0f, 0.8f, 0.8f), 2.0);
    // Qt measures dashes in pen widths: 3 widths of 2 pixels are 6 pixels on, 6 off.
    outline.setDashPattern({3.0, 3.0});
    outline.setCapStyle(Qt::FlatCap);
    painter.setPen(outline);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(qrect(r));
    painter.restore();
}

// The whole rendered picture placed as it will be once the gesture's view change is made,
// over the view's background so that nothing of the old placement shows around it.
void draw_placed_picture(ToolView& view, QPainter& painter, const QTransform& placement)
{
    const Rect whole{{0, 0}, view.viewSize()};
    painter.save();
    painter.fillRect(qrect(whole), view.backgroundColor());
    painter.setTransform(placement, true);
    view.canvas().previewBitmap().drawScaledInRect(painter, whole);
    painter.restore();
}

// Marks the rubber band with its outline for redisplay; a rectangle whose size overflowed
// was never drawn.
void mark_rubber_band(ToolView& view, const Rect& r)
{
    if (finite(r)) view.setNeedsDisplayInRect(grow_rect(r, kRubberBandMargin, kRubberBandMargin));
}

Point view_centre(ToolView& view) { return point(view.viewSize()) / 2.0f; }

// The angle from a to b about c; none when a or b sits on c, where direction is noise.
std::optional<float> swept_angle(Point c, Point a, Point b)
{
    if (length(a - c) < RotateTool::kCentreTolerance || length(b - c) < RotateTool::kCentreTolerance)
        return std::nullopt;
    return angle(b - c) - angle(a - c);
}

} // namespace

// ---- Drag ------------------------------------------------------------------------------

void DragTool::toolDownEvent(const ToolEvent& event, ToolView& view)
{
    if (!finite(event.location)) return;
    _down = true;
    _first = _last = event.location;
    dragBegan(event, view);
}

void DragTool::toolMoveEvent(const ToolEvent& event, ToolView& view)
{
    if (!_down || !finite(event.location)) return;
    _last = event.location;
    dragMoved(event, view);
}

void DragTool::toolUpEvent(const ToolEvent& event, ToolView& view)
{
    if (!_down) return;
    dragEnded(event, view);
    _down = false;
    view.setNeedsDisplay();
    after(view.document());
}

// ---- Zoom ------------------------------------------------------------------------------

ZoomTool::ZoomTool()
    : _zoom_in_cursor(ToolCursor::load(kZoomInCursor)), _zoom_out_cursor(ToolCursor::load(kZoomOutCursor))
{
}

void ZoomTool::dragBegan(const ToolEvent& event, ToolView& view)
{
    _zoom_first_set = false;
    _range_rect = {event.location, {}};
    noteOptionKey(event, view);
}

void ZoomTool::dragMoved(const ToolEvent& event, ToolView& view)
{
    const Rect old = _range_rect;
    if (!_zoom_first_set) {
        _zoom_first = last();
        _zoom_first_set = true;
    }
    _range_rect = range_rect(_zoom_first, last());
    // cover_rect, not union_rect: a rectangle squashed flat still shows its outline.
    mark_rubber_band(view, cover_rect(old, _range_rect));
    // Modifier changes do not reach tools during a drag; the drag events carry them.
    noteOptionKey(event, view);
}

void ZoomTool::dragEnded(const ToolEvent& event, ToolView& view)
{
    mark_rubber_band(view, _range_rect);
    // Coordinates far enough apart overflow the size; such a rectangle is no zoom at all.
    if (finite(_range_rect)) {
        if (rangeIsClick())
            view.zoomToPoint(_range_rect.origin, event.has(kOptionKey) ? kZoomOutFactor : kZoomInFactor);
        else
            view.zoomToBitmapRect(_range_rect);
    }
    _range_rect = {};
    _zoom_first_set = false;
    // The cursor follows the option key again now that no rectangle overrides it.
    noteOptionKey(event, view);
}

void ZoomTool::toolFlagsChanged(const ToolEvent& event, ToolView& view) { noteOptionKey(event, view); }

void ZoomTool::toolDrawInView(ToolView& /*view*/, QPainter& painter)
{
    if (!dragging() || !_zoom_first_set || !finite(_range_rect)) return;
    draw_rubber_band(painter, _range_rect);
}

ToolCursor ZoomTool::toolCursor() const
{
    return _option_down && rangeIsClick() ? _zoom_out_cursor : _zoom_in_cursor;
}

bool ZoomTool::rangeIsClick() const
{
    return _range_rect.size.width < kMinZoomRect || _range_rect.size.height < kMinZoomRect;
}

void ZoomTool::noteOptionKey(const ToolEvent& event, ToolView& view)
{
    _option_down = event.has(kOptionKey);
    view.document().refreshCursor();
}

// ---- Rotate ----------------------------------------------------------------------------

RotateTool::RotateTool() : _rotate_cursor(ToolCursor::load(kRotateCursor)) {}

void RotateTool::dragEnded(const ToolEvent& /*event*/, ToolView& view)
{
    // No turn at all must not count as a change of the view, let alone a NaN one.
    const std::optional<float> turn = sweptAngle(view);
    if (turn && *turn != 0) view.rotateFrom(first(), last());
}

void RotateTool::toolDrawInView(ToolView& view, QPainter& painter)
{
    if (!dragging()) return;
    const Point c = view_centre(view);
    const double degrees = double(sweptAngle(view).value_or(0.0f)) * 180.0 / 3.14159265;
    draw_placed_picture(view, painter,
                        QTransform()
                            .translate(double(c.x), double(c.y))
                            .rotate(degrees)
                            .translate(double(-c.x), double(-c.y)));
}

std::optional<float> RotateTool::sweptAngle(ToolView& view) const
{
    if (!dragging()) return std::nullopt;
    return swept_angle(view_centre(view), first(), last());
}

// ---- Move ------------------------------------------------------------------------------

MoveTool::MoveTool() : _move_cursor(ToolCursor::load(kMoveCursor)) {}

void MoveTool::dragEnded(const ToolEvent& /*event*/, ToolView& view)
{
    // A click moves nothing and must not count as a change of the view; a distance that
    // overflows is no move either.
    const Point by = last() - first();
    if (by != Point{} && finite(by)) view.moveFrom(first(), last());
}

void MoveTool::toolDrawInView(ToolView& view, QPainter& painter)
{
    if (!dragging()) return;
    const Point by = last() - first();
    if (!finite(by)) return;
    draw_placed_picture(view, painter, QTransform::fromTranslate(double(by.x), double(by.y)));
}
