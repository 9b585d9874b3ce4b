#pragma once

// The raster picture of one drawing as the view shows it: three bitmaps of the view's
// size that always share one world-to-pixel transformation.
//  - draw: the background and every committed stroke, composited in order;
//  - stroke: a scratch layer, transparent except while one stroke or preview is composed;
//  - preview: what is on screen, draw plus the stroke being drawn at the moment.

#include "bitmap.h"

#include <functional>
#include <memory>

class PavoCanvas {
    struct Tag {
        explicit Tag() = default;
    };

public:
    // Null when a bitmap of that size cannot be made. The stroke layer starts transparent;
    // draw and preview start transparent too until the caller fills them.
    static std::unique_ptr<PavoCanvas> create(Size size);
    // A canvas over the span of `whole` (see Bitmap::partOf): draw and preview share whole's
    // pixels, the stroke layer is its own. Null for a span not inside whole.
    static std::unique_ptr<PavoCanvas> partOf(PavoCanvas& whole, const PixelSpan& span);

    Bitmap& drawBitmap() { return *_draw; }
    Bitmap& strokeBitmap() { return *_stroke; }
    Bitmap& previewBitmap() { return *_preview; }
    const Bitmap& drawBitmap() const { return *_draw; }
    const Bitmap& previewBitmap() const { return *_preview; }
    Size size() const { return _draw->size(); }

    const AffineTransform& transform() const { return _draw->transform(); }
    // Each refuses (returns false, changes nothing) a transformation that is not finite
    // and invertible.
    bool setTransform(const AffineTransform& t);
    bool scale(float s);
    bool translate(Point by);
    bool rotate(float radians);
    Rect worldRectToBitmapRect(const Rect& r) const { return _draw->worldRectToBitmapRect(r); }
    Point bitmapPointToWorldPoint(Point p) const { return _draw->bitmapPointToWorldPoint(p); }
    Point worldPointToBitmapPoint(Point p) const { return _draw->worldPointToBitmapPoint(p); }

    // Fills draw and preview, not the stroke layer.
    void fill(color_ns::Color color);
    void fillSpan(const PixelSpan& span, color_ns::Color color);

    // Compositing. A mark is painted at full strength into the stroke layer, then:
    // Shows the drawing with the layer over it in the pixel rectangle (mode and opacity):
    // the live preview of a mark being made.
    void showPreview(const Rect& pixelRect, int mode, float opacity);
    // Ends a live preview in the pixel rectangle: clears the stroke layer and shows draw.
    void endPreview(const Rect& pixelRect);
    // Transfers the layer onto the drawing in the rectangle and clears it there; show()
    // then puts the rectangle of the drawing on screen.
    void commit(const Rect& pixelRect, int mode, float opacity);
    void show(const Rect& pixelRect);

    // Renders `area` (pixels) in parts of whole rows, each part on whichever core is free:
    // render(part) draws into a canvas over its part alone. Parts are sized so that each
    // core gets several; `threads` as run_parts takes it.
    void renderInParts(const PixelSpan& area, const std::function<void(PavoCanvas&, int)>& render,
                       int threads = 0);
    // Moves the pixels of draw and preview by whole pixels together with the transformation,
    // and makes the rows and columns uncovered transparent; returns them (up to two spans).
    // False, nothing moved, for a transformation that the move would make unusable.
    bool scrollBy(int dx, int dy, std::vector<PixelSpan>& uncovered);
    // The colour the user sees at a pixel point.
    color_ns::Color colorAt(Point pixelPoint) const { return _preview->colorAt(pixelPoint); }

    // Keeps the world point under `pixelPoint` and brings it to the centre after scaling.
    bool zoomToPoint(Point pixelPoint, float scale);
    // Same, rotating by the angle in radians.
    bool rotateAroundPoint(Point pixelPoint, float radians);

    explicit PavoCanvas(Tag) {}

private:
    void copyTransforms();

    std::unique_ptr<Bitmap> _draw;
    std::unique_ptr<Bitmap> _stroke;
    std::unique_ptr<Bitmap> _preview;
};
