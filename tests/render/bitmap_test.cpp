#include "bitmap.h"
#include "context_wrapper.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace color_ns;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::unique_ptr<Bitmap> filled(int w, int h, Color c)
{
    auto bm = Bitmap::create({float(w), float(h)});
    bm->fill(c);
    return bm;
}

int count_pixels(const Bitmap& bm, Color c)
{
    int n = 0;
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x) n += bm.pixelAt(x, y) == c;
    return n;
}

void fill_random(Bitmap& bm, std::mt19937& rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x) {
            const int a = byte(rng) < 64 ? (byte(rng) < 128 ? 0 : 255) : byte(rng);
            std::uniform_int_distribution<int> ch(0, a);
            bm.setPixel(x, y, make(ch(rng), ch(rng), ch(rng), a));
        }
}

} // namespace

TEST(Bitmap, SizeTruncatesAndRefusesTheImpossible)
{
    auto bm = Bitmap::create({10.7f, 5.2f});
    ASSERT_TRUE(bm);
    EXPECT_EQ(bm->width(), 10);
    EXPECT_EQ(bm->height(), 5);
    EXPECT_EQ(bm->size(), (Size{10.7f, 5.2f}));
    EXPECT_EQ(bm->pixelAt(9, 4), TRANSPARENT); // a new bitmap starts transparent

    EXPECT_FALSE(Bitmap::create({-1, 10}));
    EXPECT_FALSE(Bitmap::create({kNaN, 10}));
    EXPECT_FALSE(Bitmap::create({1e9f, 1e9f}));
    auto empty = Bitmap::create({0, 100});
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
    // Nothing may touch a buffer that holds no pixel.
    empty->fill(RED);
    empty->fillRect(make_rect(0, 0, 50, 50), RED);
    empty->flipY();
    EXPECT_EQ(empty->colorAt({3, 3}), TRANSPARENT);
    auto other = Bitmap::create({0, 100});
    empty->transferRect(make_rect(0, 0, 10, 10), *other, kModeNormal, 1.0f);
    empty->copyRect(make_rect(0, 0, 10, 10), *other);
}

