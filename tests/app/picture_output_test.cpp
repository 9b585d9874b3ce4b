// The drawing going out as pictures: printed to PDF as vectors or as a bitmap, printed
// vectors that match the rendered picture, and copies at scale over the background.

#include "export_job.h"
#include "pictures.h"
#include "print_drawing.h"
#include "replay.h"
#include "support/strokes.h"

#include <QtCore>

#include <zlib.h>

namespace {

// The pictures a PDF draws: the sizes of its image objects, leaving out the soft masks that
// carry their transparency.
std::vector<QSize> pdf_images(const QByteArray& pdf)
{
    static const QRegularExpression object(QStringLiteral("(\\d+) 0 obj(.*?)endobj"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression mask(QStringLiteral("/SMask (\\d+) 0 R"));
    static const QRegularExpression width(QStringLiteral("/Width (\\d+)")), height(QStringLiteral("/Height (\\d+)"));
    const QString text = QString::fromLatin1(pdf);
    QSet<QString> masks;
    for (const auto& m : mask.globalMatch(text)) masks.insert(m.captured(1));
    std::vector<QSize> images;
    for (const auto& m : object.globalMatch(text)) {
        const QString body = m.captured(2).section(QStringLiteral("stream"), 0, 0);
        if (!body.contains(QLatin1String("/Subtype /Image")) || masks.contains(m.captured(1))) continue;
        images.emplace_back(width.match(body).captured(1).toInt(), height.match(body).captured(1).toInt());
    }
    return images;
}

// Every stream of the PDF inflated and joined: the page's drawing operators.
QByteArray pdf_content(const QByteArray& pdf)
{
    QByteArray all;
    for (qsizetype at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at + 1)) {
        const qsizetype end = pdf.indexOf("endstream", at);
        if (end < 0 || pdf.mid(at - 3, 3) == "end") continue;
        const QByteArray packed = pdf.mid(at + 7, end - at - 7);
        QByteArray out(1 << 22, '\0');
        uLongf size = uLongf(out.size());
        if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(packed.data()),
                       uLong(packed.size())) == Z_OK)
            all += out.left(qsizetype(size));
    }
    return all;
}

} // namespace

// An all-normal drawing prints as paths with no picture; one multiply stroke makes the page
// one bitmap of about three million pixels (300 x 200 at sqrt(50)). Printing leaves the
// drawing as it was, to the byte, and so does a copy.
TEST_F(ReplayTest, PrintToPdfAsVectorsOrOneBitmap)
{
    const QString normal = box("ff0000", {40, 40}, {160, 120}) + "set pen.color 0000ff\n" + drag({20, 150}, {280, 60});
    const QString script = normal + "save @before.pavo\nprint-pdf @normal.pdf\naction copyBitmapQuadrupleResolution:\nsave @after.pavo\n" +
                           "set pen.mode multiply\n" + drag({20, 60}, {280, 150}) + "print-pdf @multiply.pdf\n";
    const ReplayRun run = replay(script, std::nullopt, Size{300, 200});
    ASSERT_EQ(run.status, kReplayOk) << run.report();

    const QByteArray vectors = file_bytes(path("normal.pdf"));
    ASSERT_TRUE(vectors.startsWith("%PDF"));
    EXPECT_TRUE(pdf_images(vectors).empty());
    const QByteArray operators = pdf_content(vectors);
    EXPECT_TRUE(operators.contains(" m\n") && operators.contains("\nf\n") && !operators.contains(" Do"))
        << operators.toStdString();

    EXPECT_EQ(pdf_images(file_bytes(path("multiply.pdf"))), std::vector<QSize>{QSize(2121, 1414)});
    EXPECT_EQ(print_bitmap_size({1000, 750}), QSize(2000, 1500));
    EXPECT_EQ(print_bitmap_size({2000, 2000}), QSize(2000, 2000));
    EXPECT_EQ(file_bytes(path("before.pavo")), file_bytes(path("after.pavo")));
}

namespace {

// A 300 x 200 view at zoom 2 over a green background: a black square, a hole erased into it.
class PictureOutputTest : public ::testing::Test {
protected:
    ClipboardShell shell;
    Headless headless;
    std::unique_ptr<PavoDocument> doc = headless.open(shell, {300, 200});
    const QColor green{0, 160, 0};

    void SetUp() override
    {
        ASSERT_TRUE(doc->view().setTransform(AffineTransform{2, 0, 0, 2, -20, -10}));
        doc->backgroundColorChanged(green);
        doc->drawing().addStroke(fill_stroke(make_rect(20, 10, 60, 60), Qt::black));
        doc->drawing().addStroke(fill_stroke(make_rect(40, 30, 20, 20), Qt::white, kModeErase));
        doc->drawing().addStroke(line_stroke({100, 20}, {130, 80}, 4, Qt::blue));
    }
};

} // namespace

