#include "bitmap.h"

#include "context_wrapper.h"
#include "pavo_assert.h"
#include "transfer_loops.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A bitmap larger than this is refused rather than allowed to exhaust memory: about 16x
// a 4K screen, far beyond any view or export size the program offers.
constexpr double kMaxPixels = 1 << 27;

int pixels_along(float extent)
{
    return std::isfinite(extent) && extent > 0 ? int(std::min<double>(extent, 1 << 30)) : 0;
}

// A reusable row buffer of at least n pixels for the source scaled by the opacity.
std::uint32_t* scratch_row(int n)
{
    thread_local std::vector<std::uint32_t> row;
    if (row.size() < std::size_t(n)) row.resize(std::size_t(n));
    return row.data();
}

} // namespace

std::unique_ptr<Bitmap> Bitmap::create(Size size)
{
    if (!nice(size) || size.width < 0 || size.height < 0) return nullptr;
    const int w = pixels_along(size.width);
    const int h = pixels_along(size.height);
    if (double(w) * double(h) > kMaxPixels) return nullptr;
    return std::make_unique<Bitmap>(Tag{}, size, w, h);
}

Bitmap::Bitmap(Tag, Size size, int width, int height)
    : _size(size), _height(height), _width(width), _clip{0, width - 1, 0, height - 1},
      _stride(width),
      _owned(std::make_unique<std::uint32_t[]>(std::max<std::size_t>(
          std::size_t(width) * std::size_t(height), 1))), // zeroed: every pixel transparent
      _pixels(_owned.get())
{
    attachImage();
}

Bitmap::Bitmap(Tag, const Bitmap& whole, const PixelSpan& span, std::uint32_t* shared)
    : _size(whole._size), _height(whole._height), _width(whole._width), _clip(span),
      _stride(shared ? whole._stride : span.width()),
      _owned(shared ? nullptr
                    : std::make_unique<std::uint32_t[]>(std::size_t(span.width()) *
                                                        std::size_t(span.height()))),
      _pixels(shared ? shared : _owned.get())
{
    attachImage();
    setTransform(whole.transform());
}

namespace {

bool inside(const PixelSpan& span, const Bitmap& whole)
{
    const PixelSpan& c = whole.clip();
    return !span.empty() && span.x0 >= c.x0 && span.y0 >= c.y0 && span.x1 <= c.x1 && span.y1 <= c.y1;
}

} // namespace

std::unique_ptr<Bitmap> Bitmap::partOf(Bitmap& whole, const PixelSpan& span)
{
    if (!inside(span, whole)) return nullptr;
    return std::make_unique<Bitmap>(Tag{}, whole, span, whole.pixel(span.x0, span.y0));
}

std::unique_ptr<Bitmap> Bitmap::scratchPartOf(const Bitmap& whole, const PixelSpan& span)
{
    if (!inside(span, whole)) return nullptr;
    return std::make_unique<Bitmap>(Tag{}, whole, span, nullptr);
}

// The painter draws into the clip's pixels, so it works a clip's corner away from the
// bitmap's own coordinates.
void Bitmap::attachImage()
{
    if (!isEmpty())
        _image = QImage(reinterpret_cast<uchar*>(_pixels), _clip.width(), _clip.height(),
                        qsizetype(_stride) * 4, QImage::Format_RGBA8888_Premultiplied);
    _context = std::make_unique<CGContextWrapper>(_image, this, Point{float(_clip.x0), float(_clip.y0)});
}

PixelSpan Bitmap::span(const Rect& pixelRect) const
{
    const PixelSpan s = pixel_span(pixelRect, _width, _height);
    return {std::max(s.x0, _clip.x0), std::min(s.x1, _clip.x1), std::max(s.y0, _clip.y0),
            std::min(s.y1, _clip.y1)};
}

Bitmap::~Bitmap() = default;

