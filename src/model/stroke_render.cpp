#include "stroke_render.h"

#include "strokes.h"
#include "stroke_index.h"

#include <numeric>
#include <optional>

namespace {

// The batch under way: the pixels its strokes painted into the layer and the stroke whose
// mode and opacity it takes.
struct Batch {
    PavoCanvas& canvas;
    std::optional<Rect> pending, painted;
    const Stroke* stroke = nullptr;

    void flush()
    {
        if (!pending) return;
        canvas.commit(*pending, stroke->transferMode(), stroke->opacity());
        extend(painted, *pending);
        pending.reset();
    }
};

// A stroke drawn into the layer, or the reason it was not.
std::optional<Rect> paint_into_layer(const Stroke& s, PavoCanvas& canvas)
{
    if (s.bad()) return std::nullopt;
    const Rect r = canvas.worldRectToBitmapRect(s.drawInContext(canvas.strokeBitmap().cgContext()));
    if (!nice(r)) return std::nullopt;
    return r;
}

} // namespace

std::vector<int> stroke_batches(const StrokeArray& all)
{
    std::vector<int> batches(all.size());
    int batch = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const bool joins = i > 0 && !all[i]->isImage() && !all[i - 1]->isImage() &&
                           all[i - 1]->canCombineStrokeWith(*all[i]);
        if (i > 0 && !joins) ++batch;
        batches[i] = batch;
    }
    return batches;
}

Rect paint_strokes(const StrokeArray& all, const std::vector<int>& which,
                   const std::vector<int>& batches, PavoCanvas& canvas, bool report)
{
    Batch batch{canvas, {}, {}, nullptr};
    int current = -1;
    for (const int i : which) {
        const Stroke& s = *all[std::size_t(i)];
        // A batch ends where it ends in the whole list, its later strokes painted or not.
        if (batches[std::size_t(i)] != current) batch.flush();
        current = batches[std::size_t(i)];
        if (s.isImage()) {
            batch.flush();
            extend(batch.painted, canvas.worldRectToBitmapRect(s.drawInContext(canvas.drawBitmap().cgContext())));
            continue;
        }
        const std::optional<Rect> r = paint_into_layer(s, canvas);
        if (!r) {
            if (report) log_line(QStringLiteral("Bad stroke found in drawing -- ignoring."));
            // The batch so far keeps its own mode, and whatever the bad stroke left in the
            // scratch layer is wiped.
            batch.flush();
            canvas.strokeBitmap().fill(color_ns::TRANSPARENT);
            continue;
        }
        extend(batch.pending, *r);
        batch.stroke = &s;
    }
    batch.flush();
    if (!batch.painted) return {};
    canvas.show(*batch.painted);
    return *batch.painted;
}

void render_strokes(const StrokeArray& strokes, PavoCanvas& canvas, const PixelSpan& area,
                    const StrokeIndex* index, int threads)
{
    // Strokes build what they draw from on first use; that must not happen on two threads.
    for (const StrokePtr& s : strokes) s->prepareToDraw();
    const std::vector<int> batches = stroke_batches(strokes);
    std::vector<int> every;
    if (!index) {
        every.resize(strokes.size());
        std::iota(every.begin(), every.end(), 0);
    }
    canvas.renderInParts(area, [&](PavoCanvas& part, int number) {
        const PixelSpan& span = part.drawBitmap().clip();
        // Two pixels beyond the part: anti-aliasing reaches a little past a stroke's bounds.
        const Rect near = grow_rect(span_rect(span), 2, 2);
        const Rect world = transform_rect(*part.transform().inverted(), near);
        paint_strokes(strokes, index ? index->strokesMeeting(world) : every, batches, part, number == 0);
    }, threads);
}
