// What a file must do: every drawing the program can make is written, read back the same,
// and saved atomically.

#include "archive.h"
#include "drawing_compare.h"
#include "drawing_fixtures.h"

#include <QCborArray>
#include <QCborStreamReader>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <limits>
#include <sys/resource.h>

using namespace document_file;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

DocumentData drawing_of(StrokeArray strokes)
{
    DocumentData d;
    d.strokes = std::make_unique<Strokes>(std::move(strokes));
    return d;
}

StrokePtr fill_of_width(float width)
{
    Path path = image_placement({1, 2}, 30, 20, 0.3f);
    path.setLineWidth(width);
    return Stroke::withPath(std::move(path), QColor(200, 10, 10), kModeMultiply, 0.5f);
}

StrokePtr picture(int w, int h, QImage::Format format)
{
    QImage image(w, h, format);
    image.fill(1);
    return Stroke::withImage(image, image_placement({0, 0}, float(w), float(h), 0), 1);
}

QByteArray read_file(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Data items in a stretch of CBOR, counted the way the reader's limit counts them.
qint64 item_count(const QByteArray& bytes)
{
    QCborStreamReader reader(bytes);
    qint64 items = 0;
    while (reader.isValid() || reader.containerDepth() > 0) {
        if (!reader.isValid()) {
            reader.leaveContainer();
            continue;
        }
        ++items;
        if (reader.isContainer()) reader.enterContainer();
        else reader.next();
    }
    return items;
}

} // namespace

