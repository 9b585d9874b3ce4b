#include "canvas.h"
#include "pictures.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace color_ns;

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
    EXPECT_TRUE(canvas->scale(1.5f) && canvas->rotate(0.3f) && canvas->translate({4, -2}) &&
                shared());
    const AffineTransform before = canvas->transform();
    EXPECT_FALSE(canvas->setTransform({1, 2, 2, 4, 0, 0})); // singular
    EXPECT_FALSE(canvas->scale(0) || canvas->zoomToPoint({10, 10}, NAN) ||
                 canvas->rotateAroundPoint({10, 10}, INFINITY));
    EXPECT_EQ(canvas->transform(), before);
    EXPECT_TRUE(canvas->setTransform({2, 0, 0, 2, 1, 1}) && shared());
    EXPECT_FALSE(PavoCanvas::create({-5, 5}));
}

// Zooming and turning about a point bring that point to the centre of the view.
TEST(Canvas, ZoomAndRotateBringThePointToTheCentre)
{
    auto canvas = PavoCanvas::create({200, 100});
    const Point centre{100, 50};
    const auto near = [](Point a, Point b) { return length(a - b) < 1e-3f; };
    const Point at_centre = canvas->bitmapPointToWorldPoint(centre);
    ASSERT_TRUE(canvas->zoomToPoint(centre, 2));
    EXPECT_TRUE(near(canvas->worldPointToBitmapPoint(at_centre), centre));
    EXPECT_TRUE(
        near(canvas->worldPointToBitmapPoint(at_centre + Point{10, 0}), centre + Point{20, 0}));
    for (const Point p : {Point{30, 80}, Point{150, 20}}) {
        const Point world = canvas->bitmapPointToWorldPoint(p);
        ASSERT_TRUE(p.x < 100 ? canvas->zoomToPoint(p, 1) : canvas->rotateAroundPoint(p, 1.0f));
        EXPECT_TRUE(near(canvas->worldPointToBitmapPoint(world), centre)) << p.x;
    }
}

// A stroke shows in the preview layer, over the drawing, until the preview ends: then the
// stroke layer is clear and the preview shows the drawing again.
TEST(Canvas, PreviewShowsTheStrokeUntilItEnds)
{
    auto canvas = PavoCanvas::create({6, 6});
    canvas->fill(WHITE); // draw and preview, not the stroke layer
    EXPECT_EQ(filled_bounds(canvas->strokeBitmap()), Rect{});
    const Rect area = make_rect(1, 1, 2, 2);
    canvas->strokeBitmap().fillRect(area, RED);
    canvas->strokeBitmap().transferRect(area, canvas->previewBitmap(), kModeNormal, 1.0f);
    EXPECT_EQ(canvas->colorAt({2, 2}), RED);
    EXPECT_EQ(canvas->drawBitmap().pixelAt(2, 2), WHITE);
    canvas->endPreview(area);
    EXPECT_EQ(filled_bounds(canvas->strokeBitmap()), Rect{});
    EXPECT_EQ(largest_difference(canvas->previewBitmap().image(), canvas->drawBitmap().image()), 0);
}
