#pragma once

// A frozen outline as a plain list of elements, filled, stroked or measured in a bitmap's
// drawing context. Strokes keep their outlines in this form; the rectangles returned are
// in world coordinates and cover everything that was painted.

#include "geometry.h"

#include <QPainterPath>

#include <vector>

class CGContextWrapper;

enum PathElementKind : int { kMoveTo = 0, kLineTo = 1, kCurveTo = 2, kClosePath = 3 };
enum WindingRule : int { kNonZero = 0, kEvenOdd = 1 };

// Move and line use p[0]; a curve has control points p[0], p[1] and ends at p[2].
struct PathElement {
    int element = kMoveTo;
    Point p[3];
};

class Path {
public:
    Path() = default;
    explicit Path(const QPainterPath& path);
    explicit Path(std::vector<PathElement> elements);

    const std::vector<PathElement>& elements() const { return _elements; }
    bool empty() const { return _elements.empty(); }
    // True when every point of every element is finite.
    bool isFinite() const;

    // Fills with the non-zero (0) or even-odd (any other) rule; returns the bounds.
    Rect fillInContext(CGContextWrapper& context, int windingRule) const;
    // Strokes with bevel joins at the context's line width; returns the bounds grown by it.
    Rect strokeInContext(CGContextWrapper& context) const;
    Rect boundsInContext(CGContextWrapper& context) const;
    // Bounds of every point, control points included; empty for an empty path.
    Rect bounds() const;

    QPainterPath toQPainterPath(int windingRule = kNonZero) const;

private:
    const QPainterPath& painterPath(int windingRule) const;

    std::vector<PathElement> _elements;
    // Built once per fill rule in use; the elements never change.
    mutable QPainterPath _painter_path;
    mutable bool _built = false;
};
