#pragma once

// Turning a region of equal pixels in a raster mask back into closed polygons, for the fill
// tool: find the holes of a filled region, trace the boundary of the region or of one hole
// along pixel edges, and thin the traced points out.
//
// A traced vertex (x, y) is the top-left corner of pixel (x, y), so vertices run from 0 to
// the bitmap's width and height. A traced list is closed implicitly: the last vertex joins
// the first, which is not repeated. Regions are 4-connected: pixels that touch only at a
// corner belong to different regions.

#include "bitmap.h"
#include "geometry.h"
#include "pixel_span.h"

#include <cstddef>
#include <vector>

using PointList = std::vector<Point>;

// The step from one point of a list to the next; OTHER is any step that is not one unit
// along an axis, such as the diagonals the simplification leaves.
enum class Direction : int { RIGHT = 0, DOWN = 1, LEFT = 2, UP = 3, OTHER = 4 };

// The direction after turning left as seen on screen (y downwards).
constexpr Direction turn_left(Direction d)
{
    return d == Direction::OTHER ? d : Direction((int(d) + 3) % 4);
}

// Transparent like an empty mask pixel, yet different from 0, so the hole search can tell
// the pixels it has already visited from the ones it has not.
inline constexpr color_ns::Color kHoleMarker = 0x01000000u;

// The step from point i to point i + 1, both taken modulo the list's length.
Direction dir(const PointList& points, std::size_t i);

// Replaces the 4-connected area of exactly the start pixel's value, within `limit` (both
// edges inclusive, truncated toward zero), with `color`. The start is clamped to the bitmap.
void flood_fill_at(Bitmap& bitmap, Point start, color_ns::Color color, const Rect& limit);

// The pixels the hole search visits for a region whose pixels all lie in `region`: one
// pixel more on every side, clamped to the bitmap. Empty for an empty bitmap or a rectangle
// that is not finite.
PixelSpan hole_search_box(const Bitmap& mask, const Rect& region);

// Appends one start pixel per hole of the filled (non-transparent) region lying in
// `region`: the topmost, then leftmost pixel of each hole, holes in row order. A hole is a
// 4-connected area of transparent pixels that no path of transparent pixels, corners
// included, links to the border of the search box: the border lies outside the region, so
// a bay open towards any side is never a hole. Leaves every transparent pixel of the box
// set to kHoleMarker; clear hole_search_box(mask, region) afterwards.
void find_holes_in_rect(Bitmap& mask, const Rect& region, PointList& holes);

// Appends the vertices of the boundary of the 4-connected region of the start pixel's
// value, clockwise on screen (the region on the right of the direction of travel), from
// the top-right corner of the start pixel. The start is clamped to the bitmap and must have
// no pixel of its value directly above it (the topmost pixel of a column of the region, or
// the first pixel of a hole); false, and nothing appended, otherwise or for an empty bitmap.
bool clockwise_outline_from(const Bitmap& mask, Point start, PointList& outline);

// Drops points from the middle of straight runs and cuts the corners that point into the
// traced region, so the polygon only ever grows outward; a long edge keeps a vertex at
// every sixth unit. A list of fewer than 4 points is left as it is, and no removal takes
// it below 3.
void simplify_points_on_outside(PointList& points);
