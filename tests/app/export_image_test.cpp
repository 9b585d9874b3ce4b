// Exporting what the view shows: the background rule of each format, the picture at the
// view's size and at other sizes, writes that fail without harming a file already there, the
// PNG writer, and SVG and PDF.

#include "export_image.h"
#include "pictures.h"
#include "png_writer.h"
#include "replay.h"
#include "support/strokes.h"
#include "vector_export.h"

#include <QSvgRenderer>
#include <QtGui>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

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
                EXPECT_TRUE(expected.alpha() == 0 ? got.alpha() == 0 : near(got.rgba(), expected.rgba(), f.tolerance + 2))
                    << f.name << " " << got.name(QColor::HexArgb).toStdString();
            }
            EXPECT_TRUE(near(back.pixel(55, 40), red.rgba(), f.tolerance)) << f.name;
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

// The PNG writer: every picture reads back through Qt's reader pixel for pixel, in the
// channels it needs, plain and interlaced, and its files are about the size of Qt's own.
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

// SVG and PDF exports drawn back to pixels (Qt SVG; poppler's pdftoppm at one pixel a point,
// over white) against the picture export of the same drawing.
namespace {

// The SVG drawn by Qt SVG over transparency, or the PDF by pdftoppm over white.
QImage drawn_back(const QString& file, QSize size)
{
    if (file.endsWith(u".pdf")) {
        const QStringList poppler{"-r", "72", "-png", "-singlefile", file, file};
        EXPECT_EQ(QProcess::execute(QStringLiteral("pdftoppm"), poppler), 0) << "needs poppler-utils";
        return QImage(file + QStringLiteral(".png")).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    }
    return painted(size, Qt::transparent, [&file](QPainter& p) { QSvgRenderer(file).render(&p); })
        .convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

} // namespace

// A picture, translucent and opaque paths, an effect stroke over a path that also reaches
// outside it, a path above and two away. Anti-aliasing differs along edges only: at most 1.5%
// of the pixels may differ by more than 48 (found: none for SVG, under 0.8% for PDF).
TEST(VectorExport, LooksLikeThePictureExportWithEffectsAsOneBitmap)
{
    QTemporaryDir dir;
    const QString svg = dir.filePath(QStringLiteral("v.svg")), pdf = dir.filePath(QStringLiteral("v.pdf"));
    for (const int mode : {kModeErase, kModeMultiply}) {
        const Strokes strokes({fill_stroke(make_rect(150, 60, 40, 30), QColor(20, 160, 60)),
                               image_stroke(make_rect(130, 20, 40, 30), QColor(250, 200, 0), 0.8f),
                               fill_stroke(make_rect(40, 20, 60, 40), QColor(220, 30, 30), kModeNormal, 0.6f),
                               fill_stroke(make_rect(60, 30, 30, 50), QColor(90, 90, 255), mode),
                               fill_stroke(make_rect(80, 10, 40, 30), QColor(0, 0, 120), kModeNormal, 0.5f)});
        const ExportSource source{strokes, ViewGeometry{Size{200, 100}, AffineTransform::identity()}, std::nullopt};
        ASSERT_TRUE(export_drawing(source, svg, 400, 200) && export_drawing(source, pdf, 400, 200));
        for (const bool transparent : {true, false}) {
            const QImage actual = drawn_back(transparent ? svg : pdf, QSize(400, 200));
            const QImage expected = *render_drawing(source, 400, 200, transparent);
            EXPECT_LE(pixels_differing(actual, expected, 48), 1200) << mode << write_comparison(
                actual, expected, QStringLiteral("vector"), QStringLiteral("reference-failures")).toStdString();
        }
        // The two paths clear of the effect stay paths; the picture and the bitmap of the
        // effect (with the translucent red beneath it) are the two images.
        const QByteArray text = file_bytes(svg);
        EXPECT_EQ(text.count("<path"), 2);
        EXPECT_EQ(text.count("<image"), 2);
    }
    const ExportSource empty{Strokes(), {Size{200, 100}, AffineTransform::identity()}, std::nullopt};
    EXPECT_FALSE(export_drawing(empty, dir.filePath(QStringLiteral("none/v.pdf")), 200, 100));
}

// Pen strokes, thick and thin, go out as one outline each: the pictures match as above,
// and the files take under a third of the room of the strokes' circles and bands.
TEST(VectorExport, WritesEachPenStrokeAsOneOutline)
{
    QTemporaryDir dir;
    StrokeArray pens, shapes;
    for (int i = 0; i < 6; ++i) {
        std::vector<Point> wave;
        for (int k = 0; k < 60; ++k)
            wave.push_back({10.0f + 3 * float(k), 15 + 30 * float(i) + 8 * std::sin(float(k * (i + 1)) / 20)});
        pens.push_back(pen_stroke(wave, 1.5f + 1.5f * float(i), QColor::fromHsv(60 * i, 200, 180)));
        shapes.push_back(Stroke::withPath(outline_to_path(*pens.back()->penOutline()), pens.back()->color(), kModeNormal, 1));
    }
    qint64 sizes[2] = {};
    for (const bool merged : {false, true}) {
        const Strokes strokes(merged ? pens : shapes);
        const ExportSource source{strokes, ViewGeometry{Size{200, 200}, AffineTransform::identity()}, std::nullopt};
        for (const char* name : {"p.svg", "p.pdf"}) {
            const QString file = dir.filePath(QString::fromLatin1(name));
            ASSERT_TRUE(export_drawing(source, file, 400, 400));
            sizes[merged] += QFileInfo(file).size();
            if (!merged) continue;
            const QImage expected = *render_drawing(source, 400, 400, file.endsWith(u".svg"));
            EXPECT_LE(pixels_differing(drawn_back(file, QSize(400, 400)), expected, 48), 1200) << name;
        }
    }
    EXPECT_LT(sizes[true] * 3, sizes[false]);
}
