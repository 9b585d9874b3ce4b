#pragma once

// Keeping a flood from leaking through narrow openings: the area outside the flooded
// region is grown by a radius, the click's part of what stays free is kept, and that part
// is grown back by the same radius without leaving the flooded region. Openings narrower
// than twice the radius close; the kept region still reaches the edges it met.

#include "bitmap.h"
#include "geometry.h"

#include <cstdint>
#include <vector>

// One flag per pixel of a rectangle of the canvas, row by row.
struct CellGrid {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> cells;
    std::uint8_t at(int x, int y) const { return cells[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    std::uint8_t& at(int x, int y) { return cells[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// The cells whose centre lies within `radius` of the centre of a set cell (the set cells
// themselves included). A radius below 0 or NaN leaves the grid as it is.
CellGrid grown_cells(const CellGrid& grid, float radius);

// The set cells 4-connected to (x, y); none when that cell is not set or lies outside.
CellGrid connected_cells(const CellGrid& grid, int x, int y);

// Narrows the flooded region of the mask (its non-transparent pixels, all within `found`)
// to the part that the click at pixel (x, y) reaches through openings of at least twice
// `radius`, grown back by the radius inside the region. The pixels dropped become
// transparent. A click too close to the region's edge to pass anything keeps the whole
// region. Returns the bounding box of the region kept.
Rect close_gaps(Bitmap& mask, const Rect& found, int x, int y, float radius);
