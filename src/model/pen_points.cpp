#include "pen_points.h"

#include "pen_points_precision.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
// Stands in for the inverse of a transform that has none, so that every world position
// comes out NaN and the outline is rejected instead of drawn somewhere arbitrary.
constexpr AffineTransform kNoInverse{kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};

// A gap is filled with at most this many samples: a sample that jumps across the canvas
// (or a damaged coordinate) must not make the stroke grow without bound.
constexpr int kMaxSamplesPerGap = 4096;

// A coordinate too large for the file keeps its value; saving such a stroke is refused.
float round_coordinate(float v)
{
    const auto t = to_tenths(v);
    return t ? from_tenths(*t) : v;
}

// ---- Smoothing

// The square of what length() takes the root of, so that a distance can be compared with
// a float bound without a square root: when it is at most m * m (exact in double), length()
// is at most m.
double squared_length(Point v) { return double(v.x) * v.x + double(v.y) * v.y; }

// Weights of the four control points at the curve parameters 0, 1/3, 2/3 and 1, at which
// the fitted curve passes through four consecutive samples.
struct CubicFit {
    float c[4][4];
    float det;

    CubicFit()
    {
        const float t[4] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) c[i][j] = bezier_coefficient(i, t[j]);
        det = c[2][2] * c[1][1] - c[2][1] * c[1][2];
    }

    // Control points of the cubic through q[0..3] at t = 0, 1/3, 2/3, 1: the end points are
    // the samples, the inner two solve the 2x2 system at t = 1/3 and 2/3.
    void controlPoints(const Point q[4], Point out[4]) const
    {
        const Point k1 = q[0] * c[0][1] + q[3] * c[3][1];
        const Point k2 = q[0] * c[0][2] + q[3] * c[3][2];
        out[0] = q[0];
        out[1] = (q[1] * c[2][2] - q[2] * c[2][1] - k1 * c[2][2] + k2 * c[2][1]) / det;
        out[2] = (q[2] * c[1][1] - q[1] * c[1][2] - k2 * c[1][1] + k1 * c[1][2]) / det;
        out[3] = q[3];
    }
};

// Appends the samples that fill the gap between samples i - 1 and i.
void fill_gap(const std::vector<PenPoint>& in, int i, int steps, const CubicFit& fit,
              std::vector<PenPoint>& out)
{
    const int n = static_cast<int>(in.size());
    const int start = limit(i - 2, 0, n - 4);
    const Point q[4] = {in[start].p, in[start + 1].p, in[start + 2].p, in[start + 3].p};
    Point control[4];
    fit.controlPoints(q, control);
    const float p0 = in[i - 1].pressure;
    const float p1 = in[i].pressure;
    for (int step = 0; step < steps; ++step) {
        const float dt = static_cast<float>(step + 1) / static_cast<float>(steps + 1);
        const float tt = (static_cast<float>(i - 1) + dt - static_cast<float>(start)) / 3.0f;
        out.push_back({bezier(control, tt), (1 - dt) * p0 + dt * p1});
    }
}

// ---- Averaging

struct Group {
    Point sum;
    float pressure = 0;
    float distance = 0;
    int count = 0;
};

// Adds the merged sample q unless a circle already there hides it, after dropping the
// samples whose circles q hides.
void merge_into(std::vector<PenPoint>& out, const PenPoint& q, float radius)
{
    const float rq = q.pressure * radius;
    while (!out.empty()) {
        const float rb = out.back().pressure * radius;
        // A distance is never negative, so only the smaller circle can lie inside the other:
        // most groups need one square root here, equal pressures none.
        if (rb < rq) {
            if (!(rb + length(out.back().p - q.p) < rq)) break;
            out.pop_back();
        } else {
            if (rq < rb && length(out.back().p - q.p) + rq < rb) return;
            break;
        }
    }
    out.push_back(q);
}

// ---- Outline

bool usable_circle(const OutlineCircle& c)
{
    return finite(c.centre) && finite(c.radius) && c.radius >= 0;
}

bool finite_band(const OutlineBand& band)
{
    for (const Point& corner : band.corners)
        if (!finite(corner)) return false;
    return true;
}

} // namespace

PenPoints::PenPoints(const AffineTransform& transform, float radius)
    : _transform(transform), _radius(radius)
{
    cacheInverse();
}

void PenPoints::cacheInverse()
{
    _inverse = _transform.inverted().value_or(kNoInverse);
    _scale = length({_transform.a, _transform.b});
}

void PenPoints::addPointAt(Point p, float pressure) { _pen_points.push_back({p, pressure}); }

