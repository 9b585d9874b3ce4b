#pragma once

// A document and a view for testing tools on their own: the document holds a real stroke
// list with its undo history and records what tools ask of it; the view owns a canvas at
// a chosen size and transformation and records what it is asked to redisplay or navigate.

#include "canvas.h"
#include "color.h"
#include "strokes.h"
#include "tool.h"
#include "tool_host.h"
#include "undo_manager.h"

#include <QPainterPath>

#include <memory>
#include <vector>

class TestToolDocument : public ToolDocument {
public:
    TestToolDocument() { list.setDocument(nullptr, &undo); }

    Strokes list;
    UndoManager undo;
    Tool* current = nullptr;
    QColor toolColor;
    int cursorRefreshes = 0;
    int transforms = 0;

    Tool* tool() override { return current; }
    void setTool(Tool* tool) override { current = tool; }
    void addStroke(const StrokePtr& stroke) override
    {
        const UndoGroup group(undo);
        list.addStroke(stroke);
    }
    void setToolColor(const QColor& color) override { toolColor = color; }
    void refreshCursor() override { ++cursorRefreshes; }
    const Strokes& strokes() const override { return list; }
    bool transformStrokesInArray(const StrokeArray& strokes, const AffineTransform& t) override
    {
        const UndoGroup group(undo);
        ++transforms;
        return list.transformStrokesInArray(strokes, t);
    }
};

class TestToolView : public ToolView {
public:
    // Identity transformation unless told otherwise: view pixels are drawing units.
    explicit TestToolView(TestToolDocument& doc, Size size = {200, 100})
        : _doc(doc), _canvas(PavoCanvas::create(size))
    {
    }

    // Renders the document's strokes into the canvas, as the real view does before events.
    void render()
    {
        _canvas->fill(color_ns::TRANSPARENT);
        _doc.list.drawInCanvas(*_canvas);
    }

    PavoCanvas& canvas() override { return *_canvas; }
    float scale() const override
    {
        const AffineTransform& t = _canvas->transform();
        return length({t.a, t.b});
    }
    AffineTransform transform() const override { return _canvas->transform(); }
    void setNeedsDisplayInRect(const Rect& r) override { marked.push_back(r); }
    void setNeedsDisplay() override { ++wholeView; }
    QColor backgroundColor() const override { return background; }
    ToolDocument& document() override { return _doc; }

    bool zoomToPoint(Point p, float s) override
    {
        calls.push_back({Call::Zoom, p, {}, s, {}});
        return _canvas->zoomToPoint(p, s);
    }
    bool zoomToBitmapRect(const Rect& r) override
    {
        calls.push_back({Call::ZoomRect, {}, {}, 0, r});
        return true;
    }
    bool rotateFrom(Point a, Point b) override
    {
        calls.push_back({Call::Rotate, a, b, 0, {}});
        return true;
    }
    bool moveFrom(Point a, Point b) override
    {
        calls.push_back({Call::Move, a, b, 0, {}});
        return _canvas->translate(_canvas->bitmapPointToWorldPoint(b) - _canvas->bitmapPointToWorldPoint(a));
    }

    struct Call {
        enum Kind { Zoom, ZoomRect, Rotate, Move } kind;
        Point a;
        Point b;
        float factor;
        Rect rect;
    };
    std::vector<Call> calls;
    std::vector<Rect> marked;
    int wholeView = 0;
    QColor background = Qt::white;

private:
    TestToolDocument& _doc;
    std::unique_ptr<PavoCanvas> _canvas;
};

// A filled rectangle in drawing coordinates.
inline StrokePtr test_rect_stroke(float x, float y, float w, float h, const QColor& color = Qt::black)
{
    QPainterPath p;
    p.addRect(double(x), double(y), double(w), double(h));
    return Stroke::withPath(Path(p), color, kModeNormal, 1.0f);
}
