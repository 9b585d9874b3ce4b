// Files: what the program makes reads back the same and saves atomically; a damaged or hostile
// file is refused with a reason; a damaged stroke is dropped, logged, and the rest opens.

#include "drawing_fixtures.h"
#include "pictures.h"
#include "support/strokes.h"
#include <QtCore>
#include <gtest/gtest.h>
#include <csignal>
#include <functional>
#include <random>
#include <span>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace document_file;
using namespace Qt::StringLiterals;

namespace {
const QByteArray kTrailerBytes(kTrailer, kTrailerSize);
// The file loads as `expected`, compared field by field, so that a field the writer leaves
// out is missed too; geometry and samples in their archive form, pictures in pixels.
void expect_reads_back(const QByteArray& file, const DocumentData& expected)
{
    const Result<DocumentData> load = loadDataRepresentation(file);
    ASSERT_TRUE(load) << load.error().toStdString();
    const auto fields = [](const DocumentData& d) {
        std::vector<std::tuple<quint64, int, float, bool, float, Rect, QImage, QCborValue,
                               QCborValue>> strokes;
        for (const StrokePtr& s : d.strokes->strokeArray()) {
            const QCborMap map = s->encode().toMap();
            strokes.emplace_back(quint64(s->color().rgba64()), s->transferMode(), s->opacity(),
                                 s->drawAsStroke(), s->lineWidth(), s->bounds(),
                                 s->image().convertToFormat(QImage::Format_ARGB32),
                                 map.value("path"_L1), map.value("pen_points"_L1));
        }
        return std::tuple(d.background_color.has_value(),
                          quint64(d.background_color.value_or(QColor()).rgba64()),
                          d.window_frame, d.view_transform, strokes);
    };
    EXPECT_TRUE(fields(expected) == fields(*load));
}
// A path element as the archive stores it: the kind byte, then the floats.
QByteArray element(int kind, std::initializer_list<float> values)
{
    QByteArray bytes(1, char(kind));
    for (const float f : values) bytes.append(reinterpret_cast<const char*>(&f), 4);
    return bytes;
}
// The value at a path of keys replaced; an undefined value stands for a missing one.
QCborValue replaced(const QCborValue& v, const std::vector<const char*>& keys,
                    const QCborValue& value, std::size_t at = 0)
{
    if (at == keys.size()) return value;
    QCborMap map = v.toMap();
    const QLatin1StringView key(keys[at]);
    map.insert(key, replaced(map.value(key), keys, value, at + 1));
    return map;
}
QByteArray nested(int depth, char open, char close = 0)
{
    return QByteArray(depth, open) + '\0' + QByteArray(close ? depth : 0, close);
}
StrokePtr fill_of_width(float width)
{
    Path path = image_placement({1, 2}, 30, 20, 0.3f);
    path.setLineWidth(width);
    return Stroke::withPath(std::move(path), QColor(200, 10, 10), kModeMultiply, 0.5f);
}
QImage blank(int w, int h, QImage::Format format = QImage::Format_Mono)
{
    QImage image(w, h, format);
    image.fill(1);
    return image;
}
StrokePtr picture(int w, int h, QImage::Format format)
{
    return Stroke::withImage(blank(w, h, format), image_placement({}, float(w), float(h), 0), 1);
}
} // namespace

