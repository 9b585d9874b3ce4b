#include "bitmap.h"
#include "context_wrapper.h"
#include "path.h"
#include "pen_outline.h"

#include <QPainterPath>
#include <QTransform>

#include <gtest/gtest.h>

#include <random>

using namespace color_ns;

namespace {

QPainterPath square(float x, float y, float side)
{
    QPainterPath p;
    p.moveTo(x, y);
    p.lineTo(x + side, y);
    p.lineTo(x + side, y + side);
    p.lineTo(x, y + side);
    p.closeSubpath();
    return p;
}

std::unique_ptr<Bitmap> blank(int w, int h)
{
    auto bm = Bitmap::create({float(w), float(h)});
    bm->fill(TRANSPARENT);
    return bm;
}

} // namespace

TEST(Path, WindingRulesOnNestedSquares)
{
    QPainterPath nested = square(2, 2, 16);
    nested.addPath(square(7, 7, 6)); // same direction
    const Path path(nested);
    for (const int rule : {kNonZero, kEvenOdd}) {
        auto bm = blank(20, 20);
        bm->cgContext().setFillColor(Qt::red);
        path.fillInContext(bm->cgContext(), rule);
        EXPECT_EQ(bm->pixelAt(4, 4), RED);
        EXPECT_EQ(bm->pixelAt(10, 10), rule == kNonZero ? RED : TRANSPARENT) << rule;
    }
}

TEST(Path, StrokeBoundsGrowByTheLineWidth)
{
    QPainterPath segment;
    segment.moveTo(0, 0);
    segment.lineTo(10, 0);
    auto bm = blank(20, 20);
    bm->cgContext().setLineWidth(3);
    const Rect r = Path(segment).strokeInContext(bm->cgContext());
    EXPECT_EQ(r, make_rect(-3, -3, 16, 6));
}

TEST(Path, EmptyPathPaintsNothing)
{
    auto bm = blank(8, 8);
    const Path empty{QPainterPath()};
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.fillInContext(bm->cgContext(), kNonZero), Rect{});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(bm->pixelAt(x, y), TRANSPARENT);
}

TEST(Path, ElementsSurviveConversion)
{
    QPainterPath q;
    q.moveTo(1, 2);
    q.lineTo(3, 4);
    q.cubicTo(5, 6, 7, 8, 9, 10);
    const Path path(q);
    ASSERT_EQ(path.elements().size(), 3u);
    EXPECT_EQ(path.elements()[1].element, kLineTo);
    EXPECT_EQ(path.elements()[2].element, kCurveTo);
    EXPECT_EQ(path.elements()[2].p[2], (Point{9, 10}));
    EXPECT_TRUE(path.isFinite());
    const QPainterPath back = path.toQPainterPath();
    ASSERT_EQ(back.elementCount(), q.elementCount());
    for (int i = 0; i < q.elementCount(); ++i) {
        EXPECT_EQ(back.elementAt(i).type, q.elementAt(i).type);
        EXPECT_EQ(QPointF(back.elementAt(i)), QPointF(q.elementAt(i)));
    }

    // Unknown element kinds add nothing; a NaN point makes the path non-finite.
    const Path odd({{kMoveTo, {{0, 0}}}, {17, {{5, 5}}}, {kLineTo, {{4, 1}}}});
    EXPECT_TRUE(odd.isFinite());
    EXPECT_EQ(odd.toQPainterPath().elementCount(), 2);
    EXPECT_FALSE(Path({{kMoveTo, {{0, 0}}}, {kLineTo, {{std::nanf(""), 1}}}}).isFinite());
}

TEST(Path, ReturnedBoundsCoverEveryPaintedPixel)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> pos(-20, 120);
    std::uniform_real_distribution<float> turn(0, 6.3f);
    for (int round = 0; round < 20; ++round) {
        auto bm = blank(100, 100);
        ASSERT_TRUE(bm->setTransform(AffineTransform::rotation(turn(rng))
                                         .after(AffineTransform::scaling(0.7f, 0.7f))));
        ASSERT_TRUE(bm->translate({40, 40}));
        QPainterPath q;
        append_circle(q, {pos(rng) - 40, pos(rng) - 40}, 9.3f);
        q.addPath(square(pos(rng) - 40, pos(rng) - 40, 13.7f));
        bm->cgContext().setFillColor(Qt::black);
        const Rect world = Path(q).fillInContext(bm->cgContext(), kNonZero);
        const PixelSpan span = bm->span(bm->worldRectToBitmapRect(world));
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x)
                if (bm->pixelAt(x, y) != TRANSPARENT) {
                    ASSERT_TRUE(x >= span.x0 && x <= span.x1 && y >= span.y0 && y <= span.y1)
                        << "painted pixel " << x << "," << y << " outside its bounds";
                }
    }
}

TEST(ContextWrapper, SettingsAndTransformConversions)
{
    auto bm = blank(4, 4);
    CGContextWrapper& ctx = bm->cgContext();
    EXPECT_EQ(ctx.lineWidth(), 1.0f);
    EXPECT_EQ(ctx.fillColor(), QColor(Qt::black));
    EXPECT_FALSE(ctx.isDrawingToScreen());
    ctx.setImageInterpolation(7);
    EXPECT_EQ(ctx.imageInterpolation(), 7);
    ctx.setPatternPhase({2, 3});
    EXPECT_EQ(ctx.patternPhase(), (Point{2, 3}));

    const AffineTransform t{1.5f, -2, 0.25f, 4, 7, -9};
    EXPECT_EQ(CGContextWrapper::NSTransformToCGTransform(CGContextWrapper::CGTransformToNSTransform(t)),
              t);
    // The Qt transform maps points the same way as the six-float form.
    const QPointF q = t.toQTransform().map(QPointF(3, 5));
    EXPECT_FLOAT_EQ(float(q.x()), t.apply({3, 5}).x);
    EXPECT_FLOAT_EQ(float(q.y()), t.apply({3, 5}).y);

    // A wrapper on an empty bitmap ignores drawing.
    auto empty = Bitmap::create({0, 0});
    EXPECT_EQ(empty->cgContext().painter(), nullptr);
    Path(square(0, 0, 3)).fillInContext(empty->cgContext(), kNonZero);
}
