#pragma once

#include "document_file.h"

#include <random>

inline constexpr int kStrokes = 10000;
inline constexpr int kSamplesPerStroke = 100;

const DocumentData& large_drawing();

// A pen stroke's samples as simplify leaves them, wandering from a random start in the
// 2000 x 1500 area: the strokes of the drawing above, at any length.
PenPoints wandering_stroke(std::mt19937& random, int samples);
