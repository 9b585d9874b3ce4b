// Exporting what the view shows: the background rule of each format, the picture at the
// view's size and at other sizes, and writes that fail without harming a file already there.

#include "export_image.h"
#include "pictures.h"
#include "replay.h"
#include "support/strokes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>

namespace {

int difference(const QColor& a, const QColor& b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha())});
}

// Each format by an extension in any case, what its files start with, and how far its
// encoding may stray.
const struct Format {
    const char* name;
    ImageFormat format;
    QByteArray signature;
    int tolerance;
} kFormats[] = {{"PNG", ImageFormat::Png, "\x89PNG\r\n\x1a\n", 0},
                {"tif", ImageFormat::Tiff, QByteArray("II*\0", 4), 0},
                {"Jpeg", ImageFormat::Jpeg, "\xff\xd8\xff", 6},
                {"gif", ImageFormat::Gif, "GIF8", 3}};

// A 200 x 100 view with an opaque red rectangle; exports go to a fresh folder.
class ExportImageTest : public ReplayTest {
protected:
    DocumentShell shell;
    Headless headless;
    std::unique_ptr<PavoDocument> doc = headless.open(shell, {200, 100});
    const QColor red{255, 0, 0};

    void SetUp() override { doc->drawing().addStroke(fill_stroke(make_rect(30, 20, 50, 40), red)); }
    ExportSource source()
    {
        return {doc->strokes(), doc->view().viewGeometry(), doc->backgroundColor()};
    }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot); }
};

} // namespace

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
            const bool clear = format_is_transparent(f.format);
            const QColor expected = clear ? row.transparentFormats : row.opaqueFormats;
            for (const QPoint p : {QPoint(150, 80), QPoint(0, 0), QPoint(199, 99)}) {
                const QColor got = back.pixelColor(p);
                EXPECT_TRUE(expected.alpha() == 0 ? got.alpha() == 0
                                                  : difference(got, expected) <= f.tolerance + 2)
                    << f.name << " " << got.name(QColor::HexArgb).toStdString();
            }
            EXPECT_LE(difference(back.pixelColor(55, 40), red), f.tolerance) << f.name;
        }
    }
    for (const char* name : {"picture.bmp", "picture", "picture.png.txt", "png", "folder.png/x"})
        EXPECT_FALSE(image_format_for_path(QLatin1String(name))) << name;
}

// At the view's size the pixels are the view's (soft edges, a translucent stroke); at other
// sizes the same part of the drawing, scaled by the ratio of the widths about the centre.
TEST_F(ExportImageTest, EverySizeShowsWhatTheViewShows)
{
    const QColor translucent(0, 128, 255, 100);
    doc->drawing().addStroke(fill_stroke(make_rect(60.3f, 35.7f, 70.2f, 30.1f), translucent));
    const auto render = [&](int width, int height) {
        const Result<QImage> image = render_drawing(source(), width, height, true);
        EXPECT_TRUE(image && image->size() == QSize(width, height)) << width << "x" << height;
        return image ? image->convertToFormat(QImage::Format_ARGB32) : QImage();
    };
    const QImage plain = render(200, 100);
    EXPECT_EQ(plain, doc->view().canvasForReading().previewBitmap().image().convertToFormat(
                         QImage::Format_ARGB32));
    const struct {
        int width, height, x, y; // a pixel of the picture of that size
        QPoint view;             // and where it is in the view
    } rows[] = {{400, 200, 110, 80, {55, 40}}, {400, 200, 200, 100, {100, 50}},
                {400, 200, 300, 160, {150, 80}}, {300, 300, 82, 135, {55, 40}},
                {300, 300, 150, 150, {100, 50}}, {300, 300, 225, 195, {150, 80}},
                {100, 50, 27, 20, {55, 40}}, {100, 50, 50, 25, {100, 50}}, {100, 50, 75, 40, {150, 80}}};
    for (const auto& row : rows)
        EXPECT_EQ(render(row.width, row.height).pixel(row.x, row.y), plain.pixel(row.view))
            << row.width << "x" << row.height << " at " << row.x << "," << row.y;
}

// A write that fails reports it and leaves the folder as it was: an existing file is
// replaced wholly or not at all, and no temporary file stays behind.
TEST_F(ExportImageTest, AFailedWriteLeavesTheFolderAsItWas)
{
    const QByteArray old = QByteArrayLiteral("an earlier picture, not to be lost");
    // Wider than JPEG and GIF can encode: the encoder itself fails midway.
    QImage wide(70000, 2, QImage::Format_RGBA8888_Premultiplied);
    wide.fill(Qt::red);
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        const QString folder = path(QStringLiteral("folder.%1").arg(f.name));
        ASSERT_TRUE(QDir().mkdir(folder));
        EXPECT_FALSE(export_drawing(source(), folder, 200, 100));
        EXPECT_TRUE(QFileInfo(folder).isDir() && QDir(folder).isEmpty());
        const QString missing = path(QStringLiteral("missing/out.%1").arg(f.name));
        const Result<> unwritable = export_drawing(source(), missing, 300, 150);
        EXPECT_TRUE(!unwritable && unwritable.error().contains(missing)) << "the message names the file";
        const QString file = path(QStringLiteral("keep.%1").arg(f.name));
        QFile earlier(file);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write(old) == old.size());
        earlier.close();
        EXPECT_FALSE(write_image(QImage(), file, f.format));
        const bool narrow = f.format == ImageFormat::Jpeg || f.format == ImageFormat::Gif;
        EXPECT_FALSE(narrow && write_image(wide, file, f.format));
        EXPECT_EQ(file_bytes(file), old);
        ASSERT_TRUE(export_drawing(source(), file, 120, 60));
        EXPECT_EQ(QImage(file).size(), QSize(120, 60));
    }
    EXPECT_EQ(entries().size(), 8) << entries().join(u' ').toStdString();
}
