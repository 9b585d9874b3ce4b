#include "placement.h"

#include <QCoreApplication>

#include <algorithm>

Size fit_picture_in_view(Size picture, Size view)
{
    Size s = picture;
    // Each side in turn, the height on the already scaled size. A view of 20 pixels or less
    // leaves no margin: the picture then fills it.
    if (s.width > view.width - 20) {
        float f = (view.width - 20) / s.width;
        if (f <= 0) f = view.width / s.width;
        s = {s.width * f, s.height * f};
    }
    if (s.height > view.height - 20) {
        float f = (view.height - 20) / s.height;
        if (f <= 0) f = view.height / s.height;
        s = {s.width * f, s.height * f};
    }
    return s;
}

Result<AffineTransform> paste_placement(const Rect& bounds, Size view,
                                        const AffineTransform& viewTransform)
{
    const std::optional<AffineTransform> toWorld = viewTransform.inverted();
    if (!toWorld || !finite(bounds))
        return Failure{QCoreApplication::translate("Pavo", "The strokes cannot be shown in this view.")};
    const Point d = point(view) / 2.0f - centre(bounds);
    return toWorld->after(AffineTransform::translation(d.x, d.y));
}

Result<AffineTransform> drawing_placement(const Rect& bounds, Point at, Size visible, float scale)
{
    if (!finite(bounds) || !(bounds.size.width > 0) || !(bounds.size.height > 0))
        return Failure{QCoreApplication::translate("Pavo",
            "Its strokes have no width or no height, so they cannot be scaled to fit.")};
    const double k = double(scale) * std::min(double(visible.width) / bounds.size.width,
                                              double(visible.height) / bounds.size.height);
    const Point c = centre(bounds);
    // T(q) = at + k * (q - centre of bounds)
    const AffineTransform t{float(k), 0, 0, float(k), float(at.x - k * c.x), float(at.y - k * c.y)};
    if (!t.isUsable()) return Failure{QCoreApplication::translate("Pavo", "It cannot be scaled to fit this view.")};
    return t;
}
