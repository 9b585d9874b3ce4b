#pragma once

#include "document_file.h"

inline constexpr int kStrokes = 10000;
inline constexpr int kSamplesPerStroke = 100;

const DocumentData& large_drawing();
