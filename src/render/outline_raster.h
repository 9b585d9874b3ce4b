#pragma once

// Fills a pen outline into a bitmap. Two routes draw the same shape:
//  - the general route builds the outline's path and lets QPainter fill it;
//  - the coverage route computes anti-aliased coverage of the circles and bands directly,
//    row by row over the pixels they cover (combined by maximum: the coverage of their
//    union), and paints the colour with that coverage.
// The coverage route is many times faster and is used whenever the bitmap's
// transformation keeps circles round. Inside a stroke both give the same pixels; at its
// edges QPainter adds up the coverage of shapes that overlap within one pixel, so its
// edges come out a little heavier than the union's. The tests hold the coverage route to
// an exact union and to QPainter inside.

#include "color.h"
#include "pen_outline.h"

class Bitmap;

enum class OutlineRoute { Painter, Coverage };

// Paints `outline` (world coordinates) in the premultiplied colour over the bitmap's pixels
// under its current transformation, and returns the outline's world bounds: the circles'
// boxes and the band corners. Every pixel written lies in the pixel span of those bounds.
// Shapes that are not finite, and circles with a negative radius, are left out of both.
// The coverage route falls back to the painter when the transformation is not a similarity.
Rect fill_outline(Bitmap& target, const PenOutline& outline, color_ns::Color color,
                  OutlineRoute route = OutlineRoute::Coverage);
