// The parallel render against the one-pass reference: random drawings of every kind of
// stroke, mode and opacity, rendered whole, in parts on several threads, and by moving the
// picture and rendering the strips uncovered, must give the same pixels.

#include "canvas.h"
#include "pen_points.h"
#include "pictures.h"
#include "stroke_index.h"
#include "stroke_render.h"
#include "strokes.h"
#include "support/strokes.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr Size kView{320, 240};

StrokePtr random_pen_stroke(std::mt19937& random)
{
    std::uniform_real_distribution<float> unit(0, 1);
    PenPoints points(AffineTransform::identity(), 2 + 12 * unit(random));
    Point p{400 * unit(random) - 40, 300 * unit(random) - 30};
    float heading = 6.3f * unit(random);
    for (int i = 0; i < 30; ++i) {
        points.addPointAt(p, 0.2f + 0.8f * unit(random));
        heading += unit(random) - 0.5f;
        p = p + Point{std::cos(heading), std::sin(heading)} * (1 + 6 * unit(random));
    }
    const QColor colour(int(random() % 256), int(random() % 256), int(random() % 256), int(40 + random() % 216));
    // Opaque strokes of one mode combine into batches; the rest each transfer alone.
    const float opacity = random() % 2 ? 1.0f : 0.2f + 0.7f * unit(random);
    return Stroke::withPenPoints(std::move(points), colour, int(random() % 8), opacity);
}

StrokeArray random_drawing(unsigned seed)
{
    std::mt19937 random(seed);
    StrokeArray strokes;
    for (int i = 0; i < 120; ++i) strokes.push_back(random_pen_stroke(random));
    strokes.push_back(fill_stroke(make_rect(30, 40, 90, 60), QColor(200, 30, 30, 160), kModeMultiply, 0.8f));
    strokes.push_back(line_stroke({10, 200}, {300, 20}, 3, Qt::blue));
    strokes.push_back(image_stroke(make_rect(150, 100, 60, 40), Qt::green, 0.6f));
    std::shuffle(strokes.begin() + 60, strokes.end(), random);
    return strokes;
}

std::unique_ptr<PavoCanvas> canvas_at(const AffineTransform& t)
{
    auto canvas = PavoCanvas::create(kView);
    canvas->setTransform(t);
    canvas->fill(color_ns::TRANSPARENT);
    return canvas;
}

QImage reference(const StrokeArray& strokes, const AffineTransform& t)
{
    auto canvas = canvas_at(t);
    Strokes(strokes).drawInCanvas(*canvas);
    return canvas->previewBitmap().image().copy();
}

const PixelSpan kAll{0, int(kView.width) - 1, 0, int(kView.height) - 1};

// Turned and scaled, with whole-pixel translations so that a move keeps them exact.
const AffineTransform kViews[] = {
    AffineTransform::identity(),
    AffineTransform::rotation(0.4f).after(AffineTransform::scaling(0.8f, 0.8f)).after(AffineTransform::translation(40, -10)),
    AffineTransform::scaling(2.5f, 2.5f).after(AffineTransform::translation(-200, -150)),
};

} // namespace

TEST(StrokeRender, PartsOnAnyNumberOfThreadsGiveTheReferencePicture)
{
    for (unsigned seed = 1; seed <= 3; ++seed) {
        const StrokeArray strokes = random_drawing(seed);
        const StrokeIndex index(strokes);
        for (const AffineTransform& t : kViews) {
            const QImage expected = reference(strokes, t);
            for (const int threads : {1, 2, 5})
                for (const StrokeIndex* const with : {&index, static_cast<const StrokeIndex*>(nullptr)}) {
                    auto canvas = canvas_at(t);
                    render_strokes(strokes, *canvas, kAll, with, threads);
                    EXPECT_TRUE(matches_reference(canvas->previewBitmap().image(), expected,
                                                  QStringLiteral("parts-%1-%2").arg(seed).arg(threads)));
                }
        }
    }
}

TEST(StrokeRender, AMovedPictureWithItsStripsRenderedIsTheReferencePicture)
{
    const StrokeArray strokes = random_drawing(7);
    const StrokeIndex index(strokes);
    const struct {
        int dx, dy;
    } moves[] = {{100, 0}, {0, -37}, {-13, 29}, {319, 1}, {-5, -239}};
    for (const AffineTransform& t : kViews)
        for (const auto& m : moves) {
            auto canvas = canvas_at(t);
            render_strokes(strokes, *canvas, kAll, &index);
            std::vector<PixelSpan> strips;
            ASSERT_TRUE(canvas->scrollBy(m.dx, m.dy, strips));
            for (const PixelSpan& s : strips) render_strokes(strokes, *canvas, s, &index);
            const QImage expected = reference(strokes, canvas->transform());
            EXPECT_TRUE(matches_reference(canvas->previewBitmap().image(), expected,
                                          QStringLiteral("moved-%1-%2").arg(m.dx).arg(m.dy)));
        }
}

TEST(StrokeRender, TheIndexFindsEveryStrokeThatMeetsARectangle)
{
    const StrokeArray strokes = random_drawing(11);
    const StrokeIndex index(strokes);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> at(-100, 450), extent(0, 200);
    for (int n = 0; n < 200; ++n) {
        const Rect r = make_rect(at(random), at(random), extent(random), extent(random));
        const std::vector<int> found = index.strokesMeeting(r);
        ASSERT_TRUE(std::is_sorted(found.begin(), found.end()));
        for (int i = 0; i < int(strokes.size()); ++i) {
            const Rect& b = strokes[std::size_t(i)]->bounds();
            const bool meets = !(b.minX() > r.maxX() || b.maxX() < r.minX() || b.minY() > r.maxY() || b.maxY() < r.minY());
            EXPECT_TRUE(!meets || std::binary_search(found.begin(), found.end(), i)) << "stroke " << i;
        }
    }
}

TEST(StrokeRender, PartsPaintingOneNewPathAtOnceGiveTheReferencePicture)
{
    // The painter builds its form of a path on first use; fresh paths across every part, on
    // all threads, before the reference has painted them once.
    for (int round = 0; round < 40; ++round) {
        StrokeArray strokes;
        for (int i = 0; i < 30; ++i) {
            strokes.push_back(fill_stroke(make_rect(float(i), float(2 * i), 300, 220), QColor(20 * (i % 12), 90, 200, 120)));
            strokes.push_back(line_stroke({0, float(8 * i)}, {320, float(240 - 8 * i)}, 2.5f, Qt::darkGreen));
        }
        auto canvas = canvas_at(AffineTransform::identity());
        render_strokes(strokes, *canvas, kAll, nullptr, 4);
        ASSERT_TRUE(matches_reference(canvas->previewBitmap().image(), reference(strokes, AffineTransform::identity()),
                                      QStringLiteral("fresh-paths-%1").arg(round)));
    }
}
