// Files: whatever the program makes is written, read back the same and saved atomically;
// a damaged or hostile file is refused with a reason; a damaged stroke is dropped with its
// log line while the rest of the drawing opens.

#include "drawing_fixtures.h"

#include <QBuffer>
#include <QCborArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>
#include <zlib.h>

#include <csignal>
#include <functional>
#include <limits>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace document_file;
using namespace Qt::StringLiterals;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const QByteArray kTrailerBytes(kTrailer, kTrailerSize);

// Field by field, so that a field the writer leaves out is missed too; geometry and samples
// in their archive form, pictures in pixels.
void expect_same_drawing(const DocumentData& a, const DocumentData& b)
{
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
    EXPECT_TRUE(fields(a) == fields(b));
}

QByteArray read_file(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray read_corpus(const QString& name)
{
    return read_file(QStringLiteral(PAVO_CORPUS_DIR "/") + name);
}

QByteArray with_length(QByteArray file, quint32 n)
{
    qToBigEndian(n, file.data());
    return file;
}

QByteArray png_of(const QImage& image, const char* format = "PNG")
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return png;
}

// A small real PNG whose header, checksum included, claims another size: only the size can
// make a reader refuse it.
QByteArray png_claiming(quint32 width, quint32 height)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png = png_of(image);
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17)),
                 png.data() + 29);
    return png;
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
    QByteArray bytes = QByteArray(depth, open) + '\0';
    return close ? bytes + QByteArray(depth, close) : bytes;
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

// While it lives, log lines go to the sink and Qt's warnings about damaged files nowhere.
struct QuietLog {
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    explicit QuietLog(std::function<void(const QString&)> sink) { set_log_sink(std::move(sink)); }
    ~QuietLog() { qInstallMessageHandler(previous); set_log_sink(nullptr); }
};

} // namespace

// Save and reopen gives back what was saved, down to the largest things each path lets a
// person make; reading limits (sizes, items) must sit above all of them.
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
    PenPoints sample(AffineTransform::identity(), 0);
    sample.addPointAt({0, 0}, 0);
    std::vector<PathElement> elements(190001, {kCurveTo, {{1, 2}, {3, 4}, {5, 6}}});
    elements[0] = {kMoveTo, {{0, 0}}};
    const Path curves(elements);
    const int kMaxSide = archive::kMaxImageSide;
    const struct {
        const char* name;
        std::function<DocumentData()> build;
        bool view_dropped = false;
    } rows[] = {
        {"every kind, background, frame and view", full_document},
        {"every kind alone", [] { return drawing_of(strokes_of_every_kind()); }},
        // A view transform no view takes is left out rather than making the file unreadable.
        {"unusable view transform", viewed({1, 2, 2, 4, 0, 0}), true},
        // A fill's line width plays no part; a script may set any.
        {"fill of negative line width", one(fill_of_width(-3))},
        {"fill of infinite line width", one(fill_of_width(float(kInf)))},
        {"fill of NaN line width", one(fill_of_width(float(kNaN)))},
        {"picture at the side limit", one(picture(kMaxSide, 2, QImage::Format_RGB32))},
        {"picture 17,000 pixels wide", one(picture(17000, 3, QImage::Format_ARGB32))},
        {"picture at the pixel limit",
         one(picture(8192, int(archive::kMaxImagePixels / 8192), QImage::Format_Mono))},
        // Over 70 MiB of elements, as hours of spraying make: no budget but the file size.
        {"16 strokes of 4.5 MiB of curves", many(16, Stroke::withPath(curves, Qt::black, 0, 1))},
        // The densest archives the writer makes: the smallest stroke of each kind, many times.
        {"the smallest fills", many(5000, Stroke::withPath(dot, Qt::black, 0, 0))},
        {"the smallest lines", many(5000, Stroke::withLine(dot, Qt::black, 0, 0))},
        {"the smallest pen strokes", many(5000, Stroke::withPenPoints(sample, Qt::black, 0, 0))},
        {"the smallest pictures", many(5000, picture(1, 1, QImage::Format_Mono))},
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
        if (row.view_dropped) expected.view_transform.reset();
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
        ASSERT_FALSE(fits) << size.width() << " x " << size.height();
        EXPECT_TRUE(fits.error().contains(QString::number(size.width())));
        EXPECT_FALSE(Stroke::withImage(image, image_placement({0, 0}, 10, 10, 0), 1));
    }
}