void Bitmap::fill(color_ns::Color color)
{
    if (isEmpty()) return;
    std::uint32_t stored;
    color_ns::store(&stored, color);
    for (int y = _clip.y0; y <= _clip.y1; ++y) std::fill_n(pixel(_clip.x0, y), _clip.width(), stored);
}

void Bitmap::flipY()
{
    const PixelSpan& c = _clip;
    for (int i = 0; i < c.height() / 2; ++i)
        std::swap_ranges(pixel(c.x0, c.y0 + i), pixel(c.x0, c.y0 + i) + c.width(), pixel(c.x0, c.y1 - i));
}

void Bitmap::fillRect(const Rect& pixelRect, color_ns::Color color)
{
    const PixelSpan s = span(pixelRect);
    if (s.empty()) return;
    std::uint32_t stored;
    color_ns::store(&stored, color);
    for (int y = s.y0; y <= s.y1; ++y) std::fill_n(pixel(s.x0, y), s.width(), stored);
}

void Bitmap::copyRect(const Rect& pixelRect, Bitmap& to) const
{
    PAVO_ASSERT(_width == to._width && _height == to._height);
    const PixelSpan s = span(pixelRect);
    if (s.empty()) return;
    for (int y = s.y0; y <= s.y1; ++y)
        std::memcpy(to.pixel(s.x0, y), pixel(s.x0, y), std::size_t(s.width()) * 4);
}

void Bitmap::transferRect(const Rect& pixelRect, Bitmap& to, int mode, float opacity) const
{
    const RowOp op = row_op(mode);
    if (!op) return;
    PAVO_ASSERT(_width == to._width && _height == to._height);
    const PixelSpan s = span(pixelRect);
    if (s.empty()) return;
    // Opacity exactly 1 skips the scaling; anything else, NaN included, becomes 0..255.
    const int o = opacity == 1.0f ? 255 : color_ns::channel_from_unit(opacity);
    const int n = s.width();
    std::uint32_t* scaled = o == 255 ? nullptr : scratch_row(n);
    for (int y = s.y0; y <= s.y1; ++y) {
        const std::uint32_t* row = pixel(s.x0, y);
        // Scaling all four channels by o/255 keeps the source premultiplied.
        if (scaled) scale_row(scaled, row, n, o);
        op(to.pixel(s.x0, y), scaled ? scaled : row, n);
    }
}

color_ns::Color Bitmap::colorAt(Point pixelPoint) const
{
    if (isEmpty()) return color_ns::TRANSPARENT;
    const auto clamp_to = [](float v, int hi) {
        return std::isnan(v) ? 0 : int(std::clamp(double(v), 0.0, double(hi)));
    };
    return pixelAt(std::max(clamp_to(pixelPoint.x, _clip.x1), _clip.x0),
                   std::max(clamp_to(pixelPoint.y, _clip.y1), _clip.y0));
}

void Bitmap::drawInRect(QPainter& painter, const Rect& rect) const
{
    if (isEmpty()) return;
    const QRectF r(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    painter.drawImage(r, _image, r);
}

void Bitmap::drawScaledInRect(QPainter& painter, const Rect& rect) const
{
    if (isEmpty()) return;
    painter.drawImage(QRectF(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height),
                      _image, QRectF(0, 0, _width, _height));
}

bool Bitmap::setTransform(const AffineTransform& t)
{
    const std::optional<AffineTransform> inverse = t.isFinite() ? t.inverted() : std::nullopt;
    if (!inverse) return false;
    _transform = t;
    _inverse = *inverse;
    _context->setWorldTransform(t);
    return true;
}

bool Bitmap::scale(float s) { return setTransform(_transform.after(AffineTransform::scaling(s, s))); }

bool Bitmap::translate(Point by)
{
    return setTransform(_transform.after(AffineTransform::translation(by.x, by.y)));
}

bool Bitmap::rotate(float radians)
{
    return setTransform(_transform.after(AffineTransform::rotation(radians)));
}
