#include "geometry.h"

Rect range_rect(Point a, Point b)
{
    const Point lo{min(a.x, b.x), min(a.y, b.y)};
    const Point hi{max(a.x, b.x), max(a.y, b.y)};
    return make_rect(lo, hi - lo);
}

Rect union_rect(const Rect& a, const Rect& b)
{
    if (is_empty(a)) return b;
    if (is_empty(b)) return a;
    const Point lo{min(a.minX(), b.minX()), min(a.minY(), b.minY())};
    const Point hi{max(a.maxX(), b.maxX()), max(a.maxY(), b.maxY())};
    return make_rect(lo, hi - lo);
}

Rect cover_rect(const Rect& a, const Rect& b)
{
    const Point lo{min(a.minX(), b.minX()), min(a.minY(), b.minY())};
    const Point hi{max(a.maxX(), b.maxX()), max(a.maxY(), b.maxY())};
    return make_rect(lo, hi - lo);
}

Rect grow_rect(const Rect& r, float dx, float dy)
{
    return make_rect(r.origin.x - dx, r.origin.y - dy, r.size.width + 2 * dx,
                     r.size.height + 2 * dy);
}

float bezier_coefficient(int i, float t)
{
    const float s = 1 - t;
    switch (i) {
    case 0: return s * s * s;
    case 1: return 3 * s * s * t;
    case 2: return 3 * s * t * t;
    case 3: return t * t * t;
    default: return 0;
    }
}

Point bezier(const Point p[4], float t)
{
    Point sum;
    for (int i = 0; i < 4; ++i) sum = sum + p[i] * bezier_coefficient(i, t);
    return sum;
}