TEST(DocumentFile, SavingReplacesTheOldFileOrLeavesItByteIdentical)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drawing.pavo"));
    ASSERT_TRUE(writeFileAtomically(path, "old content"));
    const DocumentData d = full_document();
    ASSERT_TRUE(saveDocument(path, d));
    const QByteArray saved = read_file(path);
    const Result<DocumentData> load = loadDocument(path);
    ASSERT_TRUE(load) << load.error().toStdString();
    expect_same_drawing(d, *load);

    // A drawing whose writing runs into a file size limit half-way (root ignores
    // permissions, so the limit is what makes the disk refuse here).
    DocumentData big = copy_document(d);
    for (int i = 0; i < 200; ++i)
        big.strokes->insert(big.strokes->count(), wavy_pen_stroke({float(i), 0}, 200, 5, {}, Qt::red, 0, 1, unsigned(i)));
    ASSERT_GT(dataRepresentation(big)->size(), 3 * saved.size());
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = unlimited;
    limited.rlim_cur = rlim_t(saved.size() * 2);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const Result<> save = saveDocument(path, big);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, old_handler);
    ASSERT_FALSE(save);
    EXPECT_TRUE(save.error().startsWith(path + QStringLiteral(": "))) << save.error().toStdString();
    EXPECT_EQ(read_file(path), saved);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"drawing.pavo"});
}

