#pragma once

// The drawing context of a bitmap: a QPainter that stays open on the bitmap's pixels, with
// the fill and stroke colours, line width and other settings that drawing code sets on it.
// Everything that draws into a bitmap (strokes, previews, images) is handed this wrapper.
// The painter starts anti-aliased with smooth image scaling, as a 2-D library does by default.

#include "affine_transform.h"

#include <QColor>

#include <memory>

class Bitmap;
class QImage;
class QPainter;
class QTransform;

class CGContextWrapper {
public:
    // The painter is opened on `target`, which must outlive the wrapper. An empty image
    // gives a wrapper without a painter, on which every drawing call does nothing.
    // `origin` is the bitmap pixel at the image's corner: not zero for a part of a picture.
    explicit CGContextWrapper(QImage& target, Bitmap* bitmap = nullptr, Point origin = {});
    ~CGContextWrapper();
    CGContextWrapper(const CGContextWrapper&) = delete;
    CGContextWrapper& operator=(const CGContextWrapper&) = delete;

    // Null for an empty target.
    QPainter* painter() { return _painter.get(); }
    // The bitmap this context draws into, when it belongs to one: pixel loops that draw
    // faster than the painter (pen outlines) go straight to its pixels.
    Bitmap* bitmap() { return _bitmap; }

    void flushGraphics() {}
    void saveGraphicsState();
    void restoreGraphicsState();
    bool isDrawingToScreen() const { return false; }

    int imageInterpolation() const { return _image_interpolation; }
    // 1 none, 2 low, 3 high; every other value is the default quality.
    void setImageInterpolation(int value);
    // The bitmap pixel at the painter's device corner.
    Point origin() const { return _origin; }
    Point patternPhase() const { return _pattern_phase; }
    void setPatternPhase(Point phase);
    bool shouldAntialias() const { return _should_antialias; }
    void setShouldAntialias(bool on);

    const QColor& fillColor() const { return _fill_color; }
    void setFillColor(const QColor& color);
    const QColor& strokeColor() const { return _stroke_color; }
    void setStrokeColor(const QColor& color);
    float lineWidth() const { return _line_width; }
    void setLineWidth(float width);

    // The world-to-pixel transformation the bitmap keeps the painter on.
    void setWorldTransform(const AffineTransform& t);

    static QTransform CGTransformToNSTransform(const AffineTransform& t);
    static AffineTransform NSTransformToCGTransform(const QTransform& t);

private:
    std::unique_ptr<QPainter> _painter;
    Bitmap* _bitmap;
    Point _origin;
    QColor _fill_color{Qt::black};
    QColor _stroke_color;
    float _line_width = 1.0f;
    int _image_interpolation = 0;
    Point _pattern_phase;
    bool _should_antialias = false;
};
