// Bitmaps, the canvas, paths and the work pool: sizes, spans, transfers, transformations,
// parts painted apart, winding rules and the bounds a path reports.

#include "bitmap.h"
#include "canvas.h"
#include "context_wrapper.h"
#include "path.h"
#include "pen_outline.h"
#include "pictures.h"
#include "work_pool.h"

#include <QPainterPath>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace color_ns;

constexpr float kNaN = NAN, kInf = INFINITY;

TEST(Bitmap, SizeTruncatesAndRefusesTheImpossible)
{
    auto bm = Bitmap::create({10.7f, 5.2f});
    ASSERT_TRUE(bm);
    EXPECT_EQ((std::pair{bm->width(), bm->height()}), (std::pair{10, 5}));
    for (const Size bad : {Size{-1, 10}, Size{kNaN, 10}, Size{1e9f, 1e9f}})
        EXPECT_FALSE(Bitmap::create(bad));
    // Nothing may touch the buffer of a bitmap without pixels.
    auto empty = Bitmap::create({0, 100}), other = Bitmap::create({0, 100});
    ASSERT_TRUE(empty && empty->isEmpty());
    empty->fillRect(make_rect(0, 0, 50, 50), RED);
    empty->flipY();
    empty->transferRect(make_rect(0, 0, 10, 10), *other, kModeNormal, 1.0f);
    empty->copyRect(make_rect(0, 0, 10, 10), *other);
    EXPECT_TRUE(empty->colorAt({3, 3}) == TRANSPARENT && !empty->cgContext().painter());
}

TEST(Bitmap, RowZeroIsTheTopRowInMemoryForQt)
{
    auto bm = filled_bitmap(4, 3, TRANSPARENT);
    bm->setPixel(0, 0, RED);
    bm->setPixel(3, 2, BLUE);
    EXPECT_EQ(bm->image().constBits()[0], 255); // red channel of the first pixel in memory
    EXPECT_EQ(bm->image().pixelColor(3, 2), QColor(Qt::blue));
    bm->setPixel(1, 1, GREEN);
    bm->flipY(); // the middle row of an odd height stays
    EXPECT_EQ(rows_of(*bm), (QStringList{"...#", ".#..", "#..."}));
}

// Spans hold both ends; rectangles off the bitmap clamp to its nearest edge, unusable ones
// touch nothing.
TEST(Bitmap, SpansIncludeBothEndsAndClampSafely)
{
    const QStringList none = {"....", "....", "....", "...."};
    const std::pair<Rect, QStringList> rows[] = {
        {make_rect(0, 0, 2, 1), {"###.", "###.", "....", "...."}},
        {make_rect(0.5f, 1.2f, 1.0f, 0.3f), {"....", "###.", "###.", "...."}},
        {make_rect(-1e30f, -1e30f, 3e30f, 3e30f), {"####", "####", "####", "####"}},
        {make_rect(20, 1, 3, 0), {"....", "...#", "....", "...."}},
        {make_rect(kNaN, 0, 2, 2), none},
        {make_rect(0, 0, kInf, 2), none},
        {make_rect(-kInf, 0, 2, 2), none},
    };
    for (const auto& [r, want] : rows) {
        auto bm = filled_bitmap(4, 4, TRANSPARENT);
        bm->fillRect(r, RED);
        EXPECT_EQ(rows_of(*bm), want) << r.minX() << "," << r.minY();
    }
}

// The loops themselves are held against the exact operations elsewhere; here, which pixels a
// transfer reaches and how the opacity is taken.
TEST(Bitmap, TransferTakesTheSpanAndTheOpacity)
{
    auto source = filled_bitmap(6, 5, make(200, 100, 0, 200));
    auto dest = filled_bitmap(6, 5, TRANSPARENT);
    source->transferRect(make_rect(1.5f, 1.2f, 2.1f, 1.5f), *dest, kModeNormal, 1.0f);
    EXPECT_EQ(rows_of(*dest), (QStringList{"......", ".####.", ".####.", ".####.", "......"}));
    // clang-format off
    const std::tuple<int, float, Color> rows[] = {
        {kModeNormal, 0.5f, make(255, 205, 155, 255)}, {kModeErase, 0.5f, make(155, 155, 155, 155)},
        {kModeNormal, 3.0f, make(255, 155, 55, 255)}, {kModeNormal, kNaN, WHITE}, {kModeNormal, -2.0f, WHITE},
        {kModeMultiply, 0.0f, WHITE}, {-1, 1.0f, WHITE}, {kTransferModeCount, 1.0f, WHITE},
    };
    // clang-format on
    for (const auto& [mode, opacity, want] : rows) {
        auto white = filled_bitmap(6, 5, WHITE);
        source->transferRect(make_rect(0, 0, 1, 1), *white, mode, opacity);
        EXPECT_EQ(white->pixelAt(0, 0), want) << "mode " << mode << " opacity " << opacity;
    }
}

