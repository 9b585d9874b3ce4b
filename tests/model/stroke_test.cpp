#include "archive.h"
#include "context_wrapper.h"
#include "model_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace color_ns;

namespace {

QImage quadrants(int w, int h)
{
    QImage image(w, h, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            image.setPixelColor(x, y, bottom ? (right ? Qt::white : Qt::blue)
                                             : (right ? Qt::green : Qt::red));
        }
    return image;
}

Path placement(Point p0, Point p1, Point p2, Point p3)
{
    return Path({{kMoveTo, {p0}}, {kLineTo, {p1}}, {kLineTo, {p2}}, {kLineTo, {p3}}, {kClosePath, {}}});
}

StrokePtr round_trip(const Stroke& s)
{
    const auto bytes = archive::to_bytes(s.encode());
    const auto value = archive::from_bytes(bytes);
    return value ? Stroke::decode(*value) : nullptr;
}

} // namespace

TEST(Stroke, LineBoundsGrowByHalfTheLineWidthAndKeepItWhenScaled)
{
    Path path = rect_path(10, 10, 20, 20);
    path.setLineWidth(4);
    const StrokePtr line = Stroke::withLine(path, Qt::black, kModeNormal, 1);
    const StrokePtr fill = Stroke::withPath(path, Qt::black, kModeNormal, 1);
    EXPECT_EQ(line->bounds(), make_rect(8, 8, 24, 24));
    EXPECT_EQ(fill->bounds(), make_rect(10, 10, 20, 20));
    EXPECT_TRUE(line->drawAsStroke());
    EXPECT_FALSE(fill->drawAsStroke());

    ASSERT_TRUE(line->transformUsingAffineTransform(AffineTransform::scaling(2, 2)));
    EXPECT_EQ(line->lineWidth(), 4);
    EXPECT_EQ(line->bounds(), make_rect(18, 18, 44, 44));
    EXPECT_FALSE(line->transformUsingAffineTransform(AffineTransform::scaling(0, 2)));
    EXPECT_FALSE(line->transformUsingAffineTransform({1, 0, 0, 1, NAN, 0}));
    EXPECT_EQ(line->bounds(), make_rect(18, 18, 44, 44));
}

TEST(Stroke, CombiningKeepsThePictureTheSame)
{
    const auto make = [](int mode, const QColor& c, float opacity = 1) {
        return fill_stroke(0, 0, 5, 5, c, mode, opacity);
    };
    EXPECT_TRUE(make(kModeNormal, Qt::red)->canCombineStrokeWith(*make(kModeNormal, Qt::blue)));
    EXPECT_TRUE(make(kModeErase, Qt::red)->canCombineStrokeWith(*make(kModeErase, Qt::blue)));
    EXPECT_FALSE(make(kModeNormal, Qt::red, 0.5f)->canCombineStrokeWith(*make(kModeNormal, Qt::red)));
    EXPECT_FALSE(make(kModeNormal, Qt::red)->canCombineStrokeWith(*make(kModeNormal, Qt::red, 0.5f)));
    EXPECT_FALSE(make(kModeNormal, Qt::red)->canCombineStrokeWith(*make(kModeErase, Qt::red)));
    for (const int mode : {kModeLighter, kModeDarker}) {
        EXPECT_TRUE(make(mode, Qt::red)->canCombineStrokeWith(*make(mode, Qt::red)));
        EXPECT_FALSE(make(mode, Qt::red)->canCombineStrokeWith(*make(mode, Qt::blue)));
    }
    for (const int mode : {kModeMultiply, kModeShadow, kModeHilight, kModeColorize})
        EXPECT_FALSE(make(mode, Qt::red)->canCombineStrokeWith(*make(mode, Qt::red))) << mode;

    const StrokePtr image =
        Stroke::withImage(quadrants(4, 4), placement({0, 0}, {4, 0}, {4, 4}, {0, 4}), 1);
    EXPECT_FALSE(image->bad());
    EXPECT_TRUE(image->canVectorDraw());
    EXPECT_FALSE(image->canCombineStrokeWith(*image));
    EXPECT_FALSE(make(kModeNormal, Qt::red)->canCombineStrokeWith(*image));
    EXPECT_TRUE(make(kModeNormal, Qt::red)->canVectorDraw());
    EXPECT_FALSE(make(kModeNormal, Qt::red, 0.99f)->canVectorDraw());
    EXPECT_FALSE(make(kModeMultiply, Qt::red)->canVectorDraw());
}

