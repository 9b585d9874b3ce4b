#include "png_writer.h"

#include <libdeflate.h>

#include <QCoreApplication>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Deflate's level: libdeflate's fastest already gives files within a few per cent of zlib's
// default level (Qt's encoder), in a fifth of the time; its level 6 saves another 1 or 2
// per cent for half as much time again.
constexpr int kLevel = 1;

// Pixels row after row with no padding, `channels` bytes each.
struct Raster {
    Bytes bytes;
    int width = 0, height = 0, channels = 4;
    const std::uint8_t* row(int y) const { return bytes.data() + std::size_t(y) * rowBytes(); }
    std::size_t rowBytes() const { return std::size_t(width) * std::size_t(channels); }
};

// Alpha is byte 3 of both RGBA formats, premultiplied or not.
bool opaque(const QImage& rgba)
{
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar* p = rgba.constScanLine(y);
        for (int x = 0; x < rgba.width(); ++x)
            if (p[4 * x + 3] != 255) return false;
    }
    return true;
}

// Hands each row of the picture (RGBA, premultiplied or not) to `take` as straight-alpha
// bytes, `channels` a pixel. Qt undoes the premultiplication a band of rows at a time, so
// no second copy of the whole picture is made.
template <class Take>
void for_each_row(const QImage& rgba, int channels, Take take)
{
    constexpr int kBand = 32;
    Bytes packed(std::size_t(rgba.width()) * 3);
    for (int top = 0; top < rgba.height(); top += kBand) {
        const int rows = std::min(kBand, rgba.height() - top);
        const QImage band =
            QImage(rgba.constScanLine(top), rgba.width(), rows, rgba.bytesPerLine(), rgba.format())
                .convertToFormat(QImage::Format_RGBA8888);
        for (int y = 0; y < rows; ++y) {
            const uchar* from = band.constScanLine(y);
            if (channels == 4) {
                take(from);
                continue;
            }
            std::uint8_t* to = packed.data();
            for (int x = 0; x < rgba.width(); ++x, to += 3, from += 4) std::memcpy(to, from, 3);
            take(packed.data());
        }
    }
}

// The Adam7 pass p of the picture: every dx-th pixel from x0 of every dy-th row from y0.
Raster adam7_pass(const Raster& r, int p)
{
    static constexpr std::array<std::array<int, 4>, 7> kPasses = {
        {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
    const auto [x0, y0, dx, dy] = kPasses[std::size_t(p)];
    Raster pass{{}, (r.width - x0 + dx - 1) / dx, (r.height - y0 + dy - 1) / dy, r.channels};
    if (pass.width <= 0 || pass.height <= 0) return Raster{{}, 0, 0, r.channels};
    pass.bytes.resize(pass.rowBytes() * std::size_t(pass.height));
    std::uint8_t* to = pass.bytes.data();
    const auto n = std::size_t(r.channels);
    for (int y = y0; y < r.height; y += dy)
        for (int x = x0; x < r.width; x += dx, to += n)
            std::memcpy(to, r.row(y) + std::size_t(x) * n, n);
    return pass;
}

// The predictor of the Paeth filter: of left, up and up-left, the one nearest left + up -
// up-left, ties going in that order. Written as two selections so that the loop vectorises.
inline int paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int nearer = pb <= pc ? b : c;
    return pa <= std::min(pb, pc) ? a : nearer;
}

// Writes the row less the predictor's guess for each byte to out, from a (the byte one pixel
// left), b (above) and c (above left), all 0 beyond the picture; prior is the row above, all
// zeros for the first. Returns the sum of the output bytes' magnitudes, read as signed.
template <class Predictor>
__attribute__((optimize("O3"))) unsigned filter_row(Predictor predict, const std::uint8_t* row,
                                                    const std::uint8_t* prior, std::size_t size,
                                                    std::size_t bpp, std::uint8_t* out)
{
    unsigned sum = 0;
    const auto put = [&](std::size_t i, int a, int b, int c) {
        out[i] = std::uint8_t(row[i] - predict(a, b, c));
        sum += unsigned(std::abs(int(std::int8_t(out[i]))));
    };
    for (std::size_t i = 0; i < bpp && i < size; ++i) put(i, 0, prior[i], 0);
    for (std::size_t i = bpp; i < size; ++i) put(i, row[i - bpp], prior[i], prior[i - bpp]);
    return sum;
}

// The filters tried on each row, by type number: sub (1), up (2) and Paeth (4). None and
// average seldom win on drawings and would cost another pass each.
constexpr std::array<std::uint8_t, 3> kFilters = {1, 2, 4};

unsigned filter_row(std::uint8_t type, const std::uint8_t* row, const std::uint8_t* prior,
                    std::size_t size, std::size_t bpp, std::uint8_t* out)
{
    const auto sub = [](int a, int, int) { return a; };
    const auto up = [](int, int b, int) { return b; };
    // Through a lambda: a function pointer would not be inlined, and the loop not vectorised.
    const auto paeth_of = [](int a, int b, int c) { return paeth(a, b, c); };
    switch (type) {
    case 1: return filter_row(sub, row, prior, size, bpp, out);
    case 2: return filter_row(up, row, prior, size, bpp, out);
    default: return filter_row(paeth_of, row, prior, size, bpp, out);
    }
}

// PNG's filtered data of rows given one after the other: a filter type byte, then the
// filtered row. Each row takes the filter of smallest output, which usually compresses best
// (a few per cent smaller files than one filter for all rows, for a few milliseconds).
class RowFilter {
public:
    RowFilter(std::size_t rowBytes, int channels, Bytes& out)
        : _size(rowBytes), _bpp(std::size_t(channels)), _prior(rowBytes, 0), _out(out)
    {
        for (Bytes& t : _trial) t.resize(rowBytes);
    }
    void add(const std::uint8_t* row)
    {
        std::size_t best = 0;
        unsigned best_sum = ~0u;
        for (std::size_t k = 0; k < kFilters.size(); ++k) {
            const unsigned sum =
                filter_row(kFilters[k], row, _prior.data(), _size, _bpp, _trial[k].data());
            if (sum < best_sum) best = k, best_sum = sum;
        }
        _out.push_back(kFilters[best]);
        _out.insert(_out.end(), _trial[best].begin(), _trial[best].end());
        std::memcpy(_prior.data(), row, _size);
    }

private:
    std::size_t _size, _bpp;
    Bytes _prior;
    std::array<Bytes, kFilters.size()> _trial;
    Bytes& _out;
};

// The filtered data of the picture's rows, or of the seven Adam7 passes one after the other.
Bytes filtered_data(const QImage& rgba, int channels, bool interlaced)
{
    const std::size_t rowBytes = std::size_t(rgba.width()) * std::size_t(channels);
    Bytes data;
    if (!interlaced) {
        data.reserve((rowBytes + 1) * std::size_t(rgba.height()));
        RowFilter filter(rowBytes, channels, data);
        for_each_row(rgba, channels, [&filter](const std::uint8_t* row) { filter.add(row); });
        return data;
    }
    Raster whole{{}, rgba.width(), rgba.height(), channels};
    whole.bytes.reserve(rowBytes * std::size_t(rgba.height()));
    for_each_row(rgba, channels, [&whole, rowBytes](const std::uint8_t* row) {
        whole.bytes.insert(whole.bytes.end(), row, row + rowBytes);
    });
    for (int p = 0; p < 7; ++p) {
        const Raster pass = adam7_pass(whole, p);
        RowFilter filter(pass.rowBytes(), channels, data);
        for (int y = 0; y < pass.height; ++y) filter.add(pass.row(y));
    }
    return data;
}

void append_u32(QByteArray& out, std::uint32_t value)
{
    const std::uint32_t big = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&big), 4);
}

