// One stroke and the stroke list: bounds, moves, batching, bad strokes, picking, drawing,
// and the parallel render.

#include "canvas.h"
#include "pen_points.h"
#include "stroke_index.h"
#include "stroke_render.h"
#include "strokes.h"
#include "support/pictures.h"
#include "support/strokes.h"
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace color_ns;

namespace {
Path quad(Point p0, Point p1, Point p2, Point p3)
{
    return Path(
        {{kMoveTo, {p0}}, {kLineTo, {p1}}, {kLineTo, {p2}}, {kLineTo, {p3}}, {kClosePath, {}}});
}
std::unique_ptr<PavoCanvas> white_canvas(int w, int h, Point origin = {})
{
    auto canvas = PavoCanvas::create({float(w), float(h)});
    canvas->fill(WHITE);
    canvas->translate(origin);
    return canvas;
}
int differing(const Bitmap& a, const Bitmap& b, int tolerance = 0)
{
    return pixels_differing(a.image(), b.image(), tolerance);
}
} // namespace

TEST(Stroke, LineBoundsGrowByHalfTheWidthAndMovesStayWithinWhatAFileHolds)
{
    const StrokePtr line = line_stroke({10, 10}, {30, 30}, 4);
    EXPECT_EQ(line->bounds(), make_rect(8, 8, 24, 24));
    ASSERT_TRUE(line->transformUsingAffineTransform(AffineTransform::scaling(2, 2)));
    EXPECT_EQ(line->bounds(), make_rect(18, 18, 44, 44));
    // Refused, leaving the stroke as it was: unusable transforms, and moves that would carry
    // a point beyond the finite floats a file holds.
    const float big = std::numeric_limits<float>::max() / 8;
    const StrokePtr pen = pen_stroke({{0, 0}, {9, 9}});
    const Rect pen_bounds = pen->bounds();
    for (const AffineTransform& t : {AffineTransform::scaling(0, 2), {1, 0, 0, 1, NAN, 0},
                                     AffineTransform::scaling(big, 1), {1, 0, 0, 1, 0, 8 * big}})
        EXPECT_FALSE(line->transformUsingAffineTransform(t) ||
                     pen->transformUsingAffineTransform(t));
    EXPECT_EQ(line->bounds(), make_rect(18, 18, 44, 44));
    EXPECT_EQ(pen->bounds(), pen_bounds);
    // A large move that stays finite is taken, and the stroke still saves and reopens.
    ASSERT_TRUE(line->transformUsingAffineTransform(AffineTransform::scaling(big / 64, 1)));
    const StrokePtr back = line->copyWithArchiver();
    ASSERT_TRUE(back && !back->bad());
    EXPECT_EQ(back->bounds(), line->bounds());
}

// What scripts and pasting can build but a file cannot carry.
TEST(Stroke, BadStrokesAreRecognised)
{
    const Rect r = make_rect(0, 0, 5, 5);
    const struct { const char* name; StrokePtr stroke; bool bad; } rows[] = {
        {"a plain fill", fill_stroke(r, Qt::red), false},
        {"no colour", fill_stroke(r, QColor()), true},
        {"opacity NaN", fill_stroke(r, Qt::red, 0, NAN), true},
        {"nothing to draw", Stroke::withPath(Path(), Qt::red, 0, 1), true},
        {"a line of infinite width", line_stroke({0, 0}, {5, 5}, INFINITY), true},
        {"an image", image_stroke(r), false},
        {"no picture", Stroke::withImage(QImage(), quad({0, 0}, {4, 0}, {4, 4}, {0, 4}), 1), true},
    };
    for (const auto& row : rows) EXPECT_EQ(row.stroke->bad(), row.bad) << row.name;
    EXPECT_FALSE(Stroke::withPenPoints(PenPoints({}, 3), Qt::red, 0, 1));
}

TEST(Stroke, ImageIsPlacedUprightScaledAndCentred)
{
    // Red, green, blue and white quarters: how the corners of an upright picture are told apart.
    const PictureKey key{{'R', RED}, {'G', GREEN}, {'B', BLUE}, {'W', WHITE}};
    const QImage quarters = bitmap_from_rows({"RRGG", "RRGG", "BBWW", "BBWW"}, key)->image();
    const struct { Path placement; int w, h; Point red, green, blue; } rows[] = {
        {quad({0, 0}, {200, 0}, {200, 100}, {0, 100}), 200, 100, {50, 25}, {150, 25}, {50, 75}},
        // Turned a quarter: the first edge runs down the right side.
        {quad({100, 0}, {100, 200}, {0, 200}, {0, 0}), 100, 200, {75, 50}, {75, 150}, {25, 50}},
    };
    for (const auto& row : rows) {
        auto canvas = white_canvas(row.w, row.h);
        const StrokePtr image = Stroke::withImage(quarters, row.placement, 1);
        EXPECT_EQ(image->drawInCanvas(*canvas), make_rect(0, 0, float(row.w), float(row.h)));
        for (const auto& [at, c] : {std::pair{row.red, RED}, {row.green, GREEN}, {row.blue, BLUE}})
            EXPECT_EQ(canvas->previewBitmap().pixelAt(int(at.x), int(at.y)), c) << at.x << at.y;
    }
}