TEST(Bitmap, RowZeroIsTheTopRowInMemoryAndForQt)
{
    auto bm = filled(4, 3, TRANSPARENT);
    bm->setPixel(0, 0, RED);
    bm->setPixel(3, 2, BLUE);
    const auto* bytes = bm->image().constBits();
    EXPECT_EQ(bytes[0], 255); // red channel of the first pixel in memory
    EXPECT_EQ(bm->image().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(bm->image().pixelColor(3, 2), QColor(Qt::blue));

    // QPainter drawing under the identity lands on the same pixel coordinates.
    CGContextWrapper& ctx = bm->cgContext();
    ctx.setShouldAntialias(false);
    ctx.setFillColor(QColor(0, 255, 0));
    ctx.painter()->fillRect(QRectF(1, 1, 1, 1), ctx.painter()->brush());
    EXPECT_EQ(bm->pixelAt(1, 1), GREEN);
    EXPECT_EQ(count_pixels(*bm, GREEN), 1);
}

TEST(Bitmap, FlipYKeepsTheMiddleRowOfAnOddHeight)
{
    auto bm = filled(2, 3, TRANSPARENT);
    bm->setPixel(0, 0, RED);
    bm->setPixel(1, 1, GREEN);
    bm->setPixel(0, 2, BLUE);
    bm->flipY();
    EXPECT_EQ(bm->pixelAt(0, 0), BLUE);
    EXPECT_EQ(bm->pixelAt(1, 1), GREEN);
    EXPECT_EQ(bm->pixelAt(0, 2), RED);
}

TEST(Bitmap, PixelSpanIncludesBothEndsAndClampsSafely)
{
    auto bm = filled(8, 6, TRANSPARENT);
    bm->fillRect(make_rect(0, 0, 2, 2), RED);
    EXPECT_EQ(count_pixels(*bm, RED), 9);
    EXPECT_EQ(bm->pixelAt(2, 2), RED);

    EXPECT_EQ(bm->span(make_rect(0.5f, 1.2f, 1.0f, 0.3f)).width(), 3); // columns 0, 1 and 2
    // Huge finite rectangles clamp to the bitmap; non-finite ones touch nothing.
    const PixelSpan huge = bm->span(make_rect(-1e30f, -1e30f, 3e30f, 3e30f));
    EXPECT_EQ(huge.x0, 0);
    EXPECT_EQ(huge.x1, 7);
    EXPECT_EQ(huge.y1, 5);
    EXPECT_TRUE(bm->span(make_rect(kNaN, 0, 2, 2)).empty());
    EXPECT_TRUE(bm->span(make_rect(0, 0, kInf, 2)).empty());
    EXPECT_TRUE(bm->span(make_rect(-kInf, 0, 2, 2)).empty());

    // A rectangle wholly outside still reaches the nearest edge column.
    auto edge = filled(8, 6, TRANSPARENT);
    edge->fillRect(make_rect(20, 1, 3, 0), RED);
    EXPECT_EQ(edge->pixelAt(7, 1), RED);
    EXPECT_EQ(count_pixels(*edge, RED), 1);
}

TEST(Bitmap, TransferMatchesThePixelOperationEverywhere)
{
    std::mt19937 rng(11);
    auto source = Bitmap::create({37, 23});
    auto dest = Bitmap::create({37, 23});
    auto before = Bitmap::create({37, 23});
    for (int mode = 0; mode < kTransferModeCount; ++mode) {
        for (const float opacity : {1.0f, 0.5f, 0.2f, 0.999f}) {
            fill_random(*source, rng);
            fill_random(*dest, rng);
            dest->copyRect(make_rect(0, 0, 37, 23), *before);
            const Rect r = make_rect(3.5f, 2.2f, 20.1f, 11.0f); // pixels 3..24 x 2..14
            source->transferRect(r, *dest, mode, opacity);
            const int o = int(opacity * 255.0 + 0.5);
            for (int y = 0; y < 23; ++y)
                for (int x = 0; x < 37; ++x) {
                    const bool inside = x >= 3 && x <= 24 && y >= 2 && y <= 14;
                    Color s = source->pixelAt(x, y);
                    if (opacity != 1.0f)
                        s = make(red(s) * o / 255, green(s) * o / 255, blue(s) * o / 255,
                                 alpha(s) * o / 255);
                    const Color d = before->pixelAt(x, y);
                    const Color want = inside ? transfer_op(mode)(d, s) : d;
                    ASSERT_EQ(dest->pixelAt(x, y), want)
                        << "mode " << mode << " opacity " << opacity << " at " << x << "," << y;
                }
        }
    }
}

TEST(Bitmap, TransferEdgeValues)
{
    auto source = filled(4, 4, RED);
    for (int mode = -1; mode <= kTransferModeCount; ++mode) {
        for (const float opacity : {0.0f, kNaN, -2.0f}) {
            auto dest = filled(4, 4, make(10, 20, 30, 200));
            source->transferRect(make_rect(0, 0, 4, 4), *dest, mode, opacity);
            EXPECT_EQ(count_pixels(*dest, make(10, 20, 30, 200)), 16) << mode << " " << opacity;
        }
    }
    auto dest = filled(4, 4, BLUE);
    source->transferRect(make_rect(0, 0, 4, 4), *dest, 8, 1.0f);
    EXPECT_EQ(count_pixels(*dest, BLUE), 16);
    source->transferRect(make_rect(0, 0, 4, 4), *dest, kModeNormal, 1.0f);
    EXPECT_EQ(count_pixels(*dest, RED), 16);
    // Opacity above 1 counts as full strength.
    auto over = filled(4, 4, BLUE);
    source->transferRect(make_rect(0, 0, 4, 4), *over, kModeNormal, 3.0f);
    EXPECT_EQ(count_pixels(*over, RED), 16);
}

TEST(Bitmap, ColorAtTruncatesAndClamps)
{
    auto bm = filled(3, 3, TRANSPARENT);
    bm->setPixel(0, 0, RED);
    bm->setPixel(2, 2, BLUE);
    EXPECT_EQ(bm->colorAt({-0.5f, 0}), RED);
    EXPECT_EQ(bm->colorAt({-40, -3}), RED);
    EXPECT_EQ(bm->colorAt({0.99f, 0.99f}), RED);
    EXPECT_EQ(bm->colorAt({100, 2.5f}), BLUE);
    EXPECT_EQ(bm->colorAt({kNaN, kNaN}), RED);
    EXPECT_EQ(bm->colorAt({kInf, kInf}), BLUE);
}

TEST(Bitmap, TransformationsRoundTripAndRefuseSingularOnes)
{
    auto bm = filled(100, 100, TRANSPARENT);
    const AffineTransform t{2, 0.5f, -0.25f, 1.5f, 10, -4};
    ASSERT_TRUE(bm->setTransform(t));
    EXPECT_EQ(bm->transform(), t);
    const Point w{3.25f, -7.5f};
    const Point back = bm->bitmapPointToWorldPoint(bm->worldPointToBitmapPoint(w));
    EXPECT_NEAR(back.x, w.x, 1e-4);
    EXPECT_NEAR(back.y, w.y, 1e-4);

    EXPECT_FALSE(bm->setTransform({0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(bm->setTransform({kNaN, 0, 0, 1, 0, 0}));
    EXPECT_FALSE(bm->setTransform({1, 0, 0, 1, kInf, 0}));
    EXPECT_FALSE(bm->scale(0));
    EXPECT_FALSE(bm->scale(kNaN));
    EXPECT_FALSE(bm->translate({kInf, 0}));
    EXPECT_FALSE(bm->rotate(kNaN));
    EXPECT_EQ(bm->transform(), t);

    ASSERT_TRUE(bm->setTransform(AffineTransform::identity()));
    ASSERT_TRUE(bm->scale(2));
    ASSERT_TRUE(bm->translate({5, 1}));
    // Scaling and translating act in world space: world (0, 0) lands at 2 * (5, 1).
    EXPECT_EQ(bm->worldPointToBitmapPoint({0, 0}), (Point{10, 2}));
}

TEST(Bitmap, WorldRectUnderRotationIsTheBoundingBox)
{
    auto bm = filled(10, 10, TRANSPARENT);
    ASSERT_TRUE(bm->rotate(float(M_PI / 4)));
    const Rect r = bm->worldRectToBitmapRect(make_rect(0, 0, 10, 10));
    EXPECT_NEAR(r.size.width, 10 * std::sqrt(2.0), 1e-4);
    EXPECT_NEAR(r.size.height, 10 * std::sqrt(2.0), 1e-4);
    EXPECT_NEAR(r.origin.x, -10 / std::sqrt(2.0), 1e-4);
}

TEST(Bitmap, DrawsIntoAnotherPainter)
{
    auto bm = filled(4, 4, RED);
    QImage target(8, 8, QImage::Format_RGBA8888_Premultiplied);
    target.fill(Qt::transparent);
    {
        QPainter painter(&target);
        bm->drawScaledInRect(painter, make_rect(0, 0, 8, 8));
    }
    EXPECT_EQ(target.pixelColor(7, 7), QColor(Qt::red));
    target.fill(Qt::transparent);
    {
        QPainter painter(&target);
        bm->drawInRect(painter, make_rect(1, 1, 2, 2));
    }
    EXPECT_EQ(target.pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(0, 0), QColor(Qt::transparent));
    EXPECT_EQ(target.pixelColor(3, 3), QColor(Qt::transparent));
}
