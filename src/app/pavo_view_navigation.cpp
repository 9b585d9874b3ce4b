// The view transformation: zoom, pan and rotation, and the menu commands built on them.

#include "pavo_view.h"

#include <cmath>

namespace {

constexpr float kZoomInFactor = 3.0f;
// Not 1/3: zooming in and out again leaves 0.9 of the former zoom.
constexpr float kZoomOutFactor = 0.3f;

// Float rounding may leave a zoom made at the edge of the range a hair beyond it.
bool zoom_in_range(float s)
{
    constexpr float slack = 1e-3f;
    return s >= PavoView::kMinScale * (1 - slack) && s <= PavoView::kMaxScale * (1 + slack);
}

// The factor that goes as far towards s as the range allows, never away from s.
float clamped_factor(float current, float s)
{
    if (s > 1) return min(s, max(1.0f, PavoView::kMaxScale / current));
    if (s < 1) return max(s, min(1.0f, PavoView::kMinScale / current));
    return s;
}

} // namespace

float PavoView::scale() const
{
    const AffineTransform& t = _canvas->transform();
    return length({t.a, t.b});
}

bool PavoView::setTransform(const AffineTransform& t)
{
    if (!t.isUsable() || !zoom_in_range(length({t.a, t.b}))) return false;
    if (!_canvas->setTransform(t)) return false;
    redraw();
    return true;
}

bool PavoView::finishViewChange(const AffineTransform& before, bool applied)
{
    if (!applied) {
        // A canvas step may have gone through before a later one was refused.
        _canvas->setTransform(before);
        return false;
    }
    redraw();
    _document.drawing().markChanged();
    return true;
}

bool PavoView::zoomToPoint(Point p, float s)
{
    // NaN, zero and negative factors are no zoom at all.
    if (!finite(p) || !(s > 0)) return false;
    reallocateIfNeeded();
    const AffineTransform before = _canvas->transform();
    return finishViewChange(before, _canvas->zoomToPoint(p, clamped_factor(scale(), s)));
}

bool PavoView::zoomToBitmapRect(const Rect& r)
{
    if (!finite(r)) return false;
    reallocateIfNeeded();
    const Size size = _canvas->size();
    return zoomToPoint(centre(r), min(size.width / r.size.width, size.height / r.size.height));
}

bool PavoView::rotateFrom(Point a, Point b)
{
    if (!finite(a) || !finite(b)) return false;
    reallocateIfNeeded();
    const Point c = viewCentre();
    const AffineTransform before = _canvas->transform();
    return finishViewChange(before, _canvas->rotateAroundPoint(c, angle(b - c) - angle(a - c)));
}

bool PavoView::moveFrom(Point a, Point b)
{
    reallocateIfNeeded();
    // A move by whole pixels of a picture that is up to date keeps the pixels it has and
    // renders only the strips that come into view.
    const Point by = b - a;
    const bool whole_pixels = finite(by) && by.x == std::round(by.x) && by.y == std::round(by.y) &&
                              std::abs(by.x) < _canvas->size().width && std::abs(by.y) < _canvas->size().height;
    if (!whole_pixels || _needs_redraw || reallocationPending())
        return zoomToPoint(viewCentre() + a - b, 1.0f);
    if (!scrollPicture(int(by.x), int(by.y))) return false;
    _document.drawing().markChanged();
    return true;
}

bool PavoView::zoomIn()
{
    reallocateIfNeeded();
    return zoomToPoint(viewCentre(), kZoomInFactor);
}

bool PavoView::zoomOut()
{
    reallocateIfNeeded();
    return zoomToPoint(viewCentre(), kZoomOutFactor);
}

bool PavoView::zoomToFit()
{
    const Rect bounds = _document.drawing().strokes().bounds();
    if (is_empty(bounds) || !finite(bounds)) return false;
    reallocateIfNeeded();
    return zoomToBitmapRect(_canvas->worldRectToBitmapRect(bounds));
}

bool PavoView::resetRotation()
{
    reallocateIfNeeded();
    const Point w = _canvas->bitmapPointToWorldPoint(viewCentre());
    const float s = scale();
    const AffineTransform before = _canvas->transform();
    // Under the identity the world point is its own view point.
    const bool applied =
        _canvas->setTransform(AffineTransform::identity()) && _canvas->zoomToPoint(w, s);
    return finishViewChange(before, applied);
}
