#include "pen_points.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <utility>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
// Stands in for the inverse of a transform that has none, so that every world position
// comes out NaN and the outline is rejected instead of drawn somewhere arbitrary.
constexpr AffineTransform kNoInverse{kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};

// A gap is filled with at most this many samples: a sample that jumps across the canvas
// (or a damaged coordinate) must not make the stroke grow without bound.
constexpr int kMaxSamplesPerGap = 4096;

// ---- What a file can hold: coordinates in tenths, pressures in 1/255 steps.

// The product is taken in float on purpose: in double, 0.7f * 10 falls just short of 7 and
// a value rounded once would lose a tenth on every save.
std::optional<std::int32_t> to_tenths(float v)
{
    const double t = static_cast<double>(v * 10.0f);
    // Exactly the values whose truncation fits; written so that NaN fails too.
    if (!(t > -2147483649.0 && t < 2147483648.0)) return std::nullopt;
    // The conversion truncates toward zero, and is much cheaper than a call to trunc.
    return static_cast<std::int32_t>(t);
}

float from_tenths(std::int32_t t) { return static_cast<float>(t) / 10.0f; }

std::uint8_t pressure_byte(float p)
{
    const float clamped = std::isnan(p) ? 0.0f : limit(p, 0.0f, 1.0f);
    // The conversion truncates toward zero.
    return static_cast<std::uint8_t>(clamped * 255.0f);
}

float from_pressure_byte(std::uint8_t b) { return static_cast<float>(b) / 255.0f; }

// A coordinate too large for the file keeps its value; saving such a stroke is refused.
float round_coordinate(float v)
{
    const auto t = to_tenths(v);
    return t ? from_tenths(*t) : v;
}

// ---- Smoothing

// The square of what length() takes the root of, so that a distance can be compared with
// a float bound without a square root: when it is at most m * m (exact in double), length()
// is at most m.
double squared_length(Point v) { return double(v.x) * v.x + double(v.y) * v.y; }

// Weights of the four control points at the curve parameters 0, 1/3, 2/3 and 1, at which
// the fitted curve passes through four consecutive samples.
struct CubicFit {
    float c[4][4];
    float det;

    CubicFit()
    {
        const float t[4] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) c[i][j] = bezier_coefficient(i, t[j]);
        det = c[2][2] * c[1][1] - c[2][1] * c[1][2];
    }

    // Control points of the cubic through q[0..3] at t = 0, 1/3, 2/3, 1: the end points are
    // the samples, the inner two solve the 2x2 system at t = 1/3 and 2/3.
    void controlPoints(const Point q[4], Point out[4]) const
    {
        const Point k1 = q[0] * c[0][1] + q[3] * c[3][1];
        const Point k2 = q[0] * c[0][2] + q[3] * c[3][2];
        out[0] = q[0];
        out[1] = (q[1] * c[2][2] - q[2] * c[2][1] - k1 * c[2][2] + k2 * c[2][1]) / det;
        out[2] = (q[2] * c[1][1] - q[1] * c[1][2] - k2 * c[1][1] + k1 * c[1][2]) / det;
        out[3] = q[3];
    }
};

// Appends the samples that fill the gap between samples i - 1 and i.
void fill_gap(const std::vector<PenPoint>& in, int i, int steps, const CubicFit& fit,
              std::vector<PenPoint>& out)
{
    const int n = static_cast<int>(in.size());
    const int start = limit(i - 2, 0, n - 4);
    const Point q[4] = {in[start].p, in[start + 1].p, in[start + 2].p, in[start + 3].p};
    Point control[4];
    fit.controlPoints(q, control);
    const float p0 = in[i - 1].pressure;
    const float p1 = in[i].pressure;
    for (int step = 0; step < steps; ++step) {
        const float dt = static_cast<float>(step + 1) / static_cast<float>(steps + 1);
        const float tt = (static_cast<float>(i - 1) + dt - static_cast<float>(start)) / 3.0f;
        out.push_back({bezier(control, tt), (1 - dt) * p0 + dt * p1});
    }
}

// ---- Averaging

