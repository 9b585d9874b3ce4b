#pragma once

// The program's own record of a pointer or modifier event, as the view hands it to tools:
// where it happened (view coordinates, which are also canvas pixel coordinates), how hard
// the pen pressed, and which modifier keys were down.

#include "geometry.h"

// Modifier flags, as scripts, key equivalents and tools know them.
enum ModifierFlag : unsigned {
    kCapsLockKey = 1u << 16,
    kShiftKey = 1u << 17,
    kControlKey = 1u << 18,
    kOptionKey = 1u << 19,
    kCommandKey = 1u << 20,
    kNumericPadKey = 1u << 21,
    kFunctionKey = 1u << 23,
};

struct ToolEvent {
    Point location;
    // 0..1; a pressed mouse button presses with 1.
    float pressure = 1;
    unsigned modifierFlags = 0;

    bool has(ModifierFlag flag) const { return (modifierFlags & flag) != 0; }
};
