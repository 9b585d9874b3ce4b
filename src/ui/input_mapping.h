#pragma once

// Qt's input in the program's own terms: modifier flags by the Linux key mapping (Ctrl is
// command, Alt is option, Meta is control) and the stylus ends of the proximity record.

#include "proximity.h"

#include <QPointingDevice>
#include <Qt>

unsigned modifier_flags(Qt::KeyboardModifiers modifiers);
std::uint8_t proximity_pointer_type(QPointingDevice::PointerType type);
