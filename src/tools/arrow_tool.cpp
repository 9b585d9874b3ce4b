#include "arrow_tool.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

const QColor kHighlightBlue = QColor::fromRgbF(0.5f, 0.5f, 1.0f, 0.8f);
const QColor kHighlightRed = QColor::fromRgbF(1.0f, 0.5f, 0.5f, 0.8f);
const QColor kFrameBlue = QColor::fromRgbF(0.0f, 0.0f, 0.8f, 0.8f);
const QColor kRubberBandFill = QColor::fromRgbF(0.5f, 0.5f, 1.0f, 0.3f);

// Half-open like the platform's point-in-rectangle test: a click on the far edge is outside.
bool point_in_rect(Point p, const Rect& r)
{
    return p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY();
}

// A strongly blue stroke would hide a blue highlight, so it gets a red one.
QColor highlight_color(const QColor& strokeColor)
{
    const QColor rgb = strokeColor.isValid() ? strokeColor.toRgb() : QColor(Qt::black);
    const float r = rgb.redF();
    const float g = rgb.greenF();
    const float b = rgb.blueF();
    return b > 2 * r && b > 2 * g ? kHighlightRed : kHighlightBlue;
}

// 2 pixels wide, 6 on and 6 off. Qt counts dashes in pen widths, hence 3 and 3; flat caps
// keep each dash its own length.
QPen dashed_frame_pen()
{
    QPen pen(kFrameBlue, 2.0, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setDashPattern({3.0, 3.0});
    pen.setDashOffset(0);
    return pen;
}

bool is_translation(const AffineTransform& t) { return t.a == 1 && t.b == 0 && t.c == 0 && t.d == 1; }

// The live transform t (world) as seen in the view: view -> world -> t -> view.
std::optional<QTransform> view_mapping(const AffineTransform& view, const AffineTransform& t)
{
    const std::optional<AffineTransform> inverse = view.inverted();
    if (!inverse) return std::nullopt;
    return view.after(t).after(*inverse).toQTransform();
}

// A translation by world vector d is a translation by the view's linear part of d.
QPointF view_offset(const AffineTransform& view, const AffineTransform& t)
{
    return {double(view.a * t.tx + view.c * t.ty), double(view.b * t.tx + view.d * t.ty)};
}

// Highlights already in view coordinates, mapped further when the drag turns or scales them.
template <typename Highlights>
void paint_highlights(QPainter& painter, const Highlights& highlights,
                      const std::optional<QTransform>& mapping)
{
    for (const auto& h : highlights) {
        const QPainterPath path = mapping ? mapping->map(h.viewPath) : h.viewPath;
        if (h.stroked)
            painter.strokePath(path, QPen(h.color, double(h.lineWidth), Qt::SolidLine, Qt::FlatCap,
                                          Qt::BevelJoin));
        else
            painter.fillPath(path, h.color);
    }
}

QPainterPath rect_path(const Rect& r)
{
    QPainterPath path;
    path.addRect(double(r.minX()), double(r.minY()), double(r.size.width), double(r.size.height));
    return path;
}

} // namespace

ToolCursor ArrowTool::toolCursor() const
{
    ToolCursor cursor;
    cursor.shape = ToolCursor::Shape::Arrow;
    return cursor;
}

std::optional<AffineTransform> ArrowTool::turnTransform(ToolView& view) const
{
    const Point from = view.viewPointToWorldPoint(_drag_origin) - _drag_center;
    const Point to = view.viewPointToWorldPoint(_drag_destination) - _drag_center;
    // A drag from the centre has no angle to measure against.
    const float theta = length(from) == 0 ? 0.0f : angle(to) - angle(from);
    const float s = _scale_anchor
                        ? length(to) / length(view.viewPointToWorldPoint(*_scale_anchor) - _drag_center)
                        : 1.0f;
    // Translate to c, turn, scale, translate back: p -> c + R(s (p - c)).
    const AffineTransform t =
        AffineTransform::translation(_drag_center.x, _drag_center.y)
            .after(AffineTransform::rotation(theta))
            .after(AffineTransform::scaling(s, s))
            .after(AffineTransform::translation(-_drag_center.x, -_drag_center.y));
    // A drag ending at the centre scales by zero, which no stroke can take or undo.
    if (!t.isUsable()) return std::nullopt;
    return t;
}

std::optional<AffineTransform> ArrowTool::moveTransform(ToolView& view) const
{
    const Point d = view.viewPointToWorldPoint(_drag_destination) - view.viewPointToWorldPoint(_drag_origin);
    const AffineTransform t = AffineTransform::translation(d.x, d.y);
    if (!t.isUsable()) return std::nullopt;
    return t;
}

std::optional<AffineTransform> ArrowTool::liveTransform(ToolView& view) const
{
    switch (_drag_mode) {
    case MOVE: return moveTransform(view);
    case TRANSFORM: return turnTransform(view);
    default: return std::nullopt;
    }
}