struct Group {
    Point sum;
    float pressure = 0;
    float distance = 0;
    int count = 0;
};

// Adds the merged sample q unless a circle already there hides it, after dropping the
// samples whose circles q hides.
void merge_into(std::vector<PenPoint>& out, const PenPoint& q, float radius)
{
    const float rq = q.pressure * radius;
    while (!out.empty()) {
        const float rb = out.back().pressure * radius;
        // A distance is never negative, so only the smaller circle can lie inside the other:
        // most groups need one square root here, equal pressures none.
        if (rb < rq) {
            if (!(rb + length(out.back().p - q.p) < rq)) break;
            out.pop_back();
        } else {
            if (rq < rb && length(out.back().p - q.p) + rq < rb) return;
            break;
        }
    }
    out.push_back(q);
}

// ---- Outline

// The band along the outer common tangents of two circles, corners in the order p1 left,
// p2 left, p2 right, p1 right: the same turning sense as the outline's circles.
void band_between(Point p1, float r1, Point p2, float r2, Point out[4])
{
    const Point v = p2 - p1;
    const Point f = normalize(v);
    const Point l = left(f);
    // Clamped when one circle holds the other: the band then shrinks to a line.
    const float a = limit((r1 - r2) / length(v), -1.0f, 1.0f);
    const float b = std::sqrt(1 - a * a);
    const Point dleft = f * a + l * b;
    const Point dright = f * a - l * b;
    out[0] = p1 + dleft * r1;
    out[1] = p2 + dleft * r2;
    out[2] = p2 + dright * r2;
    out[3] = p1 + dright * r1;
}

bool usable_circle(const OutlineCircle& c)
{
    return finite(c.centre) && finite(c.radius) && c.radius >= 0;
}

bool finite_band(const OutlineBand& band)
{
    for (const Point& corner : band.corners)
        if (!finite(corner)) return false;
    return true;
}

// ---- Archive bytes, little-endian

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

std::nullopt_t fail(std::string* error, const char* text)
{
    if (error) *error = text;
    return std::nullopt;
}

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

// Null on success, else the reason.
const char* read_samples(ByteReader& r, std::int64_t n, std::vector<PenPoint>& out)
{
    out.reserve(static_cast<std::size_t>(n));
    // Running sums in 64 bits, so that damaged steps cannot overflow before the check.
    std::int64_t x = 0;
    std::int64_t y = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const auto steps = read_steps(r);
        const auto pressure = r.get<std::uint8_t>();
        if (!steps || !pressure) return "pen points: truncated samples";
        x += steps->first;
        y += steps->second;
        if (!fits_int32(x) || !fits_int32(y)) return "pen points: coordinate out of range";
        out.push_back(
            {{from_tenths(static_cast<std::int32_t>(x)), from_tenths(static_cast<std::int32_t>(y))},
             from_pressure_byte(*pressure)});
    }
    return r.remaining() == 0 ? nullptr : "pen points: trailing bytes";
}

} // namespace

PenPoints::PenPoints(const AffineTransform& transform, float radius)
    : _transform(transform), _radius(radius)
{
    cacheInverse();
}

void PenPoints::cacheInverse()
{
    _inverse = _transform.inverted().value_or(kNoInverse);
    _scale = length({_transform.a, _transform.b});
}

void PenPoints::addPointAt(Point p, float pressure) { _pen_points.push_back({p, pressure}); }

bool PenPoints::setTransform(const AffineTransform& t)
{
    if (!t.isUsable()) return false;
    _transform = t;
    cacheInverse();
    return true;
}

void PenPoints::simplify()
{
    smoothByBezierInterpolation();
    simplifyByAveraging();
    for (PenPoint& s : _pen_points) {
        s.p = {round_coordinate(s.p.x), round_coordinate(s.p.y)};
        s.pressure = from_pressure_byte(pressure_byte(s.pressure));
    }
}

