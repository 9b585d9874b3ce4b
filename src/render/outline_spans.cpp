#include "outline_spans.h"

#include <algorithm>
#include <cmath>

namespace {

// One sample of the outline in pixels: its circle and the band that leads to it, if any.
struct Node {
    double x = 0, y = 0, r = 0;
    bool circle = false;  // a usable circle
    bool band = false;    // a usable band joins the previous node to this one
    bool rebuilt = false; // the band must be built anew between the two circles
    std::size_t source = 0; // the outline's band that leads here
    PixelCorners corners{};
};

bool finite_point(Point p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

bool usable(const OutlineCircle& c)
{
    const Point lo = c.centre - Point{c.radius, c.radius};
    const Point hi = c.centre + Point{c.radius, c.radius};
    return c.radius >= 0 && finite_point(c.centre) && finite_point(lo) && finite_point(hi);
}

bool usable(const OutlineBand& b)
{
    return std::all_of(std::begin(b.corners), std::end(b.corners), finite_point);
}

void to_pixels(const Similarity& m, Point p, double& x, double& y)
{
    x = m.a * p.x + m.c * p.y + m.tx;
    y = m.b * p.x + m.d * p.y + m.ty;
}

void make_nodes(const PenOutline& outline, const Similarity& m, std::vector<Node>& nodes)
{
    nodes.assign(outline.circles.size(), Node{});
    std::size_t k = 0;
    for (std::size_t i = 0; i < outline.circles.size(); ++i) {
        const OutlineCircle& c = outline.circles[i];
        Node& n = nodes[i];
        n.circle = usable(c);
        to_pixels(m, c.centre, n.x, n.y);
        n.r = c.radius * m.scale;
        if (!(i < outline.band_before.size() && outline.band_before[i]) || k >= outline.bands.size())
            continue;
        n.source = k;
        n.band = usable(outline.bands[k++]);
    }
}

// The corners of the bands kept as they are, once merging has dropped the others: seen
// small, most bands are rebuilt, and their corners need no conversion.
void place_corners(const PenOutline& outline, const Similarity& m, std::vector<Node>& nodes)
{
    for (Node& n : nodes) {
        if (!n.band || n.rebuilt) continue;
        const OutlineBand& b = outline.bands[n.source];
        for (int j = 0; j < 4; ++j) to_pixels(m, b.corners[j], n.corners.x[j], n.corners.y[j]);
    }
}

// Merges into each kept circle the following ones of the same run whose centres lie within
// kMergeDistance of it, except the run's last; the kept circle takes the largest radius, and
// the bands on either side of it are built anew.
void merge_close(std::vector<Node>& nodes)
{
    if (nodes.empty()) return;
    std::size_t kept = 0;
    bool grown = false;
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        Node& k = nodes[kept];
        const Node& n = nodes[i];
        const double dx = n.x - k.x, dy = n.y - k.y;
        // The last circle of a run stays: it is the stroke's end.
        const bool last = i + 1 == nodes.size() || !nodes[i + 1].band;
        if (!last && n.band && n.circle && k.circle && dx * dx + dy * dy < kMergeDistance * kMergeDistance) {
            k.r = std::max(k.r, n.r);
            k.rebuilt = k.band;
            grown = true;
            continue;
        }
        nodes[++kept] = n;
        nodes[kept].rebuilt = grown && nodes[kept].band;
        grown = false;
    }
    nodes.resize(kept + 1);
}

// The band into node n from node p, built anew from their circles.
bool rebuild_band(const Node& p, Node& n)
{
    Point q[4];
    tangent_band({float(p.x), float(p.y)}, float(p.r), {float(n.x), float(n.y)}, float(n.r), q);
    for (int j = 0; j < 4; ++j) n.corners.x[j] = q[j].x, n.corners.y[j] = q[j].y;
    return usable(OutlineBand{{q[0], q[1], q[2], q[3]}});
}

// Whether the box reaches within `margin` pixels of the clip.
bool near(const PixelSpan& s, double margin, double x0, double y0, double x1, double y1)
{
    return x1 >= s.x0 - margin && x0 <= s.x1 + 1.0 + margin && y1 >= s.y0 - margin &&
           y0 <= s.y1 + 1.0 + margin;
}

// A band's own reach along the stroke ends this far beyond the pixels it can cover, so a
// band dropped for being away from the clip claims no pixel of it from a circle.
constexpr double kBandMargin = 2;

// The box of a band holds its corners; here it holds its reach beyond its joined ends too,
// since the circles there leave those pixel centres to it.
void include_reach(PixelBand& band, const PixelCorners& q)
{
    for (int j = 0; j < 4; ++j) {
        const EdgeLine& end = band.edges[j == 1 || j == 2 ? 1 : 3];
        const double x = q.x[j] + end.nx * end.reach, y = q.y[j] + end.ny * end.reach;
        band.x0 = std::min(band.x0, x), band.x1 = std::max(band.x1, x);
        band.y0 = std::min(band.y0, y), band.y1 = std::max(band.y1, y);
    }
}

void add_band(const std::vector<Node>& nodes, std::size_t i, const PixelSpan& clip,
              PixelOutline& out, std::vector<int>& into)
{
    const PixelCorners& q = nodes[i].corners;
    const auto [x0, x1] = std::minmax({q.x[0], q.x[1], q.x[2], q.x[3]});
    const auto [y0, y1] = std::minmax({q.y[0], q.y[1], q.y[2], q.y[3]});
    if (!near(clip, kBandMargin, x0, y0, x1, y1)) return;
    const bool joined_at_start = i > 0 && nodes[i - 1].band;
    const bool joined_at_end = i + 1 < nodes.size() && nodes[i + 1].band;
    PixelBand& band = out.bands.emplace_back();
    if (!make_pixel_band(q, joined_at_start, joined_at_end, band)) {
        out.bands.pop_back();
        return;
    }
    include_reach(band, q);
    into[i] = int(out.bands.size() - 1);
}

// The part of the circle beyond a band's near end. Where the band exists neither circle
// holds the other, and what lies beyond its far end (anti-aliased edges included) lies in
// the circle there, which the band or that circle covers; only a circle that draws nothing
// (of no radius) leaves that to this one.
void open_at(CircleOpening& o, const PixelCircle& c, const PixelBand& b, int near_end,
             bool far_circle)
{
    const EdgeLine& e = b.edges[near_end];
    const EdgeLine& far = b.edges[(near_end + 2) % 4];
    if (!far_circle && !(far.nx * c.cx + far.ny * c.cy - far.c + c.r + 1 <= far.reach)) return;
    o.lines[o.count++] = {e.nx, e.ny, e.c + e.reach};
}

double cross(double ax, double ay, double bx, double by)
{
    return ax * by - ay * bx;
}

// Squared distance from (px, py) to the ray from (ax, ay) along the unit (ux, uy).
double ray_distance2(double px, double py, double ax, double ay, double ux, double uy)
{
    const double t = std::max(0.0, (px - ax) * ux + (py - ay) * uy);
    const double dx = px - ax - t * ux, dy = py - ay - t * uy;
    return dx * dx + dy * dy;
}

// Whether the opening between two bands misses every pixel the circle can cover: on a gentle
// turn the wedge beyond both bands begins outside the circle. The opening is the cone of
// the two lines; the circle misses it when its centre lies outside and both rays are far.
bool wedge_misses(const CircleOpening& o, const PixelCircle& c)
{
    const CircleOpening::Line &l1 = o.lines[0], &l2 = o.lines[1];
    const double det = cross(l1.nx, l1.ny, l2.nx, l2.ny);
    if (!(std::abs(det) > 1e-9)) return false;
    const double ax = (l1.c * l2.ny - l2.c * l1.ny) / det, ay = (l1.nx * l2.c - l2.nx * l1.c) / det;
    if (l1.nx * c.cx + l1.ny * c.cy > l1.c && l2.nx * c.cx + l2.ny * c.cy > l2.c) return false;
    // Along each line, the way into the other half-plane.
    double u1x = -l1.ny, u1y = l1.nx, u2x = -l2.ny, u2y = l2.nx;
    if (l2.nx * u1x + l2.ny * u1y < 0) u1x = -u1x, u1y = -u1y;
    if (l1.nx * u2x + l1.ny * u2y < 0) u2x = -u2x, u2y = -u2y;
    const double reach2 = (c.r + 1) * (c.r + 1);
    return ray_distance2(c.cx, c.cy, ax, ay, u1x, u1y) > reach2 &&
           ray_distance2(c.cx, c.cy, ax, ay, u2x, u2y) > reach2;
}

} // namespace

