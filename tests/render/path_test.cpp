#include "bitmap.h"
#include "context_wrapper.h"
#include "path.h"
#include "pen_outline.h"
#include "pictures.h"

#include <QPainterPath>
#include <gtest/gtest.h>
#include <random>

using namespace color_ns;

namespace {

QPainterPath square(float x, float y, float side)
{
    QPainterPath p;
    p.addRect(QRectF(x, y, side, side));
    return p;
}

} // namespace

TEST(Path, WindingRules)
{
    QPainterPath nested = square(1, 1, 4);
    nested.addPath(square(2, 2, 2)); // same direction
    for (const auto& [rule, want] :
         {std::pair{kNonZero, QStringList{"......", ".####.", ".####.", ".####.", ".####."}},
          {kEvenOdd, QStringList{"......", ".####.", ".#..#.", ".#..#.", ".####."}}}) {
        auto bm = Bitmap::create({6, 5});
        EXPECT_EQ(Path(nested).fillInContext(bm->cgContext(), rule), make_rect(1, 1, 4, 4));
        EXPECT_EQ(rows_of(*bm), want) << rule;
    }
}

// Painted pixels must lie in the span of the returned bounds, or the view leaves them stale:
// fills under turned views, and strokes at any width a script or a file may give.
TEST(Path, ReturnedBoundsCoverEveryPaintedPixel)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> pos(-60, 80), turn(0, 6.3f);
    for (int round = 0; round < 20; ++round) {
        const AffineTransform t =
            AffineTransform::rotation(turn(rng)).after({0.7f, 0, 0, 0.7f, 0, 0});
        auto bm = filled_bitmap(100, 100, TRANSPARENT, t);
        ASSERT_TRUE(bm->translate({40, 40}));
        QPainterPath q = square(pos(rng), pos(rng), 13.7f);
        append_circle(q, {pos(rng), pos(rng)}, 9.3f);
        const Rect r = Path(q).fillInContext(bm->cgContext(), kNonZero);
        EXPECT_EQ(changed_outside(*bm, r, TRANSPARENT), 0) << "round " << round;
    }
    QPainterPath segment;
    segment.moveTo(5, 5);
    segment.lineTo(15, 9);
    for (const float zoom : {1.0f, 0.3f})
        for (const float width : {0.0f, 0.3f, 4.0f, -3.0f, NAN, INFINITY, 1e30f}) {
            auto bm = filled_bitmap(20, 20, TRANSPARENT, {zoom, 0, 0, zoom, 0, 0});
            bm->cgContext().setLineWidth(width);
            const Rect r = Path(segment).strokeInContext(bm->cgContext());
            EXPECT_EQ(changed_outside(*bm, r, TRANSPARENT), 0)
                << "width " << width << " at " << zoom;
        }
}
