#include "fill_tool.h"

#include "region_fill.h"
#include "stroke.h"
#include "tool_host.h"

#include <cmath>

FillTool::FillTool()
    : _fill_cursor(ToolCursor::load(kFillCursor)),
      _color_picker_cursor(ToolCursor::load(kColorPickerCursor))
{
}

void FillTool::toolDownEvent(const ToolEvent& event, ToolView& view)
{
    _option_down = event.has(kOptionKey);
    if (_option_down) pickColor(event.location, view);
    else fill(event.location, view);
}

void FillTool::toolFlagsChanged(const ToolEvent& event, ToolView& view)
{
    _option_down = event.has(kOptionKey);
    view.document().refreshCursor();
}

ToolCursor FillTool::toolCursor() const { return _option_down ? _color_picker_cursor : _fill_cursor; }

void FillTool::pickColor(Point at, ToolView& view)
{
    // A point that is no point at all picks nothing rather than the corner pixel.
    if (std::isnan(at.x) || std::isnan(at.y)) return;
    const color_ns::Color pixel = view.canvas().colorAt(view.pixelPoint(at));
    view.document().setToolColor(color_ns::alpha(pixel) != 0 ? color_ns::to_qcolor_no_alpha(pixel)
                                                       : view.backgroundColor());
}

void FillTool::fill(Point at, ToolView& view)
{
    // The growth is in view pixels, as the user sees the edges it tucks under.
    const int expand = int(std::lround(float(_expand) * view.pixelRatio()));
    const std::optional<FillOutline> outline =
        fill_outline_at(view.canvas(), view.pixelPoint(at), _tolerance, expand);
    if (!outline) return;
    const StrokePtr stroke = Stroke::withPath(outline->path, _color, _mode, _opacity);
    if (!stroke) return;
    view.document().drawing().addStroke(stroke);
}
