#pragma once

// The pressure curve drawn as a graph, the tablet's pressure along, the pens' pressure up,
// with its points as handles: drag one to bend the curve, click off the curve's points to
// add one, double-click a point (or right-click it) to take it away. While the stylus is
// near, a marker shows where its pressure falls on the curve.

#include "pressure_curve.h"

#include <QWidget>

#include <optional>

class CurveEditor final : public QWidget {
    Q_OBJECT

public:
    explicit CurveEditor(QWidget* parent = nullptr);

    const PressureCurve& curve() const { return _curve; }
    void setCurve(const PressureCurve& curve);
    // The stylus's raw pressure, or nothing when it is away.
    void setMarker(std::optional<float> raw);
    // Where a point of the curve sits in the widget, and back.
    QPointF place(CurvePoint p) const;
    CurvePoint value(QPointF at) const;

    QSize sizeHint() const override { return {260, 260}; }

signals:
    void curveChanged(const PressureCurve& curve);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QRectF graph() const;
    std::optional<size_t> pointNear(QPointF at) const;
    void change(const PressureCurve& curve);

    PressureCurve _curve;
    std::optional<size_t> _dragged;
    std::optional<float> _marker;
};
