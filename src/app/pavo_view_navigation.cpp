// The view transformation: zoom, pan and rotation, and the menu commands built on them.

#include "pavo_view.h"

#include <cmath>

namespace {

constexpr float kZoomInFactor = 3.0f;
// The exact inverse, so that zooming in and out again gives the same view back.
constexpr float kZoomOutFactor = 1 / kZoomInFactor;

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

// The view transformations of the navigation commands, in view pixels: each keeps the world
// point under p and brings it to the centre c after the change. None when a step leaves
// the transformation unusable.
std::optional<AffineTransform> brought_to_centre(const AffineTransform& t, const AffineTransform& changed,
                                                 Point p, Point c)
{
    const std::optional<AffineTransform> inverse = t.inverted();
    const std::optional<AffineTransform> changed_inverse = changed.isFinite() ? changed.inverted() : std::nullopt;
    if (!inverse || !changed_inverse) return std::nullopt;
    const Point by = changed_inverse->apply(c) - inverse->apply(p);
    const AffineTransform moved = changed.after(AffineTransform::translation(by.x, by.y));
    if (!moved.isUsable()) return std::nullopt;
    return moved;
}

std::optional<AffineTransform> zoomed(const AffineTransform& t, Point p, float s, Point c)
{
    return brought_to_centre(t, t.after(AffineTransform::scaling(s, s)), p, c);
}

std::optional<AffineTransform> rotated(const AffineTransform& t, Point p, float radians, Point c)
{
    return brought_to_centre(t, t.after(AffineTransform::rotation(radians)), p, c);
}

} // namespace

float PavoView::scale() const { return length({_transform.a, _transform.b}); }

bool PavoView::setTransform(const AffineTransform& t)
{
    if (!t.isUsable() || !zoom_in_range(length({t.a, t.b}))) return false;
    if (!applyTransform(t)) return false;
    redraw();
    return true;
}

bool PavoView::finishViewChange(const std::optional<AffineTransform>& t)
{
    if (!t || !applyTransform(*t)) return false;
    redraw();
    _document.drawing().markChanged();
    return true;
}

bool PavoView::zoomToPoint(Point p, float s)
{
    // NaN, zero and negative factors are no zoom at all.
    if (!finite(p) || !(s > 0)) return false;
    reallocateIfNeeded();
    return finishViewChange(zoomed(_transform, p, clamped_factor(scale(), s), viewCentre()));
}

bool PavoView::zoomToBitmapRect(const Rect& r)
{
    if (!finite(r)) return false;
    reallocateIfNeeded();
    const Size size = _canvas_size;
    return zoomToPoint(centre(r), min(size.width / r.size.width, size.height / r.size.height));
}

bool PavoView::rotateFrom(Point a, Point b)
{
    if (!finite(a) || !finite(b)) return false;
    reallocateIfNeeded();
    const Point c = viewCentre();
    return finishViewChange(rotated(_transform, c, angle(b - c) - angle(a - c), c));
}

bool PavoView::moveFrom(Point a, Point b)
{
    reallocateIfNeeded();
    const Point by = b - a;
    if (!finite(by)) return false;
    AffineTransform moved = _transform;
    moved.tx += by.x;
    moved.ty += by.y;
    if (!moved.isUsable()) return false;
    // A move by whole device pixels of a picture that is up to date keeps the pixels it has
    // and renders only the strips that come into view.
    const AffineTransform before = _canvas->transform(), after = canvas_transform(moved, _ratio);
    const float dx = std::round(after.tx - before.tx), dy = std::round(after.ty - before.ty);
    const bool whole_pixels = std::abs(after.tx - before.tx - dx) < 1e-3f &&
                              std::abs(after.ty - before.ty - dy) < 1e-3f &&
                              std::abs(dx) < _canvas->size().width && std::abs(dy) < _canvas->size().height;
    if (!whole_pixels || _needs_redraw || reallocationPending()) return finishViewChange(moved);
    if (!scrollPicture(int(dx), int(dy), moved)) return false;
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
    return zoomToBitmapRect(transform_rect(_transform, bounds));
}

bool PavoView::resetRotation()
{
    reallocateIfNeeded();
    const Point w = viewPointToWorldPoint(viewCentre());
    // Under the identity the world point is its own view point.
    return finishViewChange(zoomed(AffineTransform::identity(), w, scale(), viewCentre()));
}

bool PavoView::zoomAbout(Point p, float s)
{
    if (!finite(p) || !(s > 0)) return false;
    reallocateIfNeeded();
    return finishViewChange(zoomed(_transform, p, clamped_factor(scale(), s), p));
}

bool PavoView::rotateAbout(Point p, float radians)
{
    if (!finite(p) || !std::isfinite(radians)) return false;
    reallocateIfNeeded();
    return finishViewChange(rotated(_transform, p, radians, p));
}

bool PavoView::scrollWheel(Point p, Point notches, unsigned modifiers)
{
    if (inGesture() || !finite(notches) || notches == Point{}) return false;
    const bool command = modifiers & kCommandKey, shift = modifiers & kShiftKey;
    constexpr float kTurnStep = kTurnStepDegrees * 3.14159265f / 180;
    if (command && shift) return rotateAbout(p, notches.y * kTurnStep);
    if (command) return zoomAbout(p, std::pow(kWheelZoomStep, notches.y));
    // A plain wheel has no sideways axis: shift lends it one.
    if (shift && notches.x == 0) notches = {notches.y, 0};
    // Whole pixels, so that the picture scrolls rather than renders again; the fractions are
    // kept for the next scroll, so that many small ones still add up.
    const Point by = notches * kScrollPixelsPerNotch + _scroll_rest;
    const Point whole{std::round(by.x), std::round(by.y)};
    _scroll_rest = by - whole;
    const Point from = viewCentre();
    return whole != Point{} && moveFrom(from, from + whole);
}

bool PavoView::pinch(Point p, float factor) { return !inGesture() && zoomAbout(p, factor); }

bool PavoView::actualSize()
{
    reallocateIfNeeded();
    return zoomToPoint(viewCentre(), 1 / scale());
}

bool PavoView::turnSteps(int steps)
{
    reallocateIfNeeded();
    return rotateAbout(viewCentre(), float(steps) * kTurnStepDegrees * 3.14159265f / 180);
}

bool PavoView::scrollByTenth(int dx, int dy)
{
    if (inGesture()) return false;
    reallocateIfNeeded();
    const Point from = viewCentre();
    return moveFrom(from, from - Point{float(dx) * _canvas_size.width, float(dy) * _canvas_size.height} / 10.0f);
}