TEST(Stroke, BadStrokesAreRecognised)
{
    EXPECT_FALSE(fill_stroke(0, 0, 5, 5, Qt::red)->bad());
    EXPECT_TRUE(fill_stroke(0, 0, 5, 5, QColor())->bad());          // no colour
    EXPECT_TRUE(fill_stroke(0, 0, 5, 5, Qt::red, 0, 1.5f)->bad());  // opacity out of range
    EXPECT_TRUE(fill_stroke(0, 0, 5, 5, Qt::red, 0, NAN)->bad());
    EXPECT_TRUE(Stroke::withPath(Path(), Qt::red, 0, 1)->bad());   // nothing to draw
    const Path nan_path({{kMoveTo, {{0, 0}}}, {kLineTo, {{NAN, 3}}}, {kLineTo, {{4, 4}}}});
    EXPECT_TRUE(Stroke::withPath(nan_path, Qt::red, 0, 1)->bad());
    // An image needs its picture and a four-corner placement.
    EXPECT_TRUE(Stroke::withImage(QImage(), placement({0, 0}, {4, 0}, {4, 4}, {0, 4}), 1)->bad());
    EXPECT_TRUE(Stroke::withImage(quadrants(4, 4), Path({{kMoveTo, {{0, 0}}}}), 1)->bad());
    // A pen stroke needs samples.
    EXPECT_FALSE(Stroke::withPenPoints(PenPoints(AffineTransform::identity(), 3), Qt::red, 0, 1));
}

TEST(Stroke, ImageIsPlacedUprightScaledAndCentred)
{
    auto canvas = white_canvas(200, 100);
    const StrokePtr image = Stroke::withImage(
        quadrants(100, 50), placement({0, 0}, {200, 0}, {200, 100}, {0, 100}), 1);
    const Rect r = image->drawInCanvas(*canvas);
    EXPECT_EQ(r, make_rect(0, 0, 200, 100));
    const Bitmap& preview = canvas->previewBitmap();
    EXPECT_EQ(preview.pixelAt(50, 25), RED);
    EXPECT_EQ(preview.pixelAt(150, 25), GREEN);
    EXPECT_EQ(preview.pixelAt(50, 75), BLUE);
    EXPECT_EQ(preview.pixelAt(150, 75), WHITE);

    // Turned a quarter: the first edge runs down the right side.
    auto turned = white_canvas(100, 200);
    Stroke::withImage(quadrants(100, 50), placement({100, 0}, {100, 200}, {0, 200}, {0, 0}), 1)
        ->drawInCanvas(*turned);
    EXPECT_EQ(turned->previewBitmap().pixelAt(75, 50), RED);
    EXPECT_EQ(turned->previewBitmap().pixelAt(75, 150), GREEN);
    EXPECT_EQ(turned->previewBitmap().pixelAt(25, 50), BLUE);
}

TEST(Stroke, DrawingLeavesTheStrokeLayerClean)
{
    auto canvas = white_canvas(60, 40);
    const StrokePtr s = pen_stroke({10, 20}, {50, 20}, 6, Qt::black);
    ASSERT_TRUE(s);
    const Rect r = s->drawInCanvas(*canvas);
    EXPECT_GT(r.size.width, 40);
    EXPECT_EQ(canvas->drawBitmap().pixelAt(45, 20), BLACK);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            ASSERT_EQ(canvas->strokeBitmap().pixelAt(x, y), TRANSPARENT);
            ASSERT_EQ(canvas->previewBitmap().pixelAt(x, y), canvas->drawBitmap().pixelAt(x, y));
        }
}

