#include "affine_transform.h"
#include "geometry.h"

#include <QTransform>
#include <cmath>
#include <gtest/gtest.h>

// Redraw areas gather with union_rect, which skips empty rectangles; cover_rect does not.
TEST(Geometry, RectangleUnionsAndLengths)
{
    EXPECT_EQ(range_rect({5, 1}, {2, 7}), make_rect(2, 1, 3, 6));
    EXPECT_EQ(union_rect(Rect{}, make_rect(3, 4, 1, 1)), make_rect(3, 4, 1, 1));
    EXPECT_EQ(cover_rect(Rect{}, make_rect(3, 4, 1, 1)), make_rect(0, 0, 4, 5));
    EXPECT_FLOAT_EQ(length({3e30f, 4e30f}), 5e30f); // no overflow on the way
}

// after(first) applies `first` first, the way Qt maps points; inverses undo, and transforms
// too small or not finite are refused.
TEST(AffineTransform, CompositionInversionAndRefusal)
{
    const AffineTransform scale = AffineTransform::scaling(2, 3), move{1, 0, 0, 1, 10, 20};
    EXPECT_EQ(move.after(scale).apply({1, 1}), (Point{12, 23}));
    EXPECT_EQ(scale.after(move).apply({1, 1}), (Point{22, 63}));
    const AffineTransform t{0.8f, 0.6f, -1.2f, 1.6f, 3, -4};
    ASSERT_TRUE(t.inverted());
    EXPECT_NEAR(length(t.inverted()->apply(t.apply({7, -2})) - Point{7, -2}), 0, 1e-5);
    const QPointF q = t.toQTransform().map(QPointF(3, 5));
    EXPECT_NEAR(length(Point{float(q.x()), float(q.y())} - t.apply({3, 5})), 0, 1e-5);
    EXPECT_FALSE(AffineTransform::scaling(0, 1).inverted());
    EXPECT_FALSE((AffineTransform{1e-39f, 0, 0, 1e-39f, 0, 0}).isUsable());
    EXPECT_FALSE((AffineTransform{1, 0, 0, 1, NAN, 0}).isUsable());
}
