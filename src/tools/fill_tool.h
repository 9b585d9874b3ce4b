#pragma once

// The fill tool: a click floods the area around the pointer whose colour in the drawing is
// close to the clicked pixel's, grows it by a few pixels, and adds it to the drawing as one
// new filled stroke (even-odd, so that areas it flowed around stay unfilled), undoable like
// any other. With the option key down, a click picks the colour under the pointer as the
// tool colour instead, and the cursor shows a colour picker.
//
// The settings are plain values; the settings panel and the document keep them in range,
// and a fill copes with any of them.

#include "canvas.h"
#include "color.h"
#include "tool.h"

#include <QColor>

#include <memory>

class FillTool : public Tool {
public:
    FillTool();

    QColor color() const { return _color; }
    void setColor(const QColor& color) { _color = color; }
    float opacity() const { return _opacity; }
    void setOpacity(float opacity) { _opacity = opacity; }
    // The largest colour distance (0..1) that still counts as the clicked colour.
    float tolerance() const { return _tolerance; }
    void setTolerance(float tolerance) { _tolerance = tolerance; }
    // Growth steps of one pixel applied to the flooded area.
    int expand() const { return _expand; }
    void setExpand(int expand) { _expand = expand; }
    // Openings narrower than this many view pixels (0..kLargestGap) do not let the flood
    // through.
    static constexpr int kLargestGap = 10;
    int gap() const { return _gap; }
    void setGap(int gap) { _gap = gap; }
    // The flood and its outline are worked out at this multiple (1, 2 or 4) of the view's
    // resolution, so the outline stays close to the strokes when zoomed in.
    int precision() const { return _precision; }
    void setPrecision(int precision) { _precision = precision; }
    int transferMode() const { return _mode; }
    void setTransferMode(int mode) { _mode = mode; }

    void toolDownEvent(const ToolEvent& event, ToolView& view) override;
    void toolFlagsChanged(const ToolEvent& event, ToolView& view) override;
    void toolActivate() override { _option_down = false; }
    // The finer canvas is kept for the next fill only while the tool is in use.
    void toolDeactivate() override { _finer.reset(); }
    ToolCursor toolCursor() const override;

private:
    void pickColor(Point at, ToolView& view);
    void fill(Point at, ToolView& view);

    std::unique_ptr<PavoCanvas> _finer;
    ToolCursor _fill_cursor;
    ToolCursor _color_picker_cursor;
    bool _option_down = false;
    int _expand = 1;
    int _gap = 0;
    int _precision = 1;
    int _mode = kModeNormal;
    QColor _color = Qt::red;
    float _opacity = 1.0f;
    float _tolerance = 0.2f;
};
