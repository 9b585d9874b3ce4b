// Exporting what the view shows: the background rule of each format, the picture at the
// view's size and at other sizes, refused sizes and names, and writes that fail without
// harming a file already there.

#include "export_image.h"

#include "pictures.h"
#include "view_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

using namespace color_ns;

namespace {

QByteArray file_bytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

bool write_bytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What a file of each format starts with, whatever its name says.
bool has_signature(const QByteArray& bytes, ImageFormat format)
{
    switch (format) {
    case ImageFormat::Png: return bytes.startsWith("\x89PNG\r\n\x1a\n");
    case ImageFormat::Gif: return bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a");
    case ImageFormat::Jpeg: return bytes.startsWith("\xff\xd8\xff");
    case ImageFormat::Tiff: return bytes.startsWith(QByteArray("II*\0", 4)) || bytes.startsWith(QByteArray("MM\0*", 4));
    }
    return false;
}

// Channel by channel within a tolerance; JPEG needs a few levels.
bool close_to(const QColor& actual, const QColor& expected, int tolerance)
{
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance &&
           std::abs(actual.alpha() - expected.alpha()) <= tolerance;
}

std::string describe(const QColor& c)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha()).toStdString();
}

QColor colour_at(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

struct Format {
    const char* name;
    ImageFormat format;
    int tolerance;
};
const Format kFormats[] = {{"png", ImageFormat::Png, 0},
                           {"tiff", ImageFormat::Tiff, 0},
                           {"jpg", ImageFormat::Jpeg, 6},
                           {"gif", ImageFormat::Gif, 3}};

// A 200 x 100 view with an opaque red rectangle; exports go to a fresh folder.
class ExportImageTest : public ViewTest {
protected:
    QTemporaryDir dir;
    const QColor red{255, 0, 0};
    const QColor blue{0, 0, 255};
    const QColor clear{0, 0, 0, 0};

    void SetUp() override
    {
        ViewTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        document.drawing().addStroke(rect_stroke(30, 20, 50, 40, red));
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    ExportSource source() { return {document.drawing().strokes(), view->canvasForReading(), document.drawing().backgroundColor()}; }

    QImage render(int width, int height, bool transparent = true)
    {
        const Result<QImage> image = render_drawing(source(), width, height, transparent);
        EXPECT_TRUE(image) << image.error().toStdString();
        EXPECT_EQ(image ? image->size() : QSize(), QSize(width, height));
        return image ? *image : QImage();
    }

    // Exports and reads the file back, checking its encoding and size.
    QImage exported(const Format& f, int width, int height)
    {
        const QString file = path(QStringLiteral("out.%1").arg(f.name));
        const Result<> result = export_drawing(source(), file, width, height);
        EXPECT_TRUE(result) << result.error().toStdString();
        EXPECT_TRUE(has_signature(file_bytes(file), f.format)) << f.name;
        const QImage back(file);
        EXPECT_EQ(back.size(), QSize(width, height)) << f.name;
        return back;
    }

    QStringList folderEntries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }
};

} // namespace

TEST(ExportImageFormat, ChosenByTheExtensionInAnyCase)
{
    const std::pair<const char*, std::optional<ImageFormat>> rows[] = {
        {"a/b/picture.png", ImageFormat::Png}, {"PICTURE.PNG", ImageFormat::Png}, {"x.Gif", ImageFormat::Gif},
        {"x.jpg", ImageFormat::Jpeg}, {"x.JPEG", ImageFormat::Jpeg}, {"x.tif", ImageFormat::Tiff},
        {"my.drawings/x.tiff", ImageFormat::Tiff}, {"picture", {}}, {"picture.bmp", {}}, {"picture.png.txt", {}},
        {"png", {}}, {"folder.png/picture", {}}, {"x.jpe", {}}, {"x.", {}}};
    for (const auto& [name, format] : rows) EXPECT_EQ(image_format_for_path(QLatin1String(name)), format) << name;
}