// Save and reopen gives back what was saved, down to the largest things each path lets a
// person make; reading limits (sizes, items) must sit above all of them, and a picture
// beyond them is refused, with a message, when it would be placed.
TEST(DocumentFile, EverythingTheProgramMakesReadsBack)
{
    const auto many = [](int n, StrokePtr s) {
        return [=] { return drawing_of(StrokeArray(std::size_t(n), s)); };
    };
    const auto one = [&many](StrokePtr s) { return many(1, s); };
    const auto viewed = [](AffineTransform t) {
        return [t] { DocumentData d = full_document(); d.view_transform = t; return d; };
    };
    const Path dot({{kMoveTo, {{0, 0}}}});
    std::vector<PathElement> elements(190001, {kCurveTo, {{1, 2}, {3, 4}, {5, 6}}});
    elements[0] = {kMoveTo, {{0, 0}}};
    const Path curves(elements);
    // clang-format off
    const struct { const char* name; std::function<DocumentData()> build; bool view_dropped = false; } rows[] = {
        {"every kind, background, frame and view", full_document},
        // A view transform no view takes is left out rather than making the file unreadable.
        {"unusable view transform", viewed({1, 2, 2, 4, 0, 0}), true},
        // A fill's line width plays no part; a script may set any.
        {"fill of negative line width", one(fill_of_width(-3))},
        {"fill of infinite line width", one(fill_of_width(INFINITY))},
        {"the largest side", one(picture(archive::kMaxImageSide, 2, QImage::Format_RGB32))},
        {"picture 17,000 pixels wide", one(picture(17000, 3, QImage::Format_ARGB32))},
        {"picture at the pixel limit", one(picture(8192, int(archive::kMaxImagePixels / 8192), QImage::Format_Mono))},
        // Over 70 MiB of elements, as hours of spraying make: no budget but the file size.
        {"16 strokes of 4.5 MiB of curves", many(16, Stroke::withPath(curves, Qt::black, 0, 1))},
        // The densest archives the writer makes: the smallest stroke of each kind, many times.
        {"the smallest fills", many(5000, Stroke::withPath(dot, Qt::black, 0, 0))},
        {"the smallest lines", many(5000, Stroke::withLine(dot, Qt::black, 0, 0))},
        {"the smallest pen strokes", many(5000, pen_stroke({{0, 0}}, 0))},
        {"the smallest pictures", many(5000, picture(1, 1, QImage::Format_Mono))},
        // Strokes decode on every core: each comes back in its place.
        {"a thousand strokes in order", [] { StrokeArray a; for (int i = 0; i < 1000; ++i) a.push_back(pen_stroke({{0, 0}, {float(i % 97), float(i)}}, 1 + float(i % 5))); return drawing_of(a); }},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DocumentData d = row.build();
        for (const StrokePtr& s : d.strokes->strokeArray()) ASSERT_TRUE(s && !s->bad());
        const Result<QByteArray> file = dataRepresentation(d);
        ASSERT_TRUE(file) << file.error().toStdString();
        if (row.view_dropped) d.view_transform.reset();
        expect_reads_back(*file, d);
    }
    const int over = int(archive::kMaxImagePixels) / 8192 + 1;
    for (const QSize size : {QSize(archive::kMaxImageSide + 1, 1), QSize(8192, over)}) {
        const QImage image(size, QImage::Format_Mono);
        const Result<> fits = image_fits_in_drawing(image);
        ASSERT_FALSE(fits) << size.width() << " x " << size.height();
        EXPECT_TRUE(fits.error().contains(QString::number(size.width())));
        EXPECT_FALSE(Stroke::withImage(image, image_placement({0, 0}, 10, 10, 0), 1));
    }
}

// A picture of noise does not compress, so the file outgrows its archive: the reader's size
// cap must allow what the writer adds, or a drawing saved near the archive limit is lost.
TEST(DocumentFile, AFileLargerThanItsArchiveReadsBackWithinTheCap)
{
    QImage noise(700, 700, QImage::Format_ARGB32);
    std::mt19937 random(7);
    for (int y = 0; y < noise.height(); ++y)
        for (QRgb& p : std::span(reinterpret_cast<QRgb*>(noise.scanLine(y)), std::size_t(noise.width()))) p = QRgb(random()) | 0xff000000u;
    DocumentData d;
    d.strokes = std::make_unique<Strokes>(StrokeArray{Stroke::withImage(noise, image_placement({0, 0}, 70, 70, 0), 1)});
    const qint64 archive = archive::to_bytes(encodeDocument(d)).size();
    const Result<QByteArray> file = dataRepresentation(d);
    ASSERT_TRUE(file);
    EXPECT_GT(file->size(), archive);
    EXPECT_LE(file->size(), max_file_bytes(archive));
    expect_reads_back(*file, d);
}

TEST(DocumentFile, SavingReplacesTheOldFileOrLeavesItByteIdentical)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drawing.pavo"));
    ASSERT_TRUE(writeFileAtomically(path, "old content"));
    const QByteArray file = *dataRepresentation(full_document());
    // A file size limit makes the writing fail half-way (root would ignore permissions).
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const rlimit limited{rlim_t(file.size() / 2), unlimited.rlim_max};
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const Result<> save = saveDocument(path, full_document());
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, old_handler);
    ASSERT_FALSE(save);
    EXPECT_EQ(file_bytes(path), "old content");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"drawing.pavo"});
    ASSERT_TRUE(saveDocument(path, full_document()));
    EXPECT_EQ(file_bytes(path), file);
}

