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
    for (const auto& [rule, want] :
         {std::pair{kNonZero, QStringList{"........", ".######.", ".######.", ".######.",
                                          ".######.", ".######.", ".######.", "........"}},
          {kEvenOdd, QStringList{"........", ".######.", ".######.", ".##..##.", ".##..##.",
                                 ".######.", ".######.", "........"}}}) {
        auto bm = Bitmap::create({8, 8});
        EXPECT_EQ(Path(nested).fillInContext(bm->cgContext(), rule), make_rect(1, 1, 6, 6));
        EXPECT_EQ(rows_of(*bm), want) << rule;
    }
    auto bm = Bitmap::create({8, 8});
    EXPECT_EQ(Path(QPainterPath()).fillInContext(bm->cgContext(), kNonZero), Rect{});
    EXPECT_EQ(filled_bounds(*bm), Rect{});

    QPainterPath segment;
    segment.moveTo(0, 0);
    segment.lineTo(10, 0);
    bm->cgContext().setLineWidth(3);
    EXPECT_EQ(Path(segment).strokeInContext(bm->cgContext()),
              make_rect(-3, -3, 16, 6)); // grown by the width
}

TEST(Path, ElementsSurviveConversion)
{
    QPainterPath q;
    q.moveTo(1, 2);
    q.lineTo(3, 4);
    q.cubicTo(5, 6, 7, 8, 9, 10);
    const Path path(q);
    ASSERT_EQ(path.elements().size(), 3u);
    EXPECT_EQ((std::array{path.elements()[0].element, path.elements()[1].element,
                          path.elements()[2].element}),
              (std::array{int(kMoveTo), int(kLineTo), int(kCurveTo)}));
    EXPECT_EQ(path.elements()[2].p[2], (Point{9, 10}));
    EXPECT_TRUE(path.isFinite());
    const QPainterPath back = path.toQPainterPath();
    ASSERT_EQ(back.elementCount(), q.elementCount());
    for (int i = 0; i < q.elementCount(); ++i) {
        EXPECT_EQ(back.elementAt(i).type, q.elementAt(i).type);
        EXPECT_EQ(QPointF(back.elementAt(i)), QPointF(q.elementAt(i)));
    }
    // Unknown element kinds add nothing; a NaN point makes the path non-finite.
    EXPECT_EQ(Path({{kMoveTo, {{0, 0}}}, {17, {{5, 5}}}, {kLineTo, {{4, 1}}}})
                  .toQPainterPath()
                  .elementCount(),
              2);
    EXPECT_FALSE(Path({{kMoveTo, {{0, 0}}}, {kLineTo, {{std::nanf(""), 1}}}}).isFinite());
}

// Painted pixels must lie in the span of the returned bounds, or the view leaves them stale.
::testing::AssertionResult painted_within(const Bitmap& bm, const Rect& world)
{
    const PixelSpan span = bm.span(bm.worldRectToBitmapRect(world));
    const Rect painted = filled_bounds(bm);
    if (is_empty(painted)) return ::testing::AssertionSuccess();
    const int x0 = int(painted.minX()), y0 = int(painted.minY());
    const int x1 = int(painted.maxX()) - 1, y1 = int(painted.maxY()) - 1;
    if (x0 >= span.x0 && x1 <= span.x1 && y0 >= span.y0 && y1 <= span.y1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "painted " << x0 << "," << y0 << " to " << x1 << ","
                                         << y1 << " outside " << span.x0 << "," << span.y0
                                         << " to " << span.x1 << "," << span.y1;
}

TEST(Path, ReturnedBoundsCoverEveryPaintedPixel)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> pos(-60, 80);
    std::uniform_real_distribution<float> turn(0, 6.3f);
    for (int round = 0; round < 20; ++round) {
        auto bm = Bitmap::create({100, 100});
        ASSERT_TRUE(bm->setTransform(AffineTransform::rotation(turn(rng))
                                         .after(AffineTransform::scaling(0.7f, 0.7f))));
        ASSERT_TRUE(bm->translate({40, 40}));
        QPainterPath q;
        append_circle(q, {pos(rng), pos(rng)}, 9.3f);
        q.addPath(square(pos(rng), pos(rng), 13.7f));
        EXPECT_TRUE(painted_within(*bm, Path(q).fillInContext(bm->cgContext(), kNonZero)));
    }
    // Strokes at any width a script or a file may give.
    QPainterPath segment;
    segment.moveTo(5, 5);
    segment.lineTo(15, 9);
    for (const float zoom : {1.0f, 0.3f})
        for (const float width : {0.0f, 0.3f, 4.0f, -3.0f, std::nanf(""), INFINITY, 1e30f}) {
            auto bm = Bitmap::create({20, 20});
            ASSERT_TRUE(bm->scale(zoom));
            bm->cgContext().setLineWidth(width);
            const Rect r = Path(segment).strokeInContext(bm->cgContext());
            EXPECT_TRUE(painted_within(*bm, r)) << "width " << width << " zoom " << zoom;
        }
}
