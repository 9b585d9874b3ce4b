#pragma once

// Qt's input in the program's own terms: modifier flags by the Linux key mapping (Ctrl is
// command, Alt is option, Meta is control), the stylus ends of the proximity record and
// the names event scripts give keys.

#include "proximity.h"

#include <QPointingDevice>
#include <QString>
#include <Qt>

unsigned modifier_flags(Qt::KeyboardModifiers modifiers);
std::uint8_t proximity_pointer_type(QPointingDevice::PointerType type);
// The key's name in event scripts; empty for a key scripts cannot name.
QString script_key_name(int key);
