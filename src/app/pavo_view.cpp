#include "pavo_view.h"

#include "stroke_render.h"

#include <utility>

std::unique_ptr<PavoView> PavoView::create(ViewDocument& document, ViewDisplay& display, Size size)
{
    auto canvas = PavoCanvas::create(size);
    if (!canvas) return nullptr;
    canvas->fill(color_ns::TRANSPARENT);
    return std::make_unique<PavoView>(Tag{}, document, display, std::move(canvas));
}

PavoView::PavoView(Tag, ViewDocument& document, ViewDisplay& display,
                   std::unique_ptr<PavoCanvas> canvas)
    : _document(document), _display(display), _canvas(std::move(canvas)), _size(_canvas->size())
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

void PavoView::reallocateIfNeeded()
{
    if (!reallocationPending()) return;
    auto canvas = PavoCanvas::create(_size);
    if (!canvas) {
        log_line(QStringLiteral("Cannot make a canvas of %1 x %2 -- keeping the old one.")
                     .arg(double(_size.width))
                     .arg(double(_size.height)));
        // Showing the old canvas beats retrying the same failure at every event.
        _size = _canvas->size();
        return;
    }
    canvas->setTransform(_canvas->transform());
    _canvas = std::move(canvas);
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

bool PavoView::scrollPicture(int dx, int dy)
{
    std::vector<PixelSpan> uncovered;
    if (!_canvas->scrollBy(dx, dy, uncovered)) return false;
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

const PavoCanvas& PavoView::canvasAtViewSize()
{
    reallocateIfNeeded();
    return *_canvas;
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
    if (nice(r)) _display.setNeedsDisplayInRect(r);
}

void PavoView::paint(QPainter& painter, const Rect& dirty)
{
    ensureCanvasUpToDate();
    _canvas->previewBitmap().drawInRect(painter, dirty);
    if (Tool* const tool = activeTool()) tool->toolDrawInView(*this, painter);
}

Tool* PavoView::activeTool() const { return _gesture_tool ? _gesture_tool : _document.tool(); }

ToolCursor PavoView::cursor() const
{
    const Tool* const tool = activeTool();
    return tool ? tool->toolCursor() : ToolCursor{};
}

void PavoView::refreshCursor() { _display.refreshCursor(); }

void PavoView::mouseDown(const ToolEvent& event)
{
    finishGesture();
    Tool* const tool = _document.tool();
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
