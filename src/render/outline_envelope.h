#pragma once

// A pen outline's union as one closed path: the left edges of its bands forward, the right
// edges back, joined around the outside of each turn and the two ends by arcs of the
// circles. A file that writes this instead of every circle and band is many times smaller.
//
// Along the inside of a turn the two edges meet by a straight line, which with the non-zero
// rule leaves a small part winding the other way; that is right only where both neighbouring
// bands cover it. Where they do not (a curl tighter than the pen, a circle thinner than both
// neighbours on a short step) the outline ends there with a cap and the next one begins.
// A circle holding its neighbour, or a shape that is not finite, gives no merged outline,
// and the caller keeps the circles and bands.

#include "pen_outline.h"

#include <QPainterPath>

#include <optional>

// `flatness` is how far (in the outline's units) a short arc may be replaced by its chord.
std::optional<QPainterPath> outline_envelope(const PenOutline& outline, double flatness);
