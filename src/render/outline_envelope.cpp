#include "outline_envelope.h"

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace {

struct Vec {
    double x = 0, y = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
double cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double norm(Vec a) { return std::hypot(a.x, a.y); }
Vec vec(Point p) { return {p.x, p.y}; }
QPointF qt(Vec a) { return {a.x, a.y}; }
Vec turned(Vec a, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return {a.x * c - a.y * s, a.x * s + a.y * c};
}

double angle_between(Vec a, Vec b) { return std::atan2(cross(a, b), dot(a, b)); }

// From the path's current point `from` to `to` around `centre`, turning by `sweep`: cubic
// curves of at most a quarter turn each, or the chord where it lies within `flatness`.
void arc_to(QPainterPath& path, Vec centre, Vec from, Vec to, double sweep, double flatness)
{
    const double radius = norm(from - centre);
    if (radius * (1 - std::cos(std::abs(sweep) / 2)) <= flatness) {
        path.lineTo(qt(to));
        return;
    }
    const int pieces = int(std::ceil(std::abs(sweep) / (std::numbers::pi / 2) - 1e-9));
    const double step = sweep / pieces, k = 4.0 / 3.0 * std::tan(step / 4);
    Vec p = from - centre;
    for (int i = 1; i <= pieces; ++i) {
        const Vec q = i == pieces ? to - centre : turned(from - centre, step * i);
        path.cubicTo(qt(centre + p + Vec{-p.y, p.x} * k), qt(centre + q - Vec{-q.y, q.x} * k), qt(centre + q));
        p = q;
    }
}

// The turn from `from` to `to` around `centre` that passes the direction `via`.
double sweep_via(Vec centre, Vec from, Vec to, Vec via)
{
    constexpr double kTurn = 2 * std::numbers::pi;
    const auto ccw = [&](Vec v) { return std::fmod(angle_between(from - centre, v) + kTurn, kTurn); };
    const double sweep = ccw(to - centre);
    return ccw(via) <= sweep ? sweep : sweep - kTurn;
}

bool inside_band(const OutlineBand& band, Vec p, double tolerance)
{
    double area = 0;
    for (int i = 0; i < 4; ++i) area += cross(vec(band.corners[i]), vec(band.corners[(i + 1) % 4]));
    const double sense = area < 0 ? -1 : 1;
    for (int i = 0; i < 4; ++i) {
        const Vec a = vec(band.corners[i]), edge = vec(band.corners[(i + 1) % 4]) - a;
        const double along = norm(edge);
        if (along > 0 && sense * cross(edge, p - a) / along < -tolerance) return false;
    }
    return true;
}

// How one side passes circle `j`, going forward from the band before (ending at `a`) to the
// band after (starting at `b`): around the circle on the outside of a turn, straight across
// (a sweep of 0) on the inside.
double side_sweep(const PenOutline& o, std::size_t j, Vec a, Vec b)
{
    const Vec centre = vec(o.circles[j].centre);
    const Vec forward = centre - vec(o.circles[j - 1].centre);
    const double sweep = angle_between(a - centre, b - centre);
    // Forward along a side turns from the side's normal towards the stroke's direction.
    return sweep * cross(a - centre, forward) > 0 ? sweep : 0;
}

bool segments_cross(Vec a, Vec b, Vec c, Vec d)
{
    return cross(b - a, c - a) * cross(b - a, d - a) < 0 && cross(d - c, a - c) * cross(d - c, b - c) < 0;
}

double signed_area(std::initializer_list<Vec> corners)
{
    double area = 0;
    for (auto p = corners.begin(); p != corners.end(); ++p)
        area += cross(*p, std::next(p) == corners.end() ? *corners.begin() : *std::next(p));
    return area / 2;
}

// Between the end of the band before circle j and the start of the band after it, the path
// adds the join [a left, b left, b right, a right] (with arcs on the outside). Any part of
// it that winds against the bands must lie in both bands, which then still fill it: where
// the two ends cross, the part beyond the crossing; where the join turns back whole, all.
bool join_fills(const PenOutline& o, std::size_t j, double left, double right, double tolerance)
{
    const OutlineBand &before = o.bands[j - 1], &after = o.bands[j];
    const Vec al = vec(before.corners[1]), ar = vec(before.corners[2]);
    const Vec bl = vec(after.corners[0]), br = vec(after.corners[3]);
    // The sides are told apart only while the stroke turns by less than a quarter turn and
    // neither band is nearly swallowed by a circle.
    const Vec in = vec(o.circles[j].centre) - vec(o.circles[j - 1].centre);
    const Vec out = vec(o.circles[j + 1].centre) - vec(o.circles[j].centre);
    const auto steep = [&](std::size_t i, Vec along) {
        return std::abs(o.circles[i + 1].radius - o.circles[i].radius) >= 0.5 * norm(along);
    };
    if (dot(in, out) <= 0 || steep(j - 1, in) || steep(j, out)) return false;
    const double sense = signed_area({vec(before.corners[0]), al, ar, vec(before.corners[3])});
    if (!segments_cross(al, ar, bl, br)) {
        if (signed_area({al, bl, br, ar}) * sense >= -tolerance * tolerance) return true;
        // Turned back whole, as where a circle is smaller than both neighbours.
        return inside_band(before, bl, tolerance) && inside_band(before, br, tolerance) &&
               inside_band(after, al, tolerance) && inside_band(after, ar, tolerance);
    }
    if (left != 0 && right != 0) return false;
    const Vec a = left == 0 ? al : ar, b = left == 0 ? bl : br;
    return inside_band(before, b, tolerance) && inside_band(after, a, tolerance);
}

// Where one side's edges of the bands before and after circle j meet, when the path may
// pass through that point instead of both band ends: on the outside of a gentle turn it lies
// within `flatness` of the circle; on the inside it cuts off a loop that winds against the
// bands and lies in both, which both still fill. `first` and `second` pick the side's corners.
std::optional<Vec> side_corner(const PenOutline& o, std::size_t j, int first, int second, double sweep,
                               double flatness, double tolerance)
{
    const OutlineBand &before = o.bands[j - 1], &after = o.bands[j];
    const Vec p = vec(before.corners[first]), a = vec(before.corners[second]);
    const Vec b = vec(after.corners[first]), q = vec(after.corners[second]);
    const double turn = cross(a - p, q - b);
    if (std::abs(turn) <= 1e-12 * norm(a - p) * norm(q - b)) return std::nullopt;
    const Vec meet = p + (a - p) * (cross(b - p, q - b) / turn);
    const Vec centre = vec(o.circles[j].centre);
    if (sweep != 0) {
        if (norm(meet - centre) - o.circles[j].radius > flatness) return std::nullopt;
        return meet;
    }
    const double sense = signed_area({vec(before.corners[0]), vec(before.corners[1]), vec(before.corners[2]),
                                      vec(before.corners[3])});
    const bool against = signed_area({meet, a, b}) * sense < 0;
    if (!against) return std::nullopt;
    for (const Vec v : {meet, a, b})
        if (!inside_band(before, v, tolerance) || !inside_band(after, v, tolerance)) return std::nullopt;
    return meet;
}

bool plain_bands(const PenOutline& o)
{
    if (o.bands.size() + 1 != o.circles.size()) return false;
    for (const OutlineCircle& c : o.circles)
        if (!(std::isfinite(c.centre.x) && std::isfinite(c.centre.y) && std::isfinite(c.radius) && c.radius >= 0))
            return false;
    for (const OutlineBand& b : o.bands)
        for (const Point p : b.corners)
            if (!(std::isfinite(p.x) && std::isfinite(p.y))) return false;
    for (std::size_t i = 1; i < o.circles.size(); ++i) {
        const OutlineCircle &p = o.circles[i - 1], &q = o.circles[i];
        // A circle holding its neighbour shrinks the band between them to a line.
        if (!o.band_before[i] || std::abs(p.radius - q.radius) >= 0.999 * length(q.centre - p.centre)) return false;
    }
    return true;
}

// The outline of circles first..last (first < last) as one closed subpath; `left` and
// `right` hold each inner circle's sweeps.
struct Side {
    double sweep = 0;            // around the circle, 0 for a straight line
    std::optional<Vec> corner;   // one point for both band ends, when it may stand for them
};

void append_ribbon(QPainterPath& path, const PenOutline& o, std::size_t first, std::size_t last,
                   const std::vector<Side>& left, const std::vector<Side>& right, double flatness)
{
    const auto centre = [&](std::size_t j) { return vec(o.circles[j].centre); };
    const auto corner = [&](std::size_t band, int k) { return vec(o.bands[band].corners[k]); };
    path.moveTo(qt(corner(first, 0)));
    for (std::size_t j = first + 1; j < last; ++j) {
        if (left[j].corner) {
            path.lineTo(qt(*left[j].corner));
            continue;
        }
        path.lineTo(qt(corner(j - 1, 1)));
        arc_to(path, centre(j), corner(j - 1, 1), corner(j, 0), left[j].sweep, flatness);
    }
    path.lineTo(qt(corner(last - 1, 1)));
    arc_to(path, centre(last), corner(last - 1, 1), corner(last - 1, 2),
           sweep_via(centre(last), corner(last - 1, 1), corner(last - 1, 2), centre(last) - centre(last - 1)), flatness);
    for (std::size_t j = last - 1; j > first; --j) {
        if (right[j].corner) {
            path.lineTo(qt(*right[j].corner));
            continue;
        }
        path.lineTo(qt(corner(j, 3)));
        arc_to(path, centre(j), corner(j, 3), corner(j - 1, 2), -right[j].sweep, flatness);
    }
    path.lineTo(qt(corner(first, 3)));
    arc_to(path, centre(first), corner(first, 3), corner(first, 0),
           sweep_via(centre(first), corner(first, 3), corner(first, 0), centre(first) - centre(first + 1)), flatness);
    path.closeSubpath();
}

} // namespace

std::optional<QPainterPath> outline_envelope(const PenOutline& o, double flatness)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (o.empty() || !plain_bands(o)) return std::nullopt;
    if (o.circles.size() == 1) {
        append_circle(path, o.circles[0].centre, o.circles[0].radius);
        return path;
    }
    // A joint the path cannot pass ends one closed outline there and starts the next: the
    // two caps cover its circle, and non-zero filling joins the pieces.
    const std::size_t last = o.circles.size() - 1;
    std::vector<Side> left(last), right(last);
    std::size_t first = 0;
    for (std::size_t j = 1; j < last; ++j) {
        const Point *before = o.bands[j - 1].corners, *after = o.bands[j].corners;
        const double tolerance = 1e-3 * o.circles[j].radius;
        left[j].sweep = side_sweep(o, j, vec(before[1]), vec(after[0]));
        right[j].sweep = side_sweep(o, j, vec(before[2]), vec(after[3]));
        if (join_fills(o, j, left[j].sweep, right[j].sweep, tolerance)) {
            left[j].corner = side_corner(o, j, 0, 1, left[j].sweep, flatness, tolerance);
            right[j].corner = side_corner(o, j, 3, 2, right[j].sweep, flatness, tolerance);
            continue;
        }
        append_ribbon(path, o, first, j, left, right, flatness);
        first = j;
    }
    append_ribbon(path, o, first, last, left, right, flatness);
    return path;
}