ArrowTool::DragMode ArrowTool::modeForDown(Drawing& drawing, bool shift, bool command, Point world,
                                           const StrokePtr& picked)
{
    StrokeArray selection = drawing.selection();
    // Inside the selection's frame the selection is dragged as it is, even between strokes.
    if (!shift && !selection.empty() && point_in_rect(world, drawing.selectionBounds()))
        return command ? TRANSFORM : MOVE;
    if (shift && picked) {
        const auto found = std::find(selection.begin(), selection.end(), picked);
        if (found != selection.end()) selection.erase(found);
        else selection.push_back(picked);
        drawing.setSelection(selection);
        return NONE;
    }
    // The rectangle adds to what is selected.
    if (shift) return SELECT_RECT;
    if (command) {
        if (picked && !drawing.isSelected(picked)) {
            selection.push_back(picked);
            drawing.setSelection(selection);
        }
        return drawing.selection().empty() ? NONE : TRANSFORM;
    }
    if (picked) {
        if (!drawing.isSelected(picked)) drawing.setSelection({picked});
        return MOVE;
    }
    drawing.clearSelection();
    return SELECT_RECT;
}

void ArrowTool::startTurn(ToolView& view)
{
    _drag_center = centre(view.document().drawing().selectionBounds());
    _scale_anchor.reset();
    noteScaleAnchor(view, _drag_origin);
}

void ArrowTool::noteScaleAnchor(ToolView& view, Point at)
{
    if (_scale_anchor) return;
    const Point centre = view.worldPointToViewPoint(_drag_center);
    if (length(at - centre) >= kMinScaleRadius) _scale_anchor = at;
}

void ArrowTool::toolDownEvent(const ToolEvent& event, ToolView& view)
{
    _in_gesture = true;
    _highlights_valid = false;
    Drawing& drawing = view.document().drawing();
    const Point world = view.viewPointToWorldPoint(event.location);
    const StrokePtr picked = drawing.strokes().pickStrokeAtPoint(world, kPickTolerance / view.scale());
    _drag_origin = event.location;
    _drag_destination = event.location;
    _drag_mode = modeForDown(drawing, event.has(kShiftKey), event.has(kCommandKey), world, picked);
    if (_drag_mode == TRANSFORM) startTurn(view);
    view.setNeedsDisplay();
}

void ArrowTool::toolMoveEvent(const ToolEvent& event, ToolView& view)
{
    _drag_destination = event.location;
    // A click that started nothing becomes a drag after all once the pointer has gone far
    // enough; with nothing selected there is nothing to drag.
    if (_drag_mode == NONE && !view.document().drawing().selection().empty() &&
        length(_drag_destination - _drag_origin) > kDragThreshold) {
        _drag_mode = event.has(kCommandKey) ? TRANSFORM : MOVE;
        if (_drag_mode == TRANSFORM) startTurn(view);
    }
    if (_drag_mode == TRANSFORM) noteScaleAnchor(view, _drag_destination);
    if (_drag_mode != NONE) view.setNeedsDisplay();
}

void ArrowTool::selectStrokesInDraggedRect(ToolView& view, bool touching)
{
    // The rectangle is upright on screen; in a turned view the strokes are looked for in the
    // upright world rectangle around its four corners.
    const Point corners[4] = {view.viewPointToWorldPoint(_drag_origin),
                              view.viewPointToWorldPoint(_drag_destination),
                              view.viewPointToWorldPoint({_drag_origin.x, _drag_destination.y}),
                              view.viewPointToWorldPoint({_drag_destination.x, _drag_origin.y})};
    Rect world = range_rect(corners[0], corners[1]);
    for (const Point p : corners) world = cover_rect(world, range_rect(p, p));
    Drawing& drawing = view.document().drawing();
    const Strokes& strokes = drawing.strokes();
    const StrokeArray found = touching ? strokes.strokesTouchingRect(world)
                                       : strokes.strokesEnclosedByRect(world);
    StrokeArray combined = drawing.selection();
    combined.insert(combined.end(), found.begin(), found.end());
    drawing.setSelection(combined);
}

void ArrowTool::applyToSelection(ToolView& view, const std::optional<AffineTransform>& t)
{
    // A click, or a transform no stroke can take: no edit and no undo step.
    if (!t || _drag_destination == _drag_origin) return;
    Drawing& drawing = view.document().drawing();
    // A copy, since the selection may change while the strokes do.
    const StrokeArray strokes = drawing.selection();
    if (!strokes.empty()) drawing.transformStrokes(strokes, *t);
}

