#pragma once

// Strokes for tests, in drawing units.

#include "stroke.h"

#include <QColor>

#include <vector>

StrokePtr fill_stroke(const Rect& r, const QColor& color = Qt::black, int mode = kModeNormal,
                      float opacity = 1);
// The built-in pen's stroke through the points at full pressure.
StrokePtr pen_stroke(const std::vector<Point>& points, float radius = 4, const QColor& color = Qt::black);
StrokePtr line_stroke(Point from, Point to, float width = 1, const QColor& color = Qt::black);
// A picture of the given colour filling r.
StrokePtr image_stroke(const Rect& r, const QColor& color = Qt::green, float opacity = 1);
