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
    return setTransform(transform().after(AffineTransform::scaling(s, s)));
}

bool PavoCanvas::translate(Point by)
{
    return setTransform(transform().after(AffineTransform::translation(by.x, by.y)));
}

bool PavoCanvas::rotate(float radians)
{
    return setTransform(transform().after(AffineTransform::rotation(radians)));
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