void ArrowTool::toolUpEvent(const ToolEvent& event, ToolView& view)
{
    switch (_drag_mode) {
    case SELECT_RECT: selectStrokesInDraggedRect(view, event.has(kOptionKey)); break;
    case MOVE: applyToSelection(view, moveTransform(view)); break;
    case TRANSFORM: applyToSelection(view, turnTransform(view)); break;
    case NONE: break;
    }
    _drag_mode = NONE;
    _in_gesture = false;
    _highlights_valid = false;
    _highlights.clear();
    _highlighted.clear();
    _highlight_layer = QImage();
    _highlight_layer_made = false;
    view.setNeedsDisplay();
}

const std::vector<ArrowTool::Highlight>& ArrowTool::highlights(ToolView& view)
{
    const AffineTransform viewTransform = view.transform();
    const StrokeArray& selection = view.document().drawing().selection();
    if (_in_gesture && _highlights_valid && _highlighted == selection &&
        _highlighted_view_transform == viewTransform)
        return _highlights;
    const QTransform toView = viewTransform.toQTransform();
    _highlights.clear();
    for (const StrokePtr& s : selection) {
        _highlights.push_back({toView.map(s->path().toQPainterPath()), highlight_color(s->color()),
                               s->drawAsStroke(), s->lineWidth() * view.scale()});
    }
    _highlighted = selection;
    _highlighted_view_transform = viewTransform;
    _highlights_valid = _in_gesture;
    _highlight_layer_made = false;
    _highlight_layer = QImage();
    return _highlights;
}

const QImage* ArrowTool::highlightLayer(ToolView& view, QPainter& painter)
{
    const std::vector<Highlight>& shown = highlights(view);
    if (!_in_gesture) return nullptr;
    if (_highlight_layer_made) return _highlight_layer.isNull() ? nullptr : &_highlight_layer;
    _highlight_layer_made = true;
    QRectF area;
    for (const Highlight& h : shown) {
        const double margin = (h.stroked ? double(h.lineWidth) / 2 : 0) + 1; // and antialiasing
        area |= h.viewPath.controlPointRect().adjusted(-margin, -margin, margin, margin);
    }
    const QRect pixels = area.toAlignedRect();
    const QPaintDevice* device = painter.device();
    if (!device || pixels.isEmpty() ||
        qint64(pixels.width()) * pixels.height() > qint64(device->width()) * device->height())
        return nullptr;
    const qreal ratio = device->devicePixelRatioF();
    QImage layer(pixels.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull()) return nullptr;
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    QPainter layerPainter(&layer);
    layerPainter.setRenderHint(QPainter::Antialiasing);
    layerPainter.translate(-pixels.topLeft());
    paint_highlights(layerPainter, shown, std::nullopt);
    layerPainter.end();
    _highlight_layer = std::move(layer);
    _highlight_layer_origin = pixels.topLeft();
    return &_highlight_layer;
}

void ArrowTool::drawHighlights(ToolView& view, QPainter& painter,
                               const std::optional<AffineTransform>& t)
{
    if (t && is_translation(*t)) {
        const QPointF offset = view_offset(view.transform(), *t);
        if (const QImage* layer = highlightLayer(view, painter)) {
            // Whole pixels, so that the picture is placed rather than resampled; the release
            // moves the strokes by the exact distance.
            const QPoint whole(qRound(offset.x()), qRound(offset.y()));
            painter.drawImage(_highlight_layer_origin + whole, *layer);
            return;
        }
        painter.translate(offset);
        paint_highlights(painter, highlights(view), std::nullopt);
        return;
    }
    const std::optional<QTransform> mapping = t ? view_mapping(view.transform(), *t) : std::nullopt;
    paint_highlights(painter, highlights(view), mapping);
}

void ArrowTool::drawSelectionFrame(ToolView& view, QPainter& painter,
                                   const std::optional<AffineTransform>& t)
{
    const AffineTransform toView = t ? view.transform().after(*t) : view.transform();
    const Drawing& drawing = view.document().drawing();
    const QPainterPath frame = toView.toQTransform().map(rect_path(drawing.selectionBounds()));
    // Too many strokes to outline one by one: the whole frame is shaded instead.
    if (drawing.selection().size() >= kMaxHighlights) painter.fillPath(frame, kFrameBlue);
    painter.strokePath(frame, dashed_frame_pen());
}

void ArrowTool::drawSelectionRect(QPainter& painter) const
{
    const Rect r = range_rect(_drag_origin, _drag_destination);
    const QPainterPath band = rect_path(r);
    painter.fillPath(band, kRubberBandFill);
    painter.strokePath(band, dashed_frame_pen());
}

void ArrowTool::toolDrawInView(ToolView& view, QPainter& painter)
{
    const std::optional<AffineTransform> t = liveTransform(view);
    const std::size_t selected = view.document().drawing().selection().size();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (selected > 0 && selected < kMaxHighlights) {
        painter.save();
        drawHighlights(view, painter, t);
        painter.restore();
    }
    if (selected > 0) drawSelectionFrame(view, painter, t);
    if (_drag_mode == SELECT_RECT) drawSelectionRect(painter);
    painter.restore();
}
