#include "path.h"

#include "context_wrapper.h"

#include <QPainter>
#include <QPainterPathStroker>

Path::Path(const QPainterPath& path)
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

Path::Path(std::vector<PathElement> elements) : _elements(std::move(elements)) {}

bool Path::isFinite() const
{
    for (const PathElement& e : _elements) {
        const int used = e.element == kCurveTo ? 3 : (e.element == kClosePath ? 0 : 1);
        for (int i = 0; i < used; ++i)
            if (!finite(e.p[i])) return false;
    }
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
    if (_elements.empty()) return {};
    const QRectF r = painterPath(kNonZero).controlPointRect();
    return make_rect(float(r.x()), float(r.y()), float(r.width()), float(r.height()));
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

Rect Path::strokeInContext(CGContextWrapper& context) const
{
    const float width = context.lineWidth();
    const Rect box = grow_rect(bounds(), width, width);
    QPainter* painter = context.painter();
    if (!painter || _elements.empty()) return box;
    const QColor color = context.strokeColor().isValid() ? context.strokeColor() : Qt::black;
    QPen pen(color, width, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
    painter->strokePath(painterPath(kNonZero), pen);
    return box;
}
