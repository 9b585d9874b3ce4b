#pragma once

// Where the strokes of a drawing lie: a grid over the drawing's bounds whose cells list the
// strokes whose bounds meet them, so that a render of a strip of the view looks only at the
// strokes that can paint there, not at every stroke of the drawing.

#include "stroke.h"

#include <vector>

class StrokeIndex {
public:
    explicit StrokeIndex(const StrokeArray& strokes);

    // The positions, in drawing order, of the strokes whose marks may reach the world
    // rectangle. Strokes that may paint beyond their bounds (lines, whose joins reach out;
    // pictures; bounds that are not finite) are always among them.
    std::vector<int> strokesMeeting(const Rect& world) const;
    int size() const { return _count; }

private:
    struct Cells {
        int x0, x1, y0, y1;
        bool empty() const { return x1 < x0 || y1 < y0; }
    };
    Cells cellsOf(const Rect& r) const;

    int _count = 0;
    Rect _bounds;             // of every stroke placed in the grid
    int _columns = 0, _rows = 0;
    float _cell_w = 1, _cell_h = 1;
    std::vector<std::vector<int>> _cells; // row-major
    std::vector<Rect> _stroke_bounds;
    std::vector<int> _everywhere; // met by every rectangle
    std::vector<int> _large;      // too large for the cells: checked one by one
};
