// GIF export: written through giflib, read back through Qt's own GIF reader.

#include "gif_writer.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

QImage written_and_read(const QImage& picture)
{
    QTemporaryDir dir;
    const Result<> written = write_gif(picture, dir.filePath(QStringLiteral("out.gif")));
    EXPECT_TRUE(written) << written.error().toStdString();
    return QImageReader(dir.filePath(QStringLiteral("out.gif")), "gif").read().convertToFormat(QImage::Format_ARGB32);
}

int difference(const QColor& a, const QColor& b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue()),
                     std::abs(a.alpha() - b.alpha())});
}

} // namespace

// Flat colours come back exactly, transparency and a half-clear veil over white, and a
// gradient of many colours within a few levels on average. The odd width shows row
// padding mistakes.
TEST(GifWriter, ThePaletteKeepsFlatColoursAndAGradientClose)
{
    const QColor flat[] = {{200, 30, 40}, {20, 160, 60}, {30, 50, 220}, {0, 0, 0}, {255, 255, 255}};
    const auto gradient = [](int x, int y) { return QColor((x - 30) * 255 / 30, y * 255 / 39, 128); };
    QImage picture(61, 40, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 20; ++x) picture.setPixelColor(x, y, flat[y / 8]);
        picture.setPixelColor(20, y, QColor(0, 0, 0, 128));
        for (int x = 30; x < 61; ++x) picture.setPixelColor(x, y, gradient(x, y));
    }
    const QImage back = written_and_read(picture);
    ASSERT_EQ(back.size(), picture.size());
    long total = 0;
    int worst = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 20; ++x) ASSERT_LE(difference(back.pixelColor(x, y), flat[y / 8]), 2) << x << "," << y;
        EXPECT_LE(difference(back.pixelColor(20, y), QColor(127, 127, 127)), 2) << y;
        EXPECT_LE(difference(back.pixelColor(25, y), Qt::white), 2) << y;
        for (int x = 30; x < 61; ++x) {
            const QColor got = back.pixelColor(x, y), want = gradient(x, y);
            total += std::abs(got.red() - want.red()) + std::abs(got.green() - want.green()) +
                     std::abs(got.blue() - want.blue());
            worst = std::max(worst, difference(got, want));
        }
    }
    EXPECT_LT(double(total) / (3 * 40 * 31), 3.0) << "on average per channel";
    EXPECT_LT(worst, 24);
}

// Sides beyond 16 bits cannot be written and are refused with a reason.
TEST(GifWriter, SidesBeyondSixteenBitsAreRefused)
{
    QImage widest(65535, 1, QImage::Format_RGB32), tooTall(1, 65536, QImage::Format_ARGB32);
    widest.fill(Qt::blue), tooTall.fill(Qt::red);
    EXPECT_TRUE(encode_gif(widest));
    EXPECT_TRUE(encode_gif(tooTall).error().contains(u"65535")) << encode_gif(tooTall).error().toStdString();
    EXPECT_FALSE(encode_gif(QImage()));
}
