#include "gap_closing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kFar = std::numeric_limits<int>::max() / 4;

// For each cell, the distance along its row to the nearest set cell (kFar when none).
std::vector<int> row_distances(const CellGrid& grid)
{
    std::vector<int> d(grid.cells.size(), kFar);
    for (int y = 0; y < grid.height; ++y) {
        int* row = d.data() + std::size_t(y) * std::size_t(grid.width);
        int last = -kFar;
        for (int x = 0; x < grid.width; ++x) {
            if (grid.at(x, y)) last = x;
            row[x] = x - last;
        }
        last = kFar;
        for (int x = grid.width - 1; x >= 0; --x) {
            if (grid.at(x, y)) last = x;
            row[x] = std::min(row[x], last - x);
        }
    }
    return d;
}

struct Span {
    int x0, y0, x1, y1; // inclusive
};

// The pixels of `found` and `margin` around it, within the bitmap.
Span grid_span(const Bitmap& mask, const Rect& found, int margin)
{
    const auto whole = [](float v) { return int(std::floor(v)); };
    return {std::max(0, whole(found.minX()) - margin), std::max(0, whole(found.minY()) - margin),
            std::min(mask.width() - 1, whole(found.maxX()) + margin),
            std::min(mask.height() - 1, whole(found.maxY()) + margin)};
}

} // namespace

CellGrid grown_cells(const CellGrid& grid, float radius)
{
    if (!(radius >= 0)) return grid;
    const std::vector<int> across = row_distances(grid);
    const double limit = double(radius) * double(radius);
    const int reach = int(std::floor(radius));
    CellGrid out{grid.width, grid.height, std::vector<std::uint8_t>(grid.cells.size(), 0)};
    // A cell is reached from a set cell dy rows away whose row distance dx has
    // dx² + dy² within the radius², so only rows within the radius are consulted.
    for (int y = 0; y < grid.height; ++y) {
        const int first = std::max(0, y - reach), last = std::min(grid.height - 1, y + reach);
        for (int x = 0; x < grid.width; ++x) {
            for (int row = first; row <= last; ++row) {
                const double dx = across[std::size_t(row) * std::size_t(grid.width) + std::size_t(x)];
                const double dy = row - y;
                if (dx * dx + dy * dy <= limit) {
                    out.at(x, y) = 1;
                    break;
                }
            }
        }
    }
    return out;
}

CellGrid connected_cells(const CellGrid& grid, int x, int y)
{
    CellGrid out{grid.width, grid.height, std::vector<std::uint8_t>(grid.cells.size(), 0)};
    const auto inside = [&grid](int cx, int cy) { return cx >= 0 && cy >= 0 && cx < grid.width && cy < grid.height; };
    if (!inside(x, y) || !grid.at(x, y)) return out;
    std::vector<std::pair<int, int>> todo{{x, y}};
    out.at(x, y) = 1;
    while (!todo.empty()) {
        const auto [cx, cy] = todo.back();
        todo.pop_back();
        for (const auto& [nx, ny] : {std::pair{cx + 1, cy}, {cx - 1, cy}, {cx, cy + 1}, {cx, cy - 1}}) {
            if (!inside(nx, ny) || !grid.at(nx, ny) || out.at(nx, ny)) continue;
            out.at(nx, ny) = 1;
            todo.push_back({nx, ny});
        }
    }
    return out;
}

Rect close_gaps(Bitmap& mask, const Rect& found, int x, int y, float radius)
{
    if (!(radius > 0) || mask.isEmpty() || !finite(found)) return found;
    // The margin lets the area beyond the region's edge grow into it. Pixels beyond the
    // canvas are no wall: an opening at the canvas's edge stays as wide as it looks.
    const Span s = grid_span(mask, found, int(std::ceil(radius)) + 1);
    const int w = s.x1 - s.x0 + 1, h = s.y1 - s.y0 + 1;
    CellGrid outside{w, h, std::vector<std::uint8_t>(std::size_t(w) * std::size_t(h), 0)};
    for (int gy = 0; gy < h; ++gy)
        for (int gx = 0; gx < w; ++gx) outside.at(gx, gy) = color_ns::alpha(mask.pixelAt(s.x0 + gx, s.y0 + gy)) == 0;

    CellGrid free = grown_cells(outside, radius);
    for (std::uint8_t& c : free.cells) c = !c;
    const CellGrid reached = connected_cells(free, x - s.x0, y - s.y0);
    if (!reached.at(x - s.x0, y - s.y0)) return found;
    CellGrid kept = grown_cells(reached, radius);
    for (std::size_t i = 0; i < kept.cells.size(); ++i) kept.cells[i] &= !outside.cells[i];
    // Growing back may reach round the corner of a thin wall; only the click's side counts.
    kept = connected_cells(kept, x - s.x0, y - s.y0);

    int min_x = w, min_y = h, max_x = -1, max_y = -1;
    for (int gy = 0; gy < h; ++gy)
        for (int gx = 0; gx < w; ++gx) {
            if (kept.at(gx, gy)) {
                min_x = std::min(min_x, gx), max_x = std::max(max_x, gx);
                min_y = std::min(min_y, gy), max_y = std::max(max_y, gy);
            } else if (!outside.at(gx, gy)) {
                mask.setPixel(s.x0 + gx, s.y0 + gy, color_ns::TRANSPARENT);
            }
        }
    return make_rect(float(s.x0 + min_x), float(s.y0 + min_y), float(max_x - min_x + 1), float(max_y - min_y + 1));
}
