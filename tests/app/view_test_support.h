#pragma once

// A PavoView of 200 x 100 pixels over a document holding a real Drawing whose news reaches
// the view as the document controller passes it on, with a display that records what the
// view invalidates.

#include "pavo_view.h"

#include "fakes.h"
#include "support/strokes.h"

#include <gtest/gtest.h>

#include <memory>

// A filled rectangle in world coordinates.
inline StrokePtr rect_stroke(float x, float y, float w, float h, const QColor& color)
{
    return fill_stroke(make_rect(x, y, w, h), color);
}

class ViewTest : public ::testing::Test {
protected:
    static constexpr Point kCentre{100, 50};
    CallLog log;
    FakeDocument document{&log};
    FakeDisplay display;
    std::unique_ptr<PavoView> view;
    void SetUp() override
    {
        view = PavoView::create(document, display, {200, 100});
        ASSERT_TRUE(view);
        document.onChange = [this](const DrawingChange& change) {
            if (change.kind == DrawingChange::StrokeAdded) view->strokeAdded(change.stroke);
            else view->redraw();
        };
    }
    void TearDown() override { document.onChange = nullptr; }
    Point viewPointOf(Point world) { return view->canvas().worldPointToBitmapPoint(world); }
    Point worldPointAt(Point viewPoint) { return view->canvas().bitmapPointToWorldPoint(viewPoint); }
    color_ns::Color shownAt(Point viewPoint) { return view->canvasForReading().colorAt(viewPoint); }
};

inline void expect_near(Point actual, Point expected, float tolerance = 1e-3f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}
