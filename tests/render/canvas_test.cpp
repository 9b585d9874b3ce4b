#include "canvas.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace color_ns;

namespace {

void expect_shared_transform(PavoCanvas& c)
{
    EXPECT_EQ(c.strokeBitmap().transform(), c.drawBitmap().transform());
    EXPECT_EQ(c.previewBitmap().transform(), c.drawBitmap().transform());
}

void expect_near(Point a, Point b)
{
    EXPECT_NEAR(a.x, b.x, 1e-3);
    EXPECT_NEAR(a.y, b.y, 1e-3);
}

} // namespace

TEST(Canvas, LayersShareOneTransformation)
{
    auto canvas = PavoCanvas::create({200, 100});
    ASSERT_TRUE(canvas);
    ASSERT_TRUE(canvas->scale(1.5f));
    expect_shared_transform(*canvas);
    ASSERT_TRUE(canvas->rotate(0.3f));
    expect_shared_transform(*canvas);
    ASSERT_TRUE(canvas->translate({4, -2}));
    expect_shared_transform(*canvas);
    const AffineTransform before = canvas->transform();
    EXPECT_FALSE(canvas->setTransform({1, 2, 2, 4, 0, 0})); // singular
    EXPECT_FALSE(canvas->scale(0));
    EXPECT_FALSE(canvas->zoomToPoint({10, 10}, std::nanf("")));
    EXPECT_EQ(canvas->transform(), before);
    expect_shared_transform(*canvas);
    ASSERT_TRUE(canvas->setTransform({2, 0, 0, 2, 1, 1}));
    expect_shared_transform(*canvas);
    EXPECT_FALSE(PavoCanvas::create({-5, 5}));
}

TEST(Canvas, ZoomAndRotateBringThePointToTheCentre)
{
    auto canvas = PavoCanvas::create({200, 100});
    const Point centre{100, 50};
    const Point world_at_centre = canvas->bitmapPointToWorldPoint(centre);
    ASSERT_TRUE(canvas->zoomToPoint(centre, 2));
    expect_near(canvas->worldPointToBitmapPoint(world_at_centre), centre);
    // Distances about the centre double.
    expect_near(canvas->worldPointToBitmapPoint(world_at_centre + Point{10, 0}),
                centre + Point{20, 0});

    const Point p{30, 80};
    const Point world_at_p = canvas->bitmapPointToWorldPoint(p);
    ASSERT_TRUE(canvas->zoomToPoint(p, 1));
    expect_near(canvas->worldPointToBitmapPoint(world_at_p), centre);

    const Point q{150, 20};
    const Point world_at_q = canvas->bitmapPointToWorldPoint(q);
    ASSERT_TRUE(canvas->rotateAroundPoint(q, 1.0f));
    expect_near(canvas->worldPointToBitmapPoint(world_at_q), centre);
    expect_shared_transform(*canvas);
}

TEST(Canvas, PreviewShowsTheStrokeUntilItEnds)
{
    auto canvas = PavoCanvas::create({20, 20});
    EXPECT_EQ(canvas->strokeBitmap().pixelAt(5, 5), TRANSPARENT);
    canvas->fill(WHITE);
    EXPECT_EQ(canvas->strokeBitmap().pixelAt(5, 5), TRANSPARENT);
    EXPECT_EQ(canvas->drawBitmap().pixelAt(5, 5), WHITE);

    // A live preview: stroke layer transferred onto the preview only.
    const Rect area = make_rect(2, 2, 6, 6);
    canvas->strokeBitmap().fillRect(area, RED);
    canvas->drawBitmap().copyRect(area, canvas->previewBitmap());
    canvas->strokeBitmap().transferRect(area, canvas->previewBitmap(), kModeNormal, 1.0f);
    EXPECT_EQ(canvas->colorAt({5, 5}), RED);
    EXPECT_EQ(canvas->drawBitmap().pixelAt(5, 5), WHITE);

    canvas->endPreview(area);
    EXPECT_EQ(canvas->colorAt({5, 5}), WHITE);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            ASSERT_EQ(canvas->strokeBitmap().pixelAt(x, y), TRANSPARENT);
            ASSERT_EQ(canvas->previewBitmap().pixelAt(x, y), canvas->drawBitmap().pixelAt(x, y));
        }
}
