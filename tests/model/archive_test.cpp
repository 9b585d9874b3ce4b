#include "archive.h"

#include <QBuffer>
#include <QCborArray>
#include <QCborStreamReader>
#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A map of the given class with one more key.
QCborValue object_with(const char* className, const char* key, const QCborValue& value)
{
    QCborMap map = archive::object(QLatin1StringView(className));
    map.insert(QLatin1StringView(key), value);
    return map;
}

QCborMap with(QCborMap map, const char* key, const QCborValue& value)
{
    map.insert(QLatin1StringView(key), value);
    return map;
}

// Float32 bytes as this machine holds them: the encoding is little-endian, and so is x86.
QByteArray le_floats(std::initializer_list<float> values)
{
    QByteArray bytes;
    for (const float f : values) bytes.append(reinterpret_cast<const char*>(&f), 4);
    return bytes;
}

QByteArray png_of(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// A small real PNG whose header claims another size, with a valid header checksum, so
// that only the size can make a reader refuse it.
QByteArray png_claiming(quint32 width, quint32 height)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png = png_of(image);
    const auto put = [&png](int at, quint32 v) {
        for (int i = 0; i < 4; ++i) png[at + i] = char(v >> (24 - 8 * i));
    };
    // Signature (8), chunk length (4), "IHDR" (4), then width and height.
    put(16, width);
    put(20, height);
    put(29, quint32(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17)));
    return png;
}

QCborValue image_object(const QByteArray& png)
{
    return object_with("Image", "png", png);
}

std::optional<QCborValue> parse(const QByteArray& bytes, QString* error = nullptr)
{
    return archive::from_bytes(bytes, error);
}

} // namespace

TEST(ArchiveObject, ClassNameMustMatchAndBeText)
{
    EXPECT_TRUE(archive::as_object(archive::object(QLatin1StringView("Stroke")),
                                   QLatin1StringView("Stroke")));
    EXPECT_FALSE(archive::as_object(archive::object(QLatin1StringView("Strokes")),
                                    QLatin1StringView("Stroke")));
    QCborMap numeric;
    numeric.insert(archive::kClassKey, 5);
    EXPECT_FALSE(archive::as_object(numeric, QLatin1StringView("5")));
    EXPECT_FALSE(archive::as_object(QCborMap(), QLatin1StringView("Stroke")));
    EXPECT_FALSE(archive::as_object(QCborArray{QStringLiteral("Stroke")}, QLatin1StringView("Stroke")));
}

TEST(ArchiveObject, NumbersAreReadOnlyWhenUsable)
{
    QCborMap map;
    map.insert(QLatin1StringView("half"), 0.5);
    map.insert(QLatin1StringView("seven"), 7);
    map.insert(QLatin1StringView("nan"), kNaN);
    map.insert(QLatin1StringView("inf"), -kInf);
    map.insert(QLatin1StringView("huge"), 1e300);
    map.insert(QLatin1StringView("text"), QStringLiteral("1"));
    map.insert(QLatin1StringView("wide"), qint64{1} << 40);
    map.insert(QLatin1StringView("negative"), -12);
    const auto f = [&map](const char* key) { return archive::read_float(map, QLatin1StringView(key)); };
    const auto i = [&map](const char* key) { return archive::read_int(map, QLatin1StringView(key)); };

    EXPECT_EQ(f("half"), 0.5f);
    EXPECT_EQ(f("seven"), 7.0f);
    for (const char* key : {"nan", "inf", "huge", "text", "missing"}) EXPECT_FALSE(f(key)) << key;
    EXPECT_EQ(i("seven"), 7);
    EXPECT_EQ(i("negative"), -12);
    for (const char* key : {"half", "wide", "text", "missing"}) EXPECT_FALSE(i(key)) << key;
}

TEST(ArchiveColor, RoundTripsAndStoresFourFloats)
{
    for (const QColor c : {QColor(0, 0, 0, 0), QColor(255, 255, 255), QColor(10, 200, 33, 128),
                           QColor::fromRgbF(0.123f, 0.456f, 0.789f, 0.5f)}) {
        const auto back = archive::decode_color(*parse(archive::to_bytes(archive::encode_color(c))));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->rgba64(), c.rgba64());
    }
    // Every component is written as a 32-bit float, not a double.
    QCborStreamReader reader(archive::to_bytes(archive::encode_color(QColor(1, 2, 3, 4))));
    int floats = 0;
    while (reader.lastError() == QCborError::NoError && reader.isValid()) {
        if (reader.isContainer()) {
            reader.enterContainer();
        } else {
            EXPECT_FALSE(reader.isDouble());
            floats += reader.isFloat() ? 1 : 0;
            reader.next();
        }
        while (reader.containerDepth() > 0 && !reader.hasNext()) reader.leaveContainer();
        if (reader.containerDepth() == 0) break;
    }
    EXPECT_EQ(floats, 4);
}

