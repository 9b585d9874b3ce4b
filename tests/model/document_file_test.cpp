#include "archive.h"
#include "drawing_compare.h"
#include "drawing_fixtures.h"

#include <QCborArray>
#include <QCborMap>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zlib.h>

#include <csignal>
#include <limits>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace document_file;

namespace {

const QByteArray kTrailerBytes(kTrailer, kTrailerSize);

QByteArray random_bytes(qsizetype n, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(n, Qt::Uninitialized);
    for (char& c : bytes) c = char(random() & 0xff);
    return bytes;
}

quint32 prefix_of(const QByteArray& data)
{
    quint32 n = 0;
    for (int i = 0; i < 4; ++i) n = (n << 8) | quint8(data[i]);
    return n;
}

QByteArray with_prefix(QByteArray data, quint32 n)
{
    for (int i = 0; i < 4; ++i) data[i] = char(n >> (24 - 8 * i));
    return data;
}

// zlib's own inflate, independent of the code under test.
QByteArray zlib_inflate(const QByteArray& stream, qsizetype expected)
{
    QByteArray out(expected, Qt::Uninitialized);
    uLongf length = uLongf(expected);
    const int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                              reinterpret_cast<const Bytef*>(stream.constData()), uLong(stream.size()));
    return rc == Z_OK && qsizetype(length) == expected ? out : QByteArray("inflate failed");
}

QCborMap archive_root(const QByteArray& file)
{
    const auto archive = decompressWithLength(file.first(file.size() - kTrailerSize));
    return archive ? archive::from_bytes(*archive).value_or(QCborValue()).toMap() : QCborMap();
}

QByteArray file_with_root(const QCborMap& root)
{
    return wrap_archive(archive::to_bytes(root), true);
}

QStringList keys_of(const QCborMap& map)
{
    QStringList keys;
    for (auto it = map.cbegin(); it != map.cend(); ++it) keys << it.key().toString();
    return keys;
}