TEST(Bitmap, TransformationsRoundTripAndRefuseSingularOnes)
{
    auto bm = filled_bitmap(10, 10, TRANSPARENT);
    const AffineTransform t{2, 0.5f, -0.25f, 1.5f, 10, -4};
    ASSERT_TRUE(bm->setTransform(t));
    const Point back = bm->bitmapPointToWorldPoint(bm->worldPointToBitmapPoint({3.25f, -7.5f}));
    EXPECT_NEAR(length(back - Point{3.25f, -7.5f}), 0, 1e-4);
    EXPECT_FALSE(bm->setTransform({0, 0, 0, 0, 0, 0}) || bm->setTransform({kNaN, 0, 0, 1, 0, 0}) ||
                 bm->setTransform({1, 0, 0, 1, kInf, 0}) || bm->scale(0) || bm->scale(kNaN) ||
                 bm->translate({kInf, 0}) || bm->rotate(kNaN));
    EXPECT_EQ(bm->transform(), t);
}

// The three layers always share the draw layer's transformation, and a refused change
// leaves it as it was.
TEST(Canvas, LayersShareOneTransformationAndRefuseBadOnes)
{
    auto canvas = PavoCanvas::create({200, 100});
    ASSERT_TRUE(canvas);
    const auto shared = [&] {
        return canvas->strokeBitmap().transform() == canvas->transform() &&
               canvas->previewBitmap().transform() == canvas->transform();
    };
    EXPECT_TRUE(canvas->scale(1.5f) && canvas->rotateAroundPoint({10, 10}, 0.3f) &&
                canvas->translate({4, -2}) && shared());
    const AffineTransform before = canvas->transform();
    EXPECT_FALSE(canvas->setTransform({1, 2, 2, 4, 0, 0}) || canvas->scale(0) ||
                 canvas->zoomToPoint({10, 10}, NAN) || canvas->rotate(INFINITY));
    EXPECT_EQ(canvas->transform(), before);
    EXPECT_TRUE(canvas->setTransform({2, 0, 0, 2, 1, 1}) && shared());
    EXPECT_FALSE(PavoCanvas::create({-5, 5}));
}

TEST(Bitmap, APartPaintsOnlyItsSpanAndExactlyAsTheWhole)
{
    // A circle and a path through the painter cover the whole picture; the parts of a
    // second picture, painted one by one, must give it pixel for pixel and touch nothing else.
    const AffineTransform t = AffineTransform::rotation(0.3f).after(AffineTransform::translation(3.25f, -1.5f));
    const auto paint = [](Bitmap& b) {
        b.cgContext().setFillColor(QColor(20, 90, 200, 180));
        Path(QPainterPath()).fillInContext(b.cgContext(), kNonZero);
        QPainterPath p;
        p.addEllipse(QPointF(30, 22), 25, 17);
        Path(p).fillInContext(b.cgContext(), kNonZero);
    };
    auto whole = filled_bitmap(61, 45, TRANSPARENT, t);
    paint(*whole);
    auto parts = filled_bitmap(61, 45, TRANSPARENT, t);
    for (const PixelSpan& s : {PixelSpan{0, 60, 0, 9}, PixelSpan{0, 29, 10, 44}, PixelSpan{30, 60, 10, 44}}) {
        auto part = Bitmap::partOf(*parts, s);
        ASSERT_TRUE(part);
        paint(*part);
    }
    EXPECT_TRUE(matches_reference(parts->image(), whole->image(), QStringLiteral("bitmap-parts")));
    // However far a rectangle reaches, a part fills only its own pixels.
    auto part = Bitmap::partOf(*parts, {5, 9, 20, 21});
    part->fillRect(make_rect(-100, -100, 1000, 1000), RED);
    part->fill(RED);
    EXPECT_EQ(filled_bounds(*parts).size.width, filled_bounds(*whole).size.width);
    int red = 0;
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 61; ++x) red += parts->pixelAt(x, y) == RED;
    EXPECT_EQ(red, 10);
    EXPECT_FALSE(Bitmap::partOf(*whole, {50, 61, 0, 3}));
    EXPECT_FALSE(Bitmap::scratchPartOf(*whole, {3, 2, 0, 3}));
}

TEST(WorkPool, EveryPartRunsOnceWhateverTheCallers)
{
    // Two callers at once (an export beside a view render) and a call from inside a part.
    std::vector<std::atomic<int>> runs(400);
    const auto count = [&](int base) {
        run_parts(200, [&](int i) {
            if (i == 7) run_parts(3, [](int) {});
            ++runs[std::size_t(base + i)];
        });
    };
    std::thread other([&] { count(200); });
    count(0);
    other.join();
    EXPECT_TRUE(std::all_of(runs.begin(), runs.end(), [](const std::atomic<int>& r) { return r == 1; }));
    EXPECT_GE(core_count(), 1);
}

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
