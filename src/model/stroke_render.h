#pragma once

// Rendering a drawing's strokes into a canvas. One pass paints them in order, batching
// neighbours that combine into one transfer of the stroke layer; the parallel render does
// the same in parts of the picture on every core, each part painting only the strokes an
// index finds there, and gives the same picture, pixel for pixel.

#include "canvas.h"
#include "stroke.h"

#include <vector>

class StrokeIndex;

// The batch of each stroke: neighbours that combine share one, pictures have their own.
std::vector<int> stroke_batches(const StrokeArray& all);

// Paints the strokes at the given positions of `all` (increasing) into the canvas, as
// painting all of them would paint the canvas's pixels: a batch ends where the batches
// say, whichever of its strokes are painted here. Returns the pixel rectangle painted. Bad
// strokes are skipped, and reported when `report` is true.
Rect paint_strokes(const StrokeArray& all, const std::vector<int>& which,
                   const std::vector<int>& batches, PavoCanvas& canvas, bool report = true);

// Renders the strokes into the pixels of `area`, which must hold the background already,
// in parts on up to `threads` threads (0: every core). Uses the index when given one (it
// must be of these strokes) to find the strokes of each part.
void render_strokes(const StrokeArray& strokes, PavoCanvas& canvas, const PixelSpan& area,
                    const StrokeIndex* index = nullptr, int threads = 0);
