#include "path.h"

#include "context_wrapper.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

Path::Path(const QPainterPath& path)
    : _winding_rule(path.fillRule() == Qt::WindingFill ? kNonZero : kEvenOdd)
{
    _elements.reserve(std::size_t(path.elementCount()));
    const auto at = [&path](int i) {
        const QPainterPath::Element e = path.elementAt(i);
        return Point{float(e.x), float(e.y)};
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            _elements.push_back({kMoveTo, {at(i)}});
        } else if (e.isLineTo()) {
            _elements.push_back({kLineTo, {at(i)}});
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            _elements.push_back({kCurveTo, {at(i), at(i + 1), at(i + 2)}});
            i += 2;
        }
    }
}

Path::Path(std::vector<PathElement> elements, int windingRule) : _elements(std::move(elements))
{
    setWindingRule(windingRule);
}

namespace {
int points_of(const PathElement& e)
{
    switch (e.element) {
    case kMoveTo:
    case kLineTo: return 1;
    case kCurveTo: return 3;
    default: return 0;
    }
}
} // namespace

void Path::transform(const AffineTransform& t)
{
    for (PathElement& e : _elements)
        for (int i = 0; i < points_of(e); ++i) e.p[i] = t.apply(e.p[i]);
    changed();
}

void Path::append(const Path& other)
{
    _elements.insert(_elements.end(), other._elements.begin(), other._elements.end());
    changed();
}

bool Path::isFinite() const
{
    for (const PathElement& e : _elements)
        for (int i = 0; i < points_of(e); ++i)
            if (!finite(e.p[i])) return false;
    return true;
}

QPainterPath Path::toQPainterPath(int windingRule) const
{
    QPainterPath path;
    path.setFillRule(windingRule == kNonZero ? Qt::WindingFill : Qt::OddEvenFill);
    path.reserve(int(_elements.size()));
    for (const PathElement& e : _elements) {
        const Point* p = e.p;
        switch (e.element) {
        case kMoveTo: path.moveTo(p[0].x, p[0].y); break;
        case kLineTo: path.lineTo(p[0].x, p[0].y); break;
        case kCurveTo: path.cubicTo(p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y); break;
        case kClosePath: path.closeSubpath(); break;
        default: break; // unknown elements add nothing
        }
    }
    return path;
}

const QPainterPath& Path::painterPath(int windingRule) const
{
    const Qt::FillRule rule = windingRule == kNonZero ? Qt::WindingFill : Qt::OddEvenFill;
    if (!_built) {
        _painter_path = toQPainterPath(windingRule);
        _built = true;
    } else if (_painter_path.fillRule() != rule) {
        _painter_path.setFillRule(rule);
    }
    return _painter_path;
}

Rect Path::bounds() const
{
    bool any = false;
    Point lo, hi;
    for (const PathElement& e : _elements)
        for (int i = 0; i < points_of(e); ++i) {
            const Point p = e.p[i];
            // A NaN point shows in the bounds, so that a path holding one is known as bad.
            if (!nice(p)) return make_rect(NAN, NAN, NAN, NAN);
            lo = any ? Point{std::min(lo.x, p.x), std::min(lo.y, p.y)} : p;
            hi = any ? Point{std::max(hi.x, p.x), std::max(hi.y, p.y)} : p;
            any = true;
        }
    return any ? make_rect(lo, hi - lo) : Rect{};
}

Rect Path::boundsInContext(CGContextWrapper&) const { return bounds(); }

Rect Path::fillInContext(CGContextWrapper& context, int windingRule) const
{
    const Rect box = bounds();
    QPainter* painter = context.painter();
    if (!painter || _elements.empty()) return box;
    painter->fillPath(painterPath(windingRule), painter->brush());
    return box;
}

namespace {
// Lines wider than this are beyond any drawing; the painter is left to refuse them.
constexpr float kLargestOutlinedWidth = 1e6f;
} // namespace

Rect Path::strokeInContext(CGContextWrapper& context) const
{
    const float width = context.lineWidth();
    QPainter* painter = context.painter();
    if (!painter || _elements.empty()) return grow_rect(bounds(), width, width);
    // Width 0 draws a hairline one pixel wide whatever the zoom: the bounds must hold it,
    // or the view would leave its edge on screen when the stroke goes.
    const QTransform to_world = painter->worldTransform().inverted();
    const float hairline = float(std::max(std::hypot(to_world.m11(), to_world.m12()),
                                          std::hypot(to_world.m21(), to_world.m22())));
    const float grow = width == 0 ? hairline : width;
    const Rect box = grow_rect(bounds(), grow, grow);
    const QColor color = context.strokeColor().isValid() ? context.strokeColor() : Qt::black;
    // Widths that are not a plain positive number are left to the painter, which draws a
    // hairline for 0 and nothing for the rest.
    if (!(width > 0 && width < kLargestOutlinedWidth)) {
        painter->strokePath(painterPath(kNonZero), QPen(color, width, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        return box;
    }
    // Outlined in drawing units and filled: the painter's own stroking clips lines to the
    // device, so a part of a picture would come out a little different from the whole.
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::BevelJoin);
    QPainterPath outline = stroker.createStroke(painterPath(kNonZero));
    outline.setFillRule(Qt::WindingFill);
    painter->fillPath(outline, color);
    return box;
}