TEST(DocumentFile, DamagedAndHostileFilesAreRefusedWithAReason)
{
    const QByteArray good = *dataRepresentation(full_document());
    const quint32 length = qFromBigEndian<quint32>(good.constData());
    const QCborMap root = encodeDocument(full_document()).toMap();
    const QByteArray archive = archive::to_bytes(root);
    const auto with_root = [&root](const char* key, const QCborValue& v) {
        return wrap_archive(archive::to_bytes(replaced(root, {key}, v)), true);
    };
    const auto packed = [](const QByteArray& bytes) { return wrap_archive(bytes, true); };
    QByteArray flipped = good;
    flipped[20] = char(flipped[20] ^ 0x55);
    const QByteArray stream = good.first(good.size() - kTrailerSize);
    // Incompressible data large enough that the ratio allows more than the absolute cap:
    // the cap alone must refuse it, before anything is allocated for it.
    QByteArray noise(kMaxArchiveBytes / kMaxInflateRatio + 4096, Qt::Uninitialized);
    std::mt19937 random(2);
    for (char& c : noise) c = char(random());
    const QByteArray big = *compressWithLength(noise);
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.pavo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A sparse file over the size cap: refused from its size, never read.
    const QString huge = dir.filePath(QStringLiteral("huge.pavo"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(kMaxArchiveBytes + 1));
    }

    struct Row {
        const char* name;
        QByteArray file;
        // For rows of archive syntax, the archive, which the parser alone must refuse.
        QByteArray archive = {};
        // For rows that are not a regular file.
        QString path = {};
    };
    const auto syntax = [&](const char* name, QByteArray b) { return Row{name, packed(b), b}; };
    const auto at = [](const char* name, QString path) { return Row{name, {}, {}, path}; };
    const auto view_of = archive::encode_transform;
    const auto view = [&](AffineTransform t) { return with_root("view_transform", view_of(t)); };
    const Row rows[] = {
        {"empty", {}},
        {"only the trailer", kTrailerBytes},
        {"trailer and three bytes", QByteArray(3, '\0') + kTrailerBytes},
        {"truncated stream", good.left(good.size() - kTrailerSize - 1) + kTrailerBytes},
        {"wrong trailer", good.left(good.size() - 1) + "C"},
        {"length one short", with_length(good, length - 1)},
        {"length one long", with_length(good, length + 1)},
        {"length beyond the inflate ratio",
         with_length(good, quint32(qint64(stream.size() - 4) * kMaxInflateRatio + 1))},
        {"length beyond the cap", with_length(big, quint32(kMaxArchiveBytes + 1)) + kTrailerBytes},
        {"junk after the stream", stream + "junk" + kTrailerBytes},
        {"corrupt stream", flipped},
        syntax("archive cut short", archive.left(archive.size() - 1)),
        syntax("byte after the archive", archive + '\0'),
        syntax("break outside a container", QByteArray::fromHex("ff")),
        syntax("reserved additional info", QByteArray::fromHex("1c")),
        syntax("text that is not UTF-8", QByteArray::fromHex("62c328")),
        syntax("a tag", QByteArray::fromHex("81c11a00000000")),
        syntax("indefinite array never ends", QByteArray::fromHex("9f0102")),
        syntax("byte string claiming 2^60", QByteArray::fromHex("5b1000000000000000")),
        syntax("array claiming 2^60", QByteArray::fromHex("9b100000000000000001")),
        syntax("map claiming 2^60", QByteArray::fromHex("bb1000000000000000")),
        syntax("arrays one too deep", nested(archive::kMaxDepth + 1, char(0x81))),
        syntax("indefinite arrays one too deep",
               nested(archive::kMaxDepth + 1, char(0x9f), char(0xff))),
        syntax("maps 100,000 deep", QByteArray::fromHex("a100").repeated(100000) + '\0'),
        syntax("more items than its size", QByteArray::fromHex("990bb8") + QByteArray(3000, 0)),
        {"root is an array", packed(archive::to_bytes(QCborArray{root}))},
        {"root of another class", packed(archive::to_bytes(archive::object("Strokes"_L1)))},
        {"background not a colour", with_root("background_color", QStringLiteral("red"))},
        {"background of no components", with_root("background_color", archive::object("Color"_L1))},
        {"window not text", with_root("window", 42)},
        {"view transform with NaN", view({1, 0, 0, 1, NAN, 0})},
        {"view transform singular", view({1, 2, 2, 4, 0, 0})},
        {"view transform of five",
         with_root("view_transform", replaced(view_of({}), {"m"}, QCborArray{1, 0, 0, 1, 0}))},
        at("missing", dir.filePath(QStringLiteral("missing.pavo"))),
        at("a folder", dir.path()),
        at("a pipe", fifo),
        at("a device", QStringLiteral("/dev/zero")),
        at("over the size cap", huge),
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.archive.isEmpty()) {
            const Result<QCborValue> parsed = archive::from_bytes(row.archive);
            EXPECT_FALSE(parsed);
            EXPECT_FALSE(parsed.error().isEmpty());
        }
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
    QImage small(3, 3, QImage::Format_RGB32);
    small.fill(Qt::blue);
    const QByteArray png = png_of(small);
    const quint32 side = quint32(archive::kMaxImageSide);
    const QCborValue missing(QCborValue::Undefined);
    const QCborValue nan(kNaN);
    const struct {
        const char* name;
        int stroke;
        std::vector<const char*> keys;
        QCborValue value;
    } rows[] = {
        {"not a stroke", kFill, {"$class"}, QStringLiteral("Strokes")},
        {"opacity over one", kFill, {"opacity"}, 2.0},
        {"opacity beyond a float", kFill, {"opacity"}, 1e300},
        {"opacity as text", kFill, {"opacity"}, QStringLiteral("1")},
        {"mode not whole", kFill, {"transfer_mode"}, 0.5},
        {"mode beyond int", kFill, {"transfer_mode"}, qint64{1} << 40},
        {"no colour", kFill, {"color"}, QCborValue(QCborValue::Null)},
        {"colour of three", kFill, {"color", "rgba"}, QCborArray{1.0, 1.0, 1.0}},
        {"colour NaN", kFill, {"color", "rgba"}, QCborArray{nan, 1.0, 1.0, 1.0}},
        {"colour text", kFill, {"color", "rgba"}, QCborArray{1.0, 1.0, QStringLiteral("1"), 1.0}},
        {"colour of another class", kFill, {"color", "$class"}, QStringLiteral("Colour")},
        {"no path", kFill, {"path"}, missing},
        {"unknown element kind", kFill, {"path", "elements"}, element(4, {1, 2})},
        {"partial move", kFill, {"path", "elements"}, move.left(move.size() - 1)},
        {"curve of five numbers", kFill, {"path", "elements"}, element(kCurveTo, {1, 2, 3, 4, 5})},
        {"line without its point", kFill, {"path", "elements"}, element(kLineTo, {})},
        {"NaN point", kFill, {"path", "elements"}, move + element(kLineTo, {NAN, 0})},
        {"elements as text", kFill, {"path", "elements"}, QStringLiteral("abc")},
        {"winding 2", kFill, {"path", "winding"}, 2},
        {"winding not whole", kFill, {"path", "winding"}, 0.0},
        {"path width negative", kFill, {"path", "line_width"}, -1.0},
        {"path width missing", kFill, {"path", "line_width"}, missing},
        {"line width beyond a float", kLine, {"line_width"}, 1e300},
        {"line width negative", kLine, {"line_width"}, -2.0},
        {"line width as text", kLine, {"line_width"}, QStringLiteral("2")},
        {"samples as text", kPen, {"pen_points", "values"}, QStringLiteral("x")},
        {"samples cut short", kPen, {"pen_points", "values"}, QByteArray(3, '\0')},
        {"samples of another class", kPen, {"pen_points", "$class"}, QStringLiteral("Points")},
        {"no picture", kImage, {"image", "png"}, QByteArray()},
        {"half a picture", kImage, {"image", "png"}, png.left(png.size() / 2)},
        {"a BMP", kImage, {"image", "png"}, png_of(small, "BMP")},
        {"picture as text", kImage, {"image", "png"}, QString::fromLatin1(png)},
        {"picture of another class", kImage, {"image", "$class"}, QStringLiteral("Picture")},
        {"header one wider than the limit", kImage, {"image", "png"}, png_claiming(side + 1, 4)},
        {"header one taller than the limit", kImage, {"image", "png"}, png_claiming(4, side + 1)},
        {"header over the pixel limit", kImage, {"image", "png"},
         png_claiming(8192, quint32(archive::kMaxImagePixels / 8192 + 1))},
        {"header of no width", kImage, {"image", "png"}, png_claiming(0, 4)},
        {"header larger than its pixels", kImage, {"image", "png"}, png_claiming(side, side)},
        {"image without placement", kImage, {"path", "elements"}, move},
    };
    const DocumentData d = full_document();
    const QCborMap root = encodeDocument(d).toMap();
    const std::vector<const char*> list = {"strokes", "strokes"};
    const QCborArray strokes = root.value("strokes"_L1).toMap().value("strokes"_L1).toArray();
    ASSERT_EQ(strokes.size(), 4);
    QStringList lines;
    const QuietLog quiet([&lines](const QString& line) { lines << line; });
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QCborArray damaged = strokes;
        damaged[row.stroke] = replaced(strokes.at(row.stroke), row.keys, row.value);
        lines.clear();
        const Result<DocumentData> load = loadDataRepresentation(
            wrap_archive(archive::to_bytes(replaced(root, list, damaged)), true));
        ASSERT_TRUE(load) << load.error().toStdString();
        EXPECT_EQ(lines, QStringList{QStringLiteral("Bad stroke found in save file -- ignoring.")});
        DocumentData rest = copy_document(d);
        StrokeArray kept = d.strokes->strokeArray();
        kept.erase(kept.begin() + row.stroke);
        rest.strokes = std::make_unique<Strokes>(kept);
        expect_same_drawing(rest, *load);
    }
}

