// The stroke list's queries and its batched rendering.

#include "model_test_support.h"
#include "archive.h"
#include "strokes.h"
#include "support/strokes.h"

#include <QCborArray>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int pixels_differing(const Bitmap& a, const Bitmap& b, int tolerance)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += color_ns::distance(a.pixelAt(x, y), b.pixelAt(x, y)) * 255 > float(tolerance);
    return n;
}

} // namespace

TEST(Strokes, Queries)
{
    const StrokePtr low = fill_stroke(make_rect(0, 0, 20, 20));
    const StrokePtr high = fill_stroke(make_rect(10, 10, 20, 20));
    const StrokePtr far = fill_stroke(make_rect(50, 50, 5, 5));
    const StrokePtr absent = fill_stroke(make_rect(0, 0, 1, 1));
    const Strokes list({low, high, far});
    EXPECT_EQ(list.pickStrokeAtPoint({15, 15}), high);
    EXPECT_EQ(list.pickStrokeAtPoint({5, 5}), low);
    EXPECT_EQ(list.pickStrokeAtPoint({40, 40}), nullptr);
    EXPECT_EQ(list.strokesTouchingRect(make_rect(18, 18, 4, 4)), (StrokeArray{low, high}));
    EXPECT_EQ(list.strokesEnclosedByRect(make_rect(-1, -1, 25, 25)), (StrokeArray{low}));
    EXPECT_EQ(list.sortedStrokesInArray({far, absent, low}), (StrokeArray{low, far}));
    EXPECT_EQ(list.activeStrokesInArray({far, absent, low}), (StrokeArray{far, low}));
    EXPECT_EQ(list.strokesToIndexList({far, low, far}), (std::vector<int>{0, 2}));
    EXPECT_EQ(list.bounds(), make_rect(0, 0, 55, 55));
}

// A line has no area: it is picked on its outline, at least `tolerance` wide.
TEST(Strokes, LinesArePickedOnTheirStrokedOutline)
{
    struct Row {
        float width;
        float tolerance;
        Point at;
        bool picked;
    };
    const Row rows[] = {
        {1, 0, {50, 10}, true},      // on the line
        {1, 0, {50, 11}, false},     // beyond half its width
        {1, 4, {50, 11.5f}, true},   // within half the tolerance
        {1, 4, {50, 12.5f}, false},  // beyond it
        {10, 4, {50, 14.5f}, true},  // a wide line by its own width
        {10, 4, {50, 15.5f}, false},
        {1, 4, {101.5f, 10}, true},  // past its end, round
        {1, 4, {30, 30}, false},
    };
    for (const Row& r : rows) {
        const Strokes list({line_stroke({0, 10}, {100, 10}, r.width)});
        EXPECT_EQ(list.pickStrokeAtPoint(r.at, r.tolerance) != nullptr, r.picked)
            << "width " << r.width << " tolerance " << r.tolerance << " at " << r.at.x << "," << r.at.y;
    }
}