// Each copy puts the view's size times the scale on the clipboard; where a stroke erased
// the drawing the copy shows the background, as the view does, not a hole.
TEST_F(PictureOutputTest, CopyAtScaleShowsTheBackgroundThroughErasedStrokes)
{
    for (const auto& [action, scale] : {std::pair{"copyBitmap:", 1}, {"copyBitmapDoubleResolution:", 2},
                                        {"copyBitmapTripleResolution:", 3}, {"copyBitmapQuadrupleResolution:", 4}}) {
        ASSERT_TRUE(doc->perform(QLatin1String(action)));
        const QMimeData* data = shell.board.contents();
        ASSERT_TRUE(data && data->hasFormat("image/png")) << action;
        const QImage png = QImage::fromData(data->data("image/png"), "png");
        ASSERT_EQ(png.size(), QSize(300 * scale, 200 * scale)) << action;
        const auto at = [&](int x, int y) { return png.pixel(x * scale, y * scale); };
        EXPECT_EQ(at(80, 70), green.rgba()) << action << ": the erased hole";
        EXPECT_EQ(at(40, 30), QColor(Qt::black).rgba()) << action;
        EXPECT_EQ(at(250, 180), green.rgba()) << action << ": where nothing is drawn";
        if (data->hasFormat("image/tiff")) {
            const QImage tiff = QImage::fromData(data->data("image/tiff"), "tiff");
            EXPECT_EQ(largest_difference(tiff, png), 0) << action;
        }
    }
}

// Printed as vectors, the page looks as the picture the drawing renders to: the
// background first, and lines as wide as the view's zoom makes them.
TEST_F(PictureOutputTest, PrintedVectorsMatchTheRenderedPicture)
{
    doc->drawing().removeStrokes({doc->strokes().strokeArray()[1]});
    ASSERT_TRUE(doc->strokes().canVectorDraw());
    const Result<QImage> rendered = render_drawing(doc->outputSource(), 600, 400, true);
    ASSERT_TRUE(rendered);
    const QImage page = painted({600, 400}, Qt::transparent, [this](QPainter& p) {
        EXPECT_TRUE(print_drawing(p, QRectF(0, 0, 600, 400), doc->outputSource()));
    });
    EXPECT_LT(pixels_differing(page, *rendered, 64), 600 * 400 / 200);
}

// Rendered in bands on several threads, a picture is the one a single canvas of its size
// gives, to the rounding of an edge: the view's part of the drawing scaled about its centre, over the background.
TEST_F(PictureOutputTest, BandsRenderAsOneCanvasWould)
{
    const ExportSource source = doc->outputSource();
    auto canvas = PavoCanvas::create({600, 1000});
    ASSERT_TRUE(canvas && canvas->setTransform(source.view.transform()));
    const Point middle = source.view.bitmapPointToWorldPoint(point(source.view.size()) / 2.0f);
    ASSERT_TRUE(canvas->zoomToPoint(canvas->worldPointToBitmapPoint(middle), 2));
    source.strokes.drawInCanvas(*canvas);
    auto expected = Bitmap::create({600, 1000});
    expected->fill(color_ns::premultiplied(green));
    canvas->previewBitmap().transferRect(make_rect(0, 0, 600, 1000), *expected, kModeNormal, 1);
    const Result<QImage> banded = render_drawing(source, 600, 1000, true);
    ASSERT_TRUE(banded);
    // Edges may round a little differently where a band's offset moves them in floats.
    EXPECT_EQ(pixels_differing(*banded, expected->image(), 4), 0);
}

// An export renders only what it writes: a view whose canvas is due to be rebuilt is not
// rendered first, at its own size, on the way.
TEST_F(PictureOutputTest, AnExportLeavesTheViewUnrendered)
{
    ASSERT_TRUE(doc->view().setSize({320, 200}, false));
    ASSERT_TRUE(render_drawing(doc->outputSource(), 640, 400, true));
    const QImage& view = doc->view().canvas().previewBitmap().image();
    QImage blank(QSize(320, 200), view.format());
    blank.fill(Qt::transparent);
    EXPECT_EQ(pixels_differing(view, blank, 0), 0);
}

// An export job works from its own copy of the drawing; a cancelled one leaves the file
// that was there untouched, and a finished one writes the picture.
TEST_F(PictureOutputTest, ACancelledExportWritesNothing)
{
    QTemporaryDir dir;
    const auto job = ExportJob::create(doc->outputSource());
    ASSERT_TRUE(job);
    doc->clearDrawing();
    const ExportRequest request{dir.filePath("out.png"), ImageFormat::Png, 600, 400, {}};
    std::atomic<bool> cancelled{true};
    ASSERT_TRUE(job->run(request, cancelled));
    EXPECT_FALSE(QFile::exists(request.path));
    cancelled = false;
    ASSERT_TRUE(job->run(request, cancelled));
    EXPECT_EQ(QImage(request.path).pixel(80, 60), QColor(Qt::black).rgba()) << "the drawing as the job began";
}