// Moves that keep circles round move the outline, and the reopened stroke rebuilds it from
// the samples; a stretch makes ellipses, which the reopened stroke must draw too.
TEST(Stroke, MovedPenStrokeDrawsTheSameAfterReopening)
{
    for (const AffineTransform& t : {AffineTransform::translation(30, -5),
                                     AffineTransform::rotation(1.1f), {0, 1.5f, 1.5f, 0, 4, 4},
                                     {1.5f, 0, 0, 0.7f, 0, 0}}) {
        const StrokePtr s = pen_stroke({{20, 30}, {30, 33}, {40, 34}, {50, 35}}, 5);
        ASSERT_TRUE(s->transformUsingAffineTransform(t));
        auto moved = white_canvas(120, 100, {20, 20}), reopened = white_canvas(120, 100, {20, 20});
        s->drawInCanvas(*moved);
        const StrokePtr copy = s->copyWithArchiver();
        ASSERT_TRUE(copy);
        copy->drawInCanvas(*reopened);
        EXPECT_LT(differing(moved->drawBitmap(), reopened->drawBitmap(), 25), 4) << t.a << t.b;
    }
}

// A line has no area: it is picked on its outline, at least `tolerance` wide.
TEST(Strokes, LinesArePickedOnTheirStrokedOutline)
{
    const struct { float width, tolerance; Point at; bool picked; } rows[] = {
        {1, 0, {50, 10}, true},      // on the line
        {1, 0, {50, 11}, false},     // beyond half its width
        {1, 4, {50, 11.5f}, true},   // within half the tolerance
        {1, 4, {50, 12.5f}, false},  // beyond it
        {10, 4, {50, 14.5f}, true},  // a wide line by its own width
        {10, 4, {50, 15.5f}, false},
        {1, 4, {101.5f, 10}, true},  // past its end, round
    };
    for (const auto& r : rows) {
        const Strokes list({line_stroke({0, 10}, {100, 10}, r.width)});
        EXPECT_EQ(list.pickStrokeAtPoint(r.at, r.tolerance) != nullptr, r.picked) << r.at.y;
    }
}

// Like strokes go through the stroke layer in one pass, exactly the pairs `combine` marks; the
// picture must be what drawing them one by one showed. A bad stroke after them is logged, skipped.
TEST(Strokes, BatchedRenderShowsWhatDrawingOneByOneShowed)
{
    const Rect r1 = make_rect(5, 5, 30, 30), r2 = make_rect(15, 10, 30, 25);
    const QColor red(200, 40, 40), blue(40, 40, 200);
    const auto fills = [&](int mode, const QColor& c2, float opacity1 = 1, float opacity2 = 1) {
        return std::pair{fill_stroke(r1, red, mode, opacity1), fill_stroke(r2, c2, mode, opacity2)};
    };
    const StrokePtr bad = Stroke::withPath(
        Path({{kMoveTo, {{0, 0}}}, {kLineTo, {{NAN, 3}}}, {kLineTo, {{40, 40}}}}), red, 0, 1);
    // clang-format off
    const struct { const char* name; std::pair<StrokePtr, StrokePtr> ab; bool combine; } rows[] = {
        {"normal, any colours", fills(kModeNormal, blue), true},
        {"erase", fills(kModeErase, blue), true},
        {"translucent, same opacity", fills(kModeNormal, red, 0.5f, 0.5f), false},
        {"first translucent", fills(kModeNormal, red, 0.5f, 1), false},
        {"second translucent", fills(kModeNormal, blue, 1, 0.7f), false},
        {"modes differ", {fill_stroke(r1, red), fill_stroke(r2, red, kModeErase)}, false},
        {"darker, same colour", fills(kModeDarker, red), true},
        {"darker, other colours", fills(kModeDarker, blue), false},
        {"lighter, same colour", fills(kModeLighter, red), true},
        {"lighter, other colours", fills(kModeLighter, blue), false},
        {"multiply", fills(kModeMultiply, red), false},
        {"shadow", fills(kModeShadow, red), false},
        {"highlight", fills(kModeHilight, red), false},
        {"colorize", fills(kModeColorize, red), false},
        {"fill under an image", {fill_stroke(r1, red), image_stroke(r2)}, false},
        {"image under a fill", {image_stroke(r1), fill_stroke(r2, red)}, false},
    };
    // clang-format on
    QStringList log;
    set_log_sink([&log](const QString& line) { log << line; });
    for (const auto& [name, ab, combine] : rows) {
        EXPECT_EQ(ab.first->canCombineStrokeWith(*ab.second), combine) << name;
        // Under them a grey ground, so that every mode has something to work on.
        const StrokeArray good{fill_stroke(make_rect(0, 0, 60, 40), QColor(128, 128, 128)),
                               ab.first, ab.second};
        auto batched = white_canvas(60, 40), one_by_one = white_canvas(60, 40);
        Strokes({good[0], good[1], good[2], bad}).drawInCanvas(*batched);
        for (const StrokePtr& s : good) s->drawInCanvas(*one_by_one);
        EXPECT_LE(differing(batched->drawBitmap(), one_by_one->drawBitmap(), 3), 2) << name;
        EXPECT_EQ(differing(batched->previewBitmap(), batched->drawBitmap()), 0) << name;
        EXPECT_EQ(differing(batched->strokeBitmap(), *Bitmap::create({60, 40})), 0) << name;
    }
    set_log_sink(nullptr);
    EXPECT_EQ(log, QStringList(int(std::size(rows)), "Bad stroke found in drawing -- ignoring."));
    // Printing as vectors has no transfer: only opaque normal strokes and images.
    EXPECT_TRUE(image_stroke(r1)->canVectorDraw() && fill_stroke(r1)->canVectorDraw());
    EXPECT_FALSE(fill_stroke(r1, red, kModeNormal, 0.99f)->canVectorDraw());
    EXPECT_FALSE(fill_stroke(r1, red, kModeMultiply)->canVectorDraw());
}

// The parallel render against the one-pass reference: random drawings of every kind of
// stroke, mode and opacity, rendered whole, in parts on several threads, and by moving the
// picture and rendering the strips uncovered, must give the same pixels.
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
