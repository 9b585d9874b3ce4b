#include "fill_tool.h"

#include "region_fill.h"
#include "stroke.h"
#include "tool_host.h"

#include <algorithm>
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
    // A finer canvas is rendered afresh from the strokes; at 1x the view's own one serves.
    const int precision = usable_precision(view.canvas().size(), _precision);
    if (precision > 1)
        _finer = finer_canvas(view.canvas(), view.document().drawing().strokes().strokeArray(), precision, std::move(_finer));
    else _finer.reset();
    PavoCanvas& canvas = _finer ? *_finer : view.canvas();
    const float pixels = view.pixelRatio() * (_finer ? float(precision) : 1.0f);
    // The growth is in view pixels, as the user sees the edges it tucks under.
    const int expand = int(std::lround(float(_expand) * pixels));
    // An opening of gap view pixels is closed by walls grown by half of it from each side.
    const float gap_radius = float(std::clamp(_gap, 0, kLargestGap)) * pixels / 2;
    const std::optional<FillOutline> outline = fill_outline_at(canvas, at * pixels, _tolerance, expand, gap_radius);
    if (!outline) return;
    const StrokePtr stroke = Stroke::withPath(outline->path, _color, _mode, _opacity);
    if (!stroke) return;
    view.document().drawing().addStroke(stroke);
}
