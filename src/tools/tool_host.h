#pragma once

// What tools may ask of the view they work in and of the document that owns them. The
// application implements both; tests record the calls. Tools never see widgets, and they
// reach the document only through the view each event comes with.

#include "canvas.h"
#include "drawing.h"
#include "stroke.h"
#include "strokes.h"

#include <QColor>

class Tool;
class ToolDocument;

class ToolView {
public:
    virtual ~ToolView() = default;
    virtual PavoCanvas& canvas() = 0;
    // The zoom factor: view pixels per drawing unit.
    virtual float scale() const = 0;
    virtual AffineTransform transform() const = 0;
    virtual void setNeedsDisplayInRect(const Rect& viewRect) = 0;
    virtual void setNeedsDisplay() = 0;
    // The background the window shows where nothing is drawn.
    virtual QColor backgroundColor() const = 0;
    virtual ToolDocument& document() = 0;

    // The canvas holds device pixels: pixelRatio() of them per view pixel along each axis.
    // Events, transform() and the rectangles for redisplay stay in view pixels; what reads
    // or marks the canvas converts with these.
    virtual float pixelRatio() const { return 1; }
    Point pixelPoint(Point viewPoint) const { return viewPoint * pixelRatio(); }
    Rect viewRectOfPixels(const Rect& pixelRect) const;
    void setNeedsDisplayInPixelRect(const Rect& pixelRect) { setNeedsDisplayInRect(viewRectOfPixels(pixelRect)); }
    Point viewPointToWorldPoint(Point viewPoint) const;
    Point worldPointToViewPoint(Point world) const { return transform().apply(world); }
    // The view's size in view pixels.
    virtual Size viewSize();

    // Navigation, for the zoom, rotate and move tools. Each returns false and changes
    // nothing when refused (a zoom beyond its range, a point that is not finite).
    // Scales by s about the view point p and brings the world point under p to the centre.
    virtual bool zoomToPoint(Point p, float s) = 0;
    // Fills the view with the rectangle (view coordinates) along its tighter dimension.
    virtual bool zoomToBitmapRect(const Rect& r) = 0;
    // Turns the drawing about the view centre by the angle swept from a to b.
    virtual bool rotateFrom(Point a, Point b) = 0;
    // Moves the drawing by b - a.
    virtual bool moveFrom(Point a, Point b) = 0;
};

class ToolDocument {
public:
    virtual ~ToolDocument() = default;
    virtual Tool* tool() = 0;
    virtual void setTool(Tool* tool) = 0;
    virtual void setToolColor(const QColor& color) = 0;
    virtual void refreshCursor() = 0;
    // The drawing model: the strokes, the selection, and every edit of them.
    virtual Drawing& drawing() = 0;
};
