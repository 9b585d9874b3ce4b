#pragma once

// The outline of a pen stroke as the shapes it is made of: one circle per sample and one
// band (a quadrilateral along the outer tangents) between neighbouring samples, all in
// world coordinates. The filled mark is their union. Keeping the shapes, rather than only
// a general path, lets a rasterizer that knows circles and bands draw them directly.

#include "geometry.h"
#include "path.h"

#include <vector>

class QPainterPath;

struct OutlineCircle {
    Point centre;
    float radius = 0;
};

struct OutlineBand {
    Point corners[4];
};

struct PenOutline {
    std::vector<OutlineCircle> circles;
    std::vector<OutlineBand> bands;
    // Shapes in drawing order: circle 0, then band i-1 (if any) and circle i for each sample.
    // band_before[i] is true when a band precedes circle i.
    std::vector<bool> band_before;

    bool empty() const { return circles.empty(); }
};

// The band along the outer common tangents of two circles, corners in the order p1 left,
// p2 left, p2 right, p1 right: the same turning sense as the outline's circles. When one
// circle holds the other the band shrinks to a line. Strokes and their previews, in world
// or pixel coordinates, all build their bands here.
void tangent_band(Point p1, float r1, Point p2, float r2, Point out[4]);

// The outline as a path for the general renderer: every circle and band is a closed
// subpath, all turning the same way so that the non-zero rule fills their union.
QPainterPath outline_path(const PenOutline& outline);
// The bounds of every circle and band, as the outline's path would give them.
Rect outline_bounds(const PenOutline& outline);
// The same outline as path elements (non-zero rule), built without a QPainterPath.
Path outline_to_path(const PenOutline& outline);
// Appends a circle made of four cubic curves, turning the same way as the bands.
void append_circle(QPainterPath& path, Point centre, float radius);
