#include "pictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <vector>

std::unique_ptr<Bitmap> bitmap_from_rows(const QStringList& rows, const PictureKey& key)
{
    const qsizetype width = rows.isEmpty() ? 0 : rows.front().size();
    auto bitmap = Bitmap::create({float(width), float(rows.size())});
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < width && x < rows[y].size(); ++x) {
            const char c = rows[y][x].toLatin1();
            const auto found = key.find(c);
            if (found != key.end() || (c != '.' && c != ' '))
                bitmap->setPixel(x, y, found != key.end() ? found->second : color_ns::BLACK);
        }
    return bitmap;
}

QStringList rows_of(const Bitmap& bitmap)
{
    QStringList rows;
    for (int y = 0; y < bitmap.height(); ++y) {
        QString row;
        for (int x = 0; x < bitmap.width(); ++x)
            row += color_ns::alpha(bitmap.pixelAt(x, y)) ? u'#' : u'.';
        rows << row;
    }
    return rows;
}

std::unique_ptr<Bitmap> filled_bitmap(int width, int height, color_ns::Color color,
                                      const AffineTransform& transform)
{
    auto bitmap = Bitmap::create({float(width), float(height)});
    EXPECT_TRUE(bitmap->setTransform(transform));
    bitmap->fill(color);
    return bitmap;
}

int changed_outside(const Bitmap& bitmap, const Rect& world, color_ns::Color background)
{
    const PixelSpan s = bitmap.span(bitmap.worldRectToBitmapRect(world));
    int n = 0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            n += !(x >= s.x0 && x <= s.x1 && y >= s.y0 && y <= s.y1) &&
                 bitmap.pixelAt(x, y) != background;
    return n;
}

Rect filled_bounds(const Bitmap& bitmap)
{
    int x0 = bitmap.width(), y0 = bitmap.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            if (color_ns::alpha(bitmap.pixelAt(x, y)))
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x),
                y1 = std::max(y1, y);
    return x1 < 0 ? Rect{}
                  : make_rect(float(x0), float(y0), float(x1 - x0 + 1), float(y1 - y0 + 1));
}

bool near(QRgb a, QRgb b, int within)
{
    return std::abs(qRed(a) - qRed(b)) <= within && std::abs(qGreen(a) - qGreen(b)) <= within &&
           std::abs(qBlue(a) - qBlue(b)) <= within && std::abs(qAlpha(a) - qAlpha(b)) <= within;
}

QImage painted(QSize size, const QColor& ground, const std::function<void(QPainter&)>& paint,
               QImage::Format format)
{
    QImage image(size, format);
    image.fill(ground);
    QPainter painter(&image);
    if (paint) paint(painter);
    painter.end();
    return image;
}

QByteArray file_bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

// The largest channel difference of each pixel; empty when the sizes differ.
std::vector<int> differences(const QImage& a, const QImage& b)
{
    if (a.size() != b.size()) return {};
    const auto format = QImage::Format_RGBA8888_Premultiplied;
    const QImage ca = a.convertToFormat(format), cb = b.convertToFormat(format);
    std::vector<int> out(std::size_t(ca.width() * ca.height()), 0);
    for (int y = 0; y < ca.height(); ++y)
        for (int i = 0; i < 4 * ca.width(); ++i) {
            int& most = out[std::size_t(y * ca.width() + i / 4)];
            most = std::max(most, std::abs(ca.constScanLine(y)[i] - cb.constScanLine(y)[i]));
        }
    return out;
}

} // namespace

int largest_difference(const QImage& a, const QImage& b)
{
    const std::vector<int> d = differences(a, b);
    return a.size() != b.size() ? 256 : d.empty() ? 0 : *std::max_element(d.begin(), d.end());
}

int pixels_differing(const QImage& a, const QImage& b, int tolerance)
{
    const std::vector<int> d = differences(a, b);
    if (a.size() != b.size()) return std::max(a.width() * a.height(), b.width() * b.height());
    return int(std::count_if(d.begin(), d.end(), [tolerance](int v) { return v > tolerance; }));
}

QString write_comparison(const QImage& actual, const QImage& expected, const QString& name,
                         const QString& folder)
{
    const QString out = QDir::current().filePath(folder);
    QDir().mkpath(out);
    const QString stem = QDir(out).filePath(name);
    actual.save(stem + QStringLiteral("-actual.png"));
    expected.save(stem + QStringLiteral("-expected.png"));
    QImage diff(actual.size(), QImage::Format_RGBA8888);
    if (const std::vector<int> d = differences(actual, expected); !d.empty()) {
        for (int i = 0; i < int(d.size()); ++i)
            diff.setPixelColor(i % diff.width(), i / diff.width(),
                               d[i] ? QColor(255, 0, 0, std::min(255, 64 + 4 * d[i])) : Qt::white);
        diff.save(stem + QStringLiteral("-difference.png"));
    }
    return stem;
}

::testing::AssertionResult matches_reference(const QImage& actual, const QImage& reference,
                                             const QString& name, int tolerance, int pixels)
{
    const int most = largest_difference(actual, reference);
    const int over = pixels_differing(actual, reference, 2);
    if (most <= tolerance && over <= pixels) return ::testing::AssertionSuccess();
    const QString stem = write_comparison(actual, reference, name, QStringLiteral("reference-failures"));
    return ::testing::AssertionFailure() << name.toStdString() << " differs by " << most << " in a channel, "
                                         << over << " pixels by more than 2; see " << stem.toStdString() << "-*.png";
}

::testing::AssertionResult matches_golden(const QImage& actual, const QString& name,
                                          int tolerance)
{
    const QString golden = QStringLiteral(PAVO_TEST_DATA "/golden/%1.png").arg(name);
    if (qEnvironmentVariableIntValue("PAVO_UPDATE_GOLDEN") == 1) {
        QDir().mkpath(QFileInfo(golden).path());
        if (actual.save(golden)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "cannot write " << golden.toStdString();
    }
    const QImage expected(golden);
    const int most = largest_difference(actual, expected);
    if (!expected.isNull() && most <= tolerance) return ::testing::AssertionSuccess();
    const QString stem = write_comparison(actual, expected, name, QStringLiteral("golden-failures"));
    return ::testing::AssertionFailure() << name.toStdString() << " differs by " << most
                                         << " in a channel; see " << stem.toStdString() << "-*.png"
                                         << (expected.isNull() ? " (PAVO_UPDATE_GOLDEN=1)" : "");
}
