#pragma once

// The slow, plain reference for filling a pen outline: how much of each pixel the union of
// the outline's circles and bands covers, found by testing many points of the pixel
// against every shape in world coordinates, and the picture that coverage paints.
// QPainter is no exact reference for this union: where shapes overlap inside one edge
// pixel it adds their coverages, so its stroke edges come out heavier than the union.

#include "bitmap.h"
#include "pen_outline.h"

#include <vector>

// Coverage 0..1 of every pixel (row-major) under the bitmap's transformation, from
// samples x samples points per pixel.
std::vector<float> union_coverage(const Bitmap& bitmap, const PenOutline& outline,
                                  int samples = 16);

// Paints the premultiplied colour scaled by each pixel's coverage (to the nearest 1/255)
// over the bitmap with paint_over.
void paint_coverage(Bitmap& bitmap, const std::vector<float>& coverage, color_ns::Color color);
