#include "affine_transform.h"
#include "geometry.h"

#include <QTransform>

#include <gtest/gtest.h>

#include <cmath>

TEST(Geometry, RectanglesAndNiceness)
{
    EXPECT_EQ(range_rect({5, 1}, {2, 7}), make_rect(2, 1, 3, 6));
    // union_rect ignores a rectangle of no size, cover_rect does not.
    EXPECT_EQ(union_rect(Rect{}, make_rect(3, 4, 1, 1)), make_rect(3, 4, 1, 1));
    EXPECT_EQ(cover_rect(Rect{}, make_rect(3, 4, 1, 1)), make_rect(0, 0, 4, 5));
    EXPECT_TRUE(nice(INFINITY) && !nice(Point{NAN, 0}) && !finite(Point{INFINITY, 0}));
    EXPECT_FLOAT_EQ(length({3e30f, 4e30f}), 5e30f); // no overflow on the way
}

TEST(Geometry, BezierPassesThroughItsEndsWithWeightsSummingToOne)
{
    const Point p[4] = {{0, 0}, {1, 3}, {4, 3}, {5, 0}};
    EXPECT_EQ(bezier(p, 0), p[0]);
    EXPECT_EQ(bezier(p, 1), p[3]);
    for (const float t : {0.25f, 0.7f}) {
        float sum = 0;
        for (int i = 0; i < 4; ++i) sum += bezier_coefficient(i, t);
        EXPECT_NEAR(sum, 1, 1e-6);
    }
    EXPECT_EQ(bezier_coefficient(4, 0.5f), 0);
    EXPECT_EQ(bezier_coefficient(-1, 0.5f), 0);
}

TEST(AffineTransform, CompositionInversionAndRefusal)
{
    const AffineTransform scale = AffineTransform::scaling(2, 3),
                          move = AffineTransform::translation(10, 20);
    EXPECT_EQ(move.after(scale).apply({1, 1}),
              (Point{12, 23})); // after(first) applies `first` first
    EXPECT_EQ(scale.after(move).apply({1, 1}), (Point{22, 63}));
    const AffineTransform t{0.8f, 0.6f, -1.2f, 1.6f, 3, -4};
    ASSERT_TRUE(t.inverted());
    const Point p = t.inverted()->apply(t.apply({7, -2}));
    EXPECT_NEAR(p.x, 7, 1e-5);
    EXPECT_NEAR(p.y, -2, 1e-5);
    EXPECT_FALSE(AffineTransform::scaling(0, 1).inverted());
    EXPECT_FALSE((AffineTransform{1e-39f, 0, 0, 1e-39f, 0, 0}).isUsable());
    EXPECT_FALSE((AffineTransform{1, 0, 0, 1, NAN, 0}).isUsable());
    const QPointF q = t.toQTransform().map(QPointF(3, 5)); // Qt maps points the same way
    EXPECT_NEAR(q.x(), t.apply({3, 5}).x, 1e-5);
    EXPECT_NEAR(q.y(), t.apply({3, 5}).y, 1e-5);
}