// Where nothing is drawn: transparency or white by format, else the document's colour, which
// may itself carry alpha (the opaque formats show it over white, 100 * 128/255 + 127).
TEST_F(ExportImageTest, EachFormatOverItsBackgroundRule)
{
    const struct {
        std::optional<QColor> background;
        QColor transparentFormats, opaqueFormats;
    } rows[] = {{std::nullopt, clear, Qt::white},
                {QColor(20, 120, 200), QColor(20, 120, 200), QColor(20, 120, 200)},
                {QColor(100, 60, 200, 128), QColor(100, 60, 200, 128), QColor(177, 157, 227)}};
    for (const auto& row : rows) {
        document.drawing().setBackgroundColor(row.background);
        for (const Format& f : kFormats) {
            SCOPED_TRACE(f.name);
            const QImage back = exported(f, 200, 100);
            const QColor expected = format_is_transparent(f.format) ? row.transparentFormats : row.opaqueFormats;
            for (const auto& [x, y] : {std::pair{150, 80}, std::pair{0, 0}, std::pair{199, 99}})
                EXPECT_TRUE(expected.alpha() == 0 ? colour_at(back, x, y).alpha() == 0
                                                  : close_to(colour_at(back, x, y), expected, f.tolerance + 2))
                    << describe(colour_at(back, x, y));
            EXPECT_TRUE(close_to(colour_at(back, 55, 40), red, f.tolerance)) << describe(colour_at(back, 55, 40));
        }
    }
}

TEST_F(ExportImageTest, AtTheViewsSizeThePixelsAreTheViews)
{
    // Soft edges, a translucent stroke and a turned, zoomed view.
    document.drawing().addStroke(rect_stroke(60.3f, 35.7f, 70.2f, 30.1f, QColor(0, 128, 255, 100)));
    ASSERT_TRUE(view->zoomToPoint({70, 40}, 1.7f));
    ASSERT_TRUE(view->rotateFrom(kCentre + Point{20, 0}, kCentre + Point{20, 9}));

    const QImage shown = view->canvasForReading().previewBitmap().image();
    EXPECT_EQ(render(200, 100, true), shown);

    // Over white, the same picture as the view's shown over white.
    QImage overWhite(shown.size(), QImage::Format_ARGB32_Premultiplied);
    overWhite.fill(Qt::white);
    QPainter(&overWhite).drawImage(0, 0, shown);
    EXPECT_LE(largest_difference(render(200, 100, false), overWhite), 1);
}

