#pragma once

// The samples of one stroke drawn with the built-in pen: positions in the canvas bitmap
// coordinates in force while it was drawn, a pressure each, the world-to-bitmap transform
// and the pen radius. The pen tool fills it while the pen is down and simplifies it at
// pen-up; the stroke then builds its outline from it and saves it with the document.
// Moving the stroke changes only the transform, never the samples.

#include "affine_transform.h"
#include "geometry.h"
#include "pen_outline.h"
#include "result.h"

#include <QPainterPath>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct PenPoint {
    Point p;
    float pressure = 0;
};

class PenPoints {
public:
    PenPoints(const AffineTransform& transform, float radius);

    void addPointAt(Point p, float pressure);
    int count() const { return static_cast<int>(_pen_points.size()); }
    // Only meaningful when count() > 0.
    Point lastPoint() const { return _pen_points.back().p; }
    float lastPressure() const { return _pen_points.back().pressure; }
    const std::vector<PenPoint>& points() const { return _pen_points; }

    const AffineTransform& transform() const { return _transform; }
    float radius() const { return _radius; }
    // Refuses (returns false, keeps the old one) a transform that is not finite and invertible.
    bool setTransform(const AffineTransform& t);
    void setRadius(float r) { _radius = r; }

    // Fills wide gaps, merges close samples and rounds to what a file holds, so that the
    // stroke drawn is the one a save and reload give back.
    void simplify();
    void smoothByBezierInterpolation();
    void simplifyByAveraging();

    // Circles and bands in world coordinates. Null when there are no samples, or when a
    // centre, radius or band corner is not finite or a radius is negative: such a stroke
    // (a NaN transform, a file's nonsense) is rejected rather than drawn.
    std::optional<PenOutline> buildOutline() const;
    // Appends the shapes of the samples `outline` does not hold yet (it holds the first
    // ones, as this function built them): the live preview grows its outline with the code
    // that builds the finished stroke's. False, with the outline part built, when a shape
    // is unusable as above.
    bool extendOutline(PenOutline& outline) const;
    std::optional<QPainterPath> buildPath() const;

    // Moves the whole stroke by t in world space. Refuses (false, unchanged) a t or a result
    // that is not finite and invertible.
    bool transformUsingAffineTransform(const AffineTransform& t);

    Point bitmapPointToWorldPoint(Point p) const { return _inverse.apply(p); }
    float scale() const { return _scale; }
    // The band joining the circles of a and b along their outer tangents.
    void quadForStrokeFrom(const PenPoint& a, const PenPoint& b, Point out[4]) const;

    // Null when the stroke cannot be stored: non-finite or out-of-range coordinates, a
    // non-finite or negative radius, an unusable transform.
    std::optional<std::vector<std::uint8_t>> encode() const;
    static Result<PenPoints> decode(std::span<const std::uint8_t> bytes);

private:
    void cacheInverse();
    float worldRadius(const PenPoint& s) const { return _radius * s.pressure / _scale; }

    AffineTransform _transform;
    // Every sample's world position goes through the inverse; computing it once matters.
    AffineTransform _inverse;
    float _scale = 1;
    float _radius = 0;
    std::vector<PenPoint> _pen_points;
};
