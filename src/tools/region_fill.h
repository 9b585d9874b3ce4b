#pragma once

// The raster side of the fill tool: flood the area of similar colour around a point into a
// mask, grow it by a few pixels so that the fill tucks under the edges it meets, and turn
// the mask back into one even-odd path (outer outline and holes) in drawing coordinates.
// The mask is the canvas's scratch bitmap: it is transparent before and after, and all the
// work stays within the filled area's bounding box and a one-pixel margin.

#include "canvas.h"
#include "path.h"
#include "stroke.h"

#include <memory>
#include <optional>

// Fills into `mask` (with `color`) the pixels 4-connected to p whose colour in `source`
// lies within `tolerance` (largest channel difference over 255) of the colour at p; every
// pixel is compared with the colour at p, so the fill does not drift through gradients. p
// is truncated and clamped to the bitmap; a NaN tolerance counts as 0. The bitmaps must be
// of one size. Returns the bounding box of the filled pixels (empty for an empty bitmap).
Rect flood_fill(Bitmap& mask, const Bitmap& source, Point p, color_ns::Color color, float tolerance);

// One growth step over the pixels of r and a margin: every pixel that is exactly 0 and has
// a filled (non-transparent) diagonal neighbour becomes `color`. Neighbours in the last
// column or row are not consulted. This is the plain reference for grow_mask.
void expand_step(Bitmap& mask, const Rect& r, color_ns::Color color);

// The same as `steps` calls of expand_step with the same r, but the work follows the
// growing edge, so it costs the pixels it fills rather than steps times the area.
void grow_mask(Bitmap& mask, const Rect& r, int steps, color_ns::Color color);

struct FillOutline {
    // Outer outline and holes, even-odd, in drawing coordinates.
    Path path;
    // The pixels the fill may cover, in view coordinates.
    Rect area;
};

// The whole fill at the view point p on the canvas's drawing: flood, closing of openings
// narrower than twice `gap_radius` (pixels; 0 closes none), `expand` growth steps, holes,
// outlines. Uses the canvas's stroke bitmap as the mask and leaves it
// transparent. A point outside the canvas is moved to the nearest edge pixel; nothing for
// a NaN point or an empty canvas. A negative expand counts as 0.
std::optional<FillOutline> fill_outline_at(PavoCanvas& canvas, Point p, float tolerance, int expand,
                                           float gap_radius = 0);

// The largest number of pixels a finer canvas for the fill may have: 4K at twice its
// resolution. Finer canvases would take gigabytes.
inline constexpr double kLargestFinePixels = 3840.0 * 2160.0 * 4.0;

// The largest multiple of 1, 2 or 4 not above `wanted` (1 for anything below 2) at which a
// canvas of `size` stays within kLargestFinePixels.
int usable_precision(Size size, int wanted);

// A canvas `multiple` times as fine as `canvas` along each axis over the same area, with
// the strokes rendered into it on a transparent ground, as the view renders them; null
// when it cannot be made. A canvas `reused` of the right size serves again: a fresh one
// costs more in the memory it touches than in the rendering.
std::unique_ptr<PavoCanvas> finer_canvas(const PavoCanvas& canvas, const StrokeArray& strokes, int multiple,
                                         std::unique_ptr<PavoCanvas> reused = nullptr);
