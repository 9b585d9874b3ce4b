#pragma once

// Fills a pen outline into a bitmap. The routes draw the same shape:
//  - the general route builds the outline's path and lets QPainter fill it;
//  - the reference coverage route computes anti-aliased coverage of every circle and band
//    directly, row by row over the pixels they cover (combined by maximum: the coverage of
//    their union), and paints the colour with that coverage;
//  - the spans route covers the bands the same way but each circle only where its bands
//    do not reach (outline_spans.h), and the merged route adds the level of detail.
// The coverage routes are many times faster than the painter and are used whenever the
// bitmap's transformation keeps circles round. Inside a stroke all give the same pixels; at
// its edges QPainter adds up the coverage of shapes that overlap within one pixel, so its
// edges come out a little heavier than the union's. The tests hold the reference to an
// exact union and to QPainter inside, and the fast routes to the reference.

#include "color.h"
#include "pen_outline.h"
#include "pixel_span.h"

class Bitmap;

enum class OutlineRoute { Painter, Reference, Spans, Merged };

// Paints `outline` (world coordinates) in the premultiplied colour over the bitmap's pixels
// under its current transformation, and returns the outline's world bounds: the circles'
// boxes and the band corners. Every pixel written lies in the pixel span of those bounds.
// Shapes that are not finite, and circles with a negative radius, are left out of both.
// The coverage route falls back to the painter when the transformation is not a similarity.
Rect fill_outline(Bitmap& target, const PenOutline& outline, color_ns::Color color,
                  OutlineRoute route = OutlineRoute::Merged);
// The same, writing only the pixels of `clip`: each pixel comes out as filling the whole
// outline would leave it, so a picture rendered in tiles equals one rendered whole.
Rect fill_outline(Bitmap& target, const PenOutline& outline, color_ns::Color color,
                  const PixelSpan& clip, OutlineRoute route = OutlineRoute::Merged);