TEST(ArchiveColor, RefusesWrongShapesAndClampsRange)
{
    const auto rgba = [](QCborArray a) { return object_with("Color", "rgba", a); };
    EXPECT_EQ(archive::decode_color(rgba({2.0, -1.0, 0.5, 3}))->rgba64(),
              QColor::fromRgbF(1, 0, 0.5f, 1).rgba64());
    EXPECT_FALSE(archive::decode_color(rgba({1.0, 1.0, 1.0})));
    EXPECT_FALSE(archive::decode_color(rgba({1.0, 1.0, 1.0, 1.0, 1.0})));
    EXPECT_FALSE(archive::decode_color(rgba({kNaN, 1.0, 1.0, 1.0})));
    EXPECT_FALSE(archive::decode_color(rgba({1.0, kInf, 1.0, 1.0})));
    EXPECT_FALSE(archive::decode_color(rgba({1.0, 1.0, QStringLiteral("1"), 1.0})));
    EXPECT_FALSE(archive::decode_color(object_with("Color", "rgba", 1.0)));
    EXPECT_FALSE(archive::decode_color(object_with("Colour", "rgba", QCborArray{1.0, 1.0, 1.0, 1.0})));
    EXPECT_FALSE(archive::decode_color(QCborValue(QCborValue::Null)));
}

TEST(ArchivePath, RoundTripsEveryElementKindRuleAndWidth)
{
    Path path({{kMoveTo, {{1.5f, -2}}},
               {kLineTo, {{10, 0.25f}}},
               {kCurveTo, {{1, 2}, {3, 4}, {5e6f, -7e-3f}}},
               {kClosePath, {}},
               {kMoveTo, {{0, 0}}}},
              kEvenOdd);
    path.setLineWidth(2.5f);
    const auto back = archive::decode_path(*parse(archive::to_bytes(archive::encode_path(path))));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->windingRule(), kEvenOdd);
    EXPECT_EQ(back->lineWidth(), 2.5f);
    ASSERT_EQ(back->elements().size(), path.elements().size());
    for (std::size_t i = 0; i < path.elements().size(); ++i) {
        const PathElement& a = path.elements()[i];
        const PathElement& b = back->elements()[i];
        EXPECT_EQ(a.element, b.element) << i;
        const int points = a.element == kCurveTo ? 3 : (a.element == kClosePath ? 0 : 1);
        for (int k = 0; k < points; ++k) EXPECT_TRUE(a.p[k] == b.p[k]) << i << " " << k;
    }
    EXPECT_TRUE(archive::decode_path(archive::encode_path(Path()))->empty());
}

TEST(ArchivePath, ElementBytesAreKindThenLittleEndianPoints)
{
    const Path path({{kMoveTo, {{1, 2}}}, {kCurveTo, {{3, 4}, {5, 6}, {7, 8}}}, {kClosePath, {}}});
    const QCborMap map = archive::encode_path(path).toMap();
    const QByteArray expected = QByteArray(1, '\0') + le_floats({1, 2}) + QByteArray(1, '\2') +
                                le_floats({3, 4, 5, 6, 7, 8}) + QByteArray(1, '\3');
    EXPECT_EQ(map.value(QLatin1StringView("elements")).toByteArray(), expected);
    EXPECT_EQ(map.value(QLatin1StringView("winding")).toInteger(), kNonZero);
}

