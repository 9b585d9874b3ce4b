#pragma once

// The demonstration picture: one pressure stroke in each of the eight transfer modes,
// drawn over coloured bands, rendered through the same canvas layers as a drawing.

#include <QImage>

QImage render_demo_picture(int width, int height);
