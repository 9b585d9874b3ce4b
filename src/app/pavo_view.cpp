#include "pavo_view.h"

#include "navigation_tools.h"
#include "stroke_render.h"

#include <QPainter>

#include <utility>

namespace {

// Beyond this a screen is not what it claims; the canvas would only waste memory.
constexpr float kMaxPixelRatio = 16;

float usable_ratio(float ratio) { return ratio > 0 && ratio <= kMaxPixelRatio ? ratio : 1.0f; }

// Null when no canvas of that many device pixels can be made or it refuses the transformation.
std::unique_ptr<PavoCanvas> make_canvas(Size size, float ratio, const AffineTransform& t)
{
    auto canvas = PavoCanvas::create({size.width * ratio, size.height * ratio});
    // A new canvas is transparent throughout.
    if (!canvas || !canvas->setTransform(canvas_transform(t, ratio))) return nullptr;
    return canvas;
}

} // namespace

std::unique_ptr<PavoView> PavoView::create(ViewDocument& document, ViewDisplay& display, Size size)
{
    const float ratio = usable_ratio(display.screenPixelRatio());
    auto canvas = make_canvas(size, ratio, AffineTransform::identity());
    if (!canvas) return nullptr;
    return std::make_unique<PavoView>(Tag{}, document, display, std::move(canvas), size, ratio);
}

PavoView::PavoView(Tag, ViewDocument& document, ViewDisplay& display, std::unique_ptr<PavoCanvas> canvas,
                   Size size, float ratio)
    : _document(document), _display(display), _canvas(std::move(canvas)), _canvas_size(size), _ratio(ratio),
      _display_ratio(ratio), _size(size), _hand(std::make_unique<MoveTool>())
{
}

void PavoView::setNeedsDisplayInRect(const Rect& viewRect) { _display.setNeedsDisplayInRect(viewRect); }

void PavoView::setNeedsDisplay() { _display.setNeedsDisplay(); }

QColor PavoView::backgroundColor() const
{
    return _document.drawing().backgroundColor().value_or(QColor(Qt::white));
}

bool PavoView::setSize(Size size, bool liveResize)
{
    if (!finite(size.width) || !finite(size.height) || size.width < 0 || size.height < 0)
        return false;
    _size = size;
    _in_live_resize = liveResize;
    _display.setNeedsDisplay();
    return true;
}

void PavoView::endLiveResize()
{
    _in_live_resize = false;
    ensureCanvasUpToDate();
    _display.setNeedsDisplay();
}

float PavoView::displayRatio() const { return usable_ratio(_display.screenPixelRatio()); }

bool PavoView::applyTransform(const AffineTransform& t)
{
    if (!_canvas->setTransform(canvas_transform(t, _ratio))) return false;
    _transform = t;
    return true;
}

void PavoView::reallocateIfNeeded()
{
    if (!reallocationPending()) return;
    const float ratio = displayRatio();
    _display_ratio = ratio;
    auto canvas = make_canvas(_size, ratio, _transform);
    if (!canvas) {
        log_line(QStringLiteral("Cannot make a canvas of %1 x %2 -- keeping the old one.")
                     .arg(double(_size.width * ratio))
                     .arg(double(_size.height * ratio)));
        // Showing the old canvas beats retrying the same failure at every event.
        _size = _canvas_size;
        return;
    }
    _canvas = std::move(canvas);
    _canvas_size = _size;
    _ratio = ratio;
    _needs_redraw = true;
}

void PavoView::renderIfNeeded()
{
    if (!_needs_redraw) return;
    _needs_redraw = false;
    // Transparent where nothing is drawn: the widget paints the background beneath.
    _canvas->fill(color_ns::TRANSPARENT);
    const PixelSpan all{0, int(_canvas->size().width) - 1, 0, int(_canvas->size().height) - 1};
    render_strokes(_document.drawing().strokes().strokeArray(), *_canvas, all, &strokeIndex());
}

const StrokeIndex& PavoView::strokeIndex()
{
    const StrokeArray& strokes = _document.drawing().strokes().strokeArray();
    if (!_index || _index->size() != int(strokes.size())) _index = std::make_unique<StrokeIndex>(strokes);
    return *_index;
}

bool PavoView::scrollPicture(int dx, int dy, const AffineTransform& moved)
{
    std::vector<PixelSpan> uncovered;
    if (!_canvas->scrollBy(dx, dy, uncovered)) return false;
    // The moved transformation as the view computes it, a rounding away from the scroll's.
    applyTransform(moved);
    for (const PixelSpan& strip : uncovered)
        render_strokes(_document.drawing().strokes().strokeArray(), *_canvas, strip, &strokeIndex());
    _display.setNeedsDisplay();
    return true;
}