TEST(DocumentFile, DamagedAndHostileFilesAreRefusedWithAReason)
{
    const QCborMap root = encodeDocument(full_document()).toMap();
    const QByteArray archive = archive::to_bytes(root);
    const QByteArray good = wrap_archive(archive, true);
    const auto with_root = [&root](const char* key, const QCborValue& v) {
        return wrap_archive(archive::to_bytes(replaced(root, {key}, v)), true);
    };
    const auto with_length = [](QByteArray f, quint32 n) { qToBigEndian(n, f.data()); return f; };
    const QByteArray stream = good.first(good.size() - kTrailerSize);
    // A stream long enough that the ratio allows more than the absolute cap: the cap alone
    // must refuse it, before the stream is inflated or anything allocated for it.
    const QByteArray big(kPrefixSize + kMaxArchiveBytes / kMaxInflateRatio + 4096, '\0');
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.pavo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A sparse file over the size cap: refused from its size, never read.
    const QString huge = dir.filePath(QStringLiteral("huge.pavo"));
    QFile huge_file(huge);
    ASSERT_TRUE(huge_file.open(QIODevice::WriteOnly) && huge_file.resize(kMaxFileBytes + 1));
    // For rows of archive syntax, the archive, which the parser alone must refuse; for rows
    // that are not a regular file, its path.
    struct Row { const char* name; QByteArray file, archive = {}; QString path = {}; };
    const auto syntax = [](auto name, QByteArray b) { return Row{name, wrap_archive(b, true), b}; };
    const auto at = [](const char* name, QString path) { return Row{name, {}, {}, path}; };
    const QCborValue nan_view = archive::encode_transform({1, 0, 0, 1, NAN, 0});
    const QCborValue singular_view = archive::encode_transform({1, 2, 2, 4, 0, 0});
    // clang-format off
    const Row rows[] = {
        {"empty", {}},
        {"trailer and three bytes", QByteArray(3, '\0') + kTrailerBytes},
        {"truncated stream", good.left(good.size() - kTrailerSize - 1) + kTrailerBytes},
        {"wrong trailer", good.left(good.size() - 1) + "C"},
        {"length one short", with_length(good, quint32(archive.size() - 1))},
        {"length beyond the inflate ratio", with_length(good, quint32(qint64(stream.size() - 4) * kMaxInflateRatio + 1))},
        {"length beyond the cap", with_length(big, quint32(kMaxArchiveBytes + 1)) + kTrailerBytes},
        {"junk after the stream", stream + "junk" + kTrailerBytes},
        {"corrupt stream", good.left(20) + char(good[20] ^ 0x55) + good.mid(21)},
        syntax("archive cut short", archive.left(archive.size() - 1)),
        syntax("byte after the archive", archive + '\0'),
        syntax("break outside a container", QByteArray::fromHex("ff")),
        syntax("indefinite array never ends", QByteArray::fromHex("9f0102")),
        syntax("map claiming 2^60", QByteArray::fromHex("bb1000000000000000")),
        syntax("arrays one too deep", nested(archive::kMaxDepth + 1, char(0x81))),
        syntax("indefinite arrays one too deep", nested(archive::kMaxDepth + 1, char(0x9f), char(0xff))),
        syntax("maps 100,000 deep", QByteArray::fromHex("a100").repeated(100000) + '\0'),
        syntax("more items than its size", QByteArray::fromHex("990bb8") + QByteArray(3000, 0)),
        {"root is an array", wrap_archive(archive::to_bytes(QCborArray{root}), true)},
        {"background not a colour", with_root("background_color", QStringLiteral("red"))},
        {"window not text", with_root("window", 42)},
        {"view transform with NaN", with_root("view_transform", nan_view)},
        {"view transform singular", with_root("view_transform", singular_view)},
        at("missing", dir.filePath(QStringLiteral("missing.pavo"))),
        at("a pipe", fifo),
        at("over the size cap", huge),
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(row.archive.isEmpty() || !archive::from_bytes(row.archive));
        QString path = row.path;
        if (path.isEmpty()) {
            path = dir.filePath(QStringLiteral("drawing.pavo"));
            ASSERT_TRUE(writeFileAtomically(path, row.file));
        }
        const Result<DocumentData> load = loadDocument(path);
        ASSERT_FALSE(load);
        EXPECT_TRUE(load.error().startsWith(path + QStringLiteral(": ")) &&
                    load.error().size() > path.size() + 8)
            << load.error().toStdString();
    }
    // Nesting up to the limit is read.
    EXPECT_TRUE(archive::from_bytes(nested(archive::kMaxDepth, char(0x81))));
    EXPECT_TRUE(archive::from_bytes(nested(archive::kMaxDepth, char(0x9f), char(0xff))));
}

