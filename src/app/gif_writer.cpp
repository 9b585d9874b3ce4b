#include "gif_writer.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

constexpr int max_gif_side = 65535;
constexpr int palette_size = 256;
constexpr int colour_resolution = 8;

struct GifCloser {
    void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

struct ColorMapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColorMapHandle = std::unique_ptr<ColorMapObject, ColorMapFreer>;

// Separate channel planes, the layout giflib's quantiser reads.
struct Planes {
    int width = 0;
    int height = 0;
    std::vector<GifByteType> red, green, blue;
};

struct Indexed {
    std::vector<GifPixelType> pixels;
    std::array<GifColorType, palette_size> palette{};
};

QString gif_error_text(int code)
{
    const char* text = GifErrorString(code);
    return text ? QString::fromUtf8(text) : QStringLiteral("giflib error %1").arg(code);
}

std::optional<QString> size_problem(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return QStringLiteral("the image is empty");
    if (image.width() > max_gif_side || image.height() > max_gif_side)
        return QStringLiteral("%1x%2 is too large for GIF (at most %3 pixels per side)")
            .arg(image.width())
            .arg(image.height())
            .arg(max_gif_side);
    // giflib's quantiser counts pixels in an int.
    if (static_cast<std::int64_t>(image.width()) * image.height() > INT_MAX)
        return QStringLiteral("%1x%2 has too many pixels to quantise")
            .arg(image.width())
            .arg(image.height());
    return std::nullopt;
}

// With premultiplied channels, compositing over white is just c + (255 - alpha).
GifByteType over_white(uchar premultiplied, uchar alpha)
{
    return static_cast<GifByteType>(std::min(255, premultiplied + 255 - alpha));
}

std::optional<Planes> flatten_over_white(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (rgba.isNull())
        return std::nullopt;
    Planes planes{rgba.width(), rgba.height(), {}, {}, {}};
    const std::size_t count = static_cast<std::size_t>(planes.width) * static_cast<std::size_t>(planes.height);
    planes.red.resize(count);
    planes.green.resize(count);
    planes.blue.resize(count);
    std::size_t i = 0;
    for (int y = 0; y < planes.height; ++y) {
        const uchar* line = rgba.constScanLine(y);
        for (int x = 0; x < planes.width; ++x, ++i, line += 4) {
            planes.red[i] = over_white(line[0], line[3]);
            planes.green[i] = over_white(line[1], line[3]);
            planes.blue[i] = over_white(line[2], line[3]);
        }
    }
    return planes;
}

// The distinct colours of the picture, how often each occurs, and which one each pixel is.
struct Histogram {
    std::vector<std::array<int, 3>> colours;
    std::vector<std::uint64_t> counts;
    std::vector<std::uint32_t> slot_of_pixel;
};

Histogram histogram(const Planes& planes)
{
    Histogram result;
    result.slot_of_pixel.resize(planes.red.size());
    std::unordered_map<std::uint32_t, std::uint32_t> slot_of_colour;
    for (std::size_t i = 0; i < planes.red.size(); ++i) {
        const std::uint32_t key = std::uint32_t{planes.red[i]} << 16 | std::uint32_t{planes.green[i]} << 8 | planes.blue[i];
        const auto [it, added] = slot_of_colour.try_emplace(key, static_cast<std::uint32_t>(result.colours.size()));
        if (added) {
            result.colours.push_back({planes.red[i], planes.green[i], planes.blue[i]});
            result.counts.push_back(0);
        }
        ++result.counts[it->second];
        result.slot_of_pixel[i] = it->second;
    }
    return result;
}

GifByteType nearest(const std::array<int, 3>& colour, const std::array<GifColorType, palette_size>& palette)
{
    int best = 0;
    int best_distance = INT_MAX;
    for (int entry = 0; entry < palette_size; ++entry) {
        const GifColorType& p = palette[static_cast<std::size_t>(entry)];
        const int dr = colour[0] - p.Red, dg = colour[1] - p.Green, db = colour[2] - p.Blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best_distance) {
            best_distance = distance;
            best = entry;
        }
    }
    return static_cast<GifByteType>(best);
}

// Moves every entry that has colours to their weighted mean; unused entries stay put.
void move_to_means(const Histogram& h, const std::vector<GifByteType>& assigned, std::array<GifColorType, palette_size>& palette)
{
    std::array<std::array<std::uint64_t, 3>, palette_size> sums{};
    std::array<std::uint64_t, palette_size> counts{};
    for (std::size_t slot = 0; slot < h.colours.size(); ++slot) {
        for (std::size_t c = 0; c < 3; ++c)
            sums[assigned[slot]][c] += static_cast<std::uint64_t>(h.colours[slot][c]) * h.counts[slot];
        counts[assigned[slot]] += h.counts[slot];
    }
    for (std::size_t entry = 0; entry < palette_size; ++entry) {
        const std::uint64_t n = counts[entry];
        if (n == 0)
            continue;
        const auto mean = [n](std::uint64_t sum) { return static_cast<GifByteType>((sum + n / 2) / n); };
        palette[entry] = GifColorType{mean(sums[entry][0]), mean(sums[entry][1]), mean(sums[entry][2])};
    }
}

