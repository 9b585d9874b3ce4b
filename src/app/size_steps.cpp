#include "size_steps.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<float, 15> kSizes{1, 2, 3, 4, 5, 6, 8, 10, 12, 16, 20, 24, 32, 48, 64};

} // namespace

std::span<const float> size_menu_values() { return kSizes; }

QStringList size_menu_titles()
{
    QStringList titles;
    for (const float size : kSizes) titles << QString::number(double(size));
    return titles;
}

float stepped_size(float current, int direction, float floor)
{
    if (direction > 0) {
        const auto above = std::upper_bound(kSizes.begin(), kSizes.end(), current);
        return above == kSizes.end() ? current : *above;
    }
    if (direction < 0) {
        const auto below = std::lower_bound(kSizes.begin(), kSizes.end(), current);
        if (below != kSizes.begin()) return *(below - 1);
        return floor < current ? floor : current;
    }
    return current;
}
