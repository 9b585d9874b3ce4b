#include "pixel_span.h"

#include <algorithm>
#include <cmath>

namespace {
int clamped(double v, int hi) { return int(std::clamp(v, 0.0, double(hi))); }
} // namespace

PixelSpan pixel_span(const Rect& r, int width, int height)
{
    if (width <= 0 || height <= 0) return {};
    const double x = r.origin.x, y = r.origin.y;
    const double right = x + double(r.size.width), top = y + double(r.size.height);
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(right) || !std::isfinite(top))
        return {};
    return {clamped(std::floor(x), width - 1), clamped(std::ceil(right), width - 1),
            clamped(std::floor(y), height - 1), clamped(std::ceil(top), height - 1)};
}
