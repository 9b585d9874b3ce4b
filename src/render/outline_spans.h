#pragma once

// The fast coverage route. A pen outline's circles and bands go to pixel coordinates once,
// with how they join: inside a stroke a circle lies within the two bands joined to it,
// except for a wedge on the outside of a turn (and the caps at the ends), so a circle only
// covers the pixel centres neither band reaches along the stroke. Bands cover whole, as
// the reference does.
//
// Seen small, samples closer than half a pixel merge first (the level of detail): a run of
// circles whose centres lie within half a pixel of the first becomes one circle holding
// them all, and the bands around it are built anew between the circles that remain.
//
// Which shapes are kept depends only on the outline and the clip's reach, and each pixel's
// coverage only on the shapes, so a stroke rendered in tiles is the stroke rendered whole.

#include "outline_coverage.h"
#include "pen_outline.h"

#include <vector>

// A world-to-pixel similarity in double precision: circles stay circles of radius r * scale.
struct Similarity {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0, scale = 1;
};

struct PixelOutline {
    std::vector<PixelCircle> circles;
    std::vector<CircleOpening> openings; // one per circle
    std::vector<PixelBand> bands;
};

// Centres of circles closer than this (in pixels) merge when the level of detail is on.
inline constexpr double kMergeDistance = 0.5;

// Fills `out` with the shapes of `outline` that can reach a pixel of `clip`; `merge` turns
// the level of detail on. Shapes that are not finite are left out, as by the reference.
void make_pixel_outline(const PenOutline& outline, const Similarity& m, const PixelSpan& clip,
                        bool merge, PixelOutline& out);
// Covers the shapes into the block, each combined by maximum.
void cover_outline(CoverageBlock& block, const PixelOutline& outline);
