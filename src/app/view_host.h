#pragma once

// What the drawing view needs around it: the document it shows (beyond what tools may ask
// of it) and the display that puts its pictures on screen. The document controller and the
// view widget implement them; tests record the calls.

#include "geometry.h"
#include "strokes.h"
#include "tool_host.h"

#include <QColor>

#include <optional>

class ViewDocument : public ToolDocument {
public:
    // The delete action, as the delete and backspace keys ask for it.
    virtual void deleteSelection() = 0;
};

class ViewDisplay {
public:
    virtual ~ViewDisplay() = default;
    // View coordinates; the display calls PavoView::paint for what it invalidated.
    virtual void setNeedsDisplayInRect(const Rect& viewRect) = 0;
    virtual void setNeedsDisplay() = 0;
    // Asks the view for PavoView::cursor again.
    virtual void refreshCursor() = 0;
    // Device pixels per view pixel on the screen the display is on; the view renders at
    // that resolution and reads it again before every paint and event, so a move to
    // another screen only needs a repaint. A display without a screen has 1.
    virtual float screenPixelRatio() const { return 1; }
};
