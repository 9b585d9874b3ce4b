#pragma once

// Small builders shared by the model tests.

#include "canvas.h"
#include "stroke.h"

#include <QPainterPath>

#include <memory>

inline Path rect_path(float x, float y, float w, float h, int rule = kNonZero)
{
    QPainterPath p;
    p.addRect(double(x), double(y), double(w), double(h));
    Path path(p);
    path.setWindingRule(rule);
    return path;
}

inline StrokePtr fill_stroke(float x, float y, float w, float h, const QColor& color,
                             int mode = kModeNormal, float opacity = 1.0f)
{
    return Stroke::withPath(rect_path(x, y, w, h), color, mode, opacity);
}

// A short pen stroke with varying pressure, drawn under the identity transform.
inline StrokePtr pen_stroke(Point from, Point to, float radius, const QColor& color,
                            int mode = kModeNormal, float opacity = 1.0f)
{
    PenPoints points(AffineTransform::identity(), radius);
    for (int i = 0; i <= 20; ++i) {
        const float t = float(i) / 20.0f;
        points.addPointAt(from + (to - from) * t, 0.4f + 0.6f * t);
    }
    points.simplify();
    return Stroke::withPenPoints(std::move(points), color, mode, opacity);
}

inline std::unique_ptr<PavoCanvas> white_canvas(int w, int h)
{
    auto canvas = PavoCanvas::create({float(w), float(h)});
    canvas->fill(color_ns::WHITE);
    return canvas;
}
