#include "affine_transform.h"

#include <QTransform>

AffineTransform AffineTransform::rotation(float radians)
{
    const float cs = std::cos(radians);
    const float sn = std::sin(radians);
    return {cs, sn, -sn, cs, 0, 0};
}

AffineTransform AffineTransform::after(const AffineTransform& f) const
{
    return {a * f.a + c * f.b,
            b * f.a + d * f.b,
            a * f.c + c * f.d,
            b * f.c + d * f.d,
            a * f.tx + c * f.ty + tx,
            b * f.tx + d * f.ty + ty};
}

std::optional<AffineTransform> AffineTransform::inverted() const
{
    // Invert in double so that strongly zoomed views keep their precision.
    const double det = double(a) * d - double(b) * c;
    if (det == 0 || !std::isfinite(det)) return std::nullopt;
    const AffineTransform inv{float(d / det),
                              float(-b / det),
                              float(-c / det),
                              float(a / det),
                              float((double(c) * ty - double(d) * tx) / det),
                              float((double(b) * tx - double(a) * ty) / det)};
    if (!inv.isFinite()) return std::nullopt;
    return inv;
}

bool AffineTransform::isFinite() const
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) &&
           std::isfinite(tx) && std::isfinite(ty);
}

QTransform AffineTransform::toQTransform() const { return QTransform(a, b, c, d, tx, ty); }

AffineTransform AffineTransform::fromQTransform(const QTransform& t)
{
    return {float(t.m11()), float(t.m12()), float(t.m21()),
            float(t.m22()), float(t.dx()),  float(t.dy())};
}

Rect transform_rect(const AffineTransform& t, const Rect& r)
{
    const Point corners[4] = {t.apply(r.origin), t.apply({r.maxX(), r.minY()}),
                              t.apply({r.minX(), r.maxY()}), t.apply({r.maxX(), r.maxY()})};
    Point lo = corners[0];
    Point hi = corners[0];
    for (const Point p : corners) {
        lo = {min(lo.x, p.x), min(lo.y, p.y)};
        hi = {max(hi.x, p.x), max(hi.y, p.y)};
    }
    return make_rect(lo, hi - lo);
}
