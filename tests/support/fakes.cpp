#include "fakes.h"

#include "color.h"

FakeDocument::FakeDocument(CallLog* log) : _log(log) { _drawing.setObserver(this); }

FakeDocument::~FakeDocument() { _drawing.setObserver(nullptr); }

void FakeDocument::setTool(Tool* tool)
{
    if (_log) {
        const auto* recording = dynamic_cast<const RecordingTool*>(tool);
        _log->push_back("setTool " + (recording ? recording->name() : std::string("none")));
    }
    if (tool == current) return;
    if (current) current->toolDeactivate();
    current = tool;
    if (current) current->toolActivate();
}

void FakeDocument::deleteSelection()
{
    ++deletes;
    if (_log) _log->push_back("delete");
}

void FakeDocument::drawingChanged(const DrawingChange& change)
{
    changes.push_back(change.kind);
    if (onChange) onChange(change);
}

FakeView::FakeView(ToolDocument& document, Size size, const AffineTransform& transform)
    : _document(document), _canvas(PavoCanvas::create(size))
{
    _canvas->setTransform(transform);
    _canvas->fill(color_ns::TRANSPARENT);
}

void FakeView::render()
{
    _canvas->fill(color_ns::TRANSPARENT);
    _document.drawing().strokes().drawInCanvas(*_canvas);
}

float FakeView::scale() const
{
    const AffineTransform& t = _canvas->transform();
    return length({t.a, t.b});
}

bool FakeView::zoomToPoint(Point p, float s)
{
    calls.push_back({Call::Zoom, p, {}, s, {}});
    return _canvas->zoomToPoint(p, s);
}

bool FakeView::zoomToBitmapRect(const Rect& r)
{
    calls.push_back({Call::ZoomRect, {}, {}, 0, r});
    return true;
}

bool FakeView::rotateFrom(Point a, Point b)
{
    calls.push_back({Call::Rotate, a, b, 0, {}});
    return true;
}

bool FakeView::moveFrom(Point a, Point b)
{
    calls.push_back({Call::Move, a, b, 0, {}});
    return _canvas->translate(_canvas->bitmapPointToWorldPoint(b) - _canvas->bitmapPointToWorldPoint(a));
}

void RecordingTool::toolDownEvent(const ToolEvent& e, ToolView& view)
{
    record("down", e);
    if (onDown) onDown(e, view);
}

void RecordingTool::toolUpEvent(const ToolEvent& e, ToolView& view)
{
    record("up", e);
    if (endsSingleUse) after(view.document());
}

void RecordingTool::toolFlagsChanged(const ToolEvent& e, ToolView&)
{
    events.push_back(e);
    _log.push_back(_name + ":flags " + std::to_string(e.modifierFlags));
}

void RecordingTool::record(const char* what, const ToolEvent& e)
{
    events.push_back(e);
    _log.push_back(_name + ":" + what + " " + std::to_string(int(e.location.x)) + "," +
                   std::to_string(int(e.location.y)));
}
