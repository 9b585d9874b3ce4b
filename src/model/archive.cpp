#include "archive.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QCborArray>
#include <QCborParserError>
#include <QCborStreamReader>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

#include <cmath>
#include <cstdint>
#include <limits>

namespace archive {

namespace {

const QLatin1StringView kColor{"Color"};
const QLatin1StringView kBezierPath{"BezierPath"};
const QLatin1StringView kAffineTransform{"AffineTransform"};
const QLatin1StringView kImage{"Image"};

// One decoder to trust, and the one the writer uses.
const char* const kImageFormat = "png";
// A second guard behind the size check, above a 16-bit picture at the pixel limit.
constexpr int kImageAllocationLimitMB = 1024;

std::optional<float> to_float(const QCborValue& v)
{
    if (!v.isDouble() && !v.isInteger()) return std::nullopt;
    const double d = v.toDouble();
    // A finite double beyond the float range would become infinite.
    if (!std::isfinite(d) || std::abs(d) > double(std::numeric_limits<float>::max()))
        return std::nullopt;
    return float(d);
}

// Exactly `count` finite numbers.
bool read_floats(const QCborValue& value, float* out, qsizetype count)
{
    if (!value.isArray()) return false;
    const QCborArray array = value.toArray();
    if (array.size() != count) return false;
    for (qsizetype i = 0; i < count; ++i) {
        const auto f = to_float(array.at(i));
        if (!f) return false;
        out[i] = *f;
    }
    return true;
}

QCborArray float_array(std::initializer_list<float> values)
{
    QCborArray array;
    for (const float f : values) array.append(double(f));
    return array;
}

// ---- Path elements: a kind byte, then that kind's points as little-endian float32 pairs.

int point_count(int kind)
{
    switch (kind) {
    case kMoveTo:
    case kLineTo: return 1;
    case kCurveTo: return 3;
    case kClosePath: return 0;
    default: return -1;
    }
}

QByteArray element_bytes(const std::vector<PathElement>& elements)
{
    qsizetype size = 0;
    for (const PathElement& e : elements) size += 1 + qsizetype(point_count(e.element)) * 8;
    QByteArray bytes(size, Qt::Uninitialized);
    auto* out = reinterpret_cast<uchar*>(bytes.data());
    for (const PathElement& e : elements) {
        const int n = point_count(e.element);
        *out++ = uchar(e.element);
        for (int i = 0; i < n; ++i, out += 8) {
            qToLittleEndian(e.p[i].x, out);
            qToLittleEndian(e.p[i].y, out + 4);
        }
    }
    return bytes;
}

std::optional<std::vector<PathElement>> parse_elements(const QByteArray& bytes)
{
    std::vector<PathElement> elements;
    // A line element takes nine bytes, the most common and nearly the smallest.
    elements.reserve(std::size_t(bytes.size() / 9));
    const auto* in = reinterpret_cast<const uchar*>(bytes.constData());
    const uchar* const end = in + bytes.size();
    while (in < end) {
        PathElement e;
        e.element = *in++;
        const int n = point_count(e.element);
        if (n < 0 || end - in < qsizetype(n) * 8) return std::nullopt;
        for (int i = 0; i < n; ++i, in += 8) {
            e.p[i] = {qFromLittleEndian<float>(in), qFromLittleEndian<float>(in + 4)};
            if (!finite(e.p[i])) return std::nullopt;
        }
        elements.push_back(e);
    }
    return elements;
}

// ---- Nesting check

// Walks the data once without building anything: one well-formed item, no tags, bounded
// depth and item count, nothing after it. Iterative, and run before the tree is built, so
// that hostile nesting costs neither stack nor memory.
Result<> prescan(const QByteArray& bytes)
{
    QCborStreamReader reader(bytes);
    qint64 items = 0;
    const qint64 item_limit = max_items(bytes.size());
    do {
        if (reader.lastError() != QCborError::NoError || !reader.isValid())
            return Failure{QCoreApplication::translate("Pavo", "malformed archive: ") + reader.lastError().toString()};
        if (++items > item_limit)
            return Failure{QCoreApplication::translate("Pavo", "the archive holds more items than its size allows")};
        if (reader.isTag()) return Failure{QCoreApplication::translate("Pavo", "unexpected tag in archive")};
        if (reader.isContainer()) {
            if (reader.containerDepth() >= kMaxDepth)
                return Failure{QCoreApplication::translate("Pavo", "archive nested too deeply")};
            if (!reader.enterContainer()) continue;
        } else if (!reader.next()) {
            continue;
        }
        while (reader.containerDepth() > 0 && !reader.hasNext()) {
            if (reader.lastError() != QCborError::NoError || !reader.leaveContainer()) break;
        }
    } while (reader.containerDepth() > 0);
    if (reader.lastError() != QCborError::NoError)
        return Failure{QCoreApplication::translate("Pavo", "malformed archive: ") + reader.lastError().toString()};
    if (reader.currentOffset() != bytes.size())
        return Failure{QCoreApplication::translate("Pavo", "unexpected data after the archive")};
    return {};
}

} // namespace

QCborMap object(QLatin1StringView className)
{
    QCborMap map;
    map.insert(kClassKey, className);
    return map;
}

std::optional<QCborMap> as_object(const QCborValue& value, QLatin1StringView className)
{
    if (!value.isMap()) return std::nullopt;
    QCborMap map = value.toMap();
    const QCborValue name = map.value(kClassKey);
    if (!name.isString() || name.toString() != className) return std::nullopt;
    return map;
}

std::optional<float> read_float(const QCborMap& map, QLatin1StringView key)
{
    return to_float(map.value(key));
}

std::optional<int> read_int(const QCborMap& map, QLatin1StringView key)
{
    const QCborValue v = map.value(key);
    if (!v.isInteger()) return std::nullopt;
    const qint64 i = v.toInteger();
    if (i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(i);
}

QCborValue encode_color(const QColor& color)
{
    float r = 0, g = 0, b = 0, a = 0;
    color.toRgb().getRgbF(&r, &g, &b, &a);
    QCborMap map = object(kColor);
    map.insert(QLatin1StringView("rgba"), float_array({r, g, b, a}));
    return map;
}

std::optional<QColor> decode_color(const QCborValue& value)
{
    const auto map = as_object(value, kColor);
    float c[4];
    if (!map || !read_floats(map->value(QLatin1StringView("rgba")), c, 4)) return std::nullopt;
    for (float& f : c) f = limit(f, 0.0f, 1.0f);
    return QColor::fromRgbF(c[0], c[1], c[2], c[3]);
}

QCborValue encode_path(const Path& path)
{
    QCborMap map = object(kBezierPath);
    map.insert(QLatin1StringView("winding"), path.windingRule());
    map.insert(QLatin1StringView("line_width"), double(path.lineWidth()));
    map.insert(QLatin1StringView("elements"), element_bytes(path.elements()));
    return map;
}

std::optional<Path> decode_path(const QCborValue& value)
{
    const auto map = as_object(value, kBezierPath);
    if (!map) return std::nullopt;
    const auto winding = read_int(*map, QLatin1StringView("winding"));
    const auto width = read_float(*map, QLatin1StringView("line_width"));
    const QCborValue bytes = map->value(QLatin1StringView("elements"));
    if (!winding || (*winding != kNonZero && *winding != kEvenOdd)) return std::nullopt;
    if (!width || *width < 0 || !bytes.isByteArray()) return std::nullopt;
    auto elements = parse_elements(bytes.toByteArray());
    if (!elements) return std::nullopt;
    Path path(std::move(*elements), *winding);
    path.setLineWidth(*width);
    return path;
}

QCborValue encode_transform(const AffineTransform& t)
{
    QCborMap map = object(kAffineTransform);
    map.insert(QLatin1StringView("m"), float_array({t.a, t.b, t.c, t.d, t.tx, t.ty}));
    return map;
}

std::optional<AffineTransform> decode_transform(const QCborValue& value)
{
    const auto map = as_object(value, kAffineTransform);
    float m[6];
    if (!map || !read_floats(map->value(QLatin1StringView("m")), m, 6)) return std::nullopt;
    return AffineTransform{m[0], m[1], m[2], m[3], m[4], m[5]};
}

QCborValue encode_image(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, kImageFormat);
    // A failed write leaves the bytes empty, which no reader accepts.
    if (!writer.write(image)) png.clear();
    QCborMap map = object(kImage);
    map.insert(QLatin1StringView("png"), png);
    return map;
}

std::optional<QImage> decode_image(const QCborValue& value)
{
    const auto map = as_object(value, kImage);
    if (!map) return std::nullopt;
    const QCborValue bytes = map->value(QLatin1StringView("png"));
    if (!bytes.isByteArray()) return std::nullopt;
    QByteArray png = bytes.toByteArray();
    QBuffer buffer(&png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, kImageFormat);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(kImageAllocationLimitMB);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > kMaxImageSide ||
        size.height() > kMaxImageSide ||
        qint64(size.width()) * size.height() > kMaxImagePixels)
        return std::nullopt;
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.size() != size) return std::nullopt;
    return image;
}

QByteArray to_bytes(const QCborValue& root)
{
    return root.toCbor(QCborValue::UseFloat);
}

Result<QCborValue> from_bytes(const QByteArray& bytes)
{
    if (bytes.isEmpty()) return Failure{QCoreApplication::translate("Pavo", "empty archive")};
    if (bytes.size() > kMaxArchiveBytes) return Failure{QCoreApplication::translate("Pavo", "archive too large")};
    if (const Result<> scanned = prescan(bytes); !scanned) return Failure{scanned.error()};
    QCborParserError parse;
    QCborValue root = QCborValue::fromCbor(bytes, &parse);
    if (parse.error != QCborError::NoError)
        return Failure{QCoreApplication::translate("Pavo", "malformed archive: ") + parse.errorString()};
    return root;
}

} // namespace archive