// Save and reopen gives back exactly what was saved, for each kind of stroke and each field
// of a document; the rows include the largest things each path lets a person make.
TEST(DocumentFile, EverythingTheProgramMakesReadsBack)
{
    const StrokeArray kinds = strokes_of_every_kind();
    const auto pen_steps = [] {
        // Steps of 5,000 units, in both directions: the samples' wide form.
        PenPoints points(AffineTransform::scaling(0.5f, 0.5f), 4);
        for (const Point p : {Point{5000.5f, -4000.5f}, Point{5001, -4000}, Point{-3000, 2500.5f}})
            points.addPointAt(p, 128 / 255.0f);
        return Stroke::withPenPoints(std::move(points), QColor(120, 0, 120), kModeHilight, 1);
    };
    const struct {
        const char* name;
        std::function<DocumentData()> build;
        // What reopening gives when it is not the drawing itself.
        std::function<void(DocumentData&)> expect = [](DocumentData&) {};
    } rows[] = {
        {"pen stroke", [&] { return drawing_of({kinds[0]}); }},
        {"fill", [&] { return drawing_of({kinds[1]}); }},
        {"line", [&] { return drawing_of({kinds[2]}); }},
        {"image", [&] { return drawing_of({kinds[3]}); }},
        {"pen stroke with wide steps", [&] { return drawing_of({pen_steps()}); }},
        {"background, frame and view transform", full_document},
        {"nothing but strokes", [&] { return drawing_of(kinds); }},
        {"cleared background",
         [] {
             DocumentData d = full_document();
             d.background_color.reset();
             return d;
         }},
        // A view transform no view takes is left out rather than making the file unreadable.
        {"unusable view transform",
         [] {
             DocumentData d = full_document();
             d.view_transform = AffineTransform{1, 2, 2, 4, 0, 0};
             return d;
         },
         [](DocumentData& d) { d.view_transform.reset(); }},
        // A fill's line width plays no part; a script may set any.
        {"fill of negative line width", [] { return drawing_of({fill_of_width(-3)}); }},
        {"fill of infinite line width", [] { return drawing_of({fill_of_width(kInf)}); }},
        {"fill of NaN line width", [] { return drawing_of({fill_of_width(NAN)}); }},
        {"picture at the side limit",
         [] { return drawing_of({picture(archive::kMaxImageSide, 2, QImage::Format_RGB32)}); }},
        {"picture 17,000 pixels wide",
         [] { return drawing_of({picture(17000, 3, QImage::Format_ARGB32)}); }},
        {"picture at the pixel limit",
         [] {
             return drawing_of(
                 {picture(8192, int(archive::kMaxImagePixels / 8192), QImage::Format_Mono)});
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const DocumentData d = row.build();
        for (const StrokePtr& s : d.strokes->strokeArray()) ASSERT_TRUE(s && !s->bad());
        const Result<QByteArray> file = dataRepresentation(d);
        ASSERT_TRUE(file) << file.error().toStdString();
        const Result<DocumentData> load = loadDataRepresentation(*file);
        ASSERT_TRUE(load) << load.error().toStdString();
        DocumentData expected = copy_document(d);
        row.expect(expected);
        expect_same_drawing(expected, *load);
    }
}

// A picture larger than a file holds is refused when it would be placed, with a message.
TEST(DocumentFile, PicturesBeyondWhatAFileHoldsAreRefusedWhenPlaced)
{
    const int side = archive::kMaxImageSide;
    for (const QSize size : {QSize(side + 1, 1), QSize(1, side + 1),
                             QSize(8192, int(archive::kMaxImagePixels / 8192) + 1)}) {
        const QImage image(size, QImage::Format_Mono);
        const Result<> fits = image_fits_in_drawing(image);
        EXPECT_FALSE(fits) << size.width() << " x " << size.height();
        EXPECT_TRUE(fits.error().contains(QString::number(size.width())))
            << fits.error().toStdString();
        EXPECT_FALSE(Stroke::withImage(image, image_placement({0, 0}, 10, 10, 0), 1));
    }
}

// The reader's item limit must sit above the densest archive the writer makes, at any size:
// the smallest stroke of each kind, many times over.
TEST(DocumentFile, ItemLimitSitsAboveTheDensestDrawing)
{
    Path dot({{kMoveTo, {{0, 0}}}});
    PenPoints one_sample(AffineTransform::identity(), 0);
    one_sample.addPointAt({0, 0}, 0);
    const StrokePtr smallest[] = {
        Stroke::withPath(dot, Qt::black, 0, 0),
        Stroke::withLine(dot, Qt::black, 0, 0),
        Stroke::withPenPoints(one_sample, Qt::black, 0, 0),
        Stroke::withImage(QImage(1, 1, QImage::Format_Mono), image_placement({0, 0}, 1, 1, 0), 0),
    };
    for (const StrokePtr& s : smallest) {
        ASSERT_TRUE(s && !s->bad());
        const QByteArray archive =
            archive::to_bytes(encodeDocument(drawing_of(StrokeArray(500, s))));
        EXPECT_LT(item_count(archive), archive::max_items(archive.size()) * 3 / 4)
            << archive.size();
        EXPECT_TRUE(archive::from_bytes(archive));
    }
}

// More geometry than any fixed budget a reader might set for it: the file size is the limit.
TEST(DocumentFile, DrawingsOfMuchGeometryReadBack)
{
    // Sixteen strokes of 4.5 MiB of curves each, in the bytes the writer puts down: over
    // 70 MiB of elements, which hours of spraying make.
    const Path curve({{kMoveTo, {{0, 0}}}, {kCurveTo, {{1, 2}, {3, 4}, {5, 6}}}});
    QCborMap stroke = Stroke::withPath(curve, Qt::black, 0, 1)->encode().toMap();
    const QLatin1StringView path("path"), elements("elements"), strokes("strokes");
    QCborMap geometry = stroke.value(path).toMap();
    const QByteArray bytes = geometry.value(elements).toByteArray();
    geometry.insert(elements, bytes.left(9) + bytes.mid(9).repeated(190000));
    stroke.insert(path, geometry);
    QCborArray array;
    for (int i = 0; i < 16; ++i) array.append(stroke);
    QCborMap root = encodeDocument(drawing_of({})).toMap();
    QCborMap list = root.value(strokes).toMap();
    list.insert(strokes, array);
    root.insert(strokes, list);
    const QByteArray archive = archive::to_bytes(root);
    ASSERT_GT(archive.size(), 70 << 20);
    const Result<QCborValue> parsed = archive::from_bytes(archive);
    ASSERT_TRUE(parsed) << parsed.error().toStdString();
    const Result<DocumentData> load = decodeDocument(*parsed);
    ASSERT_TRUE(load);
    EXPECT_EQ(load->strokes->count(), 16);
}

TEST(DocumentFileSave, SavedFileReplacesTheOldOneAndReopens)
{
    QTemporaryDir dir;
    const DocumentData d = full_document();
    for (const QString& name :
         {QStringLiteral("drawing.pavo"), QStringLiteral("drawing.pavotemplate")}) {
        const QString path = dir.filePath(name);
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old content") > 0);
        old.close();
        const Result<> save = saveDocument(path, d);
        ASSERT_TRUE(save) << save.error().toStdString();
        EXPECT_EQ(read_file(path), *dataRepresentation(d));
        const Result<DocumentData> load = loadDocument(path);
        ASSERT_TRUE(load) << load.error().toStdString();
        expect_same_drawing(d, *load);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(DocumentFileSave, FailedSaveLeavesTheOldFileByteIdentical)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drawing.pavo"));
    const QByteArray old_bytes = *dataRepresentation(full_document());
    ASSERT_TRUE(writeFileAtomically(path, old_bytes));

    // A drawing whose writing runs into a file size limit half-way. Root ignores
    // permissions, so the limit is what makes the disk refuse here.
    DocumentData big = copy_document(full_document());
    for (int i = 0; i < 200; ++i)
        big.strokes->insert(big.strokes->count(), wavy_pen_stroke({float(i), 0}, 200, 5, AffineTransform::identity(),
                                               Qt::red, 0, 1, unsigned(i)));
    ASSERT_GT(dataRepresentation(big)->size(), 3 * old_bytes.size());
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(old_bytes.size() * 2);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const Result<> save = saveDocument(path, big);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(save);
    EXPECT_TRUE(save.error().startsWith(path + QStringLiteral(": "))) << save.error().toStdString();
    EXPECT_EQ(read_file(path), old_bytes);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"drawing.pavo"});

    // Nowhere to write: a folder that does not exist, a path that is a folder.
    EXPECT_FALSE(saveDocument(dir.filePath(QStringLiteral("missing/drawing.pavo")), big));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing"))));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.pavo")));
    EXPECT_FALSE(saveDocument(dir.filePath(QStringLiteral("folder.pavo")), big));
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("folder.pavo"))).isEmpty());
    EXPECT_EQ(read_file(path), old_bytes);
}