// ---- The committed seed files, and a deterministic mutation test over them: damaged files
// of every sort must fail with a reason or load as a sane drawing, never crash, hang or
// allocate without bound. Run under AddressSanitizer by the sanitizer build.

namespace {

// The archive inside a file of either form; empty when there is none.
QByteArray archive_of(const QByteArray& file)
{
    if (!file.endsWith(kTrailerBytes)) return file;
    return decompressWithLength(file.chopped(kTrailerSize)).take().value_or(QByteArray());
}

// Damage of every sort, drawn from a fixed seed.
struct Mutator {
    std::mt19937 random{20240611};
    int below(int n) { return int(random() % unsigned(n)); }

    // Bit flips, truncation, insertion, or bytes that mean long lengths, indefinite
    // containers, breaks and floats in CBOR.
    QByteArray damage(QByteArray b)
    {
        if (b.isEmpty()) return QByteArray(1, char(random()));
        const int at = below(int(b.size()));
        switch (below(4)) {
        case 0:
            for (int i = below(8) + 1; i > 0; --i) b[below(int(b.size()))] ^= char(1 << below(8));
            return b;
        case 1: return b.left(at);
        case 2: return b.insert(at, QByteArray(below(16) + 1, char(random())));
        default: b[at] = "\x00\x1b\x5b\x7f\x9b\x9f\xbf\xc6\xfa\xfb\xff"[below(11)]; return b;
        }
    }