void make_pixel_outline(const PenOutline& outline, const Similarity& m, const PixelSpan& clip,
                        bool merge, PixelOutline& out)
{
    thread_local std::vector<Node> nodes;
    thread_local std::vector<int> into; // the band index into each node, or -1
    out.circles.clear(), out.openings.clear(), out.bands.clear();
    make_nodes(outline, m, nodes);
    if (merge) merge_close(nodes);
    place_corners(outline, m, nodes);
    into.assign(nodes.size(), -1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        Node& n = nodes[i];
        if (n.band && n.rebuilt) n.band = rebuild_band(nodes[i - 1], n);
    }
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i].band) add_band(nodes, i, clip, out, into);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const Node& n = nodes[i];
        if (!n.circle || !(n.r > 0) || !near(clip, 1, n.x - n.r, n.y - n.r, n.x + n.r, n.y + n.r))
            continue;
        const PixelCircle c{n.x, n.y, n.r};
        CircleOpening o;
        const auto drawn = [](std::size_t j) { return nodes[j].circle && nodes[j].r > 0; };
        if (into[i] >= 0) open_at(o, c, out.bands[std::size_t(into[i])], 1, drawn(i - 1));
        if (i + 1 < nodes.size() && into[i + 1] >= 0)
            open_at(o, c, out.bands[std::size_t(into[i + 1])], 3, drawn(i + 1));
        if (o.count == 2 && wedge_misses(o, c)) continue;
        out.circles.push_back(c);
        out.openings.push_back(o);
    }
}

void cover_outline(CoverageBlock& block, const PixelOutline& outline)
{
    for (const PixelBand& b : outline.bands) cover_band(block, b);
    for (std::size_t i = 0; i < outline.circles.size(); ++i)
        cover_circle(block, outline.circles[i], outline.openings[i]);
}
