#pragma once

// The window frame saved with a drawing: "X Y W H", the window's place on the screen and
// the size of its drawing area in pixels. Saving the drawing area rather than the outer
// window lets a drawing be exported headless showing exactly what its window showed.

#include "geometry.h"

#include <QString>

#include <optional>

struct WindowFrame {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    Size viewSize() const { return {float(width), float(height)}; }
};

// None for a string that does not start with four whole numbers, or whose size is not
// positive or larger than any screen (100000 pixels). Further fields are ignored.
std::optional<WindowFrame> parse_window_frame(const QString& text);
QString format_window_frame(const WindowFrame& frame);
