#include "stroke_index.h"

#include <algorithm>
#include <cmath>

namespace {

// The grid is at most this many cells along each side; a stroke covering more than
// kLargeCells of them is kept in a short list instead of in all of them.
constexpr int kGridSide = 64;
constexpr int kLargeCells = 64;

bool meets(const Rect& a, const Rect& b)
{
    return !(a.minX() > b.maxX() || a.maxX() < b.minX() || a.minY() > b.maxY() || a.maxY() < b.minY());
}

bool paints_beyond_bounds(const Stroke& s)
{
    return s.isImage() || s.drawAsStroke() || s.bad() || !finite(s.bounds());
}

} // namespace

StrokeIndex::StrokeIndex(const StrokeArray& strokes) : _count(int(strokes.size()))
{
    std::vector<int> placed;
    for (int i = 0; i < _count; ++i) {
        const Stroke& s = *strokes[std::size_t(i)];
        _stroke_bounds.push_back(s.bounds());
        if (paints_beyond_bounds(s)) {
            _everywhere.push_back(i);
            continue;
        }
        _bounds = placed.empty() ? s.bounds() : union_rect(_bounds, s.bounds());
        placed.push_back(i);
    }
    if (placed.empty()) return;
    _columns = _rows = kGridSide;
    _cell_w = std::max(_bounds.size.width / float(_columns), 1e-3f);
    _cell_h = std::max(_bounds.size.height / float(_rows), 1e-3f);
    _cells.resize(std::size_t(_columns) * std::size_t(_rows));
    for (const int i : placed) {
        const Cells c = cellsOf(_stroke_bounds[std::size_t(i)]);
        if ((c.x1 - c.x0 + 1) * (c.y1 - c.y0 + 1) > kLargeCells) {
            _large.push_back(i);
            continue;
        }
        for (int y = c.y0; y <= c.y1; ++y)
            for (int x = c.x0; x <= c.x1; ++x) _cells[std::size_t(y * _columns + x)].push_back(i);
    }
}

StrokeIndex::Cells StrokeIndex::cellsOf(const Rect& r) const
{
    const auto index = [](float v, float origin, float cell, int n) {
        return int(std::clamp(std::floor(double(v - origin) / double(cell)), 0.0, double(n - 1)));
    };
    if (!meets(r, _bounds)) return {0, -1, 0, -1};
    return {index(r.minX(), _bounds.minX(), _cell_w, _columns), index(r.maxX(), _bounds.minX(), _cell_w, _columns),
            index(r.minY(), _bounds.minY(), _cell_h, _rows), index(r.maxY(), _bounds.minY(), _cell_h, _rows)};
}

std::vector<int> StrokeIndex::strokesMeeting(const Rect& world) const
{
    std::vector<int> found = _everywhere;
    if (!finite(world)) {
        for (int i = 0; i < _count; ++i) found.push_back(i);
    } else {
        for (const int i : _large)
            if (meets(_stroke_bounds[std::size_t(i)], world)) found.push_back(i);
        const Cells c = _cells.empty() ? Cells{0, -1, 0, -1} : cellsOf(world);
        for (int y = c.y0; y <= c.y1; ++y)
            for (int x = c.x0; x <= c.x1; ++x)
                for (const int i : _cells[std::size_t(y * _columns + x)])
                    if (meets(_stroke_bounds[std::size_t(i)], world)) found.push_back(i);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}
