#include "parallel_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <future>
#include <thread>
#include <vector>

namespace {

constexpr qsizetype kWindow = 32768;
// Below this a second core does not pay for itself.
constexpr qsizetype kMinPart = qsizetype{1} << 20;

const Bytef* bytes(const QByteArray& data, qsizetype at = 0)
{
    return reinterpret_cast<const Bytef*>(data.constData() + at);
}

// Raw deflate of data[begin, end), primed with the window before it; the last part ends
// the stream, the others end with a sync flush so that the next part starts byte-aligned.
std::optional<QByteArray> deflate_part(const QByteArray& data, qsizetype begin, qsizetype end,
                                       bool last)
{
    z_stream s{};
    if (deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    const qsizetype dictionary = std::min(begin, kWindow);
    bool ok = dictionary == 0 ||
              deflateSetDictionary(&s, bytes(data, begin - dictionary), uInt(dictionary)) == Z_OK;
    QByteArray out(qsizetype(deflateBound(&s, uLong(end - begin))) + 16, Qt::Uninitialized);
    s.next_in = const_cast<Bytef*>(bytes(data, begin));
    s.avail_in = uInt(end - begin);
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = uInt(out.size());
    const int rc = ok ? deflate(&s, last ? Z_FINISH : Z_SYNC_FLUSH) : Z_STREAM_ERROR;
    ok = ok && (last ? rc == Z_STREAM_END : rc == Z_OK) && s.avail_in == 0;
    out.truncate(qsizetype(s.total_out));
    deflateEnd(&s);
    if (!ok) return std::nullopt;
    return out;
}

std::optional<QByteArray> single_deflate(const QByteArray& data)
{
    uLongf length = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(length), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &length, bytes(data), uLong(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        return std::nullopt;
    out.truncate(qsizetype(length));
    return out;
}

void append_big_endian(QByteArray& out, uLong value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.append(char((value >> shift) & 0xff));
}

} // namespace

std::optional<QByteArray> parallel_deflate(const QByteArray& data)
{
    const qsizetype cores = std::clamp<qsizetype>(std::thread::hardware_concurrency(), 1, 8);
    const qsizetype parts = std::min(cores, data.size() / kMinPart);
    if (parts < 2) return single_deflate(data);

    std::vector<std::future<std::optional<QByteArray>>> pieces;
    const qsizetype step = data.size() / parts;
    for (qsizetype i = 0; i < parts; ++i) {
        const qsizetype begin = i * step, end = i + 1 == parts ? data.size() : begin + step;
        pieces.push_back(std::async(std::launch::async, deflate_part, std::cref(data), begin,
                                    end, i + 1 == parts));
    }
    const uLong adler = adler32(adler32(0, nullptr, 0), bytes(data), uInt(data.size()));
    QByteArray out("\x78\x9c", 2); // deflate, 32 KiB window, default level
    bool ok = true;
    for (auto& piece : pieces) {
        const std::optional<QByteArray> part = piece.get();
        ok = ok && part.has_value();
        if (part) out.append(*part);
    }
    if (!ok) return std::nullopt;
    append_big_endian(out, adler);
    return out;
}
