// What a file may not do: every damaged or hostile file is refused with a reason, and every
// damaged stroke is dropped with its log line while the rest of the drawing opens.

#include "archive.h"
#include "drawing_compare.h"
#include "drawing_fixtures.h"

#include <QBuffer>
#include <QCborArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zlib.h>

#include <limits>
#include <random>
#include <sys/stat.h>

using namespace document_file;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const QByteArray kTrailerBytes(kTrailer, kTrailerSize);

QByteArray random_bytes(qsizetype n, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(n, Qt::Uninitialized);
    for (char& c : bytes) c = char(random() & 0xff);
    return bytes;
}

QByteArray with_prefix(QByteArray data, quint32 n)
{
    for (int i = 0; i < 4; ++i) data[i] = char(n >> (24 - 8 * i));
    return data;
}

quint32 prefix_of(const QByteArray& data)
{
    quint32 n = 0;
    for (int i = 0; i < 4; ++i) n = (n << 8) | quint8(data[i]);
    return n;
}

QByteArray png_of(const QImage& image, const char* format = "PNG")
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return png;
}

// A small real PNG whose header claims another size, with a valid header checksum, so that
// only the size can make a reader refuse it.
QByteArray png_claiming(quint32 width, quint32 height)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png = png_of(image);
    const auto put = [&png](int at, quint32 v) {
        for (int i = 0; i < 4; ++i) png[at + i] = char(v >> (24 - 8 * i));
    };
    // Signature (8), chunk length (4), "IHDR" (4), then width and height.
    put(16, width);
    put(20, height);
    put(29, quint32(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17)));
    return png;
}

QByteArray floats(std::initializer_list<float> values)
{
    QByteArray bytes;
    for (const float f : values) bytes.append(reinterpret_cast<const char*>(&f), 4);
    return bytes;
}

QByteArray kind(int k) { return QByteArray(1, char(k)); }

// The value at a path of keys replaced; an undefined value stands for a missing one.
QCborValue replaced(const QCborValue& v, const std::vector<const char*>& keys, std::size_t at,
                    const QCborValue& value)
{
    if (at == keys.size()) return value;
    QCborMap map = v.toMap();
    const QLatin1StringView key(keys[at]);
    map.insert(key, replaced(map.value(key), keys, at + 1, value));
    return map;
}

QByteArray nested(int depth, char open, const QByteArray& inner, const QByteArray& close = {})
{
    QByteArray bytes(depth, open);
    bytes += inner;
    for (int i = 0; i < depth; ++i) bytes += close;
    return bytes;
}

} // namespace

