#include "canvas.h"
#include "pictures.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace color_ns;

namespace {

// The three layers must always share the draw layer's transformation.
::testing::AssertionResult shared(PavoCanvas& c)
{
    if (c.strokeBitmap().transform() == c.transform() &&
        c.previewBitmap().transform() == c.transform())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the layers' transformations differ";
}

void expect_near(Point a, Point b)
{
    EXPECT_NEAR(a.x, b.x, 1e-3);
    EXPECT_NEAR(a.y, b.y, 1e-3);
}

} // namespace

TEST(Canvas, LayersShareOneTransformationAndRefuseBadOnes)
{
    auto canvas = PavoCanvas::create({200, 100});
    ASSERT_TRUE(canvas);
    EXPECT_TRUE(canvas->scale(1.5f) && shared(*canvas));
    EXPECT_TRUE(canvas->rotate(0.3f) && shared(*canvas));
    EXPECT_TRUE(canvas->translate({4, -2}) && shared(*canvas));
    const AffineTransform before = canvas->transform();
    EXPECT_FALSE(canvas->setTransform({1, 2, 2, 4, 0, 0})); // singular
    EXPECT_FALSE(canvas->scale(0));
    EXPECT_FALSE(canvas->zoomToPoint({10, 10}, std::nanf("")));
    EXPECT_FALSE(canvas->rotateAroundPoint({10, 10}, INFINITY));
    EXPECT_EQ(canvas->transform(), before);
    EXPECT_TRUE(canvas->setTransform({2, 0, 0, 2, 1, 1}) && shared(*canvas));
    EXPECT_FALSE(PavoCanvas::create({-5, 5}));
}

TEST(Canvas, ZoomAndRotateBringThePointToTheCentre)
{
    auto canvas = PavoCanvas::create({200, 100});
    const Point centre{100, 50};
    const Point at_centre = canvas->bitmapPointToWorldPoint(centre);
    ASSERT_TRUE(canvas->zoomToPoint(centre, 2));
    expect_near(canvas->worldPointToBitmapPoint(at_centre), centre);
    expect_near(canvas->worldPointToBitmapPoint(at_centre + Point{10, 0}),
                centre + Point{20, 0}); // doubled
    for (const Point p : {Point{30, 80}, Point{150, 20}}) {
        const Point world = canvas->bitmapPointToWorldPoint(p);
        ASSERT_TRUE(p.x < 100 ? canvas->zoomToPoint(p, 1) : canvas->rotateAroundPoint(p, 1.0f));
        expect_near(canvas->worldPointToBitmapPoint(world), centre);
    }
    EXPECT_TRUE(shared(*canvas));
}

TEST(Canvas, PreviewShowsTheStrokeUntilItEnds)
{
    auto canvas = PavoCanvas::create({6, 6});
    canvas->fill(WHITE); // draw and preview, not the stroke layer
    EXPECT_EQ(filled_bounds(canvas->strokeBitmap()), Rect{});
    EXPECT_EQ(canvas->drawBitmap().pixelAt(5, 5), WHITE);
    const Rect area = make_rect(1, 1, 2, 2);
    canvas->strokeBitmap().fillRect(area, RED);
    canvas->strokeBitmap().transferRect(area, canvas->previewBitmap(), kModeNormal, 1.0f);
    EXPECT_EQ(canvas->colorAt({2, 2}), RED);
    EXPECT_EQ(canvas->drawBitmap().pixelAt(2, 2), WHITE);
    canvas->endPreview(area);
    EXPECT_EQ(filled_bounds(canvas->strokeBitmap()), Rect{});
    EXPECT_EQ(largest_difference(canvas->previewBitmap().image(), canvas->drawBitmap().image()), 0);
}
