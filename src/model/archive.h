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

// Larger pictures are refused from their header, before anything is decoded.
inline constexpr int kMaxImageSide = 16384;
inline constexpr qint64 kMaxImagePixels = qint64{64} * 1024 * 1024;

// Stored as PNG bytes; only PNG is read back.
QCborValue encode_image(const QImage& image);
std::optional<QImage> decode_image(const QCborValue& value);

// What from_bytes accepts: deeper than any drawing nests (document, list, stroke, object,
// array), and about 400 000 strokes' worth of items; each item costs the parsed tree a few
// dozen bytes.
inline constexpr int kMaxDepth = 64;
inline constexpr qint64 kMaxItems = qint64{8} * 1024 * 1024;

// The whole archive as bytes, and back. Parsing refuses malformed CBOR, trailing bytes and
// nesting deeper than any drawing needs; `error` receives the reason.
QByteArray to_bytes(const QCborValue& root);
std::optional<QCborValue> from_bytes(const QByteArray& bytes, QString* error = nullptr);

} // namespace archive
