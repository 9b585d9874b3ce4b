#include "model_test_support.h"

#include <gtest/gtest.h>

#include <limits>

using namespace color_ns;

namespace {

// Red, green, blue and white quarters: how the corners of an upright picture are told apart.
QImage quadrants(int w, int h)
{
    QImage image(w, h, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixelColor(x, y, y < h / 2 ? (x < w / 2 ? Qt::red : Qt::green)
                                                : (x < w / 2 ? Qt::blue : Qt::white));
    return image;
}

Path quad(Point p0, Point p1, Point p2, Point p3)
{
    return Path(
        {{kMoveTo, {p0}}, {kLineTo, {p1}}, {kLineTo, {p2}}, {kLineTo, {p3}}, {kClosePath, {}}});
}

} // namespace

TEST(Stroke, LineBoundsGrowByHalfTheWidthAndMovesStayWithinWhatAFileHolds)
{
    Path path = rect_path(10, 10, 20, 20);
    path.setLineWidth(4);
    const StrokePtr line = Stroke::withLine(path, Qt::black, kModeNormal, 1);
    EXPECT_EQ(line->bounds(), make_rect(8, 8, 24, 24));
    EXPECT_EQ(Stroke::withPath(path, Qt::black, 0, 1)->bounds(), make_rect(10, 10, 20, 20));
    ASSERT_TRUE(line->transformUsingAffineTransform(AffineTransform::scaling(2, 2)));
    EXPECT_EQ(line->bounds(), make_rect(18, 18, 44, 44));
    // Refused, leaving the stroke as it was: unusable transforms, and moves that would carry
    // a point beyond the finite floats a file holds.
    const float big = std::numeric_limits<float>::max() / 8;
    for (const AffineTransform& t :
         {AffineTransform::scaling(0, 2), AffineTransform{1, 0, 0, 1, NAN, 0},
          AffineTransform::scaling(big, 1), AffineTransform::translation(0, 8 * big)})
        EXPECT_FALSE(line->transformUsingAffineTransform(t)) << t.a << " " << t.ty;
    EXPECT_EQ(line->bounds(), make_rect(18, 18, 44, 44));
    // A large move that stays finite is taken, and the stroke still saves and reopens.
    ASSERT_TRUE(line->transformUsingAffineTransform(AffineTransform::scaling(big / 64, 1)));
    const StrokePtr back = line->copyWithArchiver();
    ASSERT_TRUE(back && !back->bad());
    EXPECT_EQ(back->bounds(), line->bounds());
}

// Batching two strokes through one pass of the stroke layer must give the picture that
// drawing them one after the other gives.
TEST(Stroke, CombiningOnlyWhatKeepsThePicture)
{
    const StrokePtr image =
        Stroke::withImage(quadrants(4, 4), quad({0, 0}, {4, 0}, {4, 4}, {0, 4}), 1);
    const auto fill = [](int mode, const QColor& c, float opacity = 1) {
        return fill_stroke(0, 0, 5, 5, c, mode, opacity);
    };
    const struct { const char* name; StrokePtr a, b; bool combine; } rows[] = {
        {"normal, any colours", fill(kModeNormal, Qt::red), fill(kModeNormal, Qt::blue), true},
        {"erase", fill(kModeErase, Qt::red), fill(kModeErase, Qt::blue), true},
        {"first translucent", fill(kModeNormal, Qt::red, 0.5f), fill(kModeNormal, Qt::red), false},
        {"second translucent", fill(kModeNormal, Qt::red), fill(kModeNormal, Qt::red, 0.5f), false},
        {"same opacity", fill(kModeNormal, Qt::red, .5f), fill(kModeNormal, Qt::red, .5f), false},
        {"modes differ", fill(kModeNormal, Qt::red), fill(kModeErase, Qt::red), false},
        {"darker, same colour", fill(kModeDarker, Qt::red), fill(kModeDarker, Qt::red), true},
        {"darker, other colour", fill(kModeDarker, Qt::red), fill(kModeDarker, Qt::blue), false},
        {"lighter, same colour", fill(kModeLighter, Qt::red), fill(kModeLighter, Qt::red), true},
        {"lighter, other colour", fill(kModeLighter, Qt::red), fill(kModeLighter, Qt::blue), false},
        {"multiply", fill(kModeMultiply, Qt::red), fill(kModeMultiply, Qt::red), false},
        {"shadow", fill(kModeShadow, Qt::red), fill(kModeShadow, Qt::red), false},
        {"highlight", fill(kModeHilight, Qt::red), fill(kModeHilight, Qt::red), false},
        {"colorize", fill(kModeColorize, Qt::red), fill(kModeColorize, Qt::red), false},
        {"image", image, image, false},
        {"fill under an image", fill(kModeNormal, Qt::red), image, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.a->canCombineStrokeWith(*row.b), row.combine) << row.name;
    // Printing as vectors has no transfer: only opaque normal strokes and images.
    EXPECT_TRUE(image->canVectorDraw() && fill(kModeNormal, Qt::red)->canVectorDraw());
    EXPECT_FALSE(fill(kModeNormal, Qt::red, 0.99f)->canVectorDraw() ||
                 fill(kModeMultiply, Qt::red)->canVectorDraw());
}

// What scripts and pasting can build but a file cannot carry; a file's damage is refused
// when it is read.
TEST(Stroke, BadStrokesAreRecognised)
{
    Path wide = rect_path(0, 0, 5, 5);
    wide.setLineWidth(INFINITY);
    const Path square = quad({0, 0}, {4, 0}, {4, 4}, {0, 4});
    const struct { const char* name; StrokePtr stroke; bool bad; } rows[] = {
        {"a plain fill", fill_stroke(0, 0, 5, 5, Qt::red), false},
        {"no colour", fill_stroke(0, 0, 5, 5, QColor()), true},
        {"opacity NaN", fill_stroke(0, 0, 5, 5, Qt::red, 0, NAN), true},
        {"nothing to draw", Stroke::withPath(Path(), Qt::red, 0, 1), true},
        {"a line of infinite width", Stroke::withLine(wide, Qt::red, 0, 1), true},
        {"an image", Stroke::withImage(quadrants(4, 4), square, 1), false},
        {"an image without picture", Stroke::withImage(QImage(), square, 1), true},
    };
    for (const auto& row : rows) EXPECT_EQ(row.stroke->bad(), row.bad) << row.name;
    EXPECT_FALSE(Stroke::withPenPoints(PenPoints({}, 3), Qt::red, 0, 1));
}

TEST(Stroke, ImageIsPlacedUprightScaledAndCentred)
{
    const struct { Path placement; int w, h; Point red, green, blue; } rows[] = {
        {quad({0, 0}, {200, 0}, {200, 100}, {0, 100}), 200, 100, {50, 25}, {150, 25}, {50, 75}},
        // Turned a quarter: the first edge runs down the right side.
        {quad({100, 0}, {100, 200}, {0, 200}, {0, 0}), 100, 200, {75, 50}, {75, 150}, {25, 50}},
    };
    for (const auto& row : rows) {
        auto canvas = white_canvas(row.w, row.h);
        const StrokePtr image = Stroke::withImage(quadrants(100, 50), row.placement, 1);
        EXPECT_EQ(image->drawInCanvas(*canvas), make_rect(0, 0, float(row.w), float(row.h)));
        const Bitmap& preview = canvas->previewBitmap();
        for (const auto& [at, c] : {std::pair{row.red, RED}, {row.green, GREEN}, {row.blue, BLUE}})
            EXPECT_EQ(preview.pixelAt(int(at.x), int(at.y)), c) << at.x << "," << at.y;
    }
}

// Moves that keep circles round move the outline, and the reopened stroke rebuilds it from
// the samples; a stretch makes ellipses, drawn from the transformed path, and the reopened
// stroke must draw those too.
TEST(Stroke, MovedPenStrokeDrawsTheSameAfterReopening)
{
    for (const AffineTransform& t :
         {AffineTransform::translation(30, -5), AffineTransform::rotation(1.1f),
          AffineTransform{0, 1.5f, 1.5f, 0, 4, 4}, AffineTransform{1.5f, 0, 0, 0.7f, 0, 0}}) {
        const StrokePtr s = pen_stroke({20, 30}, {50, 35}, 5, Qt::black);
        ASSERT_TRUE(s->transformUsingAffineTransform(t));
        auto moved = white_canvas(120, 100), reopened = white_canvas(120, 100);
        moved->translate({20, 20});
        reopened->translate({20, 20});
        s->drawInCanvas(*moved);
        s->copyWithArchiver()->drawInCanvas(*reopened);
        int differing = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 120; ++x)
                differing += distance(moved->drawBitmap().pixelAt(x, y),
                                      reopened->drawBitmap().pixelAt(x, y)) > 0.1f;
        EXPECT_LT(differing, 4) << "transform " << t.a << " " << t.b;
    }
}
