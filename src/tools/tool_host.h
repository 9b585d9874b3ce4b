#pragma once

// What tools may ask of the view they work in and of the document that owns them. The
// application implements both; tests record the calls. Tools never see widgets.

#include "canvas.h"
#include "stroke.h"

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
};

class ToolDocument {
public:
    virtual ~ToolDocument() = default;
    virtual Tool* tool() = 0;
    virtual void setTool(Tool* tool) = 0;
    // Adds a stroke to the drawing as one undoable user action.
    virtual void addStroke(const StrokePtr& stroke) = 0;
    virtual void setToolColor(const QColor& color) = 0;
    virtual void refreshCursor() = 0;
};
