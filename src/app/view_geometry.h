#pragma once

// Where a view looks, without its pixels: its size in view pixels and its transformation.
// Exports, copies and prints frame the drawing with it, so they come out the same whatever
// the pixel density of the screen the view is on.

#include "affine_transform.h"

struct ViewGeometry {
    Size _size;
    AffineTransform _transform;

    Size size() const { return _size; }
    const AffineTransform& transform() const { return _transform; }
    // A view's transformation is always invertible; the identity only guards the type.
    Point bitmapPointToWorldPoint(Point p) const
    {
        return _transform.inverted().value_or(AffineTransform::identity()).apply(p);
    }
};