void PenPoints::smoothByBezierInterpolation()
{
    const int n = count();
    if (n <= 3) return;
    const CubicFit fit;
    const float m = max(10.0f, 2 * _radius);
    std::vector<PenPoint> out;
    out.reserve(_pen_points.size() + _pen_points.size() / 4);
    for (int i = 1; i < n; ++i) {
        out.push_back(_pen_points[i - 1]);
        const Point v = _pen_points[i].p - _pen_points[i - 1].p;
        if (squared_length(v) <= double(m) * m) continue;
        const float d = length(v);
        // Written so that a NaN distance or threshold fills nothing.
        if (!(d > m) || !std::isfinite(d)) continue;
        const float steps = min(std::trunc(d / m), static_cast<float>(kMaxSamplesPerGap));
        fill_gap(_pen_points, i, max(static_cast<int>(steps), 1), fit, out);
    }
    out.push_back(_pen_points.back());
    _pen_points = std::move(out);
}

void PenPoints::simplifyByAveraging()
{
    const int n = count();
    std::vector<PenPoint> out;
    out.reserve(_pen_points.size());
    Group g;
    for (int i = 0; i < n; ++i) {
        const PenPoint& s = _pen_points[i];
        if (g.count == 0) g = Group{};
        g.sum = g.sum + s.p;
        g.pressure = max(g.pressure, s.pressure);
        ++g.count;
        if (i > 0) g.distance += length(s.p - _pen_points[i - 1].p);
        const bool closes = i == 0 || i >= n - 2 || 2 * g.distance > s.pressure * _radius;
        if (!closes) continue;
        merge_into(out, {g.sum / static_cast<float>(g.count), g.pressure}, _radius);
        g.count = 0;
    }
    _pen_points = std::move(out);
}

void PenPoints::quadForStrokeFrom(const PenPoint& a, const PenPoint& b, Point out[4]) const
{
    band_between(bitmapPointToWorldPoint(a.p), worldRadius(a), bitmapPointToWorldPoint(b.p),
                 worldRadius(b), out);
}

std::optional<PenOutline> PenPoints::buildOutline() const
{
    if (_pen_points.empty()) return std::nullopt;
    PenOutline outline;
    outline.circles.reserve(_pen_points.size());
    outline.bands.reserve(_pen_points.size() - 1);
    outline.band_before.reserve(_pen_points.size());
    for (std::size_t i = 0; i < _pen_points.size(); ++i) {
        const PenPoint& s = _pen_points[i];
        const OutlineCircle circle{bitmapPointToWorldPoint(s.p), worldRadius(s)};
        if (!usable_circle(circle)) return std::nullopt;
        // Samples apart in the bitmap can still meet in world space (a strong zoom far from
        // the origin); their circles are concentric and a band between them has no direction.
        const bool band =
            i > 0 && s.p != _pen_points[i - 1].p && circle.centre != outline.circles.back().centre;
        if (band) {
            const OutlineCircle& last = outline.circles.back();
            OutlineBand b;
            band_between(last.centre, last.radius, circle.centre, circle.radius, b.corners);
            if (!finite_band(b)) return std::nullopt;
            outline.bands.push_back(b);
        }
        outline.band_before.push_back(band);
        outline.circles.push_back(circle);
    }
    return outline;
}

std::optional<QPainterPath> PenPoints::buildPath() const
{
    const auto outline = buildOutline();
    if (!outline) return std::nullopt;
    return outline_path(*outline);
}

bool PenPoints::transformUsingAffineTransform(const AffineTransform& t)
{
    if (!t.isFinite()) return false;
    const auto inverse = t.inverted();
    if (!inverse) return false;
    // New world positions are t applied to the old ones: undo t, then map as before.
    const AffineTransform moved = _transform.after(*inverse);
    if (!moved.isUsable()) return false;
    _transform = moved;
    cacheInverse();
    return true;
}

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

std::optional<PenPoints> PenPoints::decode(std::span<const std::uint8_t> bytes, std::string* error)
{
    ByteReader r(bytes);
    const char* why = nullptr;
    const auto header = read_header(r, &why);
    if (!header) return fail(error, why);
    PenPoints result(header->transform, header->radius);
    why = read_samples(r, header->count, result._pen_points);
    if (why) return fail(error, why);
    return result;
}
