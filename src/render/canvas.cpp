#include "canvas.h"

#include "work_pool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

std::unique_ptr<PavoCanvas> PavoCanvas::create(Size size)
{
    auto canvas = std::make_unique<PavoCanvas>(Tag{});
    canvas->_draw = Bitmap::create(size);
    canvas->_stroke = Bitmap::create(size);
    canvas->_preview = Bitmap::create(size);
    if (!canvas->_draw || !canvas->_stroke || !canvas->_preview) return nullptr;
    canvas->_stroke->fill(color_ns::TRANSPARENT);
    return canvas;
}

std::unique_ptr<PavoCanvas> PavoCanvas::partOf(PavoCanvas& whole, const PixelSpan& span)
{
    auto part = std::make_unique<PavoCanvas>(Tag{});
    part->_draw = Bitmap::partOf(*whole._draw, span);
    part->_stroke = Bitmap::scratchPartOf(*whole._stroke, span);
    part->_preview = Bitmap::partOf(*whole._preview, span);
    if (!part->_draw || !part->_stroke || !part->_preview) return nullptr;
    return part;
}

void PavoCanvas::copyTransforms()
{
    _stroke->setTransform(_draw->transform());
    _preview->setTransform(_draw->transform());
}

bool PavoCanvas::setTransform(const AffineTransform& t)
{
    if (!_draw->setTransform(t)) return false;
    copyTransforms();
    return true;
}

bool PavoCanvas::scale(float s)
{
    return setTransform(transform().after(AffineTransform::scaling(s, s)));
}

bool PavoCanvas::translate(Point by)
{
    return setTransform(transform().after(AffineTransform::translation(by.x, by.y)));
}

bool PavoCanvas::rotate(float radians)
{
    return setTransform(transform().after(AffineTransform::rotation(radians)));
}

void PavoCanvas::fill(color_ns::Color color)
{
    _draw->fill(color);
    _preview->fill(color);
}

void PavoCanvas::fillSpan(const PixelSpan& span, color_ns::Color color)
{
    if (span.empty()) return;
    _draw->fillRect(span_rect(span), color);
    _preview->fillRect(span_rect(span), color);
}

void PavoCanvas::showPreview(const Rect& pixelRect, int mode, float opacity)
{
    _draw->copyRect(pixelRect, *_preview);
    _stroke->transferRect(pixelRect, *_preview, mode, opacity);
}

void PavoCanvas::commit(const Rect& pixelRect, int mode, float opacity)
{
    _stroke->transferRect(pixelRect, *_draw, mode, opacity);
    _stroke->fillRect(pixelRect, color_ns::TRANSPARENT);
}

void PavoCanvas::show(const Rect& pixelRect) { _draw->copyRect(pixelRect, *_preview); }

namespace {

// Rows per part: several parts for each core, so that a part crowded with strokes does not
// leave the other cores idle, but not so thin that every stroke is looked at many times.
int part_rows(const PixelSpan& area, int threads)
{
    constexpr int kPartsPerThread = 4, kMinRows = 32;
    return std::max(kMinRows, (area.height() + kPartsPerThread * threads - 1) / (kPartsPerThread * threads));
}

} // namespace

void PavoCanvas::renderInParts(const PixelSpan& area,
                               const std::function<void(PavoCanvas&, int)>& render, int threads)
{
    const PixelSpan& all = _draw->clip();
    const PixelSpan clipped{std::max(area.x0, all.x0), std::min(area.x1, all.x1),
                            std::max(area.y0, all.y0), std::min(area.y1, all.y1)};
    if (clipped.empty()) return;
    const int rows = part_rows(clipped, threads > 0 ? threads : core_count());
    const int parts = (clipped.height() + rows - 1) / rows;
    run_parts(parts, [&](int i) {
        const int top = clipped.y0 + i * rows;
        const auto part = partOf(*this, {clipped.x0, clipped.x1, top, std::min(clipped.y1, top + rows - 1)});
        if (part) render(*part, i);
    }, threads);
}

namespace {

// Moves the pixels of a bitmap by (dx, dy); what moved out is lost, what is uncovered is
// left as it was.
void move_pixels(Bitmap& b, int dx, int dy)
{
    const int w = b.width() - std::abs(dx), h = b.height() - std::abs(dy);
    if (w <= 0 || h <= 0) return;
    const int from_x = std::max(0, -dx), to_x = std::max(0, dx);
    const auto move_row = [&](int y) {
        std::memmove(b.pixel(to_x, y + dy), b.pixel(from_x, y), std::size_t(w) * 4);
    };
    // Rows are moved in the order that never overwrites one still to be moved.
    if (dy > 0)
        for (int y = b.height() - dy - 1; y >= 0; --y) move_row(y);
    else
        for (int y = -dy; y < b.height(); ++y) move_row(y);
}

} // namespace

bool PavoCanvas::scrollBy(int dx, int dy, std::vector<PixelSpan>& uncovered)
{
    uncovered.clear();
    AffineTransform moved = transform();
    moved.tx += float(dx);
    moved.ty += float(dy);
    if (!setTransform(moved)) return false;
    const int w = _draw->width(), h = _draw->height();
    move_pixels(*_draw, dx, dy);
    move_pixels(*_preview, dx, dy);
    // Uncovered rows across the whole width, then uncovered columns between them.
    const PixelSpan rows = dy > 0 ? PixelSpan{0, w - 1, 0, std::min(h, dy) - 1}
                                  : PixelSpan{0, w - 1, std::max(0, h + dy), h - 1};
    const int y0 = dy > 0 ? std::min(h, dy) : 0, y1 = dy > 0 ? h - 1 : std::max(0, h + dy) - 1;
    const PixelSpan columns = dx > 0 ? PixelSpan{0, std::min(w, dx) - 1, y0, y1}
                                     : PixelSpan{std::max(0, w + dx), w - 1, y0, y1};
    const auto uncover = [&](const PixelSpan& s) {
        if (s.empty()) return;
        fillSpan(s, color_ns::TRANSPARENT);
        uncovered.push_back(s);
    };
    if (dy != 0) uncover(rows);
    if (dx != 0) uncover(columns);
    return true;
}

void PavoCanvas::endPreview(const Rect& pixelRect)
{
    _stroke->fillRect(pixelRect, color_ns::TRANSPARENT);
    _draw->copyRect(pixelRect, *_preview);
}

bool PavoCanvas::zoomToPoint(Point pixelPoint, float s)
{
    const Point w0 = bitmapPointToWorldPoint(pixelPoint);
    if (!scale(s)) return false;
    const Point w1 = bitmapPointToWorldPoint(point(size()) / 2.0f);
    return translate(w1 - w0);
}

bool PavoCanvas::rotateAroundPoint(Point pixelPoint, float radians)
{
    const Point w0 = bitmapPointToWorldPoint(pixelPoint);
    if (!rotate(radians)) return false;
    const Point w1 = bitmapPointToWorldPoint(point(size()) / 2.0f);
    return translate(w1 - w0);
}