// giflib's median cut works on colours cut to 5 bits per channel (white comes back as
// 248) and leaves some boxes wide. A few k-means passes seeded with its palette give
// flat colours back exactly and pull each entry to the centre of what it stands for.
void refine_palette(const Planes& planes, Indexed& indexed)
{
    constexpr int passes = 4;
    const Histogram h = histogram(planes);
    std::vector<GifByteType> assigned(h.colours.size());
    for (std::size_t i = 0; i < indexed.pixels.size(); ++i)
        assigned[h.slot_of_pixel[i]] = indexed.pixels[i];
    for (int pass = 0; pass < passes; ++pass) {
        move_to_means(h, assigned, indexed.palette);
        for (std::size_t slot = 0; slot < h.colours.size(); ++slot)
            assigned[slot] = nearest(h.colours[slot], indexed.palette);
    }
    move_to_means(h, assigned, indexed.palette);
    for (std::size_t i = 0; i < indexed.pixels.size(); ++i)
        indexed.pixels[i] = assigned[h.slot_of_pixel[i]];
}

Result<Indexed> quantise(Planes& planes)
{
    Indexed indexed;
    indexed.pixels.resize(planes.red.size());
    int colours = palette_size;
    if (GifQuantizeBuffer(static_cast<unsigned>(planes.width), static_cast<unsigned>(planes.height), &colours,
                          planes.red.data(), planes.green.data(), planes.blue.data(), indexed.pixels.data(),
                          indexed.palette.data())
        == GIF_ERROR)
        return Failure{QCoreApplication::translate("Pavo", "could not reduce the image to %1 colours").arg(palette_size)};
    refine_palette(planes, indexed);
    return indexed;
}

int append_bytes(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

Result<> put_frame(GifFileType* gif, Indexed& indexed, int width, int height)
{
    const ColorMapHandle map{GifMakeMapObject(palette_size, indexed.palette.data())};
    if (!map)
        return Failure{QCoreApplication::translate("Pavo", "could not allocate the GIF palette")};
    if (EGifPutScreenDesc(gif, width, height, colour_resolution, 0, map.get()) == GIF_ERROR
        || EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_ERROR)
        return Failure{gif_error_text(gif->Error)};
    for (int y = 0; y < height; ++y) {
        GifPixelType* row = indexed.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        if (EGifPutLine(gif, row, width) == GIF_ERROR)
            return Failure{gif_error_text(gif->Error)};
    }
    return {};
}

Result<QByteArray> encode_indexed(Indexed& indexed, int width, int height)
{
    QByteArray bytes;
    int code = 0;
    GifHandle gif{EGifOpen(&bytes, append_bytes, &code)};
    if (!gif)
        return Failure{gif_error_text(code)};
    if (Result<> frame = put_frame(gif.get(), indexed, width, height); !frame)
        return Failure{frame.error()};
    // Closing writes the trailer, so its result matters; giflib frees the handle either way.
    if (EGifCloseFile(gif.release(), &code) == GIF_ERROR)
        return Failure{gif_error_text(code)};
    return bytes;
}

Result<QByteArray> encode(const QImage& image)
{
    std::optional<Planes> planes = flatten_over_white(image);
    if (!planes)
        return Failure{QCoreApplication::translate("Pavo", "could not convert the image to RGB")};
    Result<Indexed> indexed = quantise(*planes);
    if (!indexed)
        return Failure{indexed.error()};
    return encode_indexed(*indexed, planes->width, planes->height);
}

} // namespace

Result<QByteArray> encode_gif(const QImage& image)
{
    if (const std::optional<QString> problem = size_problem(image))
        return Failure{*problem};
    // Large pictures need several copies of their pixels; running out is an error, not a crash.
    try {
        return encode(image);
    } catch (const std::bad_alloc&) {
        return Failure{QCoreApplication::translate("Pavo", "not enough memory to encode a %1x%2 GIF").arg(image.width()).arg(image.height())};
    }
}

Result<> write_gif(const QImage& image, const QString& path)
{
    const Result<QByteArray> bytes = encode_gif(image);
    if (!bytes)
        return Failure{bytes.error()};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() || !file.commit())
        return Failure{QCoreApplication::translate("Pavo", "cannot write %1: %2").arg(path, file.errorString())};
    return {};
}
