#pragma once

// The coverage route's pixel work. Circles and convex bands in pixel coordinates become
// anti-aliased coverage in a block of rows, combined by maximum (the union of the shapes),
// and the block is then painted in one colour. A straight edge covers the exact share of a
// pixel that lies inside it, found from the distance of the pixel's centre; a circle is
// its tangent there, moved in for the curvature, and a circle under two pixels integrates
// its area instead. Everything is clipped against the block in floating point before a
// coordinate becomes an index, so no shape, however large or far away, reaches memory
// outside the block.
//
// Usage: reset the block to a clip rectangle of rows, cover every shape, paint. Painting
// clears exactly the cells it read, so a block can be reused without clearing it whole.

#include "color.h"
#include "pixel_span.h"

#include <cstdint>
#include <vector>

class Bitmap;

struct PixelCircle {
    double cx = 0, cy = 0, r = 0;
};

// How a straight edge cuts a pixel, by its direction: a and b are the larger and smaller
// of the unit normal's components. A pixel whose centre lies t inside the edge is covered
// fully from t >= w1 on, not at all for t <= -w1, linearly (slope 1/a) for |t| <= w0 and
// quadratically (k = 1/(2ab)) between, where a pixel corner crosses the edge.
struct EdgeCut {
    double inv_a = 1, k = 0, w0 = 0.5, w1 = 0.5;
};

EdgeCut edge_cut(double nx, double ny);
// Share of the pixel on the inner side of the edge.
double edge_coverage(const EdgeCut& cut, double t);

// Half-plane nx*x + ny*y <= c with a unit normal: nx*x + ny*y - c is the signed distance.
// An edge of zero length has no normal; it cuts nothing away.
struct EdgeLine {
    double nx = 0, ny = 0, c = 0;
    double inv_nx = 0; // 1 / nx, or 0 for a horizontal edge
    EdgeCut cut;
    bool present = false;
    // For an end: how far beyond it pixel centres still take the band's coverage.
    double reach = 0;
};

// Where a row of a band's pixel centres begins or ends, as a line x = at + slope * y: with
// `outer` for the pixels it covers partly, with `full` for those it covers whole.
struct XLimit {
    double outer = 0, full = 0, slope = 0;
};

// A convex quadrilateral as the half-planes of its edges, with its bounding box. As in a pen
// outline, corners 0-1 and 2-3 are its sides and 1-2 and 3-0 its ends. The limits of its
// rows come from the edges: those facing left, those facing right, and level ones, which
// bound the rows (outer_rows and full_rows, lowest and highest y of a row's centre).
struct PixelBand {
    EdgeLine edges[4];
    XLimit left[4], right[4];
    int lefts = 0, rights = 0;
    double outer_rows[2] = {0, 0}, full_rows[2] = {0, 0};
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct PixelCorners {
    double x[4];
    double y[4];
};

// Sets `band` from its corners; false when they are not finite or enclose no area (a band
// shrunk to a line). An end where the next band continues the stroke reaches half a pixel
// further, so that no pixel centre falls between the two on the outside of a turn. (The
// band is filled in place: it is large, and a stroke makes hundreds.)
bool make_pixel_band(const PixelCorners& corners, bool joined_at_start, bool joined_at_end,
                     PixelBand& band);

struct CoverageBlock {
    PixelSpan clip;                  // the only pixels covered or painted
    int stride = 0;                  // clip width
    std::vector<std::uint8_t> cells; // coverage 0..255 per clip pixel, zero between uses
    std::vector<int> lo, hi;         // touched columns per row, lo > hi when none
};

// Prepares the block for the rows and columns of `clip` (not empty).
void reset_block(CoverageBlock& block, const PixelSpan& clip);
// The part of a circle not yet covered by the bands joined to it: the pixel centres beyond
// every line (nx * x + ny * y > c), at most two. With no line it is the whole circle.
struct CircleOpening {
    struct Line {
        double nx = 0, ny = 0, c = 0;
    } lines[2];
    int count = 0;
};

// Each shape combines with what is there by maximum. A circle covers only the pixels of its
// opening, and those exactly as it would without one.
void cover_circle(CoverageBlock& block, const PixelCircle& circle,
                  const CircleOpening& opening = {});
void cover_band(CoverageBlock& block, const PixelBand& band);
// Paints the premultiplied colour scaled by each cell's coverage over the target's pixels
// with paint_over, and zeroes the cells. The clip must lie inside the target.
void paint_block(CoverageBlock& block, Bitmap& target, color_ns::Color color);
// Gives memory back when the block grew beyond what a typical view needs.
void trim_block(CoverageBlock& block);
