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
