#include "export_image.h"

#include "bitmap.h"
#include "color.h"
#include "gif_writer.h"
#include "phase_timings.h"
#include "png_writer.h"
#include "stroke_index.h"
#include "stroke_render.h"
#include "transfer_ops.h"
#include "vector_export.h"
#include "work_pool.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

using namespace color_ns;

std::optional<ImageFormat> image_format_for_path(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"png") return ImageFormat::Png;
    if (ext == u"gif") return ImageFormat::Gif;
    if (ext == u"jpg" || ext == u"jpeg") return ImageFormat::Jpeg;
    if (ext == u"tif" || ext == u"tiff") return ImageFormat::Tiff;
    if (ext == u"svg") return ImageFormat::Svg;
    if (ext == u"pdf") return ImageFormat::Pdf;
    return std::nullopt;
}

bool format_is_transparent(ImageFormat format)
{
    return format != ImageFormat::Gif && format != ImageFormat::Jpeg;
}

Result<> check_export_size(int width, int height)
{
    if (width <= 0 || height <= 0)
        return Failure{QCoreApplication::translate("Pavo", "The picture size %1 x %2 is not a size: both must be at least 1 pixel.")
                           .arg(width)
                           .arg(height)};
    if (width > kMaxExportSide || height > kMaxExportSide ||
        static_cast<long long>(width) * height > kMaxExportPixels)
        return Failure{QCoreApplication::translate("Pavo", "The picture size %1 x %2 is too large: at most %3 pixels in all and "
                                      "%4 on a side.")
                           .arg(width)
                           .arg(height)
                           .arg(kMaxExportPixels)
                           .arg(kMaxExportSide)};
    return {};
}

// The view's transformation scaled by the ratio of the widths, with the view's centre at
// the centre of the output: what the view's canvas would have after zoomToPoint at the
// output's size. Only the width ratio counts: another aspect shows more or less of the
// drawing vertically.
std::optional<AffineTransform> transform_at_size(const ViewGeometry& view, Size size)
{
    const AffineTransform t = view.transform();
    const Point middle = t.apply(view.bitmapPointToWorldPoint(point(view.size()) / 2.0f));
    const AffineTransform scaled = t.after(AffineTransform::scaling(size.width / view.size().width,
                                                                    size.width / view.size().width));
    const auto inverse = t.inverted();
    const auto scaled_inverse = scaled.inverted();
    if (!inverse || !scaled_inverse) return std::nullopt;
    const Point by = scaled_inverse->apply(point(size) / 2.0f) - inverse->apply(middle);
    return scaled.after(AffineTransform::translation(by.x, by.y));
}

namespace {

// Bitmaps hold premultiplied pixels, so a background with alpha is premultiplied too; a
// format without transparency shows it over white, as it shows the rest of the picture.
Color background_fill(const std::optional<QColor>& background, bool transparent)
{
    if (!background) return transparent ? TRANSPARENT : WHITE;
    const Color fill = premultiplied(*background);
    return transparent ? fill : paint_over(WHITE, fill);
}

// A picture larger than the view renders in bands of rows, each into a canvas of its own
// over transparency and then onto the background, on as many threads as there are cores:
// a copy at four times a large view takes a quarter of the memory of one canvas of its
// size, and the cores share the rasterising.
constexpr int kBandRows = 256;

struct Bands {
    const StrokeArray& strokes;
    const StrokeIndex& index;
    const std::vector<int>& batches;
    AffineTransform transform;
    Color background;
    QImage& picture;
    std::atomic<bool> failed{false};

    void renderBand(int number)
    {
        const int top = number * kBandRows;
        const int width = picture.width(), rows = std::min(kBandRows, picture.height() - top);
        const Size size{float(width), float(rows)};
        auto canvas = PavoCanvas::create(size);
        auto band = Bitmap::create(size);
        if (!canvas || !band ||
            !canvas->setTransform(AffineTransform::translation(0, -float(top)).after(transform))) {
            failed = true;
            return;
        }
        // Two pixels beyond the band: anti-aliasing reaches a little past a stroke's bounds.
        const Rect world = transform_rect(*canvas->transform().inverted(),
                                          Rect{{-2, -2}, {size.width + 4, size.height + 4}});
        paint_strokes(strokes, index.strokesMeeting(world), batches, *canvas, number == 0);
        band->fill(background);
        canvas->previewBitmap().transferRect(Rect{{0, 0}, size}, *band, kModeNormal, 1.0f);
        const QImage& pixels = band->image();
        for (int y = 0; y < rows; ++y)
            std::memcpy(picture.scanLine(top + y), pixels.constScanLine(y), std::size_t(width) * 4);
    }
};

Result<QImage> render_in_bands(const ExportSource& source, Size size, Color background)
{
    const auto transform = transform_at_size(source.view, size);
    QImage picture(int(size.width), int(size.height), QImage::Format_RGBA8888_Premultiplied);
    if (picture.isNull())
        return Failure{QCoreApplication::translate("Pavo", "There is not enough memory for a %1 x %2 picture.").arg(size.width).arg(size.height)};
    if (!transform)
        return Failure{QCoreApplication::translate("Pavo", "The drawing cannot be rendered at %1 x %2.").arg(size.width).arg(size.height)};
    for (const StrokePtr& stroke : source.strokes.strokeArray()) stroke->prepareToDraw();
    const StrokeArray& strokes = source.strokes.strokeArray();
    const StrokeIndex index(strokes);
    const std::vector<int> batches = stroke_batches(strokes);
    Bands bands{strokes, index, batches, *transform, background, picture};
    run_parts((picture.height() + kBandRows - 1) / kBandRows, [&bands](int i) {
        if (!bands.failed) bands.renderBand(i);
    });
    if (bands.failed)
        return Failure{QCoreApplication::translate("Pavo", "The drawing cannot be rendered at %1 x %2.").arg(size.width).arg(size.height)};
    return picture;
}

} // namespace

