#pragma once

// Where strokes and pictures brought into a drawing land: the geometry of paste, placing a
// picture and placing a drawing, as plain functions of sizes and transformations.

#include "affine_transform.h"
#include "geometry.h"
#include "result.h"

// The on-screen size of a picture placed in a view: as it is when it fits with a margin of
// 10 view pixels on each side, else scaled down to fit, its proportions kept.
Size fit_picture_in_view(Size picture, Size view);

// Moves copied strokes from the view of their copying into the drawing: `bounds` is their
// extent in that view's pixels; they come to the middle of a view of size `view` at the same
// on-screen size and angle, then into world coordinates through the view's transformation.
Result<AffineTransform> paste_placement(const Rect& bounds, Size view,
                                        const AffineTransform& viewTransform);

// Puts a drawing whose strokes span `bounds` (its own world coordinates) centred on the world
// point `at`, its limiting side `scale` times the visible extent `visible` (world units).
// Fails for bounds without width or height, which no scale can fit.
Result<AffineTransform> drawing_placement(const Rect& bounds, Point at, Size visible, float scale);
