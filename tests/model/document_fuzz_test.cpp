// The committed seed drawings, and a deterministic mutation test over them: damaged files
// of every sort must fail with a reason or load as a sane drawing, never crash, hang or
// allocate without bound. Run under AddressSanitizer by the sanitizer build.

#include "archive.h"
#include "drawing_compare.h"
#include "drawing_fixtures.h"

#include <QCborArray>
#include <QCborMap>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>

using namespace document_file;

namespace {

constexpr int kIterations = 8000;

QByteArray read_corpus(const QString& name)
{
    QFile f(QStringLiteral(PAVO_CORPUS_DIR "/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool compressed(const QByteArray& file)
{
    return file.endsWith(QByteArray(kTrailer, kTrailerSize));
}

// The archive inside a file of either form; empty when there is none.
QByteArray archive_of(const QByteArray& file)
{
    if (!compressed(file)) return file;
    return decompressWithLength(file.first(file.size() - kTrailerSize))
        .take()
        .value_or(QByteArray());
}

// Damage of every sort, drawn from a fixed seed.
class Mutator {
public:
    explicit Mutator(unsigned seed) : _random(seed) {}

    int below(int n) { return int(_random() % unsigned(n)); }
    char byte() { return char(_random() & 0xff); }

    // Bit flips, truncation, insertion, or bytes that mean long lengths, indefinite
    // containers, breaks and floats in CBOR.
    QByteArray damage(QByteArray b)
    {
        if (b.isEmpty()) return QByteArray(1, byte());
        const int at = below(int(b.size()));
        switch (below(4)) {
        case 0:
            for (int i = below(8) + 1; i > 0; --i) {
                const int k = below(int(b.size()));
                b[k] = char(b[k] ^ (1 << below(8)));
            }
            return b;
        case 1: return b.left(at);
        case 2: return b.insert(at, QByteArray(below(16) + 1, byte()));
        default: b[at] = "\x00\x1b\x5b\x7f\x9b\x9f\xbf\xc6\xfa\xfb\xff"[below(11)]; return b;
        }
    }

    QByteArray edit_prefix(QByteArray file)
    {
        quint32 n = 0;
        for (int i = 0; i < 4; ++i) n = (n << 8) | quint8(file[i]);
        const quint32 choices[] = {0, 0xffffffffu, n + 1, n - 1, n * 2, n / 2, quint32(_random())};
        n = choices[below(7)];
        for (int i = 0; i < 4; ++i) file[i] = char(n >> (24 - 8 * i));
        return file;
    }

    // A random value of a random type, often the wrong one for where it lands.
    QCborValue value()
    {
        const QCborValue values[] = {std::numeric_limits<double>::quiet_NaN(),
                                     -std::numeric_limits<double>::infinity(),
                                     qint64{1} << 40, -1, 1e30, QString(), QCborMap(), QCborArray(),
                                     QCborValue(QCborValue::Null), QByteArray(below(40), byte()),
                                     archive::object(QLatin1StringView("Stroke")), 0.5};
        return values[below(12)];
    }

    // Replaces the `target`-th value of the tree, counted depth first, with a random one.
    QCborValue replace(const QCborValue& v, int& target)
    {
        if (target-- == 0) return value();
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
        const bool packed = compressed(file);
        const QByteArray trailer(kTrailer, kTrailerSize);
        switch (below(6)) {
        case 0: return damage(file);
        case 1: return packed ? edit_prefix(file) : file;
        case 2:
            return packed ? file.left(file.size() - kTrailerSize) + damage(trailer)
                          : file + trailer;
        case 3: return wrap_archive(damage(archive_of(file)), packed);
        case 4: {
            // A well-formed archive with one value changed: reaches every decoder.
            const Result<QCborValue> root = archive::from_bytes(archive_of(file));
            if (!root) return file;
            int target = below(400);
            return wrap_archive(archive::to_bytes(replace(*root, target)), packed);
        }
        default: return damage(damage(file));
        }
    }

private:
    std::mt19937 _random;
};

// What a successful load must give: a drawing that can be drawn, saved and read again.
void expect_sane(const DocumentData& d, const QByteArray& input)
{
    ASSERT_TRUE(d.strokes) << input.toHex().left(200).constData();
    for (const StrokePtr& s : d.strokes->strokeArray()) {
        ASSERT_TRUE(s);
        EXPECT_FALSE(s->bad());
        EXPECT_TRUE(nice(s->bounds()));
    }
    EXPECT_TRUE(!d.background_color || d.background_color->isValid());
    EXPECT_TRUE(!d.view_transform || d.view_transform->isUsable());
    const Result<QByteArray> saved = dataRepresentation(d);
    ASSERT_TRUE(saved);
    const Result<DocumentData> again = loadDataRepresentation(*saved);
    ASSERT_TRUE(again) << again.error().toStdString();
    EXPECT_EQ(again->strokes->count(), d.strokes->count());
}

} // namespace

TEST(DocumentCorpus, CommittedFilesReadBackAsTheDrawingsTheyWereMadeFrom)
{
    for (const CorpusEntry& entry : corpus_entries()) {
        SCOPED_TRACE(entry.name.toStdString());
        const QByteArray file = read_corpus(entry.name);
        ASSERT_FALSE(file.isEmpty()) << "missing; run pavo_make_corpus tests/data/corpus";
        EXPECT_EQ(compressed(file), entry.compressed);
        const Result<QCborValue> root = archive::from_bytes(archive_of(file));
        ASSERT_TRUE(root);
        EXPECT_EQ(root->toMap().value(QLatin1StringView("strokes")).isArray(), entry.plain_array);
        const Result<DocumentData> load = loadDataRepresentation(file);
        ASSERT_TRUE(load) << load.error().toStdString();
        expect_same_drawing(entry.build(), *load);
    }
}

TEST(DocumentCorpus, MutatedFilesFailCleanlyOrLoadSane)
{
    std::vector<QByteArray> seeds;
    for (const CorpusEntry& entry : corpus_entries()) seeds.push_back(read_corpus(entry.name));
    for (const QByteArray& seed : seeds) ASSERT_FALSE(seed.isEmpty());

    int bad_strokes = 0;
    set_log_sink([&bad_strokes](const QString&) { ++bad_strokes; });
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    Mutator mutator(20240611);
    int loaded = 0;
    for (int i = 0; i < kIterations; ++i) {
        const QByteArray input =
            mutator.mutate(seeds[std::size_t(mutator.below(int(seeds.size())))]);
        const Result<DocumentData> load = loadDataRepresentation(input);
        if (load) {
            ++loaded;
            expect_sane(*load, input);
        } else {
            EXPECT_FALSE(load.error().isEmpty()) << input.toHex().left(200).constData();
        }
        if (::testing::Test::HasFailure()) break;
    }
    qInstallMessageHandler(previous);
    set_log_sink(nullptr);
    // Both outcomes must be exercised, or the mutations are not reaching the decoders.
    EXPECT_GT(loaded, kIterations / 20);
    EXPECT_LT(loaded, kIterations);
    EXPECT_GT(bad_strokes, 0);
}
