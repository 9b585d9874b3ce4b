#include "document_file.h"

#include "parallel_deflate.h"

#include "archive.h"

#include <QCoreApplication>
#include <QCborMap>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace document_file;

namespace {

const QLatin1StringView kDocumentClass{"PavoDocument"};
const QLatin1StringView kBackgroundKey{"background_color"};
const QLatin1StringView kStrokesKey{"strokes"};
const QLatin1StringView kWindowKey{"window"};
const QLatin1StringView kViewTransformKey{"view_transform"};

const Bytef* bytes_of(const QByteArray& data, qsizetype offset = 0)
{
    return reinterpret_cast<const Bytef*>(data.constData() + offset);
}

QByteArray trailer()
{
    return QByteArray::fromRawData(kTrailer, kTrailerSize);
}

QString zlib_reason(int code)
{
    switch (code) {
    case Z_BUF_ERROR: return QStringLiteral("the archive is longer than its announced length");
    case Z_MEM_ERROR: return QStringLiteral("out of memory while decompressing");
    default: return QStringLiteral("corrupt compressed data");
    }
}

// Whether an announced archive length is one that `compressed` bytes of zlib stream can
// inflate to; checked before anything is allocated for it.
bool plausible_length(quint32 length, qint64 compressed)
{
    return length <= kMaxArchiveBytes && length <= compressed * kMaxInflateRatio;
}

std::optional<QColor> decode_background(const QCborValue& value, bool& ok)
{
    // A null stands for a cleared background, as a missing key does.
    if (value.isNull() || value.isUndefined()) return std::nullopt;
    const std::optional<QColor> color = archive::decode_color(value);
    ok = color.has_value();
    return color;
}

// Makes the rename that replaced the file survive a crash too; file systems that cannot
// sync a directory have made it durable already, so a failure here is not an error.
void sync_directory(const QString& path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void reached(SaveStage stage)
{
    if (save_stage_reached) save_stage_reached(stage);
}

Failure save_error(const QString& path, const QString& reason)
{
    return Failure{QStringLiteral("%1: %2").arg(path, reason)};
}

} // namespace

Result<QByteArray> compressWithLength(const QByteArray& data)
{
    if (data.size() > kMaxArchiveBytes)
        return Failure{QCoreApplication::translate("Pavo", "the drawing is too large to save")};
    const std::optional<QByteArray> stream = parallel_deflate(data);
    if (!stream) return Failure{QCoreApplication::translate("Pavo", "compression failed")};
    QByteArray out(kPrefixSize, Qt::Uninitialized);
    const quint32 n = quint32(data.size());
    for (int i = 0; i < kPrefixSize; ++i) out[i] = char((n >> (8 * (kPrefixSize - 1 - i))) & 0xff);
    out.append(*stream);
    return out;
}

Result<QByteArray> decompressWithLength(const QByteArray& data)
{
    if (data.size() < kPrefixSize)
        return Failure{QCoreApplication::translate("Pavo", "the file is too short")};
    quint32 n = 0;
    for (int i = 0; i < kPrefixSize; ++i) n = (n << 8) | quint8(data[i]);
    const qint64 compressed = data.size() - kPrefixSize;
    if (!plausible_length(n, compressed))
        return Failure{QCoreApplication::translate("Pavo", "implausible archive length %1").arg(n)};
    QByteArray out(qsizetype(n), Qt::Uninitialized);
    uLongf produced = n;
    uLong consumed = uLong(compressed);
    const int rc = uncompress2(reinterpret_cast<Bytef*>(out.data()), &produced,
                               bytes_of(data, kPrefixSize), &consumed);
    if (rc != Z_OK) return Failure{zlib_reason(rc)};
    if (produced != n)
        return Failure{QCoreApplication::translate("Pavo", "the archive is shorter than announced")};
    if (consumed != uLong(compressed))
        return Failure{QCoreApplication::translate("Pavo", "unexpected data after the compressed archive")};
    return out;
}

QCborValue encodeDocument(const DocumentData& document)
{
    QCborMap root = archive::object(kDocumentClass);
    if (document.background_color)
        root.insert(kBackgroundKey, archive::encode_color(*document.background_color));
    root.insert(kStrokesKey, document.strokes ? document.strokes->encode() : Strokes().encode());
    if (document.window_frame) root.insert(kWindowKey, *document.window_frame);
    // The reader refuses a view transform that no view accepts; dropping it keeps the
    // drawing saveable and costs only the zoom.
    if (document.view_transform && document.view_transform->isUsable())
        root.insert(kViewTransformKey, archive::encode_transform(*document.view_transform));
    return root;
}

Result<DocumentData> decodeDocument(const QCborValue& root)
{
    const std::optional<QCborMap> map = archive::as_object(root, kDocumentClass);
    if (!map) return Failure{QCoreApplication::translate("Pavo", "not a Pavo drawing")};
    DocumentData document;
    bool ok = true;
    document.background_color = decode_background(map->value(kBackgroundKey), ok);
    if (!ok) return Failure{QCoreApplication::translate("Pavo", "bad background colour")};
    if (map->contains(kWindowKey)) {
        const QCborValue window = map->value(kWindowKey);
        if (!window.isString()) return Failure{QCoreApplication::translate("Pavo", "bad window frame")};
        document.window_frame = window.toString();
    }
    if (map->contains(kViewTransformKey)) {
        const auto t = archive::decode_transform(map->value(kViewTransformKey));
        if (!t || !t->isUsable()) return Failure{QCoreApplication::translate("Pavo", "bad view transform")};
        document.view_transform = *t;
    }
    document.strokes = Strokes::decode(map->value(kStrokesKey));
    if (!document.strokes) document.strokes = std::make_unique<Strokes>();
    return document;
}

Result<QByteArray> dataRepresentation(const DocumentData& document)
{
    Result<QByteArray> file = compressWithLength(archive::to_bytes(encodeDocument(document)));
    if (file) file->append(trailer());
    return file;
}

Result<DocumentData> loadDataRepresentation(const QByteArray& data)
{
    if (data.size() < kTrailerSize) return Failure{QCoreApplication::translate("Pavo", "the file is too short")};
    if (data.size() > kMaxFileBytes) return Failure{QCoreApplication::translate("Pavo", "the file is too large")};
    QByteArray archive_bytes = data;
    if (data.endsWith(trailer())) {
        Result<QByteArray> inflated = decompressWithLength(data.first(data.size() - kTrailerSize));
        if (!inflated) return Failure{inflated.error()};
        archive_bytes = std::move(*inflated);
    }
    const Result<QCborValue> root = archive::from_bytes(archive_bytes);
    if (!root) return Failure{root.error()};
    return decodeDocument(*root);
}

Result<DocumentData> loadDocument(const QString& path)
{
    // A device or pipe has no size to check, may never end, and opening a pipe blocks.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return Failure{QCoreApplication::translate("Pavo", "%1: not a regular file").arg(path)};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{QStringLiteral("%1: %2").arg(path, file.errorString())};
    if (file.size() > kMaxFileBytes)
        return Failure{QCoreApplication::translate("Pavo", "%1: the file is too large").arg(path)};
    const QByteArray data = file.read(file.size());
    if (file.error() != QFileDevice::NoError)
        return Failure{QStringLiteral("%1: %2").arg(path, file.errorString())};
    Result<DocumentData> load = loadDataRepresentation(data);
    if (!load) return Failure{QStringLiteral("%1: %2").arg(path, load.error())};
    return load;
}

Result<> writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    reached(SaveStage::Begun);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return save_error(path, file.errorString());
    reached(SaveStage::Opened);
    for (qsizetype at = 0; at < bytes.size(); at += kWritePart) {
        const QByteArrayView part = QByteArrayView(bytes).sliced(at, std::min(kWritePart, bytes.size() - at));
        if (file.write(part.data(), part.size()) != part.size() || !file.flush()) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return save_error(path, reason);
        }
        reached(SaveStage::Written);
    }
    // The commit syncs too but ignores a failure; a file that may not be on disk must not
    // replace one that is.
    if (::fsync(file.handle()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return save_error(path, reason);
    }
    reached(SaveStage::Synced);
    if (!file.commit()) return save_error(path, file.errorString());
    reached(SaveStage::Renamed);
    sync_directory(path);
    return {};
}

Result<> saveDocument(const QString& path, const DocumentData& document)
{
    const Result<QByteArray> bytes = dataRepresentation(document);
    if (!bytes) return save_error(path, bytes.error());
    return writeFileAtomically(path, *bytes);
}
