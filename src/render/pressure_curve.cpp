#include "pressure_curve.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

bool in_unit(float v) { return v >= 0 && v <= 1; } // false for NaN too

// Fritsch-Carlson tangents: the mean of the neighbouring secants, zero where the curve is
// flat on either side, and scaled down wherever they would make a segment overshoot.
std::vector<float> monotone_slopes(const std::vector<CurvePoint>& p)
{
    const size_t n = p.size();
    std::vector<float> secant(n - 1);
    for (size_t k = 0; k + 1 < n; ++k)
        secant[k] = (p[k + 1].y - p[k].y) / (p[k + 1].x - p[k].x);
    std::vector<float> m(n);
    m[0] = secant[0];
    m[n - 1] = secant[n - 2];
    for (size_t k = 1; k + 1 < n; ++k)
        m[k] = secant[k - 1] * secant[k] > 0 ? (secant[k - 1] + secant[k]) / 2 : 0;
    for (size_t k = 0; k + 1 < n; ++k) {
        if (secant[k] == 0) {
            m[k] = m[k + 1] = 0;
            continue;
        }
        const float a = m[k] / secant[k], b = m[k + 1] / secant[k];
        const float r = a * a + b * b;
        if (r > 9) {
            const float t = 3 / std::sqrt(r);
            m[k] = t * a * secant[k];
            m[k + 1] = t * b * secant[k];
        }
    }
    return m;
}

constexpr float kSpacing = 0.01f;

float hundredths(float v) { return std::round(v * 100) / 100; }

} // namespace

PressureCurve::PressureCurve() : PressureCurve({{0, 0}, {1, 1}}) {}

PressureCurve::PressureCurve(std::vector<CurvePoint> points)
    : _points(std::move(points)), _slopes(monotone_slopes(_points))
{
}

PressureCurve PressureCurve::linear() { return PressureCurve(); }
PressureCurve PressureCurve::soft() { return PressureCurve({{0, 0}, {0.4f, 0.65f}, {1, 1}}); }
PressureCurve PressureCurve::firm() { return PressureCurve({{0, 0}, {0.6f, 0.35f}, {1, 1}}); }

Result<PressureCurve> PressureCurve::fromPoints(std::vector<CurvePoint> points)
{
    if (points.size() < 2)
        return Failure{QCoreApplication::translate("Pavo", "a pressure curve needs at least two points")};
    for (size_t k = 0; k < points.size(); ++k) {
        if (!in_unit(points[k].x) || !in_unit(points[k].y))
            return Failure{QCoreApplication::translate("Pavo", "pressure curve points must lie between 0 and 1")};
        if (k > 0 && (points[k].x <= points[k - 1].x || points[k].y < points[k - 1].y))
            return Failure{QCoreApplication::translate("Pavo", "a pressure curve must rise from left to right")};
    }
    return PressureCurve(std::move(points));
}

Result<PressureCurve> PressureCurve::parse(const QString& text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() % 2 != 0)
        return Failure{QCoreApplication::translate("Pavo", "a pressure curve is pairs of numbers, input then output")};
    std::vector<CurvePoint> points;
    for (qsizetype k = 0; k < words.size(); k += 2) {
        bool okX = false, okY = false;
        const CurvePoint p{words[k].toFloat(&okX), words[k + 1].toFloat(&okY)};
        if (!okX || !okY)
            return Failure{QCoreApplication::translate("Pavo", "a pressure curve is pairs of numbers, input then output")};
        points.push_back(p);
    }
    return fromPoints(std::move(points));
}

float PressureCurve::map(float raw) const
{
    if (!(raw > _points.front().x))
        return _points.front().y;
    if (raw >= _points.back().x)
        return _points.back().y;
    const auto above = std::upper_bound(_points.begin(), _points.end(), raw,
                                        [](float v, const CurvePoint& p) { return v < p.x; });
    const size_t k = static_cast<size_t>(above - _points.begin()) - 1;
    const CurvePoint a = _points[k], b = _points[k + 1];
    const float h = b.x - a.x, t = (raw - a.x) / h, t2 = t * t, t3 = t2 * t;
    // Cubic Hermite: the end values weighted by h00, h01, the end tangents by h10, h11.
    const float y = (2 * t3 - 3 * t2 + 1) * a.y + (t3 - 2 * t2 + t) * h * _slopes[k] +
                    (-2 * t3 + 3 * t2) * b.y + (t3 - t2) * h * _slopes[k + 1];
    return std::clamp(y, a.y, b.y);
}

QString PressureCurve::text() const
{
    QStringList words;
    for (const CurvePoint& p : _points)
        words << QString::number(p.x) << QString::number(p.y);
    return words.join(QLatin1Char(' '));
}

PressureCurve PressureCurve::withPointMoved(size_t index, CurvePoint to) const
{
    if (index >= _points.size()) return *this;
    std::vector<CurvePoint> points = _points;
    const bool first = index == 0, last = index + 1 == points.size();
    const float lowX = first ? 0 : points[index - 1].x + kSpacing;
    const float highX = last ? 1 : points[index + 1].x - kSpacing;
    CurvePoint& p = points[index];
    if (lowX <= highX) p.x = std::clamp(hundredths(to.x), lowX, highX);
    p.y = std::clamp(hundredths(to.y), first ? 0 : points[index - 1].y, last ? 1 : points[index + 1].y);
    return PressureCurve(std::move(points));
}

std::pair<PressureCurve, size_t> PressureCurve::withPointAdded(CurvePoint at) const
{
    const float x = std::clamp(hundredths(at.x), 0.f, 1.f);
    const auto after = std::find_if(_points.begin(), _points.end(), [x](const CurvePoint& p) { return p.x > x; });
    const size_t k = static_cast<size_t>(after - _points.begin());
    for (const size_t near : {k - 1, k})
        if (near < _points.size() && std::abs(_points[near].x - x) < kSpacing) return {*this, near};
    std::vector<CurvePoint> points = _points;
    const float low = k == 0 ? 0 : points[k - 1].y, high = k == points.size() ? 1 : points[k].y;
    points.insert(points.begin() + static_cast<std::ptrdiff_t>(k), CurvePoint{x, std::clamp(hundredths(at.y), low, high)});
    return {PressureCurve(std::move(points)), k};
}

PressureCurve PressureCurve::withoutPoint(size_t index) const
{
    if (index >= _points.size() || _points.size() <= 2) return *this;
    std::vector<CurvePoint> points = _points;
    points.erase(points.begin() + static_cast<std::ptrdiff_t>(index));
    return PressureCurve(std::move(points));
}
