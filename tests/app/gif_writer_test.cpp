// GIF export: written through giflib, read back through Qt's own GIF reader.

#include "gif_writer.h"

#include <gtest/gtest.h>

#include <QColor>
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
};

// Flat colours exactly, transparency over white, and the gradient within a few levels.
TEST_F(GifWriter, ColoursComeBackThroughQtsReader)
{
    const Result<> written = write_gif(test_picture(), path("out.gif"));
    ASSERT_TRUE(written) << written.error().toStdString();
    const QImage back = read_gif(path("out.gif"));
    ASSERT_EQ(back.size(), QSize(width, height));
    long total = 0;
    int worst = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QColor got = back.pixelColor(x, y);
            if (x < flat_columns && y < flat_rows)
                ASSERT_TRUE(close_to(got, flat_colours[y / flat_band])) << x << "," << y;
            else if (x < gradient_left)
                ASSERT_TRUE(close_to(got, Qt::white)) << x << "," << y;
            else
                for (const int d : {got.red() - gradient_at(x, y).red(), got.green() - gradient_at(x, y).green(),
                                    got.blue() - gradient_at(x, y).blue()}) {
                    total += std::abs(d);
                    worst = std::max(worst, std::abs(d));
                }
        }
    EXPECT_LT(double(total) / (3.0 * height * (width - gradient_left)), 3.0);
    EXPECT_LT(worst, 24);

    QImage veil(4, 4, QImage::Format_ARGB32);
    veil.fill(QColor(0, 0, 0, 128));
    ASSERT_TRUE(write_gif(veil, path("veil.gif")));
    EXPECT_TRUE(close_to(read_gif(path("veil.gif")).pixelColor(1, 1), QColor(127, 127, 127)));
}

// Sides beyond 16 bits cannot be written and are refused with a reason. (A failed write
// leaving an existing file alone is checked for every format with the export.)
TEST_F(GifWriter, SidesBeyondSixteenBitsAreRefused)
{
    QImage widest(65535, 1, QImage::Format_RGB32), tooTall(1, 65536, QImage::Format_ARGB32);
    widest.fill(Qt::blue), tooTall.fill(Qt::red);
    EXPECT_TRUE(encode_gif(widest));
    EXPECT_TRUE(encode_gif(tooTall).error().contains(u"65535")) << encode_gif(tooTall).error().toStdString();
    EXPECT_FALSE(encode_gif(QImage()));
}

} // namespace
