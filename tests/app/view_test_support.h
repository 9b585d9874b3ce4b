#pragma once

// A document and a display around a PavoView for the view tests. The document holds a
// real Drawing and forwards its changes to the view as the document controller does; the
// display records what the view invalidates.

#include "pavo_view.h"
#include "recording_tool.h"

#include "drawing.h"

#include <QPainterPath>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

class FakeViewDocument : public ViewDocument, public DrawingObserver {
public:
    explicit FakeViewDocument(CallLog& log) : _log(log) { drawing.setObserver(this); }

    Drawing drawing;
    PavoView* view = nullptr;
    int changes = 0;
    int deletes = 0;
    // How often the stroke list was asked for: each full render asks once.
    mutable int strokeListReads = 0;

    Tool* tool() override { return _current; }
    void setTool(Tool* tool) override
    {
        switch_tool(_current, tool, _log);
        if (view) view->setNeedsDisplay();
    }
    void addStroke(const StrokePtr& stroke) override
    {
        drawing.undoManager().beginUndoGrouping();
        drawing.addStroke(stroke);
        drawing.undoManager().endUndoGrouping();
    }
    void setToolColor(const QColor&) override {}
    void refreshCursor() override
    {
        if (view) view->refreshCursor();
    }

    bool transformStrokesInArray(const StrokeArray& strokes, const AffineTransform& t) override
    {
        const UndoGroup group(drawing.undoManager());
        return drawing.transformStrokesInArray(strokes, t);
    }
    const Strokes& strokes() const override
    {
        ++strokeListReads;
        return drawing.strokes();
    }
    std::optional<QColor> backgroundColor() const override { return drawing.backgroundColor(); }
    void markChanged() override { ++changes; }
    void deleteSelection() override
    {
        ++deletes;
        _log.push_back("delete");
    }

    void strokeAdded(const StrokePtr& stroke) override
    {
        if (view) view->strokeAdded(stroke);
    }
    void drawingChanged() override
    {
        if (view) view->redraw();
    }
    void editedChanged(bool) override {}

private:
    CallLog& _log;
    Tool* _current = nullptr;
};

class RecordingDisplay : public ViewDisplay {
public:
    std::vector<Rect> rects;
    int wholeView = 0;
    int cursorRefreshes = 0;

    void setNeedsDisplayInRect(const Rect& viewRect) override { rects.push_back(viewRect); }
    void setNeedsDisplay() override { ++wholeView; }
    void refreshCursor() override { ++cursorRefreshes; }
};

// A filled rectangle in world coordinates.
inline StrokePtr rect_stroke(float x, float y, float w, float h, const QColor& color)
{
    QPainterPath p;
    p.addRect(double(x), double(y), double(w), double(h));
    return Stroke::withPath(Path(p), color, kModeNormal, 1.0f);
}

// A 200 x 100 view of an empty drawing with no tool.
class ViewTest : public ::testing::Test {
protected:
    static constexpr Point kCentre{100, 50};

    CallLog log;
    FakeViewDocument document{log};
    RecordingDisplay display;
    std::unique_ptr<PavoView> view;

    void SetUp() override
    {
        view = PavoView::create(document, display, {200, 100});
        ASSERT_TRUE(view);
        document.view = view.get();
    }

    Point viewPointOf(Point world) { return view->canvas().worldPointToBitmapPoint(world); }
    Point worldPointAt(Point viewPoint) { return view->canvas().bitmapPointToWorldPoint(viewPoint); }
    color_ns::Color shownAt(Point viewPoint) { return view->canvasForReading().colorAt(viewPoint); }
};

inline void expect_near(Point actual, Point expected, float tolerance = 1e-3f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

inline void expect_near(const AffineTransform& actual, const AffineTransform& expected,
                        float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.a, expected.a, tolerance);
    EXPECT_NEAR(actual.b, expected.b, tolerance);
    EXPECT_NEAR(actual.c, expected.c, tolerance);
    EXPECT_NEAR(actual.d, expected.d, tolerance);
    EXPECT_NEAR(actual.tx, expected.tx, tolerance * 100);
    EXPECT_NEAR(actual.ty, expected.ty, tolerance * 100);
}