TEST(Stroke, MovedPenStrokeDrawsWhereItsPathIs)
{
    const auto differing = [](const PavoCanvas& a, const PavoCanvas& b) {
        int n = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 120; ++x)
                n += distance(a.drawBitmap().pixelAt(x, y), b.drawBitmap().pixelAt(x, y)) > 0.1f;
        return n;
    };
    const auto canvas = [] {
        auto c = white_canvas(120, 100);
        c->translate({20, 20});
        return c;
    };
    // Under a move that keeps circles round, the moved outline must draw what the samples
    // give when the stroke is rebuilt from them, as after saving and loading.
    for (const AffineTransform& t : {AffineTransform::translation(30, -5),
                                     AffineTransform::rotation(1.1f),
                                     AffineTransform{0, 1.5f, 1.5f, 0, 4, 4}}) {
        const StrokePtr s = pen_stroke({20, 30}, {50, 35}, 5, Qt::black);
        ASSERT_TRUE(s->transformUsingAffineTransform(t));
        auto moved = canvas(), rebuilt = canvas();
        s->drawInCanvas(*moved);
        s->copyWithArchiver()->drawInCanvas(*rebuilt);
        EXPECT_LT(differing(*moved, *rebuilt), 4) << "transform " << t.a << " " << t.b;
    }
    // A stretch turns circles into ellipses: the stroke then draws its transformed path.
    const StrokePtr s = pen_stroke({20, 30}, {50, 35}, 5, Qt::black);
    ASSERT_TRUE(s->transformUsingAffineTransform({1.5f, 0, 0, 0.7f, 0, 0}));
    auto stretched = canvas(), as_path = canvas();
    s->drawInCanvas(*stretched);
    Stroke::withPath(s->path(), Qt::black, kModeNormal, 1)->drawInCanvas(*as_path);
    EXPECT_EQ(differing(*stretched, *as_path), 0);
}

TEST(Stroke, AllFourKindsSurviveTheArchive)
{
    const StrokePtr pen = pen_stroke({1, 2}, {30, 12}, 4, QColor(10, 20, 30, 200), kModeDarker, 0.75f);
    Path line_path = rect_path(0, 0, 10, 5, kEvenOdd);
    line_path.setLineWidth(1.0f);
    const StrokePtr line = Stroke::withLine(line_path, Qt::green, kModeShadow, 1);
    const StrokePtr fill = Stroke::withPath(rect_path(3, 4, 5, 6, kEvenOdd), Qt::blue, kModeErase, 0.5f);
    const StrokePtr image =
        Stroke::withImage(quadrants(8, 6), placement({0, 0}, {8, 0}, {8, 6}, {0, 6}), 0.25f);

    for (const StrokePtr& s : {pen, line, fill, image}) {
        const StrokePtr back = round_trip(*s);
        ASSERT_TRUE(back);
        EXPECT_FALSE(back->bad());
        EXPECT_EQ(back->transferMode(), s->transferMode());
        EXPECT_EQ(back->opacity(), s->opacity());
        EXPECT_EQ(back->drawAsStroke(), s->drawAsStroke());
        EXPECT_EQ(back->lineWidth(), s->lineWidth());
        EXPECT_EQ(back->windingRule(), s->windingRule());
        EXPECT_EQ(back->bounds(), s->bounds());
        EXPECT_EQ(back->isImage(), s->isImage());
        if (!s->isImage()) {
            EXPECT_EQ(back->color().rgba(), s->color().rgba());
        }
    }
    EXPECT_TRUE(round_trip(*line)->drawAsStroke()); // a width of 1 still marks a line
    EXPECT_EQ(round_trip(*image)->image().pixelColor(7, 5), QColor(Qt::white));
    ASSERT_TRUE(round_trip(*pen)->penPoints());
    EXPECT_EQ(round_trip(*pen)->penPoints()->count(), pen->penPoints()->count());

    // The copy is a different object with the same drawing.
    const StrokePtr copy = fill->copyWithArchiver();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, fill);
    EXPECT_EQ(copy->path().elements().size(), fill->path().elements().size());
}

TEST(Stroke, DecodingStopsWhenTheDrawingBudgetIsSpent)
{
    const StrokePtr pen = pen_stroke({1, 2}, {300, 12}, 4, Qt::black);
    const QCborValue archived = pen->encode();
    DecodeBudget budget;
    budget.bytes_left = 2 * std::size_t(pen->penPoints()->encode()->size());
    EXPECT_TRUE(Stroke::decode(archived, &budget));
    EXPECT_TRUE(Stroke::decode(archived, &budget));
    EXPECT_FALSE(budget.exhausted);
    EXPECT_FALSE(Stroke::decode(archived, &budget));
    EXPECT_TRUE(budget.exhausted);
    // Once spent, nothing more is read, however small.
    EXPECT_FALSE(Stroke::decode(fill_stroke(0, 0, 1, 1, Qt::red)->encode(), &budget));
}
