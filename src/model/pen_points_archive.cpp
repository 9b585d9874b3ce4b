// The byte form of a stroke's samples inside a saved drawing: little-endian, a format byte,
// the transform, the radius, the count, then per sample the steps in tenths and the
// pressure byte; beyond 32767 samples or 16-bit steps, escapes that keep the data exact.

#include "pen_points.h"

#include "pen_points_precision.h"

#include <bit>
#include <limits>
#include <type_traits>
#include <utility>

namespace {

// A sample whose steps do not fit in 16 bits carries this in its dx slot, then 32-bit steps.
constexpr std::int16_t kWideSample = std::numeric_limits<std::int16_t>::min();
// A count above the 16-bit range is written as this, then as 32 bits.
constexpr std::int16_t kWideCount = -1;
constexpr int kMaxNarrowCount = std::numeric_limits<std::int16_t>::max();
constexpr std::int64_t kMaxNarrowStep = std::numeric_limits<std::int16_t>::max();
// Format byte, six transform floats, radius, count.
constexpr std::size_t kHeaderBytes = 1 + 6 * 4 + 4 + 2;
constexpr std::size_t kMinSampleBytes = 2 + 2 + 1;

bool fits_int32(std::int64_t v)
{
    return v >= std::numeric_limits<std::int32_t>::min() &&
           v <= std::numeric_limits<std::int32_t>::max();
}

// Integers and floats of 1, 2 or 4 bytes; a float travels as its bit pattern.
template <typename T> std::uint32_t bits_of(T v)
{
    if constexpr (std::is_same_v<T, float>)
        return std::bit_cast<std::uint32_t>(v);
    else
        return static_cast<std::uint32_t>(v);
}

template <typename T> T from_bits(std::uint32_t v)
{
    if constexpr (std::is_same_v<T, float>)
        return std::bit_cast<float>(v);
    else
        return static_cast<T>(v);
}

class ByteWriter {
public:
    template <typename T> void put(T v)
    {
        const std::uint32_t bits = bits_of(v);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            _bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    void reserve(std::size_t n) { _bytes.reserve(n); }
    std::vector<std::uint8_t> take() { return std::move(_bytes); }

private:
    std::vector<std::uint8_t> _bytes;
};

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : _bytes(bytes) {}

