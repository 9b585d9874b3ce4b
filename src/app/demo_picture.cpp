#include "demo_picture.h"

#include "canvas.h"
#include "outline_raster.h"
#include "pen_points.h"

#include <cmath>

namespace {

// Colours of the background bands, left to right, and of the strokes, top to bottom.
const color_ns::Color kBands[] = {0xE63946FF, 0xF4A261FF, 0xE9C46AFF, 0x2A9D8FFF,
                                  0x457B9DFF, 0x1D3557FF, 0xFFFFFFFF, 0x000000FF};
const QColor kInks[] = {QColor(20, 20, 30),   QColor(0, 0, 0),      QColor(90, 40, 120),
                        QColor(255, 240, 200), QColor(230, 60, 160), QColor(0, 0, 0),
                        QColor(0, 0, 0),      QColor(120, 200, 255)};

void paint_bands(PavoCanvas& canvas)
{
    const float w = canvas.size().width, h = canvas.size().height;
    const int n = int(std::size(kBands));
    for (int i = 0; i < n; ++i) {
        const float x0 = w * float(i) / float(n);
        canvas.drawBitmap().fillRect(make_rect(x0, 0, w / float(n), h), kBands[i]);
    }
    canvas.drawBitmap().copyRect(make_rect(0, 0, w, h), canvas.previewBitmap());
}

// A wavy stroke across the picture whose pressure swells and fades like a real one.
PenPoints wavy_stroke(const PavoCanvas& canvas, float y, float radius)
{
    PenPoints stroke(canvas.transform(), radius);
    const float w = canvas.size().width;
    for (float x = w * 0.04f; x <= w * 0.96f; x += 2.5f) {
        const float t = (x / w - 0.04f) / 0.92f;
        const float wave = std::sin(t * 6.2832f * 2.5f) * radius * 1.2f;
        const float pressure = 0.15f + 0.85f * std::sin(t * 3.14159f);
        stroke.addPointAt({x, y + wave}, pressure);
    }
    stroke.simplify();
    return stroke;
}

// Draws one stroke the way the drawing does: at full strength into the stroke layer, then
// transferred onto the drawing with its mode and opacity, and the scratch cleared again.
void draw_stroke(PavoCanvas& canvas, const PenPoints& stroke, const QColor& ink, int mode)
{
    const std::optional<PenOutline> outline = stroke.buildOutline();
    if (!outline) return;
    const Rect world = fill_outline(canvas.strokeBitmap(), *outline, color_ns::premultiplied(ink));
    const Rect pixels = canvas.worldRectToBitmapRect(world);
    canvas.strokeBitmap().transferRect(pixels, canvas.drawBitmap(), mode, 0.85f);
    canvas.drawBitmap().copyRect(pixels, canvas.previewBitmap());
    canvas.strokeBitmap().fillRect(pixels, color_ns::TRANSPARENT);
}

} // namespace

QImage render_demo_picture(int width, int height)
{
    auto canvas = PavoCanvas::create({float(width), float(height)});
    if (!canvas) return {};
    paint_bands(*canvas);
    const float row = float(height) / kTransferModeCount;
    for (int mode = 0; mode < kTransferModeCount; ++mode) {
        const PenPoints stroke = wavy_stroke(*canvas, row * (float(mode) + 0.5f), row * 0.3f);
        draw_stroke(*canvas, stroke, kInks[mode], mode);
    }
    return canvas->previewBitmap().image().copy();
}
