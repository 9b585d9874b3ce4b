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

TEST(Path, WindingRulesAndEmptyPaths)
{
    QPainterPath nested = square(1, 1, 6);
    nested.addPath(square(3, 3, 2)); // same direction
                                     // clang-format off
    for (const auto& [rule, want] : {
             std::pair{kNonZero, QStringList{"........", ".######.", ".######.", ".######.", ".######.", ".######.", ".######.", "........"}},
             {kEvenOdd, QStringList{"........", ".######.", ".######.", ".##..##.", ".##..##.", ".######.", ".######.", "........"}}}) {
        // clang-format on
        auto bm = Bitmap::create({8, 8});
        EXPECT_EQ(Path(nested).fillInContext(bm->cgContext(), rule), make_rect(1, 1, 6, 6));
        EXPECT_EQ(rows_of(*bm), want) << rule;
    }
    auto bm = Bitmap::create({8, 8});
    EXPECT_EQ(Path(QPainterPath()).fillInContext(bm->cgContext(), kNonZero), Rect{});
    EXPECT_EQ(filled_bounds(*bm), Rect{});
}

// Stored fills keep their path as elements: each kind and point comes back; unknown kinds
// add nothing and a NaN point makes the path non-finite.
TEST(Path, ElementsSurviveConversion)
{
    QPainterPath q;
    q.moveTo(1, 2);
    q.lineTo(3, 4);
    q.cubicTo(5, 6, 7, 8, 9, 10);
    const Path path(q);
    ASSERT_EQ(path.elements().size(), 3u);
    EXPECT_EQ(path.elements()[2].element, int(kCurveTo));
    EXPECT_EQ(path.elements()[2].p[2], (Point{9, 10}));
    EXPECT_TRUE(path.isFinite());
    const QPainterPath back = path.toQPainterPath();
    ASSERT_EQ(back.elementCount(), q.elementCount());
    for (int i = 0; i < q.elementCount(); ++i) {
        EXPECT_EQ(back.elementAt(i).type, q.elementAt(i).type);
        EXPECT_EQ(QPointF(back.elementAt(i)), QPointF(q.elementAt(i)));
    }
    const Path odd({{kMoveTo, {{0, 0}}}, {17, {{5, 5}}}, {kLineTo, {{4, 1}}}});
    EXPECT_EQ(odd.toQPainterPath().elementCount(), 2);
    EXPECT_FALSE(Path({{kMoveTo, {{0, 0}}}, {kLineTo, {{NAN, 1}}}}).isFinite());
}

// Painted pixels must lie in the span of the returned bounds, or the view leaves them stale:
// fills under turned views, and strokes at any width a script or a file may give.
TEST(Path, ReturnedBoundsCoverEveryPaintedPixel)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> pos(-60, 80), turn(0, 6.3f);
    for (int round = 0; round < 20; ++round) {
        auto bm =
            filled_bitmap(100, 100, TRANSPARENT,
                          AffineTransform::rotation(turn(rng)).after({0.7f, 0, 0, 0.7f, 0, 0}));
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
                << "width " << width << " zoom " << zoom;
        }
}
