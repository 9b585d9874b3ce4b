#include "curve_editor.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

constexpr qreal kMargin = 10;
constexpr qreal kHandle = 5;
constexpr qreal kGrab = 9; // a handle answers a little beyond its drawn size

} // namespace

CurveEditor::CurveEditor(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(160, 160);
    setAccessibleName(tr("Pressure curve"));
}

void CurveEditor::setCurve(const PressureCurve& curve)
{
    _curve = curve;
    _dragged.reset();
    update();
}

void CurveEditor::setMarker(std::optional<float> raw)
{
    if (raw) raw = std::clamp(*raw, 0.f, 1.f);
    if (raw == _marker) return;
    _marker = raw;
    update();
}

QRectF CurveEditor::graph() const
{
    const qreal side = std::min(width(), height()) - 2 * kMargin;
    return {(width() - side) / 2, (height() - side) / 2, side, side};
}

QPointF CurveEditor::place(CurvePoint p) const
{
    const QRectF g = graph();
    return {g.left() + p.x * g.width(), g.bottom() - p.y * g.height()};
}

CurvePoint CurveEditor::value(QPointF at) const
{
    const QRectF g = graph();
    return {float((at.x() - g.left()) / g.width()), float((g.bottom() - at.y()) / g.height())};
}

std::optional<size_t> CurveEditor::pointNear(QPointF at) const
{
    const std::vector<CurvePoint>& points = _curve.points();
    for (size_t k = 0; k < points.size(); ++k)
        if (QLineF(place(points[k]), at).length() <= kGrab) return k;
    return std::nullopt;
}

void CurveEditor::change(const PressureCurve& curve)
{
    if (curve == _curve) return;
    _curve = curve;
    update();
    emit curveChanged(_curve);
}

void CurveEditor::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF g = graph();
    const QPalette& colours = palette();
    painter.fillRect(g, colours.base());
    painter.setPen(QPen(colours.mid(), 1, Qt::DotLine));
    for (int k = 1; k < 4; ++k) {
        painter.drawLine(QPointF(g.left() + g.width() * k / 4, g.top()), QPointF(g.left() + g.width() * k / 4, g.bottom()));
        painter.drawLine(QPointF(g.left(), g.top() + g.height() * k / 4), QPointF(g.right(), g.top() + g.height() * k / 4));
    }
    painter.drawLine(g.bottomLeft(), g.topRight()); // the unchanged pressure, for comparison
    painter.setPen(QPen(colours.mid(), 1));
    painter.drawRect(g);
    QPainterPath path(place({0, _curve.map(0)}));
    for (int k = 1; k <= 100; ++k) {
        const float x = float(k) / 100;
        path.lineTo(place({x, _curve.map(x)}));
    }
    painter.setPen(QPen(colours.text(), 2));
    painter.drawPath(path);
    painter.setBrush(colours.highlight());
    for (const CurvePoint& p : _curve.points()) painter.drawEllipse(place(p), kHandle, kHandle);
    if (_marker) {
        const QPointF on = place({*_marker, _curve.map(*_marker)});
        painter.setPen(QPen(colours.highlight(), 1, Qt::DashLine));
        painter.drawLine(QPointF(on.x(), g.bottom()), on);
        painter.drawLine(on, QPointF(g.left(), on.y()));
        painter.setBrush(colours.highlight());
        painter.drawEllipse(on, kHandle - 1, kHandle - 1);
    }
}

void CurveEditor::mousePressEvent(QMouseEvent* event)
{
    const std::optional<size_t> near = pointNear(event->position());
    if (event->button() == Qt::RightButton) {
        if (near) change(_curve.withoutPoint(*near));
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    if (near) {
        _dragged = near;
        return;
    }
    auto [added, index] = _curve.withPointAdded(value(event->position()));
    _dragged = index;
    change(added);
}

void CurveEditor::mouseMoveEvent(QMouseEvent* event)
{
    if (_dragged) change(_curve.withPointMoved(*_dragged, value(event->position())));
}

void CurveEditor::mouseReleaseEvent(QMouseEvent*) { _dragged.reset(); }

void CurveEditor::mouseDoubleClickEvent(QMouseEvent* event)
{
    _dragged.reset();
    if (const std::optional<size_t> near = pointNear(event->position())) change(_curve.withoutPoint(*near));
}
