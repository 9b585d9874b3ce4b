#include "gap_closing.h"
#include "pictures.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// Two rooms joined by a corridor `corridor` pixels wide, all flooded, with an unflooded
// margin around them: the left room spans x 2..9, the corridor 10..13, the right room 14..21.
std::unique_ptr<Bitmap> two_rooms(int corridor)
{
    QStringList rows;
    for (int y = 0; y < 12; ++y) {
        QString row(24, u'.');
        const bool room_row = y >= 2 && y <= 9, corridor_row = y >= 6 - corridor / 2 && y < 6 - corridor / 2 + corridor;
        for (int x = 2; x <= 21; ++x)
            if (room_row && (x <= 9 || x >= 14 || corridor_row)) row[x] = u'#';
        rows << row;
    }
    return bitmap_from_rows(rows);
}

} // namespace

// Whether the right room stays in the fill after closing gaps from a click at (x, y); the
// left room keeps the pixels along its wall, so the fill still meets it.
TEST(GapClosing, OpeningsNarrowerThanTwiceTheRadiusClose)
{
    const struct {
        int corridor;
        float radius;
        int x, y;
        bool right_room;
    } rows[] = {
        {2, 1.5f, 5, 5, false}, {3, 1.5f, 5, 5, true}, {1, 0.5f, 5, 5, true}, {1, 1, 5, 5, false},
        {4, 0, 5, 5, true},     {4, 2.5f, 5, 5, false}, {2, 1.5f, 18, 5, true},
        // A click in the corridor itself is too close to the walls to pass anything.
        {2, 1.5f, 11, 6, true},
    };
    for (const auto& row : rows) {
        auto mask = two_rooms(row.corridor);
        const Rect found = filled_bounds(*mask);
        const Rect kept = close_gaps(*mask, found, row.x, row.y, row.radius);
        const auto where = ::testing::Message() << "corridor " << row.corridor << " radius " << row.radius << "\n"
                                                << rows_of(*mask).join(u'\n').toStdString();
        EXPECT_EQ(color_ns::alpha(mask->pixelAt(17, 4)) != 0, row.right_room) << where;
        EXPECT_NE(color_ns::alpha(mask->pixelAt(row.x < 12 ? 2 : 21, 5)), 0) << where;
        EXPECT_EQ(kept, filled_bounds(*mask)) << where;
    }
}

// Growth reaches exactly the cells within the radius of a set cell.
TEST(GapClosing, GrownCellsMatchTheDistances)
{
    std::mt19937 random(7);
    CellGrid grid{23, 17, std::vector<std::uint8_t>(23 * 17)};
    for (auto& c : grid.cells) c = random() % 19 == 0;
    for (const float radius : {0.0f, 1.0f, 1.5f, 2.9f, 4.0f}) {
        const CellGrid grown = grown_cells(grid, radius);
        for (int y = 0; y < grid.height; ++y)
            for (int x = 0; x < grid.width; ++x) {
                bool near = false;
                for (int sy = 0; sy < grid.height; ++sy)
                    for (int sx = 0; sx < grid.width; ++sx)
                        near |= grid.at(sx, sy) && float((sx - x) * (sx - x) + (sy - y) * (sy - y)) <= radius * radius;
                ASSERT_EQ(bool(grown.at(x, y)), near) << x << "," << y << " radius " << radius;
            }
    }
}
