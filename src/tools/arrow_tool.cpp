#include "arrow_tool.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <unordered_set>

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

ArrowTool::ArrowTool(ToolDocument& document) : _document(document) {}

ToolCursor ArrowTool::toolCursor() const
{
    ToolCursor cursor;
    cursor.shape = ToolCursor::Shape::Arrow;
    return cursor;
}

void ArrowTool::setSelection(const StrokeArray& strokes)
{
    // Copied first: the argument may be the selection itself. Repeats are dropped through a
    // set, so that selecting every stroke of a large drawing stays linear.
    const StrokeArray wanted = strokes;
    _selection.clear();
    std::unordered_set<const Stroke*> seen;
    seen.reserve(wanted.size());
    for (const StrokePtr& s : wanted)
        if (s && seen.insert(s.get()).second) _selection.push_back(s);
}

bool ArrowTool::isSelected(const StrokePtr& stroke) const
{
    return std::find(_selection.begin(), _selection.end(), stroke) != _selection.end();
}

Rect ArrowTool::selectionBounds() const
{
    if (_selection.empty()) return {};
    Rect bounds = _selection.front()->bounds();
    for (const StrokePtr& s : _selection) bounds = union_rect(bounds, s->bounds());
    return bounds;
}

Point ArrowTool::worldPoint(Point viewPoint) const
{
    return _view->canvas().bitmapPointToWorldPoint(viewPoint);
}

