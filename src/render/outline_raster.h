#pragma once

// Fills a pen outline into a bitmap. Two routes draw the same picture:
//  - the general route builds the outline's path and lets QPainter fill it;
//  - the coverage route computes anti-aliased coverage of the circles and bands directly,
//    row by row over the pixels they cover (combined by maximum, since the union of the
//    shapes is what the non-zero fill gives), and paints the colour with that coverage.
// The coverage route is several times faster and is used whenever the bitmap's
// transformation keeps circles round; the general route is its reference in the tests.

#include "color.h"
#include "pen_outline.h"

class Bitmap;

enum class OutlineRoute { Painter, Coverage };

// Paints `outline` (world coordinates) in the premultiplied colour over the bitmap's pixels
// under its current transformation, and returns the outline's world bounds. The coverage
// route falls back to the painter when the transformation is not a similarity.
Rect fill_outline(Bitmap& target, const PenOutline& outline, color_ns::Color color,
                  OutlineRoute route = OutlineRoute::Coverage);
