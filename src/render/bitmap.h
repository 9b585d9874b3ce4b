#pragma once

// A raster surface of packed, premultiplied colours that three parties share: QPainter
// draws into it through its context wrapper, the view shows it as an image, and the pixel
// loops here combine whole rectangles of one bitmap into another through a transfer mode.
//
// Row 0 is the first row in memory and y grows downwards, so pixel coordinates equal view
// coordinates and an encoder receives the picture upright with no flip. A current
// world-to-pixel transformation maps drawing coordinates onto the pixels; it is always
// finite and invertible, since anything else would carry NaN into strokes and files.

#include "affine_transform.h"
#include "color.h"
#include "pixel_span.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <memory>

class CGContextWrapper;
class QPainter;

class Bitmap {
    // Only create() can name the tag, so every bitmap goes through its checks.
    struct Tag {
        explicit Tag() = default;
    };

public:
    // Null when the size cannot be allocated (negative, NaN or absurdly large). A zero
    // width or height gives an empty bitmap that draws and transfers nothing.
    static std::unique_ptr<Bitmap> create(Size size);
    // Bitmaps that cover only `span` of a picture of whole's size, in whole's pixel
    // coordinates and transformation: the part of a picture one thread renders while others
    // render the rest. Pixel loops and painting reach nothing outside the span. A part shares
    // whole's pixels and is valid while whole lives; a scratch part has pixels of its own,
    // transparent. Null for a span that is empty or not inside whole.
    static std::unique_ptr<Bitmap> partOf(Bitmap& whole, const PixelSpan& span);
    static std::unique_ptr<Bitmap> scratchPartOf(const Bitmap& whole, const PixelSpan& span);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    Size size() const { return _size; }
    int width() const { return _width; }
    int height() const { return _height; }
    bool isEmpty() const { return _clip.empty(); }
    // The pixels this bitmap holds: all of them, or those of a part.
    const PixelSpan& clip() const { return _clip; }

    // A view of the pixels (of a part: of its span), valid while the bitmap lives; copy it
    // to keep it longer.
    const QImage& image() const { return _image; }
    // The drawing context for QPainter drawing under the current transformation.
    CGContextWrapper& cgContext() { return *_context; }

    // Address of pixel (x, y); the caller clamps first (to the clip, in a part). Rows lie
    // stride() pixels apart.
    std::uint32_t* pixel(int x, int y) { return _pixels + offset(x, y); }
    const std::uint32_t* pixel(int x, int y) const { return _pixels + offset(x, y); }
    int stride() const { return _stride; }
    color_ns::Color pixelAt(int x, int y) const { return color_ns::load(pixel(x, y)); }
    void setPixel(int x, int y, color_ns::Color c) { color_ns::store(pixel(x, y), c); }

    void fill(color_ns::Color color);
    void flipY();
    PixelSpan span(const Rect& pixelRect) const;
    void fillRect(const Rect& pixelRect, color_ns::Color color);
    // Copies the span to the same place in `to`, which must be the same size.
    void copyRect(const Rect& pixelRect, Bitmap& to) const;
    // Combines this bitmap's span into `to` (same size) with a transfer mode and opacity.
    void transferRect(const Rect& pixelRect, Bitmap& to, int mode, float opacity) const;
    // The colour under a point, clamped to the nearest edge pixel.
    color_ns::Color colorAt(Point pixelPoint) const;

    // Draws the part of the picture inside the rectangle into the same rectangle of a painter.
    void drawInRect(QPainter& painter, const Rect& rect) const;
    // Draws the whole picture scaled into the rectangle.
    void drawScaledInRect(QPainter& painter, const Rect& rect) const;

    const AffineTransform& transform() const { return _transform; }
    // Each refuses (returns false, changes nothing) a result that is not finite and invertible.
    bool setTransform(const AffineTransform& t);
    bool scale(float s);
    bool translate(Point by);
    bool rotate(float radians);
    Point worldPointToBitmapPoint(Point p) const { return _transform.apply(p); }
    Point bitmapPointToWorldPoint(Point p) const { return _inverse.apply(p); }
    Rect worldRectToBitmapRect(const Rect& r) const { return transform_rect(_transform, r); }

    Bitmap(Tag, Size size, int width, int height);
    Bitmap(Tag, const Bitmap& whole, const PixelSpan& span, std::uint32_t* shared);

private:
    std::ptrdiff_t offset(int x, int y) const
    {
        return std::ptrdiff_t(y - _clip.y0) * _stride + (x - _clip.x0);
    }
    void attachImage();

    Size _size;
    int _height = 0;
    int _width = 0;
    PixelSpan _clip;
    int _stride = 0;
    std::unique_ptr<std::uint32_t[]> _owned; // empty in a part sharing another's pixels
    std::uint32_t* _pixels = nullptr;        // pixel (clip.x0, clip.y0)
    QImage _image;
    AffineTransform _transform;
    AffineTransform _inverse;
    std::unique_ptr<CGContextWrapper> _context;
};