// Like strokes are transferred through the stroke layer in one pass; the picture must be
// what drawing them one at a time showed.
TEST(Strokes, BatchedRenderShowsWhatDrawingOneByOneShowed)
{
    struct Row {
        const char* name;
        int mode;
        float opacity1, opacity2;
        QColor color1, color2;
    };
    const Row rows[] = {
        {"opaque normal", kModeNormal, 1, 1, Qt::red, Qt::blue},
        {"translucent, same opacity", kModeNormal, 0.5f, 0.5f, Qt::red, Qt::red},
        {"translucent, different opacity", kModeNormal, 0.5f, 0.7f, Qt::red, Qt::blue},
        {"darker, different colours", kModeDarker, 1, 1, QColor(200, 40, 40), QColor(40, 40, 200)},
        {"lighter, same colour", kModeLighter, 1, 1, QColor(90, 200, 90), QColor(90, 200, 90)},
        {"multiply", kModeMultiply, 1, 1, QColor(200, 100, 50), QColor(50, 100, 200)},
        {"erase", kModeErase, 1, 1, Qt::black, Qt::black},
    };
    for (const Row& r : rows) {
        // Under them a grey ground, so that every mode has something to work on.
        const Strokes list({fill_stroke(make_rect(0, 0, 60, 40), QColor(128, 128, 128)),
                            fill_stroke(make_rect(5, 5, 30, 30), r.color1, r.mode, r.opacity1),
                            fill_stroke(make_rect(15, 10, 30, 25), r.color2, r.mode, r.opacity2)});
        auto batched = white_canvas(60, 40);
        auto one_by_one = white_canvas(60, 40);
        list.drawInCanvas(*batched);
        for (const StrokePtr& s : list.strokeArray()) s->drawInCanvas(*one_by_one);
        EXPECT_LE(pixels_differing(batched->drawBitmap(), one_by_one->drawBitmap(), 3), 2) << r.name;
        EXPECT_EQ(pixels_differing(batched->previewBitmap(), batched->drawBitmap(), 0), 0) << r.name;
        EXPECT_EQ(pixels_differing(batched->strokeBitmap(), *Bitmap::create({60, 40}), 0), 0) << r.name;
    }
}

TEST(Strokes, BadStrokeInABatchIsSkippedCleanly)
{
    std::vector<std::string> log;
    set_log_sink([&](const QString& line) { log.push_back(line.toStdString()); });
    const Path nan_path({{kMoveTo, {{0, 0}}}, {kLineTo, {{NAN, 3}}}, {kLineTo, {{40, 40}}}});
    Strokes with_bad({fill_stroke(make_rect(10, 10, 30, 30), Qt::black, kModeMultiply),
                      fill_stroke(make_rect(20, 20, 30, 30), Qt::red),
                      Stroke::withPath(nan_path, Qt::red, kModeNormal, 1),
                      fill_stroke(make_rect(25, 5, 10, 50), QColor(0, 0, 255), kModeMultiply)});
    Strokes without({with_bad.strokeArray()[0], with_bad.strokeArray()[1], with_bad.strokeArray()[3]});
    auto a = white_canvas(64, 64);
    auto b = white_canvas(64, 64);
    with_bad.drawInCanvas(*a);
    without.drawInCanvas(*b);
    set_log_sink(nullptr);
    EXPECT_EQ(log, std::vector<std::string>{"Bad stroke found in drawing -- ignoring."});
    EXPECT_EQ(pixels_differing(a->drawBitmap(), b->drawBitmap(), 0), 0);
    EXPECT_EQ(pixels_differing(a->strokeBitmap(), *Bitmap::create({64, 64}), 0), 0);
}

TEST(Strokes, ReadingChecksEveryStroke)
{
    std::vector<std::string> log;
    set_log_sink([&](const QString& line) { log.push_back(line.toStdString()); });
    const StrokePtr good = fill_stroke(make_rect(0, 0, 5, 5), Qt::red);
    const StrokePtr bad_opacity = fill_stroke(make_rect(0, 0, 5, 5), Qt::red, kModeNormal, 3.0f);
    const auto from_array = Strokes::decode(QCborArray{good->encode(), bad_opacity->encode(), QCborValue(42), good->encode()});
    ASSERT_TRUE(from_array);
    EXPECT_EQ(from_array->count(), 2);
    EXPECT_EQ(log, std::vector<std::string>(2, "Bad stroke found in save file -- ignoring."));
    const auto from_list = Strokes::decode(Strokes(StrokeArray{good, good}).encode());
    ASSERT_TRUE(from_list);
    EXPECT_EQ(from_list->count(), 2);
    EXPECT_FALSE(Strokes::decode(QCborValue(QStringLiteral("strokes"))));
    QCborMap mistyped = archive::object(QLatin1StringView("Strokes"));
    mistyped.insert(QLatin1StringView("strokes"), 7);
    EXPECT_FALSE(Strokes::decode(mistyped));
    set_log_sink(nullptr);
}
