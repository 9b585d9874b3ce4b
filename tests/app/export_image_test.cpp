// Exporting what the view shows: the background rule of each format, the picture at the
// view's size and at other sizes, refused sizes and names, and writes that fail without
// harming a file already there.

#include "export_image.h"

#include "pictures.h"
#include "replay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainterPath>

#include <cstdlib>
#include <limits>
#include <string>

namespace {

QByteArray file_bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int difference(const QColor& a, const QColor& b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue()),
                     std::abs(a.alpha() - b.alpha())});
}

// Each format by its name, what its files start with, and how far its encoding may stray.
const struct Format {
    const char* name;
    ImageFormat format;
    QByteArray signature;
    int tolerance;
} kFormats[] = {{"png", ImageFormat::Png, "\x89PNG\r\n\x1a\n", 0},
                {"tiff", ImageFormat::Tiff, QByteArray("II*\0", 4), 0},
                {"jpg", ImageFormat::Jpeg, "\xff\xd8\xff", 6},
                {"gif", ImageFormat::Gif, "GIF8", 3}};

// A 200 x 100 view with an opaque red rectangle; exports go to a fresh folder.
class ExportImageTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    DocumentShell shell;
    Headless headless;
    std::unique_ptr<PavoDocument> doc = headless.open(shell, {200, 100});
    const QColor red{255, 0, 0};

    void SetUp() override { rectangle(30, 20, 50, 40, red); }

    void rectangle(float x, float y, float w, float h, const QColor& colour)
    {
        QPainterPath path;
        path.addRect(x, y, w, h);
        doc->drawing().addStroke(Stroke::withPath(Path(path), colour, kModeNormal, 1.0f));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    ExportSource source() { return {doc->strokes(), doc->view().canvasForReading(), doc->backgroundColor()}; }
    QImage render(int width, int height, bool transparent = true)
    {
        const Result<QImage> image = render_drawing(source(), width, height, transparent);
        EXPECT_TRUE(image) << image.error().toStdString();
        EXPECT_EQ(image ? image->size() : QSize(), QSize(width, height));
        return image ? image->convertToFormat(QImage::Format_ARGB32) : QImage();
    }
    QStringList folderEntries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
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
    } rows[] = {{std::nullopt, Qt::transparent, Qt::white},
                {QColor(20, 120, 200), QColor(20, 120, 200), QColor(20, 120, 200)},
                {QColor(100, 60, 200, 128), QColor(100, 60, 200, 128), QColor(177, 157, 227)}};
    for (const auto& row : rows) {
        if (row.background) doc->backgroundColorChanged(*row.background);
        else doc->clearBackgroundColor();
        for (const Format& f : kFormats) {
            const QString file = path(QStringLiteral("out.%1").arg(f.name));
            ASSERT_TRUE(export_drawing(source(), file, 200, 100)) << f.name;
            EXPECT_TRUE(file_bytes(file).startsWith(f.signature)) << f.name;
            const QImage back = QImage(file).convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(back.size(), QSize(200, 100)) << f.name;
            const QColor expected = format_is_transparent(f.format) ? row.transparentFormats : row.opaqueFormats;
            for (const QPoint p : {QPoint(150, 80), QPoint(0, 0), QPoint(199, 99)}) {
                const QColor got = back.pixelColor(p);
                EXPECT_TRUE(expected.alpha() == 0 ? got.alpha() == 0 : difference(got, expected) <= f.tolerance + 2)
                    << f.name << " " << got.name(QColor::HexArgb).toStdString();
            }
            EXPECT_LE(difference(back.pixelColor(55, 40), red), f.tolerance) << f.name;
        }
    }
}

