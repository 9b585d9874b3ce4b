// SVG and PDF exports drawn back to pixels against the PNG export of the same drawing, and
// which strokes stay paths when effect strokes must become a bitmap.

#include "pictures.h"
#include "support/strokes.h"
#include "vector_export.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QImage svg_pixels(const QString& file, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer svg(file);
    QPainter painter(&image);
    svg.render(&painter);
    return image;
}

// Poppler draws the page at 72 pixels an inch, one pixel a point, over white.
QImage pdf_pixels(const QString& file)
{
    const QString stem = file + QStringLiteral("-page");
    const int status = QProcess::execute(QStringLiteral("pdftoppm"),
                                         {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                                          QStringLiteral("-singlefile"), file, stem});
    EXPECT_EQ(status, 0) << "pdftoppm (poppler-utils) is needed";
    return QImage(stem + QStringLiteral(".png"));
}

// Anti-aliasing differs between the renderers along edges only: the mean channel difference
// stays under 1.5 and at most 1.5% of the pixels differ by more than 48 in a channel.
::testing::AssertionResult looks_alike(QImage actual, QImage expected, const char* name)
{
    actual = actual.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    expected = expected.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (actual.size() != expected.size()) return ::testing::AssertionFailure() << name << ": size differs";
    double sum = 0;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width() * 4; ++x) sum += std::abs(actual.constScanLine(y)[x] - expected.constScanLine(y)[x]);
    const double mean = sum / (actual.width() * actual.height() * 4.0);
    const int differing = pixels_differing(actual, expected, 48);
    if (mean < 1.5 && differing <= actual.width() * actual.height() * 15 / 1000) return ::testing::AssertionSuccess();
    write_comparison(actual, expected, QString::fromLatin1(name), QStringLiteral("reference-failures"));
    return ::testing::AssertionFailure() << name << ": mean difference " << mean << ", " << differing << " pixels";
}

int occurrences(const QString& file, const char* text)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count(text)) : -1;
}

// A 200 x 100 view at the identity: a picture and translucent and opaque paths, with an
// effect stroke over a path that also reaches outside it, a path above and two away from it.
Strokes drawing(int mode)
{
    return Strokes({fill_stroke(make_rect(150, 60, 40, 30), QColor(20, 160, 60)),
                    image_stroke(make_rect(130, 20, 40, 30), QColor(250, 200, 0), 0.8f),
                    fill_stroke(make_rect(40, 20, 60, 40), QColor(220, 30, 30), kModeNormal, 0.6f),
                    fill_stroke(make_rect(60, 30, 30, 50), QColor(90, 90, 255), mode),
                    fill_stroke(make_rect(80, 10, 40, 30), QColor(0, 0, 120), kModeNormal, 0.5f)});
}

} // namespace

TEST(VectorExport, LooksLikeThePictureExportWithEffectsAsOneBitmap)
{
    QTemporaryDir dir;
    for (const int mode : {kModeErase, kModeMultiply}) {
        const Strokes strokes = drawing(mode);
        const ExportSource source{strokes, ViewGeometry{Size{200, 100}, AffineTransform::identity()}, std::nullopt};
        const Result<QImage> png = render_drawing(source, 400, 200, true);
        const Result<QImage> flat = render_drawing(source, 400, 200, false);
        ASSERT_TRUE(png && flat);
        const QString svg = dir.filePath(QStringLiteral("out.svg")), pdf = dir.filePath(QStringLiteral("out.pdf"));
        ASSERT_TRUE(export_drawing(source, svg, 400, 200));
        ASSERT_TRUE(export_drawing(source, pdf, 400, 200));
        EXPECT_TRUE(looks_alike(svg_pixels(svg, QSize(400, 200)), *png, "svg")) << mode;
        EXPECT_TRUE(looks_alike(pdf_pixels(pdf), *flat, "pdf")) << mode;
        // The paths clear of the effect stay paths; the picture and the effect's bitmap
        // (with the translucent red beneath it) are the two images.
        EXPECT_EQ(occurrences(svg, "<path"), 2);
        EXPECT_EQ(occurrences(svg, "<image"), 2);
    }
}

// The bitmap takes the effect stroke and every earlier path reaching into its area, and
// the paths joining widen it; later paths and paths elsewhere stay vectors.
TEST(VectorExport, SplitsAroundTheEffectStrokes)
{
    const StrokeArray s{fill_stroke(make_rect(150, 60, 40, 30)), fill_stroke(make_rect(0, 0, 30, 30)),
                        fill_stroke(make_rect(20, 20, 30, 30)), fill_stroke(make_rect(40, 40, 20, 20), Qt::red, kModeShadow),
                        fill_stroke(make_rect(0, 0, 200, 100)), fill_stroke(make_rect(300, 0, 9, 9), Qt::red, kModeErase)};
    const VectorLayers layers = split_for_vectors(s, AffineTransform::identity(), QSizeF(200, 100));
    EXPECT_EQ(layers.below, StrokeArray{s[0]});
    EXPECT_EQ(layers.rasterStrokes, 4);
    EXPECT_EQ(layers.raster, QRectF(0, 0, 62, 62));
    EXPECT_EQ(layers.above, StrokeArray{s[4]});
    EXPECT_FALSE(split_for_vectors({s[0], s[5]}, AffineTransform::identity(), QSizeF(200, 100)).raster);
}

TEST(VectorExport, AFailedWriteLeavesNothing)
{
    QTemporaryDir dir;
    const Strokes strokes = drawing(kModeMultiply);
    const ExportSource source{strokes, ViewGeometry{Size{200, 100}, AffineTransform::identity()}, std::nullopt};
    EXPECT_FALSE(export_vector(source, 200, 100, VectorFormat::Pdf, dir.filePath(QStringLiteral("no/out.pdf"))));
    EXPECT_FALSE(export_vector(source, 0, 100, VectorFormat::Svg, dir.filePath(QStringLiteral("out.svg"))));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}
