#include "context_wrapper.h"

#include <QImage>
#include <QPainter>

CGContextWrapper::CGContextWrapper(QImage& target, Bitmap* bitmap, Point origin)
    : _bitmap(bitmap), _origin(origin)
{
    if (target.isNull()) return;
    _painter = std::make_unique<QPainter>(&target);
    _painter->setRenderHint(QPainter::Antialiasing, true);
    _painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    _painter->setPen(Qt::NoPen);
    _painter->setBrush(_fill_color);
}

CGContextWrapper::~CGContextWrapper()
{
    if (_painter) _painter->end();
}

void CGContextWrapper::saveGraphicsState()
{
    if (_painter) _painter->save();
}

void CGContextWrapper::restoreGraphicsState()
{
    if (_painter) _painter->restore();
}

void CGContextWrapper::setImageInterpolation(int value)
{
    _image_interpolation = value;
    // "None" draws images with nearest-neighbour sampling; low, high and default smooth them.
    if (_painter) _painter->setRenderHint(QPainter::SmoothPixmapTransform, value != 1);
}

void CGContextWrapper::setPatternPhase(Point phase)
{
    _pattern_phase = phase;
    if (_painter) _painter->setBrushOrigin(QPointF(phase.x - _origin.x, phase.y - _origin.y));
}

void CGContextWrapper::setShouldAntialias(bool on)
{
    _should_antialias = on;
    if (_painter) _painter->setRenderHint(QPainter::Antialiasing, on);
}

void CGContextWrapper::setFillColor(const QColor& color)
{
    if (color == _fill_color) return;
    _fill_color = color;
    if (_painter) _painter->setBrush(color.isValid() ? color : QColor(Qt::black));
}

void CGContextWrapper::setStrokeColor(const QColor& color)
{
    if (color == _stroke_color) return;
    _stroke_color = color;
}

void CGContextWrapper::setLineWidth(float width) { _line_width = width; }

void CGContextWrapper::setWorldTransform(const AffineTransform& t)
{
    // In double precision, so that a part of a picture is painted exactly as the whole.
    if (_painter)
        _painter->setWorldTransform(t.toQTransform() *
                                    QTransform::fromTranslate(-double(_origin.x), -double(_origin.y)));
}

QTransform CGContextWrapper::CGTransformToNSTransform(const AffineTransform& t)
{
    return t.toQTransform();
}

AffineTransform CGContextWrapper::NSTransformToCGTransform(const QTransform& t)
{
    return AffineTransform::fromQTransform(t);
}
