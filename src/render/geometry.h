#pragma once

// Points, sizes and rectangles in 32-bit floats, and the small geometry functions that
// every layer uses: pen samples, outlines, tools and the view all speak in these.

#include <cmath>
#include <optional>

struct Point {
    float x = 0;
    float y = 0;
};

struct Size {
    float width = 0;
    float height = 0;
};

struct Rect {
    Point origin;
    Size size;

    float minX() const { return origin.x; }
    float minY() const { return origin.y; }
    float maxX() const { return origin.x + size.width; }
    float maxY() const { return origin.y + size.height; }
};

inline Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
inline Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
inline Point operator-(Point a) { return {-a.x, -a.y}; }
inline Point operator*(Point a, float s) { return {a.x * s, a.y * s}; }
inline Point operator/(Point a, float s) { return {a.x / s, a.y / s}; }
inline bool operator==(Point a, Point b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(Point a, Point b) { return !(a == b); }
inline bool operator==(Size a, Size b) { return a.width == b.width && a.height == b.height; }
inline bool operator!=(Size a, Size b) { return !(a == b); }
inline bool operator==(const Rect& a, const Rect& b) { return a.origin == b.origin && a.size == b.size; }

// Length and angle are evaluated in double precision so that long strokes far from the
// origin keep their sub-pixel detail.
inline float length(Point p) { return float(std::sqrt(double(p.x) * p.x + double(p.y) * p.y)); }
inline float angle(Point p) { return float(std::atan2(double(p.y), double(p.x))); }
// No guard for the zero vector: callers decide what a direction of nothing means.
inline Point normalize(Point p) { return p / length(p); }
inline Point left(Point p) { return {p.y, -p.x}; }
inline Point right(Point p) { return {-p.y, p.x}; }
inline float dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }

inline Rect make_rect(Point origin, Point size) { return {origin, {size.x, size.y}}; }
inline Rect make_rect(float x, float y, float w, float h) { return {{x, y}, {w, h}}; }
Rect range_rect(Point a, Point b);
// The smallest rectangle holding both; an empty rectangle (zero size) does not count.
Rect union_rect(const Rect& a, const Rect& b);
// The smallest rectangle holding both, a rectangle of zero size included: for pixel areas,
// where even a rectangle of no size touches a pixel.
Rect cover_rect(const Rect& a, const Rect& b);
// Grows a running pixel area by r; the first rectangle starts it.
inline void extend(std::optional<Rect>& area, const Rect& r) { area = area ? cover_rect(*area, r) : r; }
// Grows the rectangle by dx and dy on every side.
Rect grow_rect(const Rect& r, float dx, float dy);
inline bool is_empty(const Rect& r) { return !(r.size.width > 0) || !(r.size.height > 0); }

// "nice" means not NaN (an infinity is nice); "finite" excludes infinities too.
inline bool nice(float v) { return !std::isnan(v); }
inline bool nice(Point p) { return nice(p.x) && nice(p.y); }
inline bool nice(Size s) { return nice(s.width) && nice(s.height); }
inline bool nice(const Rect& r) { return nice(r.origin) && nice(r.size); }
inline bool finite(float v) { return std::isfinite(v); }
inline bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }
inline bool finite(const Rect& r)
{
    return finite(r.origin) && std::isfinite(r.size.width) && std::isfinite(r.size.height);
}

// Cubic Bernstein weight i at t.
float bezier_coefficient(int i, float t);
// The point at t of the cubic Bezier curve with control points p[0..3].
Point bezier(const Point p[4], float t);

template <typename T> constexpr T min(T a, T b) { return a < b ? a : b; }
template <typename T> constexpr T max(T a, T b) { return a > b ? a : b; }
template <typename T> constexpr T limit(T v, T lo, T hi) { return v < lo ? lo : (v > hi ? hi : v); }

inline Point point(Size s) { return {s.width, s.height}; }
inline Point centre(const Rect& r)
{
    return {r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2};
}