// At the view's size the pixels are the view's (soft edges, a translucent stroke, a turned
// and zoomed view); at other sizes the same part of the drawing, scaled by the ratio of the
// widths about the view's centre.
TEST_F(ExportImageTest, EverySizeShowsWhatTheViewShows)
{
    rectangle(60.3f, 35.7f, 70.2f, 30.1f, QColor(0, 128, 255, 100));
    rectangle(88, 52, 14, 9, Qt::blue);
    ASSERT_TRUE(doc->view().zoomToPoint({70, 40}, 1.7f));
    ASSERT_TRUE(doc->view().rotateFrom({120, 50}, {120, 59}));
    const QImage plain = render(200, 100);
    EXPECT_EQ(plain, doc->view().canvasForReading().previewBitmap().image().convertToFormat(QImage::Format_ARGB32));

    // Compared where the view's picture is one colour all around the pixel.
    const auto uniform = [&](int x, int y) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (!plain.rect().contains(x + dx, y + dy) || plain.pixel(x + dx, y + dy) != plain.pixel(x, y))
                    return false;
        return true;
    };
    for (const QSize size : {QSize(400, 200), QSize(300, 300), QSize(100, 50)}) {
        const QImage picture = render(size.width(), size.height());
        const float ratio = float(size.width()) / 200.0f;
        QSet<QRgb> seen;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const int vx = int(std::floor(100 + (float(x) + 0.5f - float(size.width()) / 2) / ratio));
                const int vy = int(std::floor(50 + (float(y) + 0.5f - float(size.height()) / 2) / ratio));
                if (!uniform(vx, vy)) continue;
                seen.insert(plain.pixel(vx, vy));
                ASSERT_EQ(picture.pixel(x, y), plain.pixel(vx, vy)) << size.width() << ": " << x << "," << y;
            }
        EXPECT_GE(seen.size(), 3) << "compared over red, blue and nothing";
    }
}

TEST_F(ExportImageTest, RefusedSizesAndNamesWriteNothing)
{
    for (const char* name : {"picture.bmp", "picture", "picture.png.txt"})
        EXPECT_TRUE(export_drawing(source(), path(name), 200, 100).error().contains(path(name))) << name;
    for (const auto& [w, h] : {std::pair{1, 1}, {kMaxExportSide, int(kMaxExportPixels / kMaxExportSide)}, {8192, 8192}})
        EXPECT_TRUE(check_export_size(w, h)) << w << " x " << h;
    const int most = std::numeric_limits<int>::max(), least = std::numeric_limits<int>::min();
    for (const auto& [w, h] : {std::pair{0, 100}, {100, 0}, {-5, 100}, {kMaxExportSide + 1, 1}, {1, kMaxExportSide + 1},
                               {8192, 8193}, {20000, 20000}, {most, most}, {least, -1}}) {
        const Result<> size = check_export_size(w, h);
        ASSERT_FALSE(size) << w << " x " << h;
        EXPECT_EQ(render_drawing(source(), w, h, true).error(), size.error());
        for (const Format& f : kFormats)
            EXPECT_EQ(export_drawing(source(), path(QStringLiteral("refused.%1").arg(f.name)), w, h).error(), size.error());
    }
    EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(u' ').toStdString();
}

// A write that fails reports it and leaves the folder as it was: an existing file is
// replaced wholly or not at all, and no temporary file stays behind.
TEST_F(ExportImageTest, AFailedWriteLeavesTheFolderAsItWas)
{
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        const QString folder = path(QStringLiteral("folder.%1").arg(f.name));
        ASSERT_TRUE(QDir().mkdir(folder));
        EXPECT_FALSE(export_drawing(source(), folder, 200, 100));
        EXPECT_TRUE(QFileInfo(folder).isDir() && QDir(folder).isEmpty());
        EXPECT_FALSE(export_drawing(source(), path(QStringLiteral("missing/out.%1").arg(f.name)), 300, 150));
        const QString file = path(QStringLiteral("keep.%1").arg(f.name));
        const QByteArray old = QByteArrayLiteral("an earlier picture, not to be lost");
        QFile earlier(file);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write(old) == old.size());
        earlier.close();
        EXPECT_FALSE(write_image(QImage(), file, f.format));
        // Wider than JPEG and GIF can encode: the encoder itself fails midway.
        if (f.format == ImageFormat::Jpeg || f.format == ImageFormat::Gif) {
            QImage wide(70000, 2, QImage::Format_RGBA8888_Premultiplied);
            wide.fill(Qt::red);
            EXPECT_FALSE(write_image(wide, file, f.format));
        }
        EXPECT_EQ(file_bytes(file), old);
        ASSERT_TRUE(export_drawing(source(), file, 120, 60));
        EXPECT_EQ(QImage(file).size(), QSize(120, 60));
    }
    EXPECT_EQ(folderEntries().size(), 8) << folderEntries().join(u' ').toStdString();
}
