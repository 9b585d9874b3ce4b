#pragma once

// Row loops that apply one transfer operation along a run of pixels in memory order
// R, G, B, A. Each is the exact pixel operation of transfer_ops.h applied pixel by pixel;
// they are compiled for vector units where the machine has them, and "normal", the most
// common transfer, has a branch-free form that a test compares with the exact operation.

#include "color.h"

#include <cstdint>

// dest[i] = op(dest[i], source[i]) for n pixels.
using RowOp = void (*)(std::uint32_t* dest, const std::uint32_t* source, int n);

// The row loop of a mode, or null for a number outside the table.
RowOp row_op(int mode);
// out[i] = source[i] with every channel scaled by o/255 (o in 0..255).
void scale_row(std::uint32_t* out, const std::uint32_t* source, int n, int o);
