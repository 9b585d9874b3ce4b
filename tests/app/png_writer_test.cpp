// The PNG writer: every picture reads back through Qt's reader pixel for pixel, in the
// channels it needs, plain and interlaced, and its files are about the size of Qt's own.

#include "export_image.h"
#include "png_writer.h"
#include "replay.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <random>

namespace {

// Premultiplied pixels with alpha from `alpha(x, y)`: smooth colour ramps on the left
// half (where up and Paeth win), noise on the right (where sub does).
template <class Alpha>
QImage ramps_and_noise(int width, int height, Alpha alpha)
{
    std::mt19937 random(7);
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool ramp = x < width / 2;
            const int r = ramp ? (3 * x + y) % 256 : int(random() % 256);
            const int g = ramp ? (x * y) % 256 : int(random() % 256);
            image.setPixel(x, y, qRgba(r, g, (x + 5 * y) % 256, alpha(x, y)));
        }
    return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

QImage read_back(const QByteArray& png)
{
    QBuffer buffer;
    buffer.setData(png);
    QImageReader reader(&buffer, "png");
    return reader.read().convertToFormat(QImage::Format_RGBA8888);
}

// IHDR's colour type (2 RGB, 6 RGBA) and interlace method.
int colour_type(const QByteArray& png) { return png.size() > 25 ? png[25] : -1; }
int interlace(const QByteArray& png) { return png.size() > 28 ? png[28] : -1; }

QByteArray qt_png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

} // namespace

// Straight alpha comes back exactly (as Qt's reader undoes it), at sizes with odd rows and
// passes of Adam7 that are empty; a picture without transparency is written without alpha.
TEST(PngWriter, ReadsBackPixelForPixel)
{
    const auto opaque = [](int, int) { return 255; };
    const auto clear = [](int, int) { return 0; };
    const auto partly = [](int x, int y) { return (x * 37 + y * 11) % 256; };
    const struct {
        const char* name;
        QImage image;
        int colourType;
    } rows[] = {
        {"opaque 1x1", ramps_and_noise(1, 1, opaque), 2}, {"clear 1x1", ramps_and_noise(1, 1, clear), 6},
        {"partly 1x1", ramps_and_noise(1, 1, partly), 6}, {"opaque 37x23", ramps_and_noise(37, 23, opaque), 2},
        {"clear 6x5", ramps_and_noise(6, 5, clear), 6}, {"partly 37x23", ramps_and_noise(37, 23, partly), 6},
        {"partly 3x70", ramps_and_noise(3, 70, partly), 6}, {"opaque 250x9", ramps_and_noise(250, 9, opaque), 2}};
    for (const auto& row : rows)
        for (const bool interlaced : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (interlaced ? " interlaced" : ""));
            const Result<QByteArray> png = encode_png(row.image, interlaced);
            ASSERT_TRUE(png);
            EXPECT_EQ(colour_type(*png), row.colourType);
            EXPECT_EQ(interlace(*png), interlaced ? 1 : 0);
            EXPECT_EQ(read_back(*png), row.image.convertToFormat(QImage::Format_RGBA8888));
        }
    EXPECT_FALSE(encode_png(QImage()));
    // The export dialog's option reaches the writer.
    ExportOptions options;
    options.pngInterlaced = true;
    const Result<QByteArray> interlaced = encode_image(rows[0].image, ImageFormat::Png, options);
    ASSERT_TRUE(interlaced);
    EXPECT_EQ(interlace(*interlaced), 1);
}

// A drawing of pen strokes, opaque and over transparency, is at most a tenth larger than
// what Qt's encoder writes at zlib's default level.
TEST_F(ReplayTest, PngFilesAreAboutTheSizeOfQts)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> x(0, 480), y(0, 320);
    QString strokes;
    for (int i = 0; i < 80; ++i)
        strokes += QStringLiteral("set pen.color %1\nset pen.radius %2\n")
                       .arg(random() % 0x1000000, 6, 16, QChar(u'0'))
                       .arg(2 + random() % 8) +
                   drag({x(random), y(random)}, {x(random), y(random)});
    for (const bool clear : {true, false}) {
        const QImage image = picture(
            QStringLiteral("size 480 320\nset background %1\n").arg(clear ? "none" : "ffffff") +
            strokes);
        ASSERT_EQ(image.size(), QSize(480, 320));
        // Qt writes alpha whenever the format has it.
        const QImage channels =
            image.convertToFormat(clear ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        const Result<QByteArray> png = encode_png(channels);
        ASSERT_TRUE(png);
        EXPECT_LE(double(png->size()), 1.10 * double(qt_png(channels).size()))
            << "transparent " << clear;
    }
}
