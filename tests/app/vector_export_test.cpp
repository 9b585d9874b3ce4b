// SVG and PDF exports drawn back to pixels (Qt SVG; poppler's pdftoppm at one pixel a point,
// over white) against the picture export of the same drawing.

#include "pictures.h"
#include "support/strokes.h"
#include "vector_export.h"

#include <cmath>

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>

namespace {

// The SVG drawn by Qt SVG over transparency, or the PDF by pdftoppm over white.
QImage drawn_back(const QString& file, QSize size)
{
    if (file.endsWith(u".pdf")) {
        const QStringList poppler{"-r", "72", "-png", "-singlefile", file, file};
        EXPECT_EQ(QProcess::execute(QStringLiteral("pdftoppm"), poppler), 0) << "needs poppler-utils";
        return QImage(file + QStringLiteral(".png")).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    }
    QImage drawn(size, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    QSvgRenderer(file).render(&painter);
    painter.end();
    return drawn.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
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
        QFile file(svg);
        const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
