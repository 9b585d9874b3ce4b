#include "pen_panel_values.h"

#include <algorithm>
#include <climits>
#include <cmath>

int shown_number(double value)
{
    // A script can leave any number in a parameter; converting one the int range cannot
    // hold is undefined, so such values are held at its ends first.
    if (std::isnan(value)) return 0;
    const double shifted = std::trunc(value + 0.5);
    if (shifted >= double(INT_MAX)) return INT_MAX;
    if (shifted <= double(INT_MIN)) return INT_MIN;
    return int(shifted);
}

NumberRange parameter_range(float min, float max)
{
    const int low = shown_number(min);
    return {low, std::max(low, shown_number(max))};
}

std::optional<double> typed_number(const QString& text, NumberRange range)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return std::clamp(value, double(range.min), double(range.max));
}