QByteArray read_file(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool write_file(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

TEST(DocumentFileCompression, PrefixIsTheBigEndianLengthAndTheRestAZlibStream)
{
    for (const qsizetype n : {qsizetype(0), qsizetype(1), qsizetype(300), qsizetype(70001)}) {
        const QByteArray data = random_bytes(n, unsigned(n)) + QByteArray(n, 'a');
        const auto packed = compressWithLength(data);
        ASSERT_TRUE(packed);
        EXPECT_EQ(prefix_of(*packed), quint32(data.size()));
        EXPECT_EQ(zlib_inflate(packed->mid(kPrefixSize), data.size()), data);
        EXPECT_EQ(decompressWithLength(*packed), data);
    }
}

TEST(DocumentFileCompression, RefusesLengthsTheStreamCannotHave)
{
    const QByteArray data = QByteArray(5000, 'x') + random_bytes(100, 1);
    const QByteArray packed = *compressWithLength(data);
    const quint32 n = quint32(data.size());
    const qint64 compressed = packed.size() - kPrefixSize;
    const auto refused = [](const QByteArray& bytes, const char* why) {
        QString error;
        EXPECT_FALSE(decompressWithLength(bytes, &error)) << why;
        EXPECT_FALSE(error.isEmpty()) << why;
        return error;
    };
    for (int size = 0; size < 4; ++size) refused(packed.left(size), "shorter than the prefix");
    refused(with_prefix(packed, n - 1), "announced one byte short");
    refused(with_prefix(packed, n + 1), "announced one byte long");
    refused(with_prefix(packed, 0), "announced empty");
    EXPECT_TRUE(refused(with_prefix(packed, quint32(compressed * kMaxInflateRatio + 1)), "ratio")
                    .contains(QStringLiteral("implausible")));
    EXPECT_TRUE(refused(with_prefix(packed, 0xffffffffu), "absurd").contains(QStringLiteral("implausible")));
    refused(packed.left(packed.size() - 1), "truncated stream");
    refused(packed + QByteArray("junk"), "data after the stream");
    QByteArray corrupt = packed;
    corrupt[corrupt.size() / 2] = char(corrupt[corrupt.size() / 2] ^ 0x55);
    refused(corrupt, "corrupt stream");

    // Incompressible data large enough that the ratio allows more than the absolute cap:
    // the cap alone must refuse it, before anything is allocated for it.
    const QByteArray big = *compressWithLength(random_bytes(kMaxArchiveBytes / kMaxInflateRatio + 4096, 2));
    EXPECT_TRUE(refused(with_prefix(big, quint32(kMaxArchiveBytes + 1)), "cap")
                    .contains(QStringLiteral("implausible")));
}

TEST(DocumentFile, LayoutIsLengthThenCompressedArchiveThenTrailer)
{
    const DocumentData d = full_document();
    const QByteArray archive = archive::to_bytes(encodeDocument(d));
    const auto file = dataRepresentation(d);
    ASSERT_TRUE(file);
    EXPECT_EQ(prefix_of(*file), quint32(archive.size()));
    EXPECT_TRUE(file->endsWith(kTrailerBytes));
    const QByteArray stream = file->mid(kPrefixSize, file->size() - kPrefixSize - kTrailerSize);
    EXPECT_EQ(zlib_inflate(stream, archive.size()), archive);
}

TEST(DocumentFile, RoundTripKeepsEveryFieldAndStroke)
{
    const DocumentData d = full_document();
    const DocumentLoad load = loadDataRepresentation(*dataRepresentation(d));
    ASSERT_TRUE(load) << load.error.toStdString();
    expect_same_drawing(d, *load.data);
}

TEST(DocumentFile, RootKeysAreWrittenInOrderAndOnlyWhenSet)
{
    DocumentData d = full_document();
    EXPECT_EQ(keys_of(archive_root(*dataRepresentation(d))),
              QStringList({"$class", "background_color", "strokes", "window", "view_transform"}));

    d.background_color.reset();
    d.window_frame.reset();
    d.view_transform.reset();
    const QByteArray file = *dataRepresentation(d);
    EXPECT_EQ(keys_of(archive_root(file)), QStringList({"$class", "strokes"}));
    const DocumentLoad load = loadDataRepresentation(file);
    ASSERT_TRUE(load);
    EXPECT_FALSE(load.data->background_color);
    EXPECT_FALSE(load.data->window_frame);
    EXPECT_FALSE(load.data->view_transform);
    EXPECT_EQ(load.data->strokes->count(), d.strokes->count());

    // A view transform no view would take is left out rather than making the file unreadable.
    d.view_transform = AffineTransform{1, 2, 2, 4, 0, 0};
    EXPECT_FALSE(archive_root(*dataRepresentation(d)).contains(QLatin1StringView("view_transform")));
}

TEST(DocumentFile, UncompressedArchiveOpens)
{
    const DocumentData d = full_document();
    const QByteArray archive = archive::to_bytes(encodeDocument(d));
    ASSERT_FALSE(archive.endsWith(kTrailerBytes));
    const DocumentLoad load = loadDataRepresentation(archive);
    ASSERT_TRUE(load) << load.error.toStdString();
    expect_same_drawing(d, *load.data);
}

TEST(DocumentFile, PlainArrayOfStrokesOpensAndSavesBackAsAStrokesObject)
{
    const DocumentData d = full_document();
    QCborMap root = encodeDocument(d).toMap();
    const QLatin1StringView key("strokes");
    root.insert(key, root.value(key).toMap().value(key));
    ASSERT_TRUE(root.value(key).isArray());

    const DocumentLoad load = loadDataRepresentation(file_with_root(root));
    ASSERT_TRUE(load) << load.error.toStdString();
    expect_same_drawing(d, *load.data);
    const QCborValue saved = archive_root(*dataRepresentation(*load.data)).value(key);
    EXPECT_TRUE(archive::as_object(saved, QLatin1StringView("Strokes")));
}

TEST(DocumentFile, MissingOrMistypedStrokesGiveAnEmptyDrawing)
{
    const QCborMap root = encodeDocument(full_document()).toMap();
    const QLatin1StringView key("strokes");
    std::vector<QCborMap> roots{root};
    roots[0].remove(key);
    for (const QCborValue& v : {QCborValue(7), QCborValue(QStringLiteral("x")),
                                QCborValue(QCborValue::Null),
                                QCborValue(archive::object(QLatin1StringView("Stroke")))}) {
        roots.push_back(root);
        roots.back().insert(key, v);
    }
    for (const QCborMap& r : roots) {
        const DocumentLoad load = loadDataRepresentation(file_with_root(r));
        ASSERT_TRUE(load) << load.error.toStdString();
        ASSERT_TRUE(load.data->strokes);
        EXPECT_EQ(load.data->strokes->count(), 0);
    }
}

TEST(DocumentFile, BadStrokeIsDroppedWithItsLogLineAndTheRestKept)
{
    const DocumentData d = full_document();
    QCborMap root = encodeDocument(d).toMap();
    const QLatin1StringView key("strokes");
    QCborMap list = root.value(key).toMap();
    QCborArray strokes = list.value(key).toArray();
    QCborMap damaged = strokes.at(1).toMap();
    damaged.insert(QLatin1StringView("opacity"), 2.0);
    strokes[1] = damaged;
    QCborMap nan_path = strokes.at(2).toMap();
    QCborMap path = nan_path.value(QLatin1StringView("path")).toMap();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const QByteArray nan_bytes(reinterpret_cast<const char*>(&nan), 4);
    path.insert(QLatin1StringView("elements"), QByteArray(1, '\0') + nan_bytes + nan_bytes);
    nan_path.insert(QLatin1StringView("path"), path);
    strokes[2] = nan_path;
    list.insert(key, strokes);
    root.insert(key, list);

    QStringList lines;
    set_log_sink([&lines](const QString& line) { lines << line; });
    const DocumentLoad load = loadDataRepresentation(file_with_root(root));
    set_log_sink(nullptr);
    ASSERT_TRUE(load) << load.error.toStdString();
    ASSERT_EQ(load.data->strokes->count(), 2);
    expect_same_stroke(*d.strokes->strokeArray()[0], *load.data->strokes->strokeArray()[0]);
    expect_same_stroke(*d.strokes->strokeArray()[3], *load.data->strokes->strokeArray()[1]);
    EXPECT_EQ(lines, QStringList(2, QStringLiteral("Bad stroke found in save file -- ignoring.")));
}

TEST(DocumentFile, DamagedFilesFailWithAReason)
{
    const QByteArray good = *dataRepresentation(full_document());
    const QCborMap root = encodeDocument(full_document()).toMap();
    const auto root_with = [&root](const char* key, const QCborValue& v) {
        QCborMap r = root;
        r.insert(QLatin1StringView(key), v);
        return file_with_root(r);
    };
    QByteArray deep = QByteArray(100000, char(0x81)) + QByteArray(1, '\0');
    QByteArray lower_trailer = good;
    lower_trailer.replace(good.size() - kTrailerSize, kTrailerSize, QByteArray("pavo0100zlib"));

    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"shorter than the trailer", good.right(kTrailerSize - 1)},
        {"only the trailer", kTrailerBytes},
        {"trailer and three bytes", QByteArray("\0\0\0", 3) + kTrailerBytes},
        {"truncated before the trailer", good.left(good.size() - kTrailerSize - 1) + kTrailerBytes},
        {"truncated trailer", good.left(good.size() - 1)},
        {"wrong trailer", good.left(good.size() - 1) + "C"},
        {"lower-case trailer", lower_trailer},
        {"length prefix changed", with_prefix(good, prefix_of(good) + 1)},
        {"corrupt stream", [&good] { QByteArray b = good; b[20] = char(b[20] ^ 0x10); return b; }()},
        {"random bytes", random_bytes(4000, 3)},
        {"random bytes, compressed", wrap_archive(random_bytes(4000, 4), true)},
        {"trailing byte in the archive", wrap_archive(archive::to_bytes(root) + QByteArray(1, '\0'), true)},
        {"deep nesting", wrap_archive(deep, true)},
        {"root is an array", wrap_archive(archive::to_bytes(QCborArray{root}), true)},
        {"root of another class", file_with_root(archive::object(QLatin1StringView("Strokes")))},
        {"background not a colour", root_with("background_color", QStringLiteral("red"))},
        {"background NaN", root_with("background_color", archive::object(QLatin1StringView("Color")))},
        {"window not text", root_with("window", 42)},
        {"view transform with NaN",
         root_with("view_transform", archive::encode_transform({1, 0, 0, 1, std::numeric_limits<float>::quiet_NaN(), 0}))},
        {"view transform singular", root_with("view_transform", archive::encode_transform({1, 2, 2, 4, 0, 0}))},
    };
    for (const auto& [name, bytes] : cases) {
        const DocumentLoad load = loadDataRepresentation(bytes);
        EXPECT_FALSE(load) << name;
        EXPECT_FALSE(load.error.isEmpty()) << name;
    }
}

