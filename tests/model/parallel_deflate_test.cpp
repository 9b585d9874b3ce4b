#include "parallel_deflate.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <random>

namespace {

// Compressible but not trivial: repeated phrases with random bytes among them, so that
// matches reach across the part boundaries.
QByteArray sample_data(qsizetype size)
{
    std::mt19937 rng(1);
    QByteArray data;
    data.reserve(size);
    const QByteArray phrase("pen_points values transfer_mode opacity ");
    while (data.size() < size) {
        data.append(phrase.left(qsizetype(rng() % phrase.size())));
        data.append(char(rng() & 0xff));
    }
    data.truncate(size);
    return data;
}

QByteArray inflate(const QByteArray& stream, qsizetype size)
{
    QByteArray out(size, Qt::Uninitialized);
    uLongf produced = uLongf(size);
    uLong consumed = uLong(stream.size());
    const int rc = uncompress2(reinterpret_cast<Bytef*>(out.data()), &produced,
                               reinterpret_cast<const Bytef*>(stream.constData()), &consumed);
    if (rc != Z_OK || produced != uLongf(size) || consumed != uLong(stream.size())) return {};
    return out;
}

} // namespace

TEST(ParallelDeflate, AnyZlibReaderInflatesTheJoinedStream)
{
    for (const qsizetype size : {qsizetype(0), qsizetype(1000), qsizetype(3) << 20,
                                 (qsizetype(5) << 20) + 12345}) {
        const QByteArray data = sample_data(size);
        const std::optional<QByteArray> stream = parallel_deflate(data);
        ASSERT_TRUE(stream) << size;
        EXPECT_EQ(inflate(*stream, size), data) << size;
        // Joining parts must not cost the compression noticeably.
        uLongf single = compressBound(uLong(size));
        QByteArray reference(qsizetype(single), Qt::Uninitialized);
        compress(reinterpret_cast<Bytef*>(reference.data()), &single,
                 reinterpret_cast<const Bytef*>(data.constData()), uLong(size));
        EXPECT_LE(double(stream->size()), double(single) * 1.01 + 64) << size;
    }
}
