#include "canvas.h"

std::unique_ptr<PavoCanvas> PavoCanvas::create(Size size)
{
    auto canvas = std::make_unique<PavoCanvas>(Tag{});
    canvas->_draw = Bitmap::create(size);
    canvas->_stroke = Bitmap::create(size);
    canvas->_preview = Bitmap::create(size);
    if (!canvas->_draw || !canvas->_stroke || !canvas->_preview) return nullptr;
    canvas->_stroke->fill(color_ns::TRANSPARENT);
    return canvas;
}

void PavoCanvas::copyTransforms()
{
    _stroke->setTransform(_draw->transform());
    _preview->setTransform(_draw->transform());
}

bool PavoCanvas::setTransform(const AffineTransform& t)
{
    if (!_draw->setTransform(t)) return false;
    copyTransforms();
    return true;
}

bool PavoCanvas::scale(float s)
{
    if (!_draw->scale(s)) return false;
    copyTransforms();
    return true;
}

bool PavoCanvas::translate(Point by)
{
    if (!_draw->translate(by)) return false;
    copyTransforms();
    return true;
}

bool PavoCanvas::rotate(float radians)
{
    if (!_draw->rotate(radians)) return false;
    copyTransforms();
    return true;
}

void PavoCanvas::fill(color_ns::Color color)
{
    _draw->fill(color);
    _preview->fill(color);
}

void PavoCanvas::endPreview(const Rect& pixelRect)
{
    _stroke->fillRect(pixelRect, color_ns::TRANSPARENT);
    _draw->copyRect(pixelRect, *_preview);
}

bool PavoCanvas::zoomToPoint(Point pixelPoint, float s)
{
    const Point w0 = bitmapPointToWorldPoint(pixelPoint);
    if (!scale(s)) return false;
    const Point w1 = bitmapPointToWorldPoint(point(size()) / 2.0f);
    return translate(w1 - w0);
}

bool PavoCanvas::rotateAroundPoint(Point pixelPoint, float radians)
{
    const Point w0 = bitmapPointToWorldPoint(pixelPoint);
    if (!rotate(radians)) return false;
    const Point w1 = bitmapPointToWorldPoint(point(size()) / 2.0f);
    return translate(w1 - w0);
}
