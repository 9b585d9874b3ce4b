#pragma once

// The pen's outline that follows the pointer: a circle of the nib's size on screen, and a
// second one at the pressure the stylus reports while it hovers.

#include <QPointF>
#include <QRect>

class QPainter;

struct BrushOutline {
    QPointF centre;
    float radius = 0;        // view pixels at full pressure
    float hoverPressure = 0; // 0: the tablet reports none
};

// Everything painting the outline touches, for updating only that much on a move.
QRect outline_bounds(const BrushOutline& outline);
// A dark ring with a light ring just outside it, so that it shows on any ink.
void paint_outline(QPainter& painter, const BrushOutline& outline);