TEST(ArchivePath, RefusesBadKindsLengthsRulesAndNumbers)
{
    const QCborMap good = archive::encode_path(Path({{kMoveTo, {{1, 2}}}})).toMap();
    const QByteArray move = QByteArray(1, '\0') + le_floats({1, 2});
    const auto elements = [&good](const QByteArray& b) { return with(good, "elements", b); };
    ASSERT_TRUE(archive::decode_path(elements(move)));

    EXPECT_FALSE(archive::decode_path(elements(QByteArray(1, '\4') + le_floats({1, 2}))));
    EXPECT_FALSE(archive::decode_path(elements(QByteArray(1, char(0xff)))));
    EXPECT_FALSE(archive::decode_path(elements(move.left(move.size() - 1))));
    EXPECT_FALSE(archive::decode_path(elements(QByteArray(1, '\2') + le_floats({1, 2, 3, 4, 5}))));
    EXPECT_FALSE(archive::decode_path(elements(QByteArray(1, '\1'))));
    EXPECT_FALSE(archive::decode_path(
        elements(QByteArray(1, '\1') + le_floats({std::numeric_limits<float>::quiet_NaN(), 0}))));
    EXPECT_FALSE(archive::decode_path(
        elements(QByteArray(1, '\1') + le_floats({0, std::numeric_limits<float>::infinity()}))));
    EXPECT_FALSE(archive::decode_path(with(good, "elements", QStringLiteral("abc"))));
    EXPECT_FALSE(archive::decode_path(with(good, "winding", 2)));
    EXPECT_FALSE(archive::decode_path(with(good, "winding", -1)));
    EXPECT_FALSE(archive::decode_path(with(good, "winding", 0.0)));
    EXPECT_FALSE(archive::decode_path(with(good, "line_width", -1.0)));
    EXPECT_FALSE(archive::decode_path(with(good, "line_width", kNaN)));
    QCborMap no_width = good;
    no_width.remove(QLatin1StringView("line_width"));
    EXPECT_FALSE(archive::decode_path(no_width));
}

TEST(ArchiveTransform, RoundTripsAndRefusesWrongShapes)
{
    const AffineTransform t{1.5f, -0.25f, 0.125f, 3, -100.5f, 1e7f};
    EXPECT_EQ(archive::decode_transform(*parse(archive::to_bytes(archive::encode_transform(t)))), t);
    // A singular transform is still a transform; whether it is usable is the caller's call.
    EXPECT_TRUE(archive::decode_transform(archive::encode_transform({0, 0, 0, 0, 0, 0})));

    const auto m = [](QCborArray a) { return object_with("AffineTransform", "m", a); };
    EXPECT_FALSE(archive::decode_transform(m({1, 0, 0, 1, 0})));
    EXPECT_FALSE(archive::decode_transform(m({1, 0, 0, 1, 0, 0, 0})));
    EXPECT_FALSE(archive::decode_transform(m({1, 0, 0, 1, 0, kNaN})));
    EXPECT_FALSE(archive::decode_transform(m({1, 0, kInf, 1, 0, 0})));
    EXPECT_FALSE(archive::decode_transform(m({1, 0, 0, 1, 0, QCborArray{}})));
    EXPECT_FALSE(archive::decode_transform(object_with("Color", "m", QCborArray{1, 0, 0, 1, 0, 0})));
}

TEST(ArchiveImage, RoundTripsPixelsWithAlpha)
{
    QImage image(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) image.setPixel(x, y, qRgba(x * 30, y * 50, 255 - x * 20, 40 + y * 40));
    const auto back = archive::decode_image(*parse(archive::to_bytes(archive::encode_image(image))));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), image.size());
    const QImage a = back->convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(a.pixel(x, y), image.pixel(x, y)) << x << "," << y;
}

TEST(ArchiveImage, RefusesWhatIsNotASensiblePng)
{
    QImage small(3, 3, QImage::Format_RGB32);
    small.fill(Qt::blue);
    const QByteArray png = png_of(small);
    ASSERT_TRUE(archive::decode_image(image_object(png)));

    EXPECT_FALSE(archive::decode_image(image_object(QByteArray())));
    EXPECT_FALSE(archive::decode_image(image_object(png.left(png.size() / 2))));
    EXPECT_FALSE(archive::decode_image(image_object(QByteArray("not a picture at all"))));
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    small.save(&buffer, "BMP");
    EXPECT_FALSE(archive::decode_image(image_object(bmp)));
    EXPECT_FALSE(archive::decode_image(object_with("Image", "png", QString::fromLatin1(png))));
    EXPECT_FALSE(archive::decode_image(object_with("Picture", "png", png)));
}

