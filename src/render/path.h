#pragma once

// An outline as a plain list of elements, with the fill rule and line width it travels with,
// filled, stroked or measured in a bitmap's drawing context. Strokes keep their outlines in
// this form; the rectangles returned are in world coordinates and cover everything that
// was painted.

#include "affine_transform.h"
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
    // Takes the fill rule of the QPainterPath.
    explicit Path(const QPainterPath& path);
    explicit Path(std::vector<PathElement> elements, int windingRule = kNonZero);

    const std::vector<PathElement>& elements() const { return _elements; }
    bool empty() const { return _elements.empty(); }
    // True when every point of every element is finite.
    bool isFinite() const;

    int windingRule() const { return _winding_rule; }
    void setWindingRule(int rule) { _winding_rule = rule == kNonZero ? kNonZero : kEvenOdd; }
    float lineWidth() const { return _line_width; }
    void setLineWidth(float width) { _line_width = width; }

    // Every point of every element mapped by t.
    void transform(const AffineTransform& t);
    // Appends the other path's elements.
    void append(const Path& other);

    // Fills with the non-zero (0) or even-odd (any other) rule; returns the bounds.
    Rect fillInContext(CGContextWrapper& context, int windingRule) const;
    // Strokes with bevel joins at the context's line width; returns the bounds grown by it.
    Rect strokeInContext(CGContextWrapper& context) const;
    Rect boundsInContext(CGContextWrapper& context) const;
    // Bounds of every point, control points included; empty for an empty path.
    Rect bounds() const;

    // With the path's own fill rule.
    QPainterPath toQPainterPath() const { return toQPainterPath(_winding_rule); }
    QPainterPath toQPainterPath(int windingRule) const;

    // Builds the shape kept for drawing with that rule now, so that several threads can
    // then draw the path at once without building it together.
    void prepareToDraw(int windingRule) const { painterPath(windingRule); }

private:
    const QPainterPath& painterPath(int windingRule) const;
    void changed() { _built = false; }

    std::vector<PathElement> _elements;
    int _winding_rule = kNonZero;
    float _line_width = 1;
    // Built on first use for drawing; dropped whenever the elements change.
    mutable QPainterPath _painter_path;
    mutable bool _built = false;
};
