#include "pictures.h"

#include <QDir>
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
            if (found != key.end())
                bitmap->setPixel(x, y, found->second);
            else if (c != '.' && c != ' ')
                bitmap->setPixel(x, y, color_ns::BLACK);
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

namespace {

// The largest channel difference of each pixel, after both pictures are converted to
// premultiplied RGBA; empty when their sizes differ.
std::vector<int> differences(const QImage& a, const QImage& b)
{
    if (a.size() != b.size()) return {};
    const auto format = QImage::Format_RGBA8888_Premultiplied;
    const QImage ca = a.convertToFormat(format), cb = b.convertToFormat(format);
    std::vector<int> out;
    for (int y = 0; y < ca.height(); ++y)
        for (int i = 0; i < 4 * ca.width(); i += 4) {
            int most = 0;
            for (int c = i; c < i + 4; ++c)
                most = std::max(most, std::abs(ca.constScanLine(y)[c] - cb.constScanLine(y)[c]));
            out.push_back(most);
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
    if (a.size() != b.size()) return std::max(a.width() * a.height(), b.width() * b.height());
    const std::vector<int> d = differences(a, b);
    return int(std::count_if(d.begin(), d.end(), [tolerance](int v) { return v > tolerance; }));
}

::testing::AssertionResult matches_golden(const QImage& actual, const QString& name, int tolerance)
{
    const QString golden = QStringLiteral(PAVO_TEST_DATA "/golden/%1.png").arg(name);
    if (qEnvironmentVariableIntValue("PAVO_UPDATE_GOLDEN") == 1) {
        QDir().mkpath(QFileInfo(golden).path());
        if (!actual.save(golden))
            return ::testing::AssertionFailure() << "cannot write " << golden.toStdString();
        return ::testing::AssertionSuccess();
    }
    const QImage expected(golden);
    if (expected.isNull())
        return ::testing::AssertionFailure() << "no golden picture " << golden.toStdString()
                                             << " (PAVO_UPDATE_GOLDEN=1 writes it)";
    const int most = largest_difference(actual, expected);
    if (most <= tolerance) return ::testing::AssertionSuccess();
    const QString out = QDir::current().filePath(QStringLiteral("golden-failures"));
    QDir().mkpath(out);
    const QString stem = QDir(out).filePath(name);
    actual.save(stem + QStringLiteral("-actual.png"));
    expected.save(stem + QStringLiteral("-expected.png"));
    if (actual.size() == expected.size()) {
        QImage diff(actual.size(), QImage::Format_RGBA8888);
        const std::vector<int> d = differences(actual, expected);
        for (int i = 0; i < int(d.size()); ++i)
            diff.setPixelColor(i % diff.width(), i / diff.width(),
                               d[i] ? QColor(255, 0, 0, std::min(255, 64 + 4 * d[i])) : Qt::white);
        diff.save(stem + QStringLiteral("-difference.png"));
    }
    return ::testing::AssertionFailure()
           << name.toStdString() << " differs from its golden picture by " << most
           << " in a channel; see " << stem.toStdString() << "-*.png";
}