// Each row damages one value of one stroke of a drawing of every kind (pen, fill, line,
// image): that stroke is dropped with its log line, the others open unchanged.
TEST(DocumentFile, DamagedStrokeIsDroppedAndTheRestOpen)
{
    enum { kPen, kFill, kLine, kImage };
    const QByteArray move = element(kMoveTo, {1, 2});
    const auto image_of = [](int w, int h) { return archive::encode_image(blank(w, h)); };
    const QByteArray png = image_of(4, 4).toMap().value("png"_L1).toByteArray();
    const int side = archive::kMaxImageSide, over = int(archive::kMaxImagePixels / 8192 + 1);
    // clang-format off
    const struct { const char* name; int stroke; std::vector<const char*> keys; QCborValue value; } rows[] = {
        {"not a stroke", kFill, {"$class"}, QStringLiteral("Strokes")},
        {"opacity over one", kFill, {"opacity"}, 2.0},
        {"mode not whole", kFill, {"transfer_mode"}, 0.5},
        {"no colour", kFill, {"color"}, QCborValue(QCborValue::Null)},
        {"colour of three", kFill, {"color", "rgba"}, QCborArray{1.0, 1.0, 1.0}},
        {"colour NaN", kFill, {"color", "rgba"}, QCborArray{qQNaN(), 1.0, 1.0, 1.0}},
        {"no path", kFill, {"path"}, QCborValue()},
        {"unknown element kind", kFill, {"path", "elements"}, element(4, {1, 2})},
        {"partial move", kFill, {"path", "elements"}, move.left(move.size() - 1)},
        {"curve of five numbers", kFill, {"path", "elements"}, element(kCurveTo, {1, 2, 3, 4, 5})},
        {"NaN point", kFill, {"path", "elements"}, move + element(kLineTo, {NAN, 0})},
        {"winding 2", kFill, {"path", "winding"}, 2},
        {"path width negative", kFill, {"path", "line_width"}, -1.0},
        {"line width negative", kLine, {"line_width"}, -2.0},
        {"samples as text", kPen, {"pen_points", "values"}, QStringLiteral("x")},
        {"samples cut short", kPen, {"pen_points", "values"}, QByteArray(3, '\0')},
        {"no picture", kImage, {"image", "png"}, QByteArray()},
        {"half a picture", kImage, {"image", "png"}, png.left(png.size() / 2)},
        {"wider than the limit", kImage, {"image"}, image_of(side + 1, 1)},
        {"over the pixel limit", kImage, {"image"}, image_of(8192, over)},
        {"image without placement", kImage, {"path", "elements"}, move},
    };
    // clang-format on
    const QCborMap root = encodeDocument(full_document()).toMap();
    const QCborArray strokes = root.value("strokes"_L1).toMap().value("strokes"_L1).toArray();
    ASSERT_EQ(strokes.size(), 4);
    QStringList lines;
    set_log_sink([&lines](const QString& line) { lines << line; });
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QCborArray damaged = strokes;
        damaged[row.stroke] = replaced(strokes.at(row.stroke), row.keys, row.value);
        lines.clear();
        DocumentData rest = full_document();
        rest.strokes->removeAt(row.stroke);
        expect_reads_back(archive::to_bytes(replaced(root, {"strokes", "strokes"}, damaged)), rest);
        EXPECT_EQ(lines, QStringList{QStringLiteral("Bad stroke found in save file -- ignoring.")});
    }
    set_log_sink(nullptr);
}

TEST(DocumentCorpus, CommittedFilesReadBackAsTheDrawingsTheyWereMadeFrom)
{
    for (const CorpusEntry& entry : corpus_entries()) {
        SCOPED_TRACE(entry.name.toStdString());
        const QByteArray file = file_bytes(QStringLiteral(PAVO_CORPUS_DIR "/") + entry.name);
        ASSERT_FALSE(file.isEmpty()) << "missing; run pavo_make_corpus tests/data/corpus";
        expect_reads_back(file, entry.build());
    }
}
