// GIF export: written through giflib, read back through Qt's own GIF reader.

#include "gif_writer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

// An odd width so that row padding mistakes show up.
constexpr int width = 61;
constexpr int height = 40;

const QColor flat_colours[] = {QColor(200, 30, 40), QColor(20, 160, 60), QColor(30, 50, 220), QColor(0, 0, 0),
                               QColor(255, 255, 255)};
constexpr int flat_band = 8; // rows per flat colour, from the top
constexpr int flat_rows = 5 * flat_band;
constexpr int flat_columns = 20;
constexpr int clear_columns = 10; // fully transparent, right of the flat bands
constexpr int gradient_left = flat_columns + clear_columns;

QColor gradient_at(int x, int y)
{
    return QColor((x - gradient_left) * 255 / (width - 1 - gradient_left), y * 255 / (height - 1), 128);
}

QImage test_picture()
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < flat_rows; ++y)
        for (int x = 0; x < flat_columns; ++x)
            image.setPixelColor(x, y, flat_colours[y / flat_band]);
    for (int y = 0; y < height; ++y)
        for (int x = gradient_left; x < width; ++x)
            image.setPixelColor(x, y, gradient_at(x, y));
    return image;
}

QImage read_gif(const QString& path)
{
    QImageReader reader(path, "gif");
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

bool close_to(const QColor& actual, const QColor& expected, int tolerance = 2)
{
    return std::abs(actual.red() - expected.red()) <= tolerance
        && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance && actual.alpha() == 255;
}

class GifWriter : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    QImage written(const QImage& image)
    {
        QString error;
        EXPECT_TRUE(write_gif(image, path("out.gif"), &error)) << error.toStdString();
        return read_gif(path("out.gif"));
    }
};

TEST_F(GifWriter, KeepsTheSize)
{
    const QImage back = written(test_picture());
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), QSize(width, height));
}

TEST_F(GifWriter, FlatColoursComeBackExactly)
{
    const QImage back = written(test_picture());
    ASSERT_EQ(back.size(), QSize(width, height));
    for (int y = 0; y < flat_rows; ++y)
        for (int x = 0; x < flat_columns; ++x)
            ASSERT_TRUE(close_to(back.pixelColor(x, y), flat_colours[y / flat_band]))
                << "at " << x << "," << y << ": " << back.pixelColor(x, y).name().toStdString();
}

TEST_F(GifWriter, TransparencyIsFlattenedOverWhite)
{
    const QImage back = written(test_picture());
    ASSERT_EQ(back.size(), QSize(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = flat_columns; x < gradient_left; ++x)
            ASSERT_TRUE(close_to(back.pixelColor(x, y), Qt::white))
                << "at " << x << "," << y << ": " << back.pixelColor(x, y).name().toStdString();
}

TEST_F(GifWriter, HalfTransparentBlackBecomesMidGrey)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(QColor(0, 0, 0, 128));
    const QImage back = written(image);
    ASSERT_EQ(back.size(), QSize(4, 4));
    EXPECT_TRUE(close_to(back.pixelColor(1, 1), QColor(127, 127, 127)))
        << back.pixelColor(1, 1).name().toStdString();
}

TEST_F(GifWriter, GradientStaysClose)
{
    const QImage back = written(test_picture());
    ASSERT_EQ(back.size(), QSize(width, height));
    long total = 0;
    int worst = 0;
    for (int y = 0; y < height; ++y)
        for (int x = gradient_left; x < width; ++x) {
            const QColor got = back.pixelColor(x, y);
            const QColor want = gradient_at(x, y);
            for (const int d : {got.red() - want.red(), got.green() - want.green(), got.blue() - want.blue()}) {
                total += std::abs(d);
                worst = std::max(worst, std::abs(d));
            }
        }
    const double mean = double(total) / (3.0 * height * (width - gradient_left));
    EXPECT_LT(mean, 3.0);
    EXPECT_LT(worst, 24);
}

TEST_F(GifWriter, EncodesToMemoryAsGif)
{
    QString error;
    const std::optional<QByteArray> bytes = encode_gif(test_picture(), &error);
    ASSERT_TRUE(bytes) << error.toStdString();
    EXPECT_TRUE(bytes->startsWith("GIF8"));
    EXPECT_TRUE(bytes->endsWith(';')); // the trailer is written on close
    QBuffer buffer;
    buffer.setData(*bytes);
    EXPECT_EQ(QImageReader(&buffer, "gif").read().size(), QSize(width, height));
}

TEST_F(GifWriter, RejectsANullImage)
{
    QString error;
    EXPECT_FALSE(write_gif(QImage(), path("null.gif"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(path("null.gif")));
}

TEST_F(GifWriter, RejectsAnEmptyImage)
{
    QString error;
    EXPECT_FALSE(write_gif(QImage(0, 0, QImage::Format_ARGB32), path("empty.gif"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(path("empty.gif")));
}

TEST_F(GifWriter, RejectsSidesBeyondSixteenBits)
{
    QImage wide(65536, 1, QImage::Format_ARGB32);
    ASSERT_FALSE(wide.isNull());
    wide.fill(Qt::red);
    QString error;
    EXPECT_FALSE(encode_gif(wide, &error));
    EXPECT_TRUE(error.contains("65535")) << error.toStdString();
}

TEST_F(GifWriter, AcceptsTheLargestSide)
{
    QImage wide(65535, 1, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    QString error;
    EXPECT_TRUE(encode_gif(wide, &error)) << error.toStdString();
}

TEST_F(GifWriter, FailsWithAReasonInAMissingFolder)
{
    const QString target = path("no-such-folder/out.gif");
    QString error;
    EXPECT_FALSE(write_gif(test_picture(), target, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(GifWriter, AFailedWriteLeavesAnExistingFileAlone)
{
    const QString target = path("existing.gif");
    ASSERT_TRUE(write_gif(test_picture(), target, nullptr));
    QFile before_file(target);
    ASSERT_TRUE(before_file.open(QIODevice::ReadOnly));
    const QByteArray before = before_file.readAll();
    before_file.close();

    QImage too_tall(1, 65536, QImage::Format_ARGB32);
    too_tall.fill(Qt::green);
    QString error;
    EXPECT_FALSE(write_gif(too_tall, target, &error));
    EXPECT_FALSE(error.isEmpty());

    QFile after_file(target);
    ASSERT_TRUE(after_file.open(QIODevice::ReadOnly));
    EXPECT_EQ(after_file.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"existing.gif"}); // no temporary left behind
}

} // namespace