void PavoView::ensureCanvasUpToDate()
{
    reallocateIfNeeded();
    renderIfNeeded();
}

const PavoCanvas& PavoView::canvasForReading()
{
    ensureCanvasUpToDate();
    return *_canvas;
}

ViewGeometry PavoView::viewGeometry()
{
    reallocateIfNeeded();
    return {_canvas_size, _transform};
}

void PavoView::redraw()
{
    _needs_redraw = true;
    _index.reset();
    _display.setNeedsDisplay();
}

void PavoView::strokeAdded(const StrokePtr& stroke)
{
    if (!stroke) return;
    _index.reset();
    // A full render still to come draws the new stroke with the rest; a bad stroke is
    // left to the full render, which reports and skips it.
    if (_needs_redraw || reallocationPending() || stroke->bad()) {
        redraw();
        return;
    }
    const Rect r = stroke->drawInCanvas(*_canvas);
    if (nice(r)) _display.setNeedsDisplayInRect(viewRectOfPixels(r));
}

void PavoView::paint(QPainter& painter, const Rect& dirty)
{
    ensureCanvasUpToDate();
    const Bitmap& shown = _canvas->previewBitmap();
    if (_ratio == 1) shown.drawInRect(painter, dirty);
    else if (!shown.isEmpty()) {
        // The canvas's own pixels into the view rectangle they cover: a painter at the
        // same device pixel ratio copies them without scaling.
        const QRectF target(dirty.origin.x, dirty.origin.y, dirty.size.width, dirty.size.height);
        const QRectF source(target.topLeft() * _ratio, target.size() * _ratio);
        painter.drawImage(target, shown.image(), source);
    }
    if (Tool* const tool = activeTool()) tool->toolDrawInView(*this, painter);
}

Tool* PavoView::activeTool() const
{
    if (_gesture_tool) return _gesture_tool;
    return _hand_held ? _hand.get() : _document.tool();
}

void PavoView::holdHand(bool held)
{
    if (held == _hand_held) return;
    _hand_held = held;
    refreshCursor();
}

ToolCursor PavoView::cursor() const
{
    const Tool* const tool = activeTool();
    return tool ? tool->toolCursor() : ToolCursor{};
}

void PavoView::refreshCursor() { _display.refreshCursor(); }

void PavoView::mouseDown(const ToolEvent& event, PointerButton button)
{
    finishGesture();
    Tool* const tool = button == PointerButton::Middle ? _hand.get() : activeTool();
    if (!tool) return;
    ensureCanvasUpToDate();
    _gesture_tool = tool;
    _last_gesture_event = event;
    tool->toolDownEvent(event, *this);
}

void PavoView::mouseDragged(const ToolEvent& event)
{
    if (!_gesture_tool) return;
    ensureCanvasUpToDate();
    _last_gesture_event = event;
    _gesture_tool->toolMoveEvent(event, *this);
}

void PavoView::finishGesture()
{
    // An up that never came (the pointer left the window, say) still ends the gesture,
    // where it was last seen, with nothing pressing.
    if (_gesture_tool)
        endGesture({_last_gesture_event.location, 0, _last_gesture_event.modifierFlags});
}

void PavoView::mouseUp(const ToolEvent& event)
{
    if (_gesture_tool) endGesture(event);
}

void PavoView::endGesture(const ToolEvent& up)
{
    ensureCanvasUpToDate();
    // No longer in the gesture while the tool ends it: a tool switch it asks for (a
    // single-use tool going back) takes effect for the events that follow.
    Tool* const tool = std::exchange(_gesture_tool, nullptr);
    tool->toolUpEvent(up, *this);
    deliverDeferred();
}

void PavoView::deliverDeferred()
{
    if (const std::optional<ToolEvent> flags = std::exchange(_deferred_flags, std::nullopt))
        flagsChanged(*flags);
    if (std::exchange(_deferred_delete, false)) _document.deleteSelection();
}

void PavoView::flagsChanged(const ToolEvent& event)
{
    // Each event carries the whole modifier state, so the latest one is all a tool needs
    // after the gesture.
    if (_gesture_tool) {
        _deferred_flags = event;
        return;
    }
    Tool* const tool = _document.tool();
    if (!tool) return;
    ensureCanvasUpToDate();
    tool->toolFlagsChanged(event, *this);
}

bool PavoView::keyDown(const QString& text)
{
    if (text.isEmpty()) return false;
    const char16_t key = text.front().unicode();
    if (key != 0x7F && key != 0x08) return false;
    if (_gesture_tool) _deferred_delete = true;
    else _document.deleteSelection();
    return true;
}