std::optional<AffineTransform> ArrowTool::transformFrom(Point a, Point b) const
{
    if (!_view) return std::nullopt;
    const Point from = worldPoint(a) - _drag_center;
    const Point to = worldPoint(b) - _drag_center;
    // A drag from the centre has no angle and no scale to measure against.
    if (length(from) == 0) return std::nullopt;
    const float theta = std::atan2(to.y, to.x) - std::atan2(from.y, from.x);
    const float s = length(to) / length(from);
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

std::optional<AffineTransform> ArrowTool::moveTransform() const
{
    if (!_view) return std::nullopt;
    const Point d = worldPoint(_drag_destination) - worldPoint(_drag_origin);
    const AffineTransform t = AffineTransform::translation(d.x, d.y);
    if (!t.isUsable()) return std::nullopt;
    return t;
}

std::optional<AffineTransform> ArrowTool::liveTransform() const
{
    switch (_drag_mode) {
    case MOVE: return moveTransform();
    case TRANSFORM: return transformFrom(_drag_origin, _drag_destination);
    default: return std::nullopt;
    }
}

void ArrowTool::toggle(const StrokePtr& stroke)
{
    const auto found = std::find(_selection.begin(), _selection.end(), stroke);
    if (found != _selection.end()) _selection.erase(found);
    else _selection.push_back(stroke);
}

void ArrowTool::appendIfUnselected(const StrokePtr& stroke)
{
    if (stroke && !isSelected(stroke)) _selection.push_back(stroke);
}

ArrowTool::DragMode ArrowTool::modeForDown(bool shift, bool command, Point world,
                                           const StrokePtr& picked)
{
    // Inside the selection's frame the selection is dragged as it is, even between strokes.
    if (!shift && !_selection.empty() && point_in_rect(world, selectionBounds()))
        return command ? TRANSFORM : MOVE;
    if (shift && picked) {
        toggle(picked);
        return NONE;
    }
    // The rectangle adds to what is selected.
    if (shift) return SELECT_RECT;
    if (command) {
        appendIfUnselected(picked);
        return _selection.empty() ? NONE : TRANSFORM;
    }
    if (picked) {
        if (!isSelected(picked)) _selection = {picked};
        return MOVE;
    }
    _selection.clear();
    return SELECT_RECT;
}

void ArrowTool::toolDownEvent(const ToolEvent& event, ToolView& view)
{
    _view = &view;
    _in_gesture = true;
    _highlights_valid = false;
    const Point world = worldPoint(event.location);
    const StrokePtr picked = _document.strokes().pickStrokeAtPoint(world);
    _drag_origin = event.location;
    _drag_destination = event.location;
    _drag_mode = modeForDown(event.has(kShiftKey), event.has(kCommandKey), world, picked);
    if (_drag_mode == TRANSFORM) _drag_center = centre(selectionBounds());
    view.setNeedsDisplay();
}

void ArrowTool::toolMoveEvent(const ToolEvent& event)
{
    _drag_destination = event.location;
    // A click that started nothing becomes a drag after all once the pointer has gone far
    // enough; with nothing selected there is nothing to drag.
    if (_drag_mode == NONE && !_selection.empty() &&
        length(_drag_destination - _drag_origin) > kDragThreshold) {
        _drag_mode = event.has(kCommandKey) ? TRANSFORM : MOVE;
        if (_drag_mode == TRANSFORM) _drag_center = centre(selectionBounds());
    }
    if (_drag_mode != NONE && _view) _view->setNeedsDisplay();
}

void ArrowTool::selectStrokesInDraggedRect(bool touching)
{
    // The rectangle is upright on screen; in a turned view the strokes are looked for in the
    // upright world rectangle around its four corners.
    const Point corners[4] = {worldPoint(_drag_origin), worldPoint(_drag_destination),
                              worldPoint({_drag_origin.x, _drag_destination.y}),
                              worldPoint({_drag_destination.x, _drag_origin.y})};
    Rect world = range_rect(corners[0], corners[1]);
    for (const Point p : corners) world = cover_rect(world, range_rect(p, p));
    const Strokes& strokes = _document.strokes();
    const StrokeArray found = touching ? strokes.strokesTouchingRect(world)
                                       : strokes.strokesEnclosedByRect(world);
    StrokeArray combined = _selection;
    combined.insert(combined.end(), found.begin(), found.end());
    setSelection(combined);
}

void ArrowTool::applyToSelection(const std::optional<AffineTransform>& t)
{
    // Nothing to move, or a transform no stroke can take: no edit and no undo step.
    if (_selection.empty() || !t) return;
    // A copy, since the document may replace the selection while it changes the strokes.
    const StrokeArray strokes = _selection;
    _document.transformStrokesInArray(strokes, *t);
}

void ArrowTool::toolUpEvent(const ToolEvent& event)
{
    if (_view) {
        switch (_drag_mode) {
        case SELECT_RECT: selectStrokesInDraggedRect(event.has(kOptionKey)); break;
        // Also for a plain click on the selection: a move by nothing.
        case MOVE: applyToSelection(moveTransform()); break;
        case TRANSFORM: applyToSelection(transformFrom(_drag_origin, _drag_destination)); break;
        case NONE: break;
        }
    }
    _drag_mode = NONE;
    _in_gesture = false;
    _highlights_valid = false;
    _highlights.clear();
    _highlighted.clear();
    _highlight_layer = QImage();
    _highlight_layer_made = false;
    if (_view) _view->setNeedsDisplay();
}

const std::vector<ArrowTool::Highlight>& ArrowTool::highlights(ToolView& view)
{
    const AffineTransform viewTransform = view.transform();
    if (_in_gesture && _highlights_valid && _highlighted == _selection &&
        _highlighted_view_transform == viewTransform)
        return _highlights;
    const QTransform toView = viewTransform.toQTransform();
    _highlights.clear();
    for (const StrokePtr& s : _selection) {
        _highlights.push_back({toView.map(s->path().toQPainterPath()), highlight_color(s->color()),
                               s->drawAsStroke(), s->lineWidth() * view.scale()});
    }
    _highlighted = _selection;
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
    const QPainterPath frame = toView.toQTransform().map(rect_path(selectionBounds()));
    // Too many strokes to outline one by one: the whole frame is shaded instead.
    if (_selection.size() >= kMaxHighlights) painter.fillPath(frame, kFrameBlue);
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
    const std::optional<AffineTransform> t = liveTransform();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (!_selection.empty() && _selection.size() < kMaxHighlights) {
        painter.save();
        drawHighlights(view, painter, t);
        painter.restore();
    }
    if (!_selection.empty()) drawSelectionFrame(view, painter, t);
    if (_drag_mode == SELECT_RECT) drawSelectionRect(painter);
    painter.restore();
}
