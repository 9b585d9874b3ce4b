#include "drawing_fixtures.h"
#include <QCborMap>
#include <cmath>
#include <random>

StrokePtr wavy_pen_stroke(Point start, int samples, float radius, const AffineTransform& t,
                          const QColor& color, int mode, float opacity, unsigned seed)
{
    PenPoints points(t, radius);
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> step(1.0f, 2.0f);
    const float phase = float(seed % 7);
    float x = 0;
    for (int i = 0; i < samples; ++i) {
        x += step(random);
        const float y = 12 * std::sin(x / 25 + phase) + 3 * std::sin(x / 7);
        points.addPointAt(start + Point{x, y}, 0.5f + 0.45f * std::sin(float(i) / 17 + phase));
    }
    points.simplify();
    return Stroke::withPenPoints(std::move(points), color, mode, opacity);
}
Path image_placement(Point origin, float w, float h, float radians)
{
    const Point u{std::cos(radians), std::sin(radians)}, v{-u.y, u.x};
    const Point p1 = origin + u * w;
    return Path({{kMoveTo, {origin}}, {kLineTo, {p1}}, {kLineTo, {p1 + v * h}},
                 {kLineTo, {origin + v * h}}, {kClosePath, {}}});
}
DocumentData drawing_of(StrokeArray strokes)
{
    return {{}, std::make_unique<Strokes>(std::move(strokes)), {}, {}};
}
static StrokeArray strokes_of_every_kind()
{
    std::vector<PathElement> star;
    for (int i = 0; i < 5; ++i) {
        const float a = float(i) * 4 * 3.14159265f / 5;
        const Point p = Point{40, 40} + Point{std::cos(a), std::sin(a)} * 25;
        star.push_back({i == 0 ? kMoveTo : kLineTo, {p}});
    }
    star.push_back({kClosePath, {}});
    Path polyline({{kMoveTo, {{5, 5}}}, {kLineTo, {{40, 12}}},
                   {kCurveTo, {{60, 20}, {70, 60}, {50, 80}}}, {kLineTo, {{10, 70}}}});
    polyline.setLineWidth(2.25f);
    // A picture with an alpha ramp, stored straight so that PNG keeps it.
    QImage image(8, 6, QImage::Format_ARGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, qRgba(255 * x / 8, 255 * y / 6, 128, 40 + 215 * (x + y) / 14));
    return {
        wavy_pen_stroke({3, 4}, 70, 5, {1.5f, 0, 0, 1.5f, 10, -4}, QColor(10, 20, 30, 200),
                        kModeDarker, 0.75f, 9),
        Stroke::withPath(Path(std::move(star), kEvenOdd), QColor(0, 0, 255), kModeErase, 0.5f),
        Stroke::withLine(polyline, QColor(0, 255, 0), kModeShadow, 1),
        Stroke::withImage(image, image_placement({1, 2}, 16, 12, -0.7f), 0.25f),
    };
}
DocumentData full_document()
{
    return {QColor(12, 34, 56, 200), std::make_unique<Strokes>(strokes_of_every_kind()),
            QStringLiteral("10 20 300 400 0 0 1024 768 "),
            AffineTransform{0.8f, 0.6f, -0.6f, 0.8f, 12.5f, -3.25f}};
}
// A pen stroke whose steps are too long for 16 bits, far from the origin.
static DocumentData wide_steps()
{
    // Halves and n/255 are exactly what a file holds; placed directly, since simplifying
    // would fill the gaps.
    PenPoints points(AffineTransform::scaling(0.5f, 0.5f), 4);
    points.addPointAt({5000.5f, -4000.5f}, 1.0f);
    points.addPointAt({5001.0f, -4000.0f}, 128 / 255.0f);
    points.addPointAt({-3000.0f, 2500.5f}, 64 / 255.0f);
    points.addPointAt({-2999.5f, 2501.0f}, 200 / 255.0f);
    return drawing_of({Stroke::withPenPoints(points, QColor(120, 0, 120), kModeHilight, 1)});
}
std::vector<CorpusEntry> corpus_entries()
{
    return {
        {QStringLiteral("every_kind.pavo"), true, false, full_document},
        {QStringLiteral("every_kind_uncompressed.pavo"), false, false, full_document},
        {QStringLiteral("plain_array_uncompressed.pavo"), false, true, full_document},
        {QStringLiteral("wide_steps.pavo"), true, false, wide_steps},
        {QStringLiteral("empty.pavo"), true, false, [] { return drawing_of({}); }},
    };
}
QByteArray wrap_archive(const QByteArray& archive, bool compressed)
{
    if (!compressed) return archive;
    return compressWithLength(archive).take().value_or(QByteArray()) +
           QByteArray(document_file::kTrailer, document_file::kTrailerSize);
}
QByteArray corpus_file(const CorpusEntry& entry)
{
    QCborMap root = encodeDocument(entry.build()).toMap();
    if (entry.plain_array) {
        const QLatin1StringView key("strokes");
        root.insert(key, root.value(key).toMap().value(key));
    }
    return wrap_archive(archive::to_bytes(root), entry.compressed);
}
