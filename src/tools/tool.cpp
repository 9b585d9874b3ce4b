#include "tool.h"

#include "color.h"
#include "resources.h"
#include "tool_host.h"

#include <utility>

ToolCursor ToolCursor::load(const QString& name, QPoint hotSpot)
{
    const QImage image(resource_path() + QStringLiteral("/Images/") + name + QStringLiteral(".png"));
    // A missing picture must not leave the pointer invisible.
    if (image.isNull()) return {};
    return {Shape::Image, image, hotSpot};
}

void Tool::after(ToolDocument& document)
{
    // Cleared before the switch, so that anything the switch sets up again is kept.
    Tool* const target = std::exchange(_restore_after, nullptr);
    if (target) document.setTool(target);
}

int Tool::transferModeStringToInt(const QString& name)
{
    return transfer_mode_from_name(name.toStdString());
}

QString Tool::transferModeIntToString(int mode)
{
    return QString::fromStdString(transfer_mode_name(mode));
}

Rect ToolView::viewRectOfPixels(const Rect& pixelRect) const
{
    const float r = pixelRatio();
    if (r == 1) return pixelRect;
    return {pixelRect.origin / r, {pixelRect.size.width / r, pixelRect.size.height / r}};
}

Point ToolView::viewPointToWorldPoint(Point viewPoint) const
{
    // A view's transformation is always invertible; the identity only guards the type.
    return transform().inverted().value_or(AffineTransform::identity()).apply(viewPoint);
}

Size ToolView::viewSize()
{
    const Size pixels = canvas().size();
    return {pixels.width / pixelRatio(), pixels.height / pixelRatio()};
}
