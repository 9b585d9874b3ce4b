// Writes the benchmarks' large drawing (10 000 pen strokes of 100 samples) as a file, for
// timing the whole program on it: pavo_make_large_drawing OUT.pavo [STROKES]
// With STROKES, only that many of its first strokes (1 to 10 000).
//
// The file carries a 1920 x 1080 drawing area and a view transformation that fits every
// stroke into it, so that an export at that size has to render the whole drawing rather
// than the corner a default view would show.

#include "document_file.h"
#include "large_drawing.h"
#include "window_frame.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ranges>

namespace {

constexpr WindowFrame kFrame{0, 0, 1920, 1080};
// A little white around the strokes, so that none is cut at the picture's edge.
constexpr float kMargin = 0.02f;

StrokeArray present_strokes(const Strokes& strokes, int count)
{
    StrokeArray present;
    present.reserve(std::size_t(count));
    for (const StrokePtr& s : strokes.strokeArray() | std::views::take(count))
        if (s) present.push_back(s);
    return present;
}

// World to pixels: the strokes' bounds scaled to fit the area and centred in it. None for
// bounds with no extent, which no scale can fit.
std::optional<AffineTransform> fit_into_frame(const Rect& bounds, const WindowFrame& frame)
{
    if (!(bounds.size.width > 0 && bounds.size.height > 0)) return std::nullopt;
    const Size area = frame.viewSize();
    const float scale = (1 - 2 * kMargin) *
                        std::min(area.width / bounds.size.width, area.height / bounds.size.height);
    const Point centre = bounds.origin + Point{bounds.size.width, bounds.size.height} / 2;
    const Point shift = Point{area.width, area.height} / 2 - centre * scale;
    const AffineTransform t =
        AffineTransform::translation(shift.x, shift.y).after(AffineTransform::scaling(scale, scale));
    if (!t.isUsable()) return std::nullopt;
    return t;
}

int fail(const QString& message)
{
    std::fprintf(stderr, "pavo_make_large_drawing: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    bool counted = true;
    const int count = argc == 3 ? QString::fromLocal8Bit(argv[2]).toInt(&counted) : kStrokes;
    if (argc < 2 || argc > 3 || !counted || count < 1 || count > kStrokes) {
        std::fprintf(stderr, "usage: pavo_make_large_drawing OUT.pavo [STROKES, 1 to %d]\n", kStrokes);
        return 2;
    }
    const DocumentData& generated = large_drawing();

    DocumentData file;
    file.background_color = generated.background_color;
    file.strokes = std::make_unique<Strokes>(present_strokes(*generated.strokes, count));
    const int dropped = count - file.strokes->count();
    // A shorter drawing would time less work than the figures claim.
    if (dropped > 0) return fail(QStringLiteral("%1 generated strokes could not be built").arg(dropped));

    const Rect bounds = file.strokes->bounds();
    const auto view = fit_into_frame(bounds, kFrame);
    if (!view) return fail(QStringLiteral("the strokes have no extent to fit into the view"));
    file.window_frame = format_window_frame(kFrame);
    file.view_transform = view;

    const QString path = QString::fromLocal8Bit(argv[1]);
    if (const Result<> saved = saveDocument(path, file); !saved)
        return fail(QStringLiteral("%1 cannot be saved: %2").arg(path, saved.error()));

    std::printf("%s: %d strokes, bounds %.1f %.1f %.1f x %.1f, view scale %.4f\n", qPrintable(path),
                file.strokes->count(), double(bounds.origin.x), double(bounds.origin.y),
                double(bounds.size.width), double(bounds.size.height), double(view->a));
    return 0;
}