TEST(ArchiveImage, RefusesPicturesBeyondTheSizeLimits)
{
    const int side = archive::kMaxImageSide;
    const auto png_filled = [](int w, int h, QImage::Format format) {
        QImage image(w, h, format);
        image.fill(1);
        return png_of(image);
    };
    // Real pictures that would decode: only the size check refuses them. A one-bit picture
    // puts the pixel count over the limit cheaply.
    EXPECT_FALSE(archive::decode_image(image_object(png_filled(side + 1, 1, QImage::Format_RGB32))));
    EXPECT_FALSE(archive::decode_image(image_object(png_filled(1, side + 1, QImage::Format_RGB32))));
    const int rows = int(archive::kMaxImagePixels / 8192) + 1;
    EXPECT_FALSE(archive::decode_image(image_object(png_filled(8192, rows, QImage::Format_Mono))));
    EXPECT_TRUE(archive::decode_image(image_object(png_filled(8192, rows - 1, QImage::Format_Mono))));
    EXPECT_TRUE(archive::decode_image(image_object(png_filled(side, 1, QImage::Format_RGB32))));

    // Headers that claim more than their pixel data holds.
    EXPECT_FALSE(archive::decode_image(image_object(png_claiming(quint32(side), quint32(side)))));
    EXPECT_FALSE(archive::decode_image(image_object(png_claiming(0x7fffffff, 0x7fffffff))));
    EXPECT_FALSE(archive::decode_image(image_object(png_claiming(0, 4))));
}

TEST(ArchiveBytes, RefusesMalformedAndTrailingData)
{
    const QByteArray good = archive::to_bytes(archive::encode_color(Qt::red));
    ASSERT_TRUE(parse(good));
    QString error;
    for (const QByteArray& bad :
         {QByteArray(), good.left(good.size() - 1), good + QByteArray(1, '\0'),
          good + good, QByteArray::fromHex("ff"), QByteArray::fromHex("1c"),
          // A text string that is not UTF-8.
          QByteArray::fromHex("62c328"),
          // A tagged value: the format uses no tags.
          QByteArray::fromHex("c11a00000000"),
          // An indefinite array that never ends.
          QByteArray::fromHex("9f0102")}) {
        error.clear();
        EXPECT_FALSE(parse(bad, &error)) << bad.toHex().constData();
        EXPECT_FALSE(error.isEmpty()) << bad.toHex().constData();
    }
}

TEST(ArchiveBytes, ClaimedLengthsBeyondTheDataAllocateNothing)
{
    // Byte string, text string, array and map each claiming 2^60 entries.
    for (const char* hex : {"5b1000000000000000", "7b1000000000000000", "9b1000000000000000",
                            "bb1000000000000000", "9b100000000000000001"}) {
        QString error;
        EXPECT_FALSE(parse(QByteArray::fromHex(hex), &error)) << hex;
        EXPECT_FALSE(error.isEmpty()) << hex;
    }
}

TEST(ArchiveBytes, NestingIsLimited)
{
    const auto nested = [](int depth, char open, const QByteArray& inner) {
        return QByteArray(depth, open) + inner;
    };
    // Arrays of one element, down to an integer.
    EXPECT_TRUE(parse(nested(archive::kMaxDepth, char(0x81), QByteArray(1, '\0'))));
    EXPECT_FALSE(parse(nested(archive::kMaxDepth + 1, char(0x81), QByteArray(1, '\0'))));
    // Indefinite-length arrays, each closed by a break.
    const int d = archive::kMaxDepth;
    EXPECT_TRUE(parse(nested(d, char(0x9f), QByteArray(d, char(0xff)))));
    EXPECT_FALSE(parse(nested(d + 1, char(0x9f), QByteArray(d + 1, char(0xff)))));

    QElapsedTimer timer;
    timer.start();
    for (const char open : {char(0x81), char(0x9f), char(0xa1)}) {
        QString error;
        EXPECT_FALSE(parse(nested(100000, open, QByteArray(1, '\0')), &error));
        EXPECT_TRUE(error.contains(QStringLiteral("deep"))) << error.toStdString();
    }
    // Nesting through map values: {0: {0: ...}}.
    QByteArray maps;
    for (int i = 0; i < 100000; ++i) maps.append("\xa1\x00", 2);
    EXPECT_FALSE(parse(maps + QByteArray(1, '\0')));
    // The refusal comes at the limit, not after walking the whole input.
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(ArchiveBytes, ItemCountIsLimited)
{
    // An array of kMaxItems + 1 zeros is well formed but more than any drawing holds.
    const qint64 n = archive::kMaxItems + 1;
    QByteArray bytes = QByteArray::fromHex("9a") + QByteArray(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[1 + i] = char(n >> (24 - 8 * i));
    bytes.append(QByteArray(n, '\0'));
    QString error;
    EXPECT_FALSE(parse(bytes, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("too large"))) << error.toStdString();
}
