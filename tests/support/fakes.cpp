#include "fakes.h"

#include "color.h"

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

FakeView::FakeView(ToolDocument& document, Size size, const AffineTransform& transform)
    : _document(document), _canvas(PavoCanvas::create(size))
{
    _canvas->setTransform(transform);
    _canvas->fill(color_ns::TRANSPARENT);
}

bool FakeView::zoomToPoint(Point p, float s)
{
    calls.push_back({Call::Zoom, p, {}, s, {}});
    return _canvas->zoomToPoint(p, s);
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

void RecordingTool::toolFlagsChanged(const ToolEvent& e, ToolView&)
{
    events.push_back(e);
    _log.push_back(_name + ":flags " + std::to_string(e.modifierFlags));
}

void RecordingTool::toolDrawInView(ToolView&, QPainter& painter)
{
    _log.push_back(_name + ":draw");
    if (onDraw) onDraw(painter);
}

void RecordingTool::record(const char* what, const ToolEvent& e)
{
    events.push_back(e);
    _log.push_back(_name + ":" + what + " " + std::to_string(int(e.location.x)) + "," +
                   std::to_string(int(e.location.y)));
}
