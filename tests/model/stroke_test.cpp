#include "context_wrapper.h"
#include "model_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace color_ns;

namespace {

QImage quadrants(int w, int h)
{
    QImage image(w, h, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            image.setPixelColor(
                x, y, bottom ? (right ? Qt::white : Qt::blue) : (right ? Qt::green : Qt::red));
        }
    return image;
}

Path placement(Point p0, Point p1, Point p2, Point p3)
{
    return Path(
        {{kMoveTo, {p0}}, {kLineTo, {p1}}, {kLineTo, {p2}}, {kLineTo, {p3}}, {kClosePath, {}}});
}

int differing(const PavoCanvas& a, const PavoCanvas& b)
{
    int n = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 120; ++x)
            n += distance(a.drawBitmap().pixelAt(x, y), b.drawBitmap().pixelAt(x, y)) > 0.1f;
    return n;
}

} // namespace

TEST(Stroke, LineBoundsGrowByHalfTheWidthAndMovesStayWithinWhatAFileHolds)
{
    Path path = rect_path(10, 10, 20, 20);
    path.setLineWidth(4);
    const StrokePtr line = Stroke::withLine(path, Qt::black, kModeNormal, 1);
    EXPECT_EQ(line->bounds(), make_rect(8, 8, 24, 24));
    EXPECT_EQ(Stroke::withPath(path, Qt::black, kModeNormal, 1)->bounds(),
              make_rect(10, 10, 20, 20));
    ASSERT_TRUE(line->transformUsingAffineTransform(AffineTransform::scaling(2, 2)));
    EXPECT_EQ(line->lineWidth(), 4);
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
        Stroke::withImage(quadrants(4, 4), placement({0, 0}, {4, 0}, {4, 4}, {0, 4}), 1);
    const auto fill = [](int mode, const QColor& c, float opacity = 1) {
        return fill_stroke(0, 0, 5, 5, c, mode, opacity);
    };
    const struct {
        const char* name;
        StrokePtr a, b;
        bool combine;
    } rows[] = {
        {"normal, any colours", fill(kModeNormal, Qt::red), fill(kModeNormal, Qt::blue), true},
        {"erase", fill(kModeErase, Qt::red), fill(kModeErase, Qt::blue), true},
        {"first translucent", fill(kModeNormal, Qt::red, 0.5f), fill(kModeNormal, Qt::red), false},
        {"second translucent", fill(kModeNormal, Qt::red), fill(kModeNormal, Qt::red, 0.5f), false},
        {"both of the same opacity", fill(kModeNormal, Qt::red, 0.5f),
         fill(kModeNormal, Qt::red, 0.5f), false},
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

TEST(Stroke, BadStrokesAreRecognised)
{
    const Path nan_path({{kMoveTo, {{0, 0}}}, {kLineTo, {{NAN, 3}}}, {kLineTo, {{4, 4}}}});
    Path wide = rect_path(0, 0, 5, 5);
    const Path square = placement({0, 0}, {4, 0}, {4, 4}, {0, 4});
    const struct {
        const char* name;
        StrokePtr stroke;
        bool bad;
    } rows[] = {
        {"a plain fill", fill_stroke(0, 0, 5, 5, Qt::red), false},
        {"no colour", fill_stroke(0, 0, 5, 5, QColor()), true},
        {"opacity over one", fill_stroke(0, 0, 5, 5, Qt::red, 0, 1.5f), true},
        {"opacity NaN", fill_stroke(0, 0, 5, 5, Qt::red, 0, NAN), true},
        {"nothing to draw", Stroke::withPath(Path(), Qt::red, 0, 1), true},
        {"a NaN point", Stroke::withPath(nan_path, Qt::red, 0, 1), true},
        {"a line of infinite width",
         [&] {
             wide.setLineWidth(INFINITY);
             return Stroke::withLine(wide, Qt::red, 0, 1);
         }(),
         true},
        {"a line of negative width",
         [&] {
             wide.setLineWidth(-1);
             return Stroke::withLine(wide, Qt::red, 0, 1);
         }(),
         true},
        {"an image", Stroke::withImage(quadrants(4, 4), square, 1), false},
        {"an image without picture", Stroke::withImage(QImage(), square, 1), true},
        {"an image without placement",
         Stroke::withImage(quadrants(4, 4), Path({{kMoveTo, {{0, 0}}}}), 1), true},
    };
    for (const auto& row : rows) EXPECT_EQ(row.stroke->bad(), row.bad) << row.name;
    EXPECT_FALSE(Stroke::withPenPoints(PenPoints(AffineTransform::identity(), 3), Qt::red, 0, 1));
}

TEST(Stroke, ImageIsPlacedUprightScaledAndCentred)
{
    const struct {
        Path placement;
        int w, h;
        Point red, green, blue;
    } rows[] = {
        {placement({0, 0}, {200, 0}, {200, 100}, {0, 100}),
         200,
         100,
         {50, 25},
         {150, 25},
         {50, 75}},
        // Turned a quarter: the first edge runs down the right side.
        {placement({100, 0}, {100, 200}, {0, 200}, {0, 0}),
         100,
         200,
         {75, 50},
         {75, 150},
         {25, 50}},
    };
    for (const auto& row : rows) {
        auto canvas = white_canvas(row.w, row.h);
        const Rect r =
            Stroke::withImage(quadrants(100, 50), row.placement, 1)->drawInCanvas(*canvas);
        EXPECT_EQ(r, make_rect(0, 0, float(row.w), float(row.h)));
        const Bitmap& preview = canvas->previewBitmap();
        EXPECT_EQ(preview.pixelAt(int(row.red.x), int(row.red.y)), RED);
        EXPECT_EQ(preview.pixelAt(int(row.green.x), int(row.green.y)), GREEN);
        EXPECT_EQ(preview.pixelAt(int(row.blue.x), int(row.blue.y)), BLUE);
    }
}

TEST(Stroke, DrawingLeavesTheStrokeLayerClean)
{
    auto canvas = white_canvas(60, 40);
    pen_stroke({10, 20}, {50, 20}, 6, Qt::black)->drawInCanvas(*canvas);
    EXPECT_EQ(canvas->drawBitmap().pixelAt(45, 20), BLACK);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            ASSERT_EQ(canvas->strokeBitmap().pixelAt(x, y), TRANSPARENT);
            ASSERT_EQ(canvas->previewBitmap().pixelAt(x, y), canvas->drawBitmap().pixelAt(x, y));
        }
}

TEST(Stroke, MovedPenStrokeDrawsTheSameAfterReopening)
{
    const auto canvas = [] {
        auto c = white_canvas(120, 100);
        c->translate({20, 20});
        return c;
    };
    // Moves that keep circles round move the outline, and the reopened stroke rebuilds it
    // from the samples; a stretch makes ellipses, drawn from the transformed path, and the
    // reopened stroke must draw those too.
    for (const AffineTransform& t :
         {AffineTransform::translation(30, -5), AffineTransform::rotation(1.1f),
          AffineTransform{0, 1.5f, 1.5f, 0, 4, 4}, AffineTransform{1.5f, 0, 0, 0.7f, 0, 0}}) {
        const StrokePtr s = pen_stroke({20, 30}, {50, 35}, 5, Qt::black);
        ASSERT_TRUE(s->transformUsingAffineTransform(t));
        auto moved = canvas(), reopened = canvas();
        s->drawInCanvas(*moved);
        s->copyWithArchiver()->drawInCanvas(*reopened);
        EXPECT_LT(differing(*moved, *reopened), 4) << "transform " << t.a << " " << t.b;
    }
}