bool PenPoints::setTransform(const AffineTransform& t)
{
    if (!t.isUsable()) return false;
    _transform = t;
    cacheInverse();
    return true;
}

void PenPoints::simplify()
{
    smoothByBezierInterpolation();
    simplifyByAveraging();
    for (PenPoint& s : _pen_points) {
        s.p = {round_coordinate(s.p.x), round_coordinate(s.p.y)};
        s.pressure = from_pressure_byte(pressure_byte(s.pressure));
    }
}

void PenPoints::smoothByBezierInterpolation()
{
    const int n = count();
    if (n <= 3) return;
    const CubicFit fit;
    const float m = max(10.0f, 2 * _radius);
    std::vector<PenPoint> out;
    out.reserve(_pen_points.size() + _pen_points.size() / 4);
    for (int i = 1; i < n; ++i) {
        out.push_back(_pen_points[i - 1]);
        const Point v = _pen_points[i].p - _pen_points[i - 1].p;
        if (squared_length(v) <= double(m) * m) continue;
        const float d = length(v);
        // Written so that a NaN distance or threshold fills nothing.
        if (!(d > m) || !std::isfinite(d)) continue;
        const float steps = min(std::trunc(d / m), static_cast<float>(kMaxSamplesPerGap));
        fill_gap(_pen_points, i, max(static_cast<int>(steps), 1), fit, out);
    }
    out.push_back(_pen_points.back());
    _pen_points = std::move(out);
}

void PenPoints::simplifyByAveraging()
{
    const int n = count();
    std::vector<PenPoint> out;
    out.reserve(_pen_points.size());
    Group g;
    for (int i = 0; i < n; ++i) {
        const PenPoint& s = _pen_points[i];
        if (g.count == 0) g = Group{};
        g.sum = g.sum + s.p;
        g.pressure = max(g.pressure, s.pressure);
        ++g.count;
        if (i > 0) g.distance += length(s.p - _pen_points[i - 1].p);
        const bool closes = i == 0 || i >= n - 2 || 2 * g.distance > s.pressure * _radius;
        if (!closes) continue;
        merge_into(out, {g.sum / static_cast<float>(g.count), g.pressure}, _radius);
        g.count = 0;
    }
    _pen_points = std::move(out);
}

void PenPoints::quadForStrokeFrom(const PenPoint& a, const PenPoint& b, Point out[4]) const
{
    tangent_band(bitmapPointToWorldPoint(a.p), worldRadius(a), bitmapPointToWorldPoint(b.p),
                 worldRadius(b), out);
}

std::optional<PenOutline> PenPoints::buildOutline() const
{
    PenOutline outline;
    if (_pen_points.empty() || !extendOutline(outline)) return std::nullopt;
    return outline;
}

bool PenPoints::extendOutline(PenOutline& outline) const
{
    const std::size_t first = outline.circles.size();
    outline.circles.reserve(_pen_points.size());
    outline.bands.reserve(_pen_points.size() - std::min(_pen_points.size(), std::size_t(1)));
    outline.band_before.reserve(_pen_points.size());
    for (std::size_t i = first; i < _pen_points.size(); ++i) {
        const PenPoint& s = _pen_points[i];
        const OutlineCircle circle{bitmapPointToWorldPoint(s.p), worldRadius(s)};
        if (!usable_circle(circle)) return false;
        // Samples apart in the bitmap can still meet in world space (a strong zoom far from
        // the origin); their circles are concentric and a band between them has no direction.
        const bool band =
            i > 0 && s.p != _pen_points[i - 1].p && circle.centre != outline.circles.back().centre;
        if (band) {
            const OutlineCircle& last = outline.circles.back();
            OutlineBand b;
            tangent_band(last.centre, last.radius, circle.centre, circle.radius, b.corners);
            if (!finite_band(b)) return false;
            outline.bands.push_back(b);
        }
        outline.band_before.push_back(band);
        outline.circles.push_back(circle);
    }
    return true;
}

std::optional<QPainterPath> PenPoints::buildPath() const
{
    const auto outline = buildOutline();
    if (!outline) return std::nullopt;
    return outline_path(*outline);
}

bool PenPoints::transformUsingAffineTransform(const AffineTransform& t)
{
    if (!t.isFinite()) return false;
    const auto inverse = t.inverted();
    if (!inverse) return false;
    // New world positions are t applied to the old ones: undo t, then map as before.
    const AffineTransform moved = _transform.after(*inverse);
    if (!moved.isUsable()) return false;
    _transform = moved;
    cacheInverse();
    return true;
}
