#include "drawing_fixtures.h"

#include "archive.h"
#include "color.h"

#include <QCborMap>

#include <cmath>
#include <random>

PenPoints wavy_pen_points(Point start, int samples, float radius, const AffineTransform& t,
                          unsigned seed)
{
    PenPoints points(t, radius);
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> step(1.0f, 2.0f);
    const float phase = float(seed % 7);
    float x = 0;
    for (int i = 0; i < samples; ++i) {
        x += step(random);
        const float y = 12 * std::sin(x / 25 + phase) + 3 * std::sin(x / 7);
        const float pressure = 0.5f + 0.45f * std::sin(float(i) / 17 + phase);
        points.addPointAt(start + Point{x, y}, pressure);
    }
    points.simplify();
    return points;
}

StrokePtr wavy_pen_stroke(Point start, int samples, float radius, const AffineTransform& t,
                          const QColor& color, int mode, float opacity, unsigned seed)
{
    return Stroke::withPenPoints(wavy_pen_points(start, samples, radius, t, seed), color, mode,
                                 opacity);
}

QImage gradient_image(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           qRgba(255 * x / w, 255 * y / h, 128, 40 + 215 * (x + y) / (w + h)));
    return image;
}

Path image_placement(Point origin, float w, float h, float radians)
{
    const Point u{std::cos(radians), std::sin(radians)};
    const Point v{-u.y, u.x};
    const Point p1 = origin + u * w;
    const Point p3 = origin + v * h;
    return Path({{kMoveTo, {origin}},
                 {kLineTo, {p1}},
                 {kLineTo, {p1 + v * h}},
                 {kLineTo, {p3}},
                 {kClosePath, {}}});
}

namespace {

Path star(Point c, float r)
{
    std::vector<PathElement> elements;
    for (int i = 0; i < 5; ++i) {
        const float a = float(i) * 4 * 3.14159265f / 5;
        elements.push_back({i == 0 ? kMoveTo : kLineTo, {c + Point{std::cos(a), std::sin(a)} * r}});
    }
    elements.push_back({kClosePath, {}});
    return Path(std::move(elements), kEvenOdd);
}

Path polyline(float width)
{
    Path path({{kMoveTo, {{5, 5}}},
               {kLineTo, {{40, 12}}},
               {kCurveTo, {{60, 20}, {70, 60}, {50, 80}}},
               {kLineTo, {{10, 70}}}});
    path.setLineWidth(width);
    return path;
}

// Steps too long for 16 bits and a start far from the origin: the file's wide-sample form.
// Placed directly, since simplifying would fill the gaps.
PenPoints wide_step_points()
{
    PenPoints points(AffineTransform::scaling(0.5f, 0.5f), 4);
    // Halves and n/255 are exactly what a file holds.
    points.addPointAt({5000.5f, -4000.5f}, 1.0f);
    points.addPointAt({5001.0f, -4000.0f}, 128 / 255.0f);
    points.addPointAt({-3000.0f, 2500.5f}, 64 / 255.0f);
    points.addPointAt({-2999.5f, 2501.0f}, 200 / 255.0f);
    return points;
}

DocumentData with_strokes(StrokeArray strokes)
{
    DocumentData d;
    d.strokes = std::make_unique<Strokes>(std::move(strokes));
    return d;
}

DocumentData wide_steps()
{
    return with_strokes(
        {Stroke::withPenPoints(wide_step_points(), QColor(120, 0, 120), kModeHilight, 1)});
}

DocumentData empty_drawing()
{
    return with_strokes({});
}

} // namespace

StrokeArray strokes_of_every_kind()
{
    return {
        wavy_pen_stroke({3, 4}, 70, 5, {1.5f, 0, 0, 1.5f, 10, -4}, QColor(10, 20, 30, 200),
                        kModeDarker, 0.75f, 9),
        Stroke::withPath(star({40, 40}, 25), QColor(0, 0, 255), kModeErase, 0.5f),
        Stroke::withLine(polyline(2.25f), QColor(0, 255, 0), kModeShadow, 1),
        Stroke::withImage(gradient_image(8, 6), image_placement({1, 2}, 16, 12, -0.7f), 0.25f),
    };
}

DocumentData full_document()
{
    DocumentData d = with_strokes(strokes_of_every_kind());
    d.background_color = QColor(12, 34, 56, 200);
    d.window_frame = QStringLiteral("10 20 300 400 0 0 1024 768 ");
    d.view_transform = AffineTransform{0.8f, 0.6f, -0.6f, 0.8f, 12.5f, -3.25f};
    return d;
}

DocumentData copy_document(const DocumentData& d)
{
    DocumentData copy;
    copy.background_color = d.background_color;
    copy.strokes = std::make_unique<Strokes>(d.strokes ? d.strokes->strokeArray() : StrokeArray{});
    copy.window_frame = d.window_frame;
    copy.view_transform = d.view_transform;
    return copy;
}

std::vector<CorpusEntry> corpus_entries()
{
    return {
        {QStringLiteral("every_kind.pavo"), true, false, full_document},
        {QStringLiteral("every_kind_uncompressed.pavo"), false, false, full_document},
        {QStringLiteral("plain_array_uncompressed.pavo"), false, true, full_document},
        {QStringLiteral("wide_steps.pavo"), true, false, wide_steps},
        {QStringLiteral("empty.pavo"), true, false, empty_drawing},
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
