#pragma once

// Row loops that apply one transfer operation along a run of pixels in memory order
// R, G, B, A. Each is the exact pixel operation of transfer_ops.h applied pixel by pixel;
// the loops are compiled for several instruction sets and the fastest one the processor
// runs is chosen at run time. Every variant can be asked for by name, so that tests hold
// each against the exact operation, not only the one this machine happens to pick.

#include "color.h"

#include <cstdint>
#include <vector>

// dest[i] = op(dest[i], source[i]) for n pixels.
using RowOp = void (*)(std::uint32_t* dest, const std::uint32_t* source, int n);
// out[i] = source[i] with every channel scaled by o/255 (o in 0..255).
using ScaleRowOp = void (*)(std::uint32_t* out, const std::uint32_t* source, int n, int o);

enum class RowVariant {
    Scalar,   // one pixel at a time, never vectorised
    Baseline, // vectorised for the instruction set every processor of the build target has
    Avx2,     // vectorised for AVX2 (x86-64 only)
};

// The variants this build holds and this processor can run, fastest last.
std::vector<RowVariant> row_variants();
const char* row_variant_name(RowVariant v);

// The row loop of a mode in the fastest variant, or null for a number outside the table.
RowOp row_op(int mode);
// The row loop of a mode in the given variant; null for an unknown mode or a variant that
// this build or processor lacks.
RowOp row_op(int mode, RowVariant v);
// The opacity scaling in the fastest variant, or in the given one (null when it is lacking).
void scale_row(std::uint32_t* out, const std::uint32_t* source, int n, int o);
ScaleRowOp scale_row_op(RowVariant v);