TEST_F(ExportImageTest, AnotherSizeFollowsAZoomedAndTurnedView)
{
    document.drawing().addStroke(rect_stroke(88, 52, 14, 9, blue));
    ASSERT_TRUE(view->zoomToPoint({75, 50}, 2.5f));
    ASSERT_TRUE(view->rotateFrom(kCentre + Point{30, 0}, kCentre + Point{30, 17}));

    struct Rectangle {
        Rect world;
        QColor colour;
    };
    const Rectangle drawn[] = {{make_rect(30, 20, 50, 40), red}, {make_rect(88, 52, 14, 9), blue}};
    // A world point this far inside or outside every rectangle has a certain colour.
    const float margin = 0.8f;
    const auto inside = [margin](const Rect& r, Point p, float by) {
        return p.x > r.origin.x + by && p.x < r.origin.x + r.size.width - by && p.y > r.origin.y + by &&
               p.y < r.origin.y + r.size.height - by;
    };

    for (const auto& [width, height] : {std::pair{400, 200}, std::pair{300, 300}, std::pair{100, 50}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const QImage picture = render(width, height);
        const float ratio = float(width) / 200.0f;
        const Point outputCentre{float(width) / 2, float(height) / 2};
        int coloured = 0;
        int empty = 0;
        for (int y = 0; y < height; y += 3) {
            for (int x = 0; x < width; x += 3) {
                // The view point this output pixel stands for, and the drawing under it.
                const Point viewPoint = kCentre + (Point{float(x) + 0.5f, float(y) + 0.5f} - outputCentre) / ratio;
                const Point world = worldPointAt(viewPoint);
                const QColor actual = colour_at(picture, x, y);
                bool nearEdge = false;
                const Rectangle* under = nullptr;
                for (const Rectangle& r : drawn) {
                    if (inside(r.world, world, margin)) under = &r;
                    else if (inside(r.world, world, -margin)) nearEdge = true;
                }
                if (under && !nearEdge) {
                    ++coloured;
                    EXPECT_EQ(actual, under->colour) << x << "," << y;
                } else if (!under && !nearEdge) {
                    ++empty;
                    EXPECT_EQ(actual.alpha(), 0) << x << "," << y;
                }
            }
        }
        EXPECT_GT(coloured, 20);
        EXPECT_GT(empty, 20);
    }
}

TEST_F(ExportImageTest, RefusedSizesAndNamesWriteNothing)
{
    for (const char* name : {"picture.bmp", "picture", "picture.png.txt"})
        EXPECT_TRUE(export_drawing(source(), path(name), 200, 100).error().contains(path(name))) << name;
    EXPECT_TRUE(check_export_size(1, 1));
    EXPECT_TRUE(check_export_size(kMaxExportSide, int(kMaxExportPixels / kMaxExportSide)));
    EXPECT_TRUE(check_export_size(8192, 8192));
    for (const auto& [w, h] : {std::pair{0, 100}, std::pair{100, 0}, std::pair{-5, 100}, std::pair{100, -1},
                              std::pair{kMaxExportSide + 1, 1}, std::pair{1, kMaxExportSide + 1},
                              std::pair{8192, 8193}, std::pair{20000, 20000},
                              std::pair{std::numeric_limits<int>::max(), std::numeric_limits<int>::max()},
                              std::pair{std::numeric_limits<int>::min(), -1}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        const Result<> size = check_export_size(w, h);
        ASSERT_FALSE(size);
        EXPECT_EQ(render_drawing(source(), w, h, true).error(), size.error());
        for (const Format& f : kFormats)
            EXPECT_EQ(export_drawing(source(), path(QStringLiteral("refused.%1").arg(f.name)), w, h).error(), size.error());
        EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(u' ').toStdString();
    }
}

// A write that fails reports it and leaves the folder as it was: an existing file is
// replaced wholly or not at all, and no temporary file stays behind.
TEST_F(ExportImageTest, AFailedWriteLeavesTheFolderAsItWas)
{
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        // A folder under the picture's name, and a folder that does not exist.
        const QString folder = path(QStringLiteral("folder.%1").arg(f.name));
        ASSERT_TRUE(QDir().mkdir(folder));
        EXPECT_FALSE(export_drawing(source(), folder, 200, 100));
        EXPECT_TRUE(QFileInfo(folder).isDir());
        EXPECT_TRUE(QDir(folder).isEmpty());

        const QString missing = path(QStringLiteral("missing/out.%1").arg(f.name));
        EXPECT_FALSE(export_drawing(source(), missing, 300, 150));
        EXPECT_FALSE(QFileInfo::exists(path("missing")));

        const QString file = path(QStringLiteral("keep.%1").arg(f.name));
        const QByteArray old = QByteArrayLiteral("an earlier picture, not to be lost");
        ASSERT_TRUE(write_bytes(file, old));

        EXPECT_FALSE(export_drawing(source(), file, 0, 100));
        EXPECT_FALSE(export_drawing(source(), file, 40000, 100));
        EXPECT_FALSE(write_image(QImage(), file, f.format));
        // Wider than JPEG and GIF can encode: the encoder itself fails midway.
        if (f.format == ImageFormat::Jpeg || f.format == ImageFormat::Gif) {
            QImage wide(70000, 2, QImage::Format_RGBA8888_Premultiplied);
            wide.fill(Qt::red);
            EXPECT_FALSE(write_image(wide, file, f.format));
        }
        EXPECT_EQ(file_bytes(file), old);

        // A successful export replaces it.
        const Result<> result = export_drawing(source(), file, 120, 60);
        EXPECT_TRUE(result) << result.error().toStdString();
        EXPECT_TRUE(has_signature(file_bytes(file), f.format));
        EXPECT_EQ(QImage(file).size(), QSize(120, 60));
    }
    EXPECT_EQ(folderEntries().size(), 8) << folderEntries().join(u' ').toStdString();
}

TEST_F(ExportImageTest, TheEncodingOptionsReachTheEncoder)
{
    // Detail for the JPEG quality to matter: many small soft-edged rectangles.
    for (int i = 0; i < 40; ++i)
        document.drawing().addStroke(rect_stroke(float(i * 5 % 190) + 0.3f, float(i * 7 % 90) + 0.6f, 6.4f, 5.2f,
                                       QColor::fromHsv(i * 9, 200, 220)));

    const auto written_size = [&](const char* name, const ExportOptions& options) {
        const Result<> result = export_drawing(source(), path(name), 400, 200, options);
        EXPECT_TRUE(result) << result.error().toStdString();
        return QFileInfo(path(name)).size();
    };
    ExportOptions rough;
    rough.jpegQuality = 10;
    ExportOptions fine;
    fine.jpegQuality = 95;
    EXPECT_LT(written_size("rough.jpg", rough), written_size("fine.jpg", fine));

    ExportOptions lzw;
    lzw.tiffLzw = true;
    ExportOptions raw;
    raw.tiffLzw = false;
    const qint64 compressed = written_size("lzw.tif", lzw);
    EXPECT_LT(compressed, written_size("raw.tif", raw));
    // Uncompressed TIFF holds every byte of the picture.
    EXPECT_GE(QFileInfo(path("raw.tif")).size(), 400 * 200 * 4);
    EXPECT_EQ(QImage(path("lzw.tif")), QImage(path("raw.tif")));
}
