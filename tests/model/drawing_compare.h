#pragma once

// Field-by-field comparison of two drawings, for the file tests: what was saved against
// what was read back.

#include "document_file.h"

#include <gtest/gtest.h>

inline void expect_same_path(const Path& a, const Path& b)
{
    EXPECT_EQ(a.windingRule(), b.windingRule());
    EXPECT_EQ(a.lineWidth(), b.lineWidth());
    ASSERT_EQ(a.elements().size(), b.elements().size());
    for (std::size_t i = 0; i < a.elements().size(); ++i) {
        const PathElement& x = a.elements()[i];
        const PathElement& y = b.elements()[i];
        ASSERT_EQ(x.element, y.element) << "element " << i;
        const int points = x.element == kCurveTo ? 3 : (x.element == kClosePath ? 0 : 1);
        for (int k = 0; k < points; ++k)
            EXPECT_TRUE(x.p[k] == y.p[k]) << "element " << i << " point " << k;
    }
}

inline void expect_same_samples(const PenPoints& a, const PenPoints& b)
{
    EXPECT_EQ(a.transform(), b.transform());
    EXPECT_EQ(a.radius(), b.radius());
    ASSERT_EQ(a.count(), b.count());
    for (int i = 0; i < a.count(); ++i) {
        const PenPoint& x = a.points()[std::size_t(i)];
        const PenPoint& y = b.points()[std::size_t(i)];
        EXPECT_TRUE(x.p == y.p && x.pressure == y.pressure) << "sample " << i;
    }
}

inline void expect_same_image(const QImage& a, const QImage& b)
{
    ASSERT_EQ(a.size(), b.size());
    if (a.format() == b.format() && a == b) return;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    if (x == y) return;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col)
            ASSERT_EQ(x.pixel(col, row), y.pixel(col, row)) << col << "," << row;
}

inline void expect_same_stroke(const Stroke& a, const Stroke& b)
{
    EXPECT_EQ(a.isImage(), b.isImage());
    EXPECT_EQ(a.color().rgba64(), b.color().rgba64());
    EXPECT_EQ(a.transferMode(), b.transferMode());
    EXPECT_EQ(a.opacity(), b.opacity());
    EXPECT_EQ(a.drawAsStroke(), b.drawAsStroke());
    EXPECT_EQ(a.lineWidth(), b.lineWidth());
    EXPECT_EQ(a.bounds(), b.bounds());
    ASSERT_EQ(a.penPoints().has_value(), b.penPoints().has_value());
    if (a.penPoints()) expect_same_samples(*a.penPoints(), *b.penPoints());
    else expect_same_path(a.path(), b.path());
    if (a.isImage()) expect_same_image(a.image(), b.image());
}

inline void expect_same_drawing(const DocumentData& a, const DocumentData& b)
{
    ASSERT_EQ(a.background_color.has_value(), b.background_color.has_value());
    if (a.background_color) {
        EXPECT_EQ(a.background_color->rgba64(), b.background_color->rgba64());
    }
    EXPECT_EQ(a.window_frame, b.window_frame);
    EXPECT_EQ(a.view_transform, b.view_transform);
    ASSERT_TRUE(a.strokes && b.strokes);
    ASSERT_EQ(a.strokes->count(), b.strokes->count());
    for (int i = 0; i < a.strokes->count(); ++i) {
        SCOPED_TRACE(::testing::Message() << "stroke " << i);
        expect_same_stroke(*a.strokes->strokeArray()[std::size_t(i)],
                           *b.strokes->strokeArray()[std::size_t(i)]);
    }
}
