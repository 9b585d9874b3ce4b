#include "input_mapping.h"

#include "tool_event.h"

unsigned modifier_flags(Qt::KeyboardModifiers modifiers)
{
    unsigned flags = 0;
    if (modifiers & Qt::ShiftModifier) flags |= kShiftKey;
    if (modifiers & Qt::ControlModifier) flags |= kCommandKey;
    if (modifiers & Qt::AltModifier) flags |= kOptionKey;
    if (modifiers & Qt::MetaModifier) flags |= kControlKey;
    if (modifiers & Qt::KeypadModifier) flags |= kNumericPadKey;
    return flags;
}

std::uint8_t proximity_pointer_type(QPointingDevice::PointerType type)
{
    switch (type) {
    case QPointingDevice::PointerType::Pen: return kPointerTypePen;
    case QPointingDevice::PointerType::Cursor: return kPointerTypeCursor;
    case QPointingDevice::PointerType::Eraser: return kPointerTypeEraser;
    default: return kPointerTypeUnknown;
    }
}