    // Replaces the `target`-th value of the tree, counted depth first, with a value of a
    // random type, often the wrong one for where it lands.
    QCborValue replace(const QCborValue& v, int& target)
    {
        if (target-- == 0) {
            const QCborValue values[] = {kNaN, -kInf, qint64{1} << 40, -1, 1e30, QString(),
                                         QCborMap(), QCborArray(), QCborValue(QCborValue::Null),
                                         QByteArray(below(40), char(random())),
                                         archive::object("Stroke"_L1), 0.5};
            return values[below(12)];
        }
        if (v.isArray()) {
            QCborArray a = v.toArray();
            for (qsizetype i = 0; i < a.size() && target >= 0; ++i) a[i] = replace(a.at(i), target);
            return a;
        }
        if (!v.isMap()) return v;
        QCborMap m = v.toMap();
        for (auto it = m.begin(); it != m.end() && target >= 0; ++it)
            it.value() = replace(it.value(), target);
        return m;
    }

    QByteArray mutate(const QByteArray& file)
    {
        const bool packed = file.endsWith(kTrailerBytes);
        int target = below(400);
        switch (below(4)) {
        case 0: return damage(file);
        case 1: return wrap_archive(damage(archive_of(file)), packed);
        case 2: {
            // A well-formed archive with one value changed: reaches every decoder.
            const Result<QCborValue> root = archive::from_bytes(archive_of(file));
            return root ? wrap_archive(archive::to_bytes(replace(*root, target)), packed) : file;
        }
        default: return damage(damage(file));
        }
    }
};

} // namespace

TEST(DocumentCorpus, CommittedFilesReadBackAsTheDrawingsTheyWereMadeFrom)
{
    for (const CorpusEntry& entry : corpus_entries()) {
        SCOPED_TRACE(entry.name.toStdString());
        const QByteArray file = read_corpus(entry.name);
        ASSERT_FALSE(file.isEmpty()) << "missing; run pavo_make_corpus tests/data/corpus";
        const Result<DocumentData> load = loadDataRepresentation(file);
        ASSERT_TRUE(load) << load.error().toStdString();
        expect_same_drawing(entry.build(), *load);
    }
}

TEST(DocumentCorpus, MutatedFilesFailCleanlyOrLoadSane)
{
    constexpr int kIterations = 8000;
    std::vector<QByteArray> seeds;
    for (const CorpusEntry& entry : corpus_entries()) seeds.push_back(read_corpus(entry.name));
    int bad_strokes = 0;
    const QuietLog quiet([&bad_strokes](const QString&) { ++bad_strokes; });
    Mutator mutator;
    int loaded = 0;
    for (int i = 0; i < kIterations && !::testing::Test::HasFailure(); ++i) {
        const QByteArray input = mutator.mutate(seeds[std::size_t(mutator.below(5))]);
        SCOPED_TRACE(input.toHex().left(200).constData());
        const Result<DocumentData> load = loadDataRepresentation(input);
        if (!load) {
            EXPECT_FALSE(load.error().isEmpty());
            continue;
        }
        // What loads must be a drawing that can be drawn, saved and read again.
        ++loaded;
        for (const StrokePtr& s : load->strokes->strokeArray())
            EXPECT_TRUE(s && !s->bad() && nice(s->bounds()));
        EXPECT_TRUE(!load->background_color || load->background_color->isValid());
        EXPECT_TRUE(!load->view_transform || load->view_transform->isUsable());
        const Result<DocumentData> again = loadDataRepresentation(*dataRepresentation(*load));
        ASSERT_TRUE(again) << again.error().toStdString();
        EXPECT_EQ(again->strokes->count(), load->strokes->count());
    }
    // Both outcomes must be exercised, or the mutations are not reaching the decoders.
    EXPECT_GT(loaded, kIterations / 20);
    EXPECT_LT(loaded, kIterations);
    EXPECT_GT(bad_strokes, 0);
}