Result<QImage> render_drawing(const ExportSource& source, int width, int height, bool transparent)
{
    if (Result<> size = check_export_size(width, height); !size) return Failure{size.error()};
    const Size size{float(width), float(height)};
    const Color background = background_fill(source.background, transparent);
    // Even at the view's own size: the view's canvas may be stale, and bands use every core.
    return render_in_bands(source, size, background);
}

namespace {

QByteArray qt_format_name(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Png: return "png";
    case ImageFormat::Jpeg: return "jpeg";
    case ImageFormat::Tiff: return "tiff";
    case ImageFormat::Gif: return "gif";
    case ImageFormat::Svg:
    case ImageFormat::Pdf: break;
    }
    return {};
}

void apply_options(QImageWriter& writer, ImageFormat format, const ExportOptions& options)
{
    switch (format) {
    case ImageFormat::Jpeg: writer.setQuality(options.jpegQuality); break;
    case ImageFormat::Png: break;
    case ImageFormat::Tiff: writer.setCompression(options.tiffLzw ? 1 : 0); break;
    case ImageFormat::Gif:
    case ImageFormat::Svg:
    case ImageFormat::Pdf: break;
    }
}

} // namespace

Result<QByteArray> encode_image(const QImage& image, ImageFormat format, const ExportOptions& options)
{
    if (image.isNull()) return Failure{QCoreApplication::translate("Pavo", "There is no picture to write.")};
    if (vector_format(format)) return Failure{QCoreApplication::translate("Pavo", "SVG and PDF are not picture formats.")};
    if (format == ImageFormat::Gif) return encode_gif(image);
    if (format == ImageFormat::Png) return encode_png(image, options.pngInterlaced);
    const QImage encoded = format == ImageFormat::Jpeg ? image.convertToFormat(QImage::Format_RGB888)
                                                       : image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, qt_format_name(format));
    apply_options(writer, format, options);
    if (!writer.write(encoded))
        return Failure{QCoreApplication::translate("Pavo", "The picture could not be encoded: %1").arg(writer.errorString())};
    return bytes;
}

Result<> write_file_atomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure{QCoreApplication::translate("Pavo", "%1 cannot be written: %2").arg(path, file.errorString())};
    if (file.write(bytes) != bytes.size() || !file.commit())
        return Failure{QCoreApplication::translate("Pavo", "%1 could not be written: %2").arg(path, file.errorString())};
    return {};
}

Result<> write_image(const QImage& image, const QString& path, ImageFormat format,
                         const ExportOptions& options)
{
    const Result<QByteArray> bytes = encode_image(image, format, options);
    if (!bytes) return Failure{QStringLiteral("%1: %2").arg(path, bytes.error())};
    return write_file_atomically(path, *bytes);
}

Result<> export_drawing(const ExportSource& source, const QString& path, int width, int height,
                            const ExportOptions& options)
{
    const auto format = image_format_for_path(path);
    if (!format)
        return Failure{QCoreApplication::translate("Pavo", "%1 has no picture file extension: use .png, .gif, .jpg, "
                                      ".jpeg, .tif, .tiff, .svg or .pdf.")
                           .arg(path)};
    if (const auto vector = vector_format(*format)) return export_vector(source, width, height, *vector, path);
    const Result<QImage> image = render_drawing(source, width, height, format_is_transparent(*format));
    if (!image) return Failure{image.error()};
    mark_phase("rendering");
    const Result<QByteArray> bytes = encode_image(*image, *format, options);
    if (!bytes) return Failure{QStringLiteral("%1: %2").arg(path, bytes.error())};
    mark_phase("encoding");
    Result<> written = write_file_atomically(path, *bytes);
    mark_phase("writing");
    return written;
}
