#include "picture_input.h"

#include "archive.h"
#include "stroke.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>

namespace {

// As for pictures inside a drawing: above a 16-bit picture at the pixel limit.
constexpr int kAllocationLimitMB = 1024;

Result<QImage> read_picture(QImageReader& reader)
{
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kAllocationLimitMB);
    if (const QSize size = reader.size(); size.isValid())
        if (const Result<> fits = image_fits_in_drawing(size); !fits) return Failure{fits.error()};
    const QImage image = reader.read();
    if (image.isNull())
        return Failure{
            QCoreApplication::translate("Pavo", "Pavo cannot read it as a picture (%1).").arg(reader.errorString())};
    // A header may lie, or have said nothing.
    if (const Result<> fits = image_fits_in_drawing(image); !fits) return Failure{fits.error()};
    return image;
}

} // namespace

Result<QImage> read_picture_file(const QString& path)
{
    // A device or pipe has no size to check and may never end.
    const QFileInfo info(path);
    if (!info.exists()) return Failure{QCoreApplication::translate("Pavo", "There is no such file.")};
    if (!info.isFile()) return Failure{QCoreApplication::translate("Pavo", "It is not a file.")};
    QImageReader reader(path);
    return read_picture(reader);
}

Result<QImage> read_picture_data(const QByteArray& bytes)
{
    if (bytes.size() > archive::kMaxArchiveBytes)
        return Failure{QCoreApplication::translate("Pavo", "The picture is too large.")};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return read_picture(reader);
}

std::optional<Result<QImage>> picture_from_mime(const QMimeData& data)
{
    const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    QStringList types = data.formats();
    // Encoded data first, PNG ahead: its header tells the size before anything is decoded.
    std::stable_partition(types.begin(), types.end(),
                          [](const QString& t) { return t == u"image/png"; });
    for (const QString& type : types) {
        if (!type.startsWith(u"image/") || !readable.contains(type.toLatin1())) continue;
        return read_picture_data(data.data(type));
    }
    if (!data.hasImage()) return std::nullopt;
    const QImage image = qvariant_cast<QImage>(data.imageData());
    if (image.isNull()) return std::nullopt;
    if (const Result<> fits = image_fits_in_drawing(image); !fits) return Failure{fits.error()};
    return image;
}

bool is_drawing_file(const QString& path)
{
    const QString ext = QFileInfo(path).suffix();
    return ext == u"pavo" || ext == u"pavotemplate";
}

QStringList picture_file_patterns()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return patterns;
}
