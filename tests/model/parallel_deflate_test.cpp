#include "parallel_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

// Large data is deflated in parts joined into one stream: any zlib reader must inflate it,
// and the joins must not cost the compression noticeably.
TEST(ParallelDeflate, AnyZlibReaderInflatesTheJoinedStream)
{
    std::mt19937 rng(1);
    for (const qsizetype size : {qsizetype(0), qsizetype(1000), (qsizetype(5) << 20) + 12345}) {
        // Repeated phrases with random bytes among them, so that matches cross the joins.
        QByteArray data;
        const QByteArray phrase("pen_points values transfer_mode opacity ");
        while (data.size() < size)
            data.append(phrase.left(qsizetype(rng() % phrase.size())) + char(rng()));
        data.truncate(size);
        const std::optional<QByteArray> stream = parallel_deflate(data);
        ASSERT_TRUE(stream) << size;
        QByteArray out(size + 1, Qt::Uninitialized);
        uLongf produced = uLongf(size + 1);
        uLong consumed = uLong(stream->size());
        EXPECT_EQ(uncompress2(reinterpret_cast<Bytef*>(out.data()), &produced,
                              reinterpret_cast<const Bytef*>(stream->constData()), &consumed),
                  Z_OK);
        EXPECT_EQ(consumed, uLong(stream->size())) << size;
        EXPECT_EQ(out.left(qsizetype(produced)), data) << size;
        uLongf single = compressBound(uLong(size));
        QByteArray reference(qsizetype(single), Qt::Uninitialized);
        compress(reinterpret_cast<Bytef*>(reference.data()), &single,
                 reinterpret_cast<const Bytef*>(data.constData()), uLong(size));
        EXPECT_LE(double(stream->size()), double(single) * 1.01 + 64) << size;
    }
}
