#pragma once

// The six-float affine transform that strokes, bitmaps and files carry:
// (x, y) -> (a*x + c*y + tx, b*x + d*y + ty).

#include "geometry.h"

#include <optional>

class QTransform;

struct AffineTransform {
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform scaling(float sx, float sy) { return {sx, 0, 0, sy, 0, 0}; }
    static AffineTransform translation(float x, float y) { return {1, 0, 0, 1, x, y}; }
    // Counter-clockwise in a y-up frame, as the 2-D library turns its user space.
    static AffineTransform rotation(float radians);

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // The transform that applies `first`, then this one.
    AffineTransform after(const AffineTransform& first) const;
    // Null when the transform is singular or its inverse is not finite.
    std::optional<AffineTransform> inverted() const;
    bool isFinite() const;
    // Finite and invertible: the only transforms a bitmap, canvas or stroke accepts.
    bool isUsable() const { return isFinite() && inverted().has_value(); }
    float determinant() const { return a * d - b * c; }

    QTransform toQTransform() const;
    static AffineTransform fromQTransform(const QTransform& t);

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

// Axis-aligned bounding box of the rectangle's four corners after the transform.
Rect transform_rect(const AffineTransform& t, const Rect& r);