TEST(DocumentFileSave, SavedFileLoadsBackAndReplacesTheOldOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drawing.pavo"));
    ASSERT_TRUE(write_file(path, "old content"));
    const DocumentData d = full_document();
    const DocumentSave save = saveDocument(path, d);
    ASSERT_TRUE(save) << save.error.toStdString();
    EXPECT_EQ(read_file(path), *dataRepresentation(d));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"drawing.pavo"});
    const DocumentLoad load = loadDocument(path);
    ASSERT_TRUE(load) << load.error.toStdString();
    expect_same_drawing(d, *load.data);
}

TEST(DocumentFileSave, FailedSaveLeavesTheOldFileByteIdentical)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drawing.pavo"));
    const QByteArray old_bytes = *dataRepresentation(full_document());
    ASSERT_TRUE(write_file(path, old_bytes));

    // A large drawing whose writing runs into a file size limit half-way. Root ignores
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
    const DocumentSave save = saveDocument(path, big);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(save);
    EXPECT_FALSE(save.error.isEmpty());
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

TEST(DocumentFileLoad, RefusesWhatIsNotAReadableFile)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.pavo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A sparse file over the size cap: refused from its size, never read.
    const QString huge = dir.filePath(QStringLiteral("huge.pavo"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kMaxArchiveBytes + 1));
    }
    for (const QString& path : {dir.filePath(QStringLiteral("missing.pavo")), dir.path(), fifo,
                                QStringLiteral("/dev/zero"), huge}) {
        const DocumentLoad load = loadDocument(path);
        EXPECT_FALSE(load) << path.toStdString();
        EXPECT_TRUE(load.error.startsWith(path)) << load.error.toStdString();
    }
}
