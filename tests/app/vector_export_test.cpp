// SVG and PDF exports drawn back to pixels (Qt SVG; poppler's pdftoppm at one pixel a point,
// over white) against the picture export of the same drawing.

#include "pictures.h"
#include "support/strokes.h"
#include "vector_export.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>

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
        QImage drawn(400, 200, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        QSvgRenderer(svg).render(&painter);
        painter.end();
        const QStringList poppler{"-r", "72", "-png", "-singlefile", pdf, pdf};
        ASSERT_EQ(QProcess::execute(QStringLiteral("pdftoppm"), poppler), 0) << "needs poppler-utils";
        const QImage pages[] = {drawn, QImage(pdf + QStringLiteral(".png"))};
        for (const bool transparent : {true, false}) {
            const QImage actual = pages[transparent ? 0 : 1].convertToFormat(QImage::Format_RGBA8888_Premultiplied);
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
