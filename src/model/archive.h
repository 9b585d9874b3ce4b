#pragma once

// The keyed archive: how model objects are written into a document and read back, as
// CBOR. Every object is a map that holds its class name under "$class" and its values
// under their keys; the platform types (colours, bezier paths, affine transforms, images)
// have encodings of their own, fixed in docs/archive-format.md. Strings and arrays are
// plain CBOR text strings and arrays.
//
// Reading trusts nothing: every decoder checks the class name, the types and the ranges of
// what it reads and returns null for anything else, so that a damaged or hostile file can
// only fail to load or lose the stroke that holds the damage.

#include "affine_transform.h"
#include "path.h"
#include "result.h"

#include <QByteArray>
#include <QCborMap>
#include <QCborValue>
#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

namespace archive {

inline constexpr QLatin1StringView kClassKey{"$class"};

// A new object map with its class name.
QCborMap object(QLatin1StringView className);
// The map when `value` is a map whose class is `className`, else null.
std::optional<QCborMap> as_object(const QCborValue& value, QLatin1StringView className);

// Numbers read under a key: null when absent, of another type, or not finite.
std::optional<float> read_float(const QCborMap& map, QLatin1StringView key);
// Null when absent, not an integer, or outside the int range.
std::optional<int> read_int(const QCborMap& map, QLatin1StringView key);

QCborValue encode_color(const QColor& color);
// Components must be finite; they are clamped to 0..1.
std::optional<QColor> decode_color(const QCborValue& value);

// Elements, winding rule and line width of a path.
QCborValue encode_path(const Path& path);
std::optional<Path> decode_path(const QCborValue& value);

QCborValue encode_transform(const AffineTransform& t);
// Must be finite; invertibility is the caller's question.
std::optional<AffineTransform> decode_transform(const QCborValue& value);

// Larger pictures are refused from their header, before anything is decoded; a drawing
// refuses them when they are placed (Stroke::withImage), so none is ever saved.
inline constexpr int kMaxImageSide = 32768;
inline constexpr qint64 kMaxImagePixels = qint64{64} * 1024 * 1024;

// Stored as PNG bytes; only PNG is read back.
QCborValue encode_image(const QImage& image);
std::optional<QImage> decode_image(const QCborValue& value);

// The largest archive a file holds, written or read.
inline constexpr qint64 kMaxArchiveBytes = qint64{1} << 30;
// What from_bytes accepts: deeper than any drawing nests (document, list, stroke, object,
// array), and no more items than one per kMinBytesPerItem bytes of archive. The writer
// never comes near that: its densest stroke spends over five bytes on each item (a class
// name, a key, a float each take several), so every drawing it saves reads back, while a
// file of one-byte items that would make the parsed tree many times its size is refused.
inline constexpr int kMaxDepth = 64;
inline constexpr qint64 kMinBytesPerItem = 3;
inline constexpr qint64 max_items(qint64 archive_bytes)
{
    return archive_bytes / kMinBytesPerItem + 1024;
}

// The whole archive as bytes, and back. Parsing refuses malformed CBOR, trailing bytes,
// tags and nesting deeper than any drawing needs, with the reason.
QByteArray to_bytes(const QCborValue& root);
Result<QCborValue> from_bytes(const QByteArray& bytes);

} // namespace archive
