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

QString script_key_name(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return QChar(u'a' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return QChar(u'0' + (key - Qt::Key_0));
    switch (key) {
    case Qt::Key_Delete: return QStringLiteral("delete");
    case Qt::Key_Backspace: return QStringLiteral("backspace");
    case Qt::Key_Space: return QStringLiteral("space");
    case Qt::Key_Tab: return QStringLiteral("tab");
    case Qt::Key_Escape: return QStringLiteral("escape");
    case Qt::Key_Left: return QStringLiteral("left");
    case Qt::Key_Right: return QStringLiteral("right");
    case Qt::Key_Up: return QStringLiteral("up");
    case Qt::Key_Down: return QStringLiteral("down");
    case Qt::Key_BracketLeft: return QStringLiteral("bracketleft");
    case Qt::Key_BracketRight: return QStringLiteral("bracketright");
    case Qt::Key_F11: return QStringLiteral("f11");
    default: return {};
    }
}
