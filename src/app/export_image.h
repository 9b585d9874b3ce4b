#pragma once

// Writing the drawing as an image file: the part of the drawing the view shows, rendered
// again at the size asked for, over the document's background colour, white (JPEG, GIF)
// or transparency (PNG, TIFF).

#include "canvas.h"
#include "result.h"
#include "strokes.h"
#include "view_geometry.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

// Svg and Pdf are written as vectors (vector_export.h); the others are pictures.
enum class ImageFormat { Png, Gif, Jpeg, Tiff, Svg, Pdf };

// By the file name's extension, in any case: png, gif, jpg or jpeg, tif or tiff, svg, pdf.
std::optional<ImageFormat> image_format_for_path(const QString& path);
// JPEG and GIF keep no partial transparency, so they are flattened over white.
bool format_is_transparent(ImageFormat format);

struct ExportOptions {
    int jpegQuality = 80;
    bool pngInterlaced = false;
    bool tiffLzw = true;
};

// What to render: the drawing, the view's canvas whose transformation and size say which
// part is shown, and the document's background colour (none: no background colour).
struct ExportSource {
    const Strokes& strokes;
    ViewGeometry view;
    std::optional<QColor> background;
};

// The largest export, in pixels: a render needs four pictures of this size in memory.
constexpr long long kMaxExportPixels = 1LL << 26;
constexpr int kMaxExportSide = 32767;

// The view's transformation for an export of that size: scaled by the ratio of the widths
// about the view's centre. None when the view's transformation cannot be inverted.
std::optional<AffineTransform> transform_at_size(const ViewGeometry& view, Size size);

// Success when a picture of that size can be exported, else why not.
Result<> check_export_size(int width, int height);

// The drawing at width x height over the background rule. At the view's own size this is
// what the view shows; at another size the view's part of the drawing, scaled by the ratio
// of the widths about the view's centre. Fails when the size is refused.
Result<QImage> render_drawing(const ExportSource& source, int width, int height, bool transparent);

// Renders and writes by the file's extension. An existing file is replaced only when the
// whole new file has been written.
Result<> export_drawing(const ExportSource& source, const QString& path, int width, int height,
                            const ExportOptions& options = {});

// The file's bytes of an already rendered picture in the given format.
Result<QByteArray> encode_image(const QImage& image, ImageFormat format, const ExportOptions& options = {});
// Replaces the file only once every byte is written; on failure nothing is left behind.
Result<> write_file_atomically(const QString& path, const QByteArray& bytes);

// Encodes and writes an already rendered picture in the given format, atomically.
Result<> write_image(const QImage& image, const QString& path, ImageFormat format,
                         const ExportOptions& options = {});
