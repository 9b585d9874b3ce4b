#include "picture_copy.h"

#include <QImageWriter>
#include <QPainter>

#include <cmath>

QImage capture_view(PavoView& view, const std::optional<QColor>& background)
{
    // In view pixels, as at any other scale; a denser canvas is averaged down to them.
    const Size size = view.viewGeometry().size();
    QImage picture(int(size.width), int(size.height), QImage::Format_RGBA8888_Premultiplied);
    picture.fill(background ? *background : QColor(Qt::transparent));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    view.paint(painter, Rect{{0, 0}, size});
    return picture;
}

Result<QImage> picture_at_scale(PavoView& view, const Strokes& strokes, const std::optional<QColor>& background,
                                float scale)
{
    if (scale == 1.0f) return capture_view(view, background);
    const ViewGeometry geometry = view.viewGeometry();
    const int width = int(geometry.size().width * scale);
    const int height = int(geometry.size().height * scale);
    return render_drawing(ExportSource{strokes, geometry, background}, width, height, true);
}

namespace {

const QString kPng = QStringLiteral("image/png");
const QString kTiff = QStringLiteral("image/tiff");

class PictureMimeData final : public QMimeData {
public:
    explicit PictureMimeData(QImage picture) : _picture(std::move(picture)) {}

    QStringList formats() const override
    {
        QStringList types{kPng};
        if (QImageWriter::supportedMimeTypes().contains("image/tiff")) types << kTiff;
        return types;
    }

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override
    {
        const bool tiff = type == kTiff;
        if ((!tiff && type != kPng) || !formats().contains(type)) return {};
        QByteArray& cached = tiff ? _tiff : _png;
        if (cached.isEmpty()) {
            const ExportOptions options{.jpegQuality = 80, .pngInterlaced = false, .tiffLzw = true};
            const Result<QByteArray> bytes =
                encode_image(_picture, tiff ? ImageFormat::Tiff : ImageFormat::Png, options);
            if (bytes) cached = *bytes;
        }
        return cached;
    }

private:
    QImage _picture;
    mutable QByteArray _png;
    mutable QByteArray _tiff;
};

} // namespace

std::unique_ptr<QMimeData> picture_mime_data(QImage picture)
{
    return std::make_unique<PictureMimeData>(std::move(picture));
}
