#pragma once

// Which pixels a rectangle touches. Both ends are included, so a rectangle with integer
// edges covers one column and one row more than its size: anti-aliased edges that lie on
// the rectangle's border are always reached.

#include "geometry.h"

struct PixelSpan {
    int x0 = 0, x1 = -1, y0 = 0, y1 = -1;

    bool empty() const { return x1 < x0 || y1 < y0; }
    int width() const { return empty() ? 0 : x1 - x0 + 1; }
    int height() const { return empty() ? 0 : y1 - y0 + 1; }
};

// The span of a rectangle in a width x height grid. Edges are clamped to the grid in floating
// point before they become ints, so huge rectangles are safe; a rectangle with a NaN or
// infinite edge, or an empty grid, gives an empty span.
PixelSpan pixel_span(const Rect& r, int width, int height);

// The rectangle whose span is exactly `s` (its last row and column included).
inline Rect span_rect(const PixelSpan& s)
{
    return make_rect(float(s.x0), float(s.y0), float(s.width() - 1), float(s.height() - 1));
}
