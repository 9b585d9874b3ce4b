#pragma once

// A view for timing tools on their own: a canvas of the given size shown at a fixed zoom,
// with no display to update and no navigation.

#include "canvas.h"
#include "tool_host.h"

#include <memory>

class BenchToolView : public ToolView {
public:
    BenchToolView(ToolDocument& document, Size size, float zoom = 1)
        : _document(document), _canvas(PavoCanvas::create(size)), _zoom(zoom)
    {
        _canvas->setTransform(AffineTransform::scaling(zoom, zoom));
    }
    PavoCanvas& canvas() override { return *_canvas; }
    float scale() const override { return _zoom; }
    AffineTransform transform() const override { return _canvas->transform(); }
    void setNeedsDisplayInRect(const Rect&) override {}
    void setNeedsDisplay() override {}
    QColor backgroundColor() const override { return Qt::white; }
    ToolDocument& document() override { return _document; }
    bool zoomToPoint(Point, float) override { return false; }
    bool zoomToBitmapRect(const Rect&) override { return false; }
    bool rotateFrom(Point, Point) override { return false; }
    bool moveFrom(Point, Point) override { return false; }

private:
    ToolDocument& _document;
    std::unique_ptr<PavoCanvas> _canvas;
    float _zoom;
};
