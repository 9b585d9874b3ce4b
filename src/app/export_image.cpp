#include "export_image.h"

#include "bitmap.h"
#include "color.h"
#include "gif_writer.h"
#include "transfer_ops.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

using namespace color_ns;

std::optional<ImageFormat> image_format_for_path(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"png") return ImageFormat::Png;
    if (ext == u"gif") return ImageFormat::Gif;
    if (ext == u"jpg" || ext == u"jpeg") return ImageFormat::Jpeg;
    if (ext == u"tif" || ext == u"tiff") return ImageFormat::Tiff;
    return std::nullopt;
}

bool format_is_transparent(ImageFormat format)
{
    return format == ImageFormat::Png || format == ImageFormat::Tiff;
}

Result<> check_export_size(int width, int height)
{
    if (width <= 0 || height <= 0)
        return Failure{QStringLiteral("The picture size %1 x %2 is not a size: both must be at least 1 pixel.")
                           .arg(width)
                           .arg(height)};
    if (width > kMaxExportSide || height > kMaxExportSide ||
        static_cast<long long>(width) * height > kMaxExportPixels)
        return Failure{QStringLiteral("The picture size %1 x %2 is too large: at most %3 pixels in all and "
                                      "%4 on a side.")
                           .arg(width)
                           .arg(height)
                           .arg(kMaxExportPixels)
                           .arg(kMaxExportSide)};
    return {};
}

namespace {

// The view's transformation scaled by the ratio of the widths, with the view's centre at
// the centre of the output. Only the width ratio counts: another aspect shows more or
// less of the drawing vertically.
std::unique_ptr<PavoCanvas> canvas_at_size(const PavoCanvas& view, Size size)
{
    auto canvas = PavoCanvas::create(size);
    if (!canvas || !canvas->setTransform(view.transform())) return nullptr;
    const Point middle = view.bitmapPointToWorldPoint(point(view.size()) / 2.0f);
    const Point there = canvas->worldPointToBitmapPoint(middle);
    if (!canvas->zoomToPoint(there, size.width / view.size().width)) return nullptr;
    return canvas;
}

// Bitmaps hold premultiplied pixels, so a background with alpha is premultiplied too; a
// format without transparency shows it over white, as it shows the rest of the picture.
Color background_fill(const std::optional<QColor>& background, bool transparent)
{
    if (!background) return transparent ? TRANSPARENT : WHITE;
    const Color fill = premultiplied(*background);
    return transparent ? fill : paint_over(WHITE, fill);
}

} // namespace

Result<QImage> render_drawing(const ExportSource& source, int width, int height, bool transparent)
{
    if (Result<> size = check_export_size(width, height); !size) return Failure{size.error()};
    const Size size{float(width), float(height)};
    auto picture = Bitmap::create(size);
    if (!picture) return Failure{QStringLiteral("There is not enough memory for a %1 x %2 picture.").arg(width).arg(height)};
    picture->fill(background_fill(source.background, transparent));

    const Rect whole{{0, 0}, size};
    if (size == source.view.size()) {
        source.view.previewBitmap().transferRect(whole, *picture, kModeNormal, 1.0f);
    } else {
        auto canvas = canvas_at_size(source.view, size);
        if (!canvas)
            return Failure{QStringLiteral("The drawing cannot be rendered at %1 x %2.").arg(width).arg(height)};
        source.strokes.drawInCanvas(*canvas);
        canvas->previewBitmap().transferRect(whole, *picture, kModeNormal, 1.0f);
    }
    return picture->image().copy();
}

namespace {

QByteArray qt_format_name(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Png: return "png";
    case ImageFormat::Jpeg: return "jpeg";
    case ImageFormat::Tiff: return "tiff";
    case ImageFormat::Gif: return "gif";
    }
    return {};
}

void apply_options(QImageWriter& writer, ImageFormat format, const ExportOptions& options)
{
    switch (format) {
    case ImageFormat::Jpeg: writer.setQuality(options.jpegQuality); break;
    case ImageFormat::Png:
        // Qt's encoder writes no Adam7; the option is kept for the dialog and ignored.
        break;
    case ImageFormat::Tiff: writer.setCompression(options.tiffLzw ? 1 : 0); break;
    case ImageFormat::Gif: break;
    }
}

} // namespace

Result<QByteArray> encode_image(const QImage& image, ImageFormat format, const ExportOptions& options)
{
    if (image.isNull()) return Failure{QStringLiteral("There is no picture to write.")};
    if (format == ImageFormat::Gif) return encode_gif(image);
    const QImage encoded = format == ImageFormat::Jpeg ? image.convertToFormat(QImage::Format_RGB888)
                                                       : image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, qt_format_name(format));
    apply_options(writer, format, options);
    if (!writer.write(encoded))
        return Failure{QStringLiteral("The picture could not be encoded: %1").arg(writer.errorString())};
    return bytes;
}

Result<> write_file_atomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure{QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString())};
    if (file.write(bytes) != bytes.size() || !file.commit())
        return Failure{QStringLiteral("%1 could not be written: %2").arg(path, file.errorString())};
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
        return Failure{QStringLiteral("%1 has no picture file extension: use .png, .gif, .jpg, "
                                      ".jpeg, .tif or .tiff.")
                           .arg(path)};
    const Result<QImage> image = render_drawing(source, width, height, format_is_transparent(*format));
    if (!image) return Failure{image.error()};
    return write_image(*image, path, *format, options);
}