TEST(FileRefusals, DamagedAndHostileFilesFailWithAReason)
{
    const QByteArray good = *dataRepresentation(full_document());
    const QCborMap root = encodeDocument(full_document()).toMap();
    const QByteArray archive = archive::to_bytes(root);
    const auto with_root = [&root](const char* key, const QCborValue& v) {
        QCborMap r = root;
        r.insert(QLatin1StringView(key), v);
        return wrap_archive(archive::to_bytes(r), true);
    };
    const auto packed = [](const QByteArray& bytes) { return wrap_archive(bytes, true); };
    const auto flipped = [&good](qsizetype at) {
        QByteArray b = good;
        b[at] = char(b[at] ^ 0x55);
        return b;
    };
    const QByteArray stream = good.first(good.size() - kTrailerSize);
    // Incompressible data large enough that the ratio allows more than the absolute cap:
    // the cap alone must refuse it, before anything is allocated for it.
    const QByteArray big =
        *compressWithLength(random_bytes(kMaxArchiveBytes / kMaxInflateRatio + 4096, 2));
    QByteArray maps;
    for (int i = 0; i < 100000; ++i) maps += QByteArray::fromHex("a100");
    maps += '\0';

    struct Row {
        const char* name;
        QByteArray file;
        // For rows of archive syntax, the archive, which the parser alone must refuse.
        QByteArray archive = {};
    };
    const auto syntax = [&packed](const char* name, const QByteArray& bytes) {
        return Row{name, packed(bytes), bytes};
    };
    const std::vector<Row> rows = {
        {"empty", {}},
        {"shorter than the trailer", good.right(kTrailerSize - 1)},
        {"only the trailer", kTrailerBytes},
        {"trailer and three bytes", QByteArray("\0\0\0", 3) + kTrailerBytes},
        {"truncated stream", good.left(good.size() - kTrailerSize - 1) + kTrailerBytes},
        {"truncated trailer", good.left(good.size() - 1)},
        {"wrong trailer", good.left(good.size() - 1) + "C"},
        {"lower-case trailer", stream + "pavo0100zlib"},
        {"length one short", with_prefix(good, prefix_of(good) - 1)},
        {"length one long", with_prefix(good, prefix_of(good) + 1)},
        {"length zero", with_prefix(good, 0)},
        {"length beyond the inflate ratio",
         with_prefix(good, quint32(qint64(stream.size() - 4) * kMaxInflateRatio + 1))},
        {"length absurd", with_prefix(good, 0xffffffffu)},
        {"length beyond the cap", with_prefix(big, quint32(kMaxArchiveBytes + 1)) + kTrailerBytes},
        {"junk after the stream", stream + "junk" + kTrailerBytes},
        {"corrupt stream", flipped(20)},
        {"random bytes", random_bytes(4000, 3)},
        {"random bytes, compressed", packed(random_bytes(4000, 4))},
        syntax("archive cut short", archive.left(archive.size() - 1)),
        syntax("byte after the archive", archive + QByteArray(1, '\0')),
        syntax("two archives", archive + archive),
        syntax("break outside a container", QByteArray::fromHex("ff")),
        syntax("reserved additional info", QByteArray::fromHex("1c")),
        syntax("text that is not UTF-8", QByteArray::fromHex("62c328")),
        syntax("a tag", QByteArray::fromHex("81c11a00000000")),
        syntax("indefinite array never ends", QByteArray::fromHex("9f0102")),
        syntax("byte string claiming 2^60", QByteArray::fromHex("5b1000000000000000")),
        syntax("text claiming 2^60", QByteArray::fromHex("7b1000000000000000")),
        syntax("array claiming 2^60", QByteArray::fromHex("9b100000000000000001")),
        syntax("map claiming 2^60", QByteArray::fromHex("bb1000000000000000")),
        syntax("arrays one too deep",
               nested(archive::kMaxDepth + 1, char(0x81), QByteArray(1, '\0'))),
        syntax("indefinite arrays one too deep",
               nested(archive::kMaxDepth + 1, char(0x9f), QByteArray(1, '\0'),
                      QByteArray(1, char(0xff)))),
        syntax("maps a hundred thousand deep", maps),
        syntax("more items than its size allows",
               QByteArray::fromHex("990bb8") + QByteArray(3000, '\0')),
        {"root is an array", packed(archive::to_bytes(QCborArray{root}))},
        {"root of another class",
         packed(archive::to_bytes(archive::object(QLatin1StringView("Strokes"))))},
        {"background not a colour", with_root("background_color", QStringLiteral("red"))},
        {"background without components",
         with_root("background_color", archive::object(QLatin1StringView("Color")))},
        {"window not text", with_root("window", 42)},
        {"view transform with NaN",
         with_root("view_transform", archive::encode_transform({1, 0, 0, 1, NAN, 0}))},
        {"view transform of five",
         with_root("view_transform",
                   replaced(archive::encode_transform({}), {"m"}, 0, QCborArray{1, 0, 0, 1, 0}))},
        {"view transform singular",
         with_root("view_transform", archive::encode_transform({1, 2, 2, 4, 0, 0}))},
    };
    QTemporaryDir dir;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (!row.archive.isEmpty()) {
            const Result<QCborValue> parsed = archive::from_bytes(row.archive);
            EXPECT_FALSE(parsed) << row.name;
            EXPECT_FALSE(parsed.error().isEmpty()) << row.name;
        }
        const QString path = dir.filePath(QStringLiteral("%1.pavo").arg(i));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(row.file) == row.file.size());
        file.close();
        const Result<DocumentData> load = loadDocument(path);
        EXPECT_FALSE(load) << row.name;
        EXPECT_TRUE(load.error().startsWith(path + QStringLiteral(": ")) &&
                    load.error().size() > path.size() + 8)
            << row.name << ": " << load.error().toStdString();
    }
}

