#pragma once

// The sizes of the Size menu, which the [ and ] keys step through as well, so that a key
// always lands on a size the menu can check.

#include <QStringList>

#include <span>

std::span<const float> size_menu_values();
// The menu's titles, one for each value.
QStringList size_menu_titles();

// The next menu value above the current one (direction > 0) or below it (direction < 0);
// the current one when there is none that way. A value off the menu steps to its
// neighbour on the menu. `floor`, when below every menu value, is the step below the first.
float stepped_size(float current, int direction, float floor);