    std::size_t remaining() const { return _bytes.size() - _pos; }
    // Null when the data ends first.
    template <typename T> std::optional<T> get()
    {
        if (remaining() < sizeof(T)) return std::nullopt;
        std::uint32_t bits = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bits |= std::uint32_t{_bytes[_pos + i]} << (8 * i);
        _pos += sizeof(T);
        return from_bits<T>(bits);
    }

private:
    std::span<const std::uint8_t> _bytes;
    std::size_t _pos = 0;
};

bool write_samples(ByteWriter& w, const std::vector<PenPoint>& samples)
{
    std::int64_t last_x = 0;
    std::int64_t last_y = 0;
    for (const PenPoint& s : samples) {
        const auto x = to_tenths(s.p.x);
        const auto y = to_tenths(s.p.y);
        if (!x || !y) return false;
        const std::int64_t dx = *x - last_x;
        const std::int64_t dy = *y - last_y;
        if (std::abs(dx) <= kMaxNarrowStep && std::abs(dy) <= kMaxNarrowStep) {
            w.put(static_cast<std::int16_t>(dx));
            w.put(static_cast<std::int16_t>(dy));
        } else {
            if (!fits_int32(dx) || !fits_int32(dy)) return false;
            w.put(kWideSample);
            w.put(static_cast<std::int32_t>(dx));
            w.put(static_cast<std::int32_t>(dy));
        }
        w.put(pressure_byte(s.pressure));
        last_x = *x;
        last_y = *y;
    }
    return true;
}

// The steps of one sample in tenths; null when the data ends.
std::optional<std::pair<std::int32_t, std::int32_t>> read_steps(ByteReader& r)
{
    const auto dx = r.get<std::int16_t>();
    if (!dx) return std::nullopt;
    if (*dx != kWideSample) {
        const auto dy = r.get<std::int16_t>();
        if (!dy) return std::nullopt;
        return std::pair<std::int32_t, std::int32_t>{*dx, *dy};
    }
    const auto wide_x = r.get<std::int32_t>();
    const auto wide_y = r.get<std::int32_t>();
    if (!wide_x || !wide_y) return std::nullopt;
    return std::pair{*wide_x, *wide_y};
}

std::optional<AffineTransform> read_transform(ByteReader& r)
{
    float v[6];
    for (float& f : v) {
        const auto x = r.get<float>();
        if (!x) return std::nullopt;
        f = *x;
    }
    return AffineTransform{v[0], v[1], v[2], v[3], v[4], v[5]};
}

struct Header {
    AffineTransform transform;
    float radius = 0;
    std::int64_t count = 0;
};

// Null, with the reason in *why, when the header is damaged or promises more samples than
// the data can hold (so that no allocation follows an unchecked count).
std::optional<Header> read_header(ByteReader& r, const char** why)
{
    const auto format = r.get<std::uint8_t>(); // only one format so far: read and ignored
    const auto transform = read_transform(r);
    const auto radius = r.get<float>();
    const auto narrow_count = r.get<std::int16_t>();
    *why = "pen points: truncated header";
    if (!format || !transform || !radius || !narrow_count) return std::nullopt;
    *why = "pen points: unusable transform";
    if (!transform->isUsable()) return std::nullopt;
    *why = "pen points: bad radius";
    if (!finite(*radius) || *radius < 0) return std::nullopt;
    std::int64_t n = *narrow_count;
    if (n == kWideCount) {
        const auto wide = r.get<std::int32_t>();
        *why = "pen points: truncated count";
        if (!wide) return std::nullopt;
        n = *wide;
    }
    *why = "pen points: negative count";
    if (n < 0) return std::nullopt;
    *why = "pen points: count exceeds the data";
    if (static_cast<std::uint64_t>(n) > r.remaining() / kMinSampleBytes) return std::nullopt;
    return Header{*transform, *radius, n};
}

// Whether a sample read can be written again after the one written before it: near the
// ends of the 32-bit range a coordinate in float tenths rounds to a number of tenths, or a
// step, that does not fit. Such samples are refused, so that every stroke that opens saves
// with its samples instead of losing them.
bool writable_after(Point p, std::int64_t& last_x, std::int64_t& last_y)
{
    const auto x = to_tenths(p.x);
    const auto y = to_tenths(p.y);
    if (!x || !y || !fits_int32(*x - last_x) || !fits_int32(*y - last_y)) return false;
    last_x = *x;
    last_y = *y;
    return true;
}

// Null on success, else the reason.
const char* read_samples(ByteReader& r, std::int64_t n, std::vector<PenPoint>& out)
{
    out.reserve(static_cast<std::size_t>(n));
    // Running sums in 64 bits, so that damaged steps cannot overflow before the check.
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t written_x = 0;
    std::int64_t written_y = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const auto steps = read_steps(r);
        const auto pressure = r.get<std::uint8_t>();
        if (!steps || !pressure) return "pen points: truncated samples";
        x += steps->first;
        y += steps->second;
        if (!fits_int32(x) || !fits_int32(y)) return "pen points: coordinate out of range";
        const Point p{from_tenths(static_cast<std::int32_t>(x)),
                      from_tenths(static_cast<std::int32_t>(y))};
        if (!writable_after(p, written_x, written_y)) return "pen points: coordinate out of range";
        out.push_back({p, from_pressure_byte(*pressure)});
    }
    return r.remaining() == 0 ? nullptr : "pen points: trailing bytes";
}

} // namespace

std::optional<std::vector<std::uint8_t>> PenPoints::encode() const
{
    if (!_transform.isUsable() || !finite(_radius) || _radius < 0) return std::nullopt;
    if (_pen_points.size() > std::size_t{std::numeric_limits<std::int32_t>::max()})
        return std::nullopt;
    ByteWriter w;
    w.reserve(kHeaderBytes + kMinSampleBytes * _pen_points.size());
    w.put<std::uint8_t>(0);
    for (const float f :
         {_transform.a, _transform.b, _transform.c, _transform.d, _transform.tx, _transform.ty})
        w.put(f);
    w.put(_radius);
    if (count() <= kMaxNarrowCount) {
        w.put(static_cast<std::int16_t>(count()));
    } else {
        w.put(kWideCount);
        w.put<std::int32_t>(count());
    }
    if (!write_samples(w, _pen_points)) return std::nullopt;
    return w.take();
}

Result<PenPoints> PenPoints::decode(std::span<const std::uint8_t> bytes)
{
    ByteReader r(bytes);
    const char* why = nullptr;
    const auto header = read_header(r, &why);
    if (!header) return Failure{QString::fromLatin1(why)};
    PenPoints result(header->transform, header->radius);
    why = read_samples(r, header->count, result._pen_points);
    if (why) return Failure{QString::fromLatin1(why)};
    return result;
}