// A chunk: its data's length, type, data, and the CRC of type and data.
void append_chunk(QByteArray& out, const char (&type)[5], const QByteArray& data)
{
    append_u32(out, std::uint32_t(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    append_u32(out, libdeflate_crc32(0, out.constData() + start, std::size_t(out.size() - start)));
}

QByteArray header(const QImage& image, int channels, bool interlaced)
{
    QByteArray ihdr;
    append_u32(ihdr, std::uint32_t(image.width()));
    append_u32(ihdr, std::uint32_t(image.height()));
    // Bit depth 8; colour type RGB (2) or RGBA (6); deflate; adaptive filters; interlace.
    const char rest[] = {8, char(channels == 3 ? 2 : 6), 0, 0, char(interlaced ? 1 : 0)};
    ihdr.append(rest, sizeof rest);
    return ihdr;
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// The zlib stream of the data, or none when libdeflate cannot.
std::optional<QByteArray> zlib_stream(const Bytes& data)
{
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kLevel));
    if (!compressor) return std::nullopt;
    QByteArray stream(qsizetype(libdeflate_zlib_compress_bound(compressor.get(), data.size())),
                      Qt::Uninitialized);
    const std::size_t size = libdeflate_zlib_compress(compressor.get(), data.data(), data.size(),
                                                      stream.data(), std::size_t(stream.size()));
    if (size == 0) return std::nullopt;
    stream.truncate(qsizetype(size));
    return stream;
}

} // namespace

Result<QByteArray> encode_png(const QImage& image, bool interlaced)
{
    if (image.isNull()) return Failure{QCoreApplication::translate("Pavo", "There is no picture to write.")};
    const bool rgba = image.format() == QImage::Format_RGBA8888_Premultiplied ||
                      image.format() == QImage::Format_RGBA8888;
    const QImage pixels = rgba ? image : image.convertToFormat(QImage::Format_RGBA8888);
    if (pixels.isNull())
        return Failure{QCoreApplication::translate("Pavo", "There is not enough memory to encode the picture.")};
    const int channels = opaque(pixels) ? 3 : 4;
    const std::optional<QByteArray> idat = zlib_stream(filtered_data(pixels, channels, interlaced));
    if (!idat) return Failure{QCoreApplication::translate("Pavo", "The picture could not be compressed.")};

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    append_chunk(png, "IHDR", header(pixels, channels, interlaced));
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        QByteArray phys;
        append_u32(phys, std::uint32_t(image.dotsPerMeterX()));
        append_u32(phys, std::uint32_t(image.dotsPerMeterY()));
        phys.append(char(1)); // the unit is the metre
        append_chunk(png, "pHYs", phys);
    }
    append_chunk(png, "IDAT", *idat);
    append_chunk(png, "IEND", {});
    return png;
}
