// One stroke and the stroke list: bounds, moves, batching, bad strokes, picking, drawing.

#include "canvas.h"
#include "strokes.h"
#include "support/pictures.h"
#include "support/strokes.h"
#include <gtest/gtest.h>
#include <limits>

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