TEST(FileRefusals, WhatIsNotAReadableFileIsRefusedUnread)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.pavo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A sparse file over the size cap: refused from its size, never read.
    const QString huge = dir.filePath(QStringLiteral("huge.pavo"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(kMaxArchiveBytes + 1));
    }
    for (const QString& path : {dir.filePath(QStringLiteral("missing.pavo")), dir.path(), fifo,
                                QStringLiteral("/dev/zero"), huge}) {
        const Result<DocumentData> load = loadDocument(path);
        EXPECT_FALSE(load) << path.toStdString();
        EXPECT_TRUE(load.error().startsWith(path)) << load.error().toStdString();
    }
}

TEST(FileRefusals, NestingUpToTheLimitIsRead)
{
    const int d = archive::kMaxDepth;
    EXPECT_TRUE(archive::from_bytes(nested(d, char(0x81), QByteArray(1, '\0'))));
    EXPECT_TRUE(
        archive::from_bytes(nested(d, char(0x9f), QByteArray(1, '\0'), QByteArray(1, char(0xff)))));
}

// Each row damages one value of one stroke of a drawing of every kind (pen, fill, line,
// image): that stroke is dropped with its log line, the others open unchanged.
TEST(StrokeRefusals, DamagedStrokeIsDroppedAndTheRestOpen)
{
    enum { kPen, kFill, kLine, kImage };
    const QByteArray move = kind(0) + floats({1, 2});
    QImage small(3, 3, QImage::Format_RGB32);
    small.fill(Qt::blue);
    const QByteArray png = png_of(small);
    const quint32 side = quint32(archive::kMaxImageSide);
    const QCborValue missing(QCborValue::Undefined);
    const struct {
        const char* name;
        int stroke;
        std::vector<const char*> keys;
        QCborValue value;
    } rows[] = {
        {"not a stroke", kFill, {"$class"}, QStringLiteral("Strokes")},
        {"opacity over one", kFill, {"opacity"}, 2.0},
        {"opacity NaN", kFill, {"opacity"}, kNaN},
        {"opacity beyond a float", kFill, {"opacity"}, 1e300},
        {"opacity as text", kFill, {"opacity"}, QStringLiteral("1")},
        {"mode not whole", kFill, {"transfer_mode"}, 0.5},
        {"mode beyond int", kFill, {"transfer_mode"}, qint64{1} << 40},
        {"no colour", kFill, {"color"}, QCborValue(QCborValue::Null)},
        {"colour of three", kFill, {"color", "rgba"}, QCborArray{1.0, 1.0, 1.0}},
        {"colour of five", kFill, {"color", "rgba"}, QCborArray{1.0, 1.0, 1.0, 1.0, 1.0}},
        {"colour NaN", kFill, {"color", "rgba"}, QCborArray{kNaN, 1.0, 1.0, 1.0}},
        {"colour infinite", kFill, {"color", "rgba"}, QCborArray{1.0, kInf, 1.0, 1.0}},
        {"colour text", kFill, {"color", "rgba"}, QCborArray{1.0, 1.0, QStringLiteral("1"), 1.0}},
        {"colour not an array", kFill, {"color", "rgba"}, 1.0},
        {"colour of another class", kFill, {"color", "$class"}, QStringLiteral("Colour")},
        {"no path", kFill, {"path"}, missing},
        {"unknown element kind", kFill, {"path", "elements"}, kind(4) + floats({1, 2})},
        {"element kind 255", kFill, {"path", "elements"}, kind(0xff)},
        {"partial move", kFill, {"path", "elements"}, move.left(move.size() - 1)},
        {"curve of five numbers", kFill, {"path", "elements"}, kind(2) + floats({1, 2, 3, 4, 5})},
        {"line without its point", kFill, {"path", "elements"}, kind(1)},
        {"NaN point", kFill, {"path", "elements"}, move + kind(1) + floats({NAN, 0})},
        {"infinite point", kFill, {"path", "elements"}, move + kind(1) + floats({0, INFINITY})},
        {"elements as text", kFill, {"path", "elements"}, QStringLiteral("abc")},
        {"winding 2", kFill, {"path", "winding"}, 2},
        {"winding -1", kFill, {"path", "winding"}, -1},
        {"winding not whole", kFill, {"path", "winding"}, 0.0},
        {"path width negative", kFill, {"path", "line_width"}, -1.0},
        {"path width NaN", kFill, {"path", "line_width"}, kNaN},
        {"path width missing", kFill, {"path", "line_width"}, missing},
        {"line width beyond a float", kLine, {"line_width"}, 1e300},
        {"line width negative", kLine, {"line_width"}, -2.0},
        {"line width as text", kLine, {"line_width"}, QStringLiteral("2")},
        {"samples as text", kPen, {"pen_points", "values"}, QStringLiteral("x")},
        {"samples cut short", kPen, {"pen_points", "values"}, QByteArray(3, '\0')},
        {"samples of another class", kPen, {"pen_points", "$class"}, QStringLiteral("Points")},
        {"no picture", kImage, {"image", "png"}, QByteArray()},
        {"half a picture", kImage, {"image", "png"}, png.left(png.size() / 2)},
        {"not a picture", kImage, {"image", "png"}, QByteArray("not a picture at all")},
        {"a BMP", kImage, {"image", "png"}, png_of(small, "BMP")},
        {"picture as text", kImage, {"image", "png"}, QString::fromLatin1(png)},
        {"picture of another class", kImage, {"image", "$class"}, QStringLiteral("Picture")},
        {"header one wider than the limit", kImage, {"image", "png"}, png_claiming(side + 1, 4)},
        {"header one taller than the limit", kImage, {"image", "png"}, png_claiming(4, side + 1)},
        {"header over the pixel limit",
         kImage,
         {"image", "png"},
         png_claiming(8192, quint32(archive::kMaxImagePixels / 8192 + 1))},
        {"header absurd", kImage, {"image", "png"}, png_claiming(0x7fffffff, 0x7fffffff)},
        {"header of no width", kImage, {"image", "png"}, png_claiming(0, 4)},
        {"header larger than its pixels", kImage, {"image", "png"}, png_claiming(side, side)},
        {"image without placement", kImage, {"path", "elements"}, move},
    };
    const DocumentData d = full_document();
    const QCborMap root = encodeDocument(d).toMap();
    const QCborArray strokes = root.value(QLatin1StringView("strokes"))
                                   .toMap()
                                   .value(QLatin1StringView("strokes"))
                                   .toArray();
    ASSERT_EQ(strokes.size(), 4);
    QStringList lines;
    set_log_sink([&lines](const QString& line) { lines << line; });
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QCborArray damaged = strokes;
        damaged[row.stroke] = replaced(strokes.at(row.stroke), row.keys, 0, row.value);
        lines.clear();
        const Result<DocumentData> load = loadDataRepresentation(wrap_archive(
            archive::to_bytes(replaced(root, {"strokes", "strokes"}, 0, damaged)), true));
        ASSERT_TRUE(load) << load.error().toStdString();
        EXPECT_EQ(lines, QStringList{QStringLiteral("Bad stroke found in save file -- ignoring.")});
        ASSERT_EQ(load->strokes->count(), 3);
        for (int i = 0, k = 0; i < 4; ++i)
            if (i != row.stroke)
                expect_same_stroke(*d.strokes->strokeArray()[std::size_t(i)],
                                   *load->strokes->strokeArray()[std::size_t(k++)]);
    }
    qInstallMessageHandler(previous);
    set_log_sink(nullptr);
}
