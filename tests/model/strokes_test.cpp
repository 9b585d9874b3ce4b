#include "archive.h"
#include "model_test_support.h"
#include "strokes.h"

#include <QCborArray>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace color_ns;

namespace {

// Five strokes A..E, bottom to top, in a list with an undo history.
struct Drawing {
    UndoManager undo;
    Strokes list;
    StrokePtr A = fill_stroke(0, 0, 10, 10, Qt::red);
    StrokePtr B = fill_stroke(5, 5, 10, 10, Qt::green);
    StrokePtr C = fill_stroke(10, 10, 10, 10, Qt::blue);
    StrokePtr D = fill_stroke(15, 15, 10, 10, Qt::yellow);
    StrokePtr E = fill_stroke(20, 20, 10, 10, Qt::cyan);

    Drawing()
    {
        list.setDocument(nullptr, &undo);
        for (const StrokePtr& s : {A, B, C, D, E}) list.addStroke(s);
        undo.removeAllActions();
    }

    std::string order() const
    {
        std::string out;
        for (const StrokePtr& s : list.strokeArray()) {
            const StrokePtr names[] = {A, B, C, D, E};
            char name = '?';
            for (int i = 0; i < 5; ++i)
                if (names[i] == s) name = char('A' + i);
            out += name;
        }
        return out;
    }

    // Runs one user action, checks the result, then that undo and redo restore exactly.
    template <typename Edit> void expect(Edit edit, const std::string& after)
    {
        const StrokeArray before = list.strokeArray();
        {
            UndoGroup group(undo);
            edit();
        }
        const StrokeArray done = list.strokeArray();
        EXPECT_EQ(order(), after);
        undo.undo();
        EXPECT_EQ(list.strokeArray(), before) << "undo of " << after;
        undo.redo();
        EXPECT_EQ(list.strokeArray(), done) << "redo of " << after;
        undo.undo();
    }
};

Rect render(const Strokes& list, PavoCanvas& canvas) { return list.drawInCanvas(canvas); }

// The picture drawn one stroke at a time, as it was while drawing.
void render_one_by_one(const Strokes& list, PavoCanvas& canvas)
{
    for (const StrokePtr& s : list.strokeArray()) s->drawInCanvas(canvas);
}

int pixels_differing(const Bitmap& a, const Bitmap& b, int tolerance)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += distance(a.pixelAt(x, y), b.pixelAt(x, y)) * 255 > float(tolerance);
    return n;
}

} // namespace

TEST(Strokes, ReorderingMatchesTheExamplesAndUndoesExactly)
{
    Drawing d;
    d.expect([&] { d.list.bringForward({d.B, d.D}); }, "ACEBD");
    d.expect([&] { d.list.bringToFront({d.D, d.B}); }, "ACEBD");
    d.expect([&] { d.list.sendBackward({d.B, d.D}); }, "BDACE");
    d.expect([&] { d.list.sendToBack({d.B, d.D}); }, "BDACE");
    d.expect([&] { d.list.bringForward({d.B}); }, "ACBDE");
    d.expect([&] { d.list.sendBackward({d.B}); }, "BACDE");
    d.expect([&] { d.list.sendBackward({d.D}); }, "ABDCE");
    d.expect([&] { d.list.bringForward({d.E}); }, "ABCDE");
    // Strokes not in the list are ignored.
    d.expect([&] { d.list.bringToFront({fill_stroke(0, 0, 1, 1, Qt::red)}); }, "ABCDE");
}

TEST(Strokes, EditsUndoAndRedoExactly)
{
    Drawing d;
    d.expect([&] { d.list.removeLastStroke(); }, "ABCD");
    d.expect([&] { d.list.removeStrokeAtIndex(1); }, "ACDE");
    d.expect([&] { d.list.insertStroke(d.list.strokeArray()[4], 0); }, "EABCDE");
    d.expect([&] { d.list.clear(); }, "");
    d.expect([&] { d.list.removeStrokesInArray({d.D, d.A}); }, "BCE");
    d.expect([&] { d.list.addStroke(d.C); }, "ABCDEC");

    // Out-of-range indices change nothing and leave nothing to undo.
    Drawing fresh;
    fresh.list.removeStrokeAtIndex(5);
    fresh.list.removeStrokeAtIndex(-1);
    fresh.list.insertStroke(fresh.A, 7);
    fresh.list.insertStroke(nullptr, 0);
    EXPECT_EQ(fresh.order(), "ABCDE");
    EXPECT_FALSE(fresh.undo.canUndo());
}

TEST(Strokes, MergeAndDuplicate)
{
    Drawing d;
    d.list.removeStrokesInArray({d.D, d.E});
    d.undo.removeAllActions();
    {
        UndoGroup group(d.undo);
        d.list.mergeStrokesInArray({d.C, d.A});
    }
    ASSERT_EQ(d.list.count(), 2);
    EXPECT_EQ(d.list.strokeArray()[0], d.B);
    const StrokePtr merged = d.list.lastStroke();
    EXPECT_EQ(merged->color(), QColor(Qt::blue));
    EXPECT_EQ(merged->path().elements().size(),
              d.C->path().elements().size() + d.A->path().elements().size());
    EXPECT_EQ(merged->bounds(), make_rect(0, 0, 20, 20));
    EXPECT_EQ(d.undo.undoActionName(), "Merge");
    d.undo.undo();
    EXPECT_EQ(d.order(), "ABC");

    // One stroke, or a list of one, merges nothing.
    d.list.mergeStrokesInArray({d.A});
    EXPECT_EQ(d.order(), "ABC");
    Strokes single(StrokeArray{d.A});
    single.mergeTopTwoStrokes();
    EXPECT_EQ(single.count(), 1);

    {
        UndoGroup group(d.undo);
        d.list.duplicateStrokesInArray({d.C, d.A});
    }
    ASSERT_EQ(d.list.count(), 5);
    // Copies keep the order of their originals and sit on top.
    EXPECT_EQ(d.list.strokeArray()[3]->color(), QColor(Qt::red));
    EXPECT_EQ(d.list.strokeArray()[4]->color(), QColor(Qt::blue));
    EXPECT_NE(d.list.strokeArray()[3], d.A);
    EXPECT_EQ(d.undo.undoActionName(), "Duplicate");
    d.undo.undo();
    EXPECT_EQ(d.order(), "ABC");
}

TEST(Strokes, ActionNames)
{
    Drawing d;
    const auto name_of = [&](auto edit) {
        {
            UndoGroup group(d.undo);
            edit();
        }
        const QString name = d.undo.undoActionName();
        d.undo.undo();
        return name.toStdString();
    };
    EXPECT_EQ(name_of([&] { d.list.addStroke(fill_stroke(0, 0, 1, 1, Qt::red)); }), "Stroke");
    EXPECT_EQ(name_of([&] { d.list.removeLastStroke(); }), "Delete Stroke");
    EXPECT_EQ(name_of([&] { d.list.insertStroke(d.A, 2); }), "Add Stroke");
    EXPECT_EQ(name_of([&] { d.list.clear(); }), "Clear");
    EXPECT_EQ(name_of([&] { d.list.removeStrokesInArray({d.B}); }), "Delete Stroke");
    EXPECT_EQ(name_of([&] { d.list.removeStrokesInArray({d.B, d.C}); }), "Delete Strokes");
    EXPECT_EQ(name_of([&] { d.list.mergeTopTwoStrokes(); }), "Merge");
    // Undoing and redoing keep the name the action was given.
    {
        UndoGroup group(d.undo);
        d.list.clear();
    }
    d.undo.undo();
    EXPECT_EQ(d.undo.redoActionName(), "Clear");
    d.undo.redo();
    EXPECT_EQ(d.undo.undoActionName(), "Clear");
}

TEST(Strokes, TransformsAreExactlyUndoableAndSingularOnesRefused)
{
    Drawing d;
    const Rect before = d.B->bounds();
    EXPECT_FALSE(d.list.transformStrokesInArray({d.B}, AffineTransform::scaling(0, 1)));
    EXPECT_FALSE(d.list.transformStrokesInArray({d.B}, {1, 0, 0, 1, NAN, 0}));
    EXPECT_FALSE(d.undo.canUndo());
    EXPECT_EQ(d.B->bounds(), before);

    {
        UndoGroup group(d.undo);
        ASSERT_TRUE(d.list.transformStrokesInArray({d.B, d.C}, AffineTransform::translation(7, -3)));
    }
    EXPECT_EQ(d.B->bounds().origin, (Point{12, 2}));
    d.undo.undo();
    EXPECT_EQ(d.B->bounds(), before);
    d.undo.redo();
    EXPECT_EQ(d.B->bounds().origin, (Point{12, 2}));
}

TEST(Strokes, Queries)
{
    Drawing d;
    EXPECT_EQ(d.list.bounds(), make_rect(0, 0, 30, 30));
    EXPECT_EQ(d.list.pickStrokeAtPoint({12, 12}), d.C); // B and C overlap there; C is above
    EXPECT_EQ(d.list.pickStrokeAtPoint({2, 2}), d.A);
    EXPECT_EQ(d.list.pickStrokeAtPoint({100, 100}), nullptr);
    EXPECT_EQ(d.list.strokesTouchingRect(make_rect(0, 0, 6, 6)), (StrokeArray{d.A, d.B}));
    EXPECT_EQ(d.list.strokesEnclosedByRect(make_rect(0, 0, 16, 16)), (StrokeArray{d.A, d.B}));
    EXPECT_EQ(d.list.sortedStrokesInArray({d.E, d.A}), (StrokeArray{d.A, d.E}));
    const StrokePtr outsider = fill_stroke(0, 0, 1, 1, Qt::red);
    EXPECT_EQ(d.list.activeStrokesInArray({d.E, outsider, d.A}), (StrokeArray{d.E, d.A}));
    EXPECT_EQ(d.list.strokesToIndexList({d.D, d.B, outsider}), (std::vector<int>{1, 3}));
    EXPECT_TRUE(d.list.canVectorDraw());
    d.list.addStroke(fill_stroke(0, 0, 1, 1, Qt::red, kModeMultiply));
    EXPECT_FALSE(d.list.canVectorDraw());
}

TEST(Strokes, BatchedRenderShowsWhatDrawingShowed)
{
    Strokes list;
    // Overlapping strokes in runs of every mode, some translucent.
    for (int mode = 0; mode < kTransferModeCount; ++mode)
        for (int i = 0; i < 3; ++i) {
            const float y = float(mode * 12 + i * 4);
            list.addStroke(pen_stroke({5, y + 5}, {90, y + 20}, 6,
                                      QColor::fromHsv((mode * 40 + i * 90) % 360, 200, 180 - 60 * i),
                                      mode, i == 2 ? 0.6f : 1.0f));
        }
    auto batched = white_canvas(100, 120);
    auto one_by_one = white_canvas(100, 120);
    render(list, *batched);
    render_one_by_one(list, *one_by_one);
    EXPECT_LE(pixels_differing(batched->drawBitmap(), one_by_one->drawBitmap(), 3), 5);
    EXPECT_EQ(pixels_differing(batched->previewBitmap(), batched->drawBitmap(), 0), 0);
    EXPECT_EQ(pixels_differing(batched->strokeBitmap(), *Bitmap::create({100, 120}), 0), 0);
}

TEST(Strokes, BadStrokeInABatchIsSkippedCleanly)
{
    std::vector<std::string> log;
    set_log_sink([&](const QString& line) { log.push_back(line.toStdString()); });
    const Path nan_path({{kMoveTo, {{0, 0}}}, {kLineTo, {{NAN, 3}}}, {kLineTo, {{40, 40}}}});
    Strokes with_bad({fill_stroke(10, 10, 30, 30, Qt::black, kModeMultiply),
                      fill_stroke(20, 20, 30, 30, Qt::red),
                      Stroke::withPath(nan_path, Qt::red, kModeNormal, 1),
                      fill_stroke(25, 5, 10, 50, QColor(0, 0, 255), kModeMultiply)});
    Strokes without({with_bad.strokeArray()[0], with_bad.strokeArray()[1], with_bad.strokeArray()[3]});
    auto a = white_canvas(64, 64);
    auto b = white_canvas(64, 64);
    render(with_bad, *a);
    render(without, *b);
    set_log_sink(nullptr);
    EXPECT_EQ(log, std::vector<std::string>{"Bad stroke found in drawing -- ignoring."});
    EXPECT_EQ(pixels_differing(a->drawBitmap(), b->drawBitmap(), 0), 0);
    EXPECT_EQ(pixels_differing(a->strokeBitmap(), *Bitmap::create({64, 64}), 0), 0);
}

TEST(Strokes, ReadingChecksEveryStroke)
{
    std::vector<std::string> log;
    set_log_sink([&](const QString& line) { log.push_back(line.toStdString()); });
    const StrokePtr good = fill_stroke(0, 0, 5, 5, Qt::red);
    const StrokePtr bad_opacity = fill_stroke(0, 0, 5, 5, Qt::red, kModeNormal, 3.0f);
    QCborArray array{good->encode(), bad_opacity->encode(), QCborValue(42), good->encode()};

    const auto from_array = Strokes::decode(array);
    ASSERT_TRUE(from_array);
    EXPECT_EQ(from_array->count(), 2);
    EXPECT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "Bad stroke found in save file -- ignoring.");

    const auto from_list = Strokes::decode(Strokes(StrokeArray{good, good}).encode());
    ASSERT_TRUE(from_list);
    EXPECT_EQ(from_list->count(), 2);
    EXPECT_FALSE(Strokes::decode(QCborValue(QStringLiteral("strokes"))));
    QCborMap mistyped = archive::object(QLatin1StringView("Strokes"));
    mistyped.insert(QLatin1StringView("strokes"), 7);
    EXPECT_FALSE(Strokes::decode(mistyped));
    set_log_sink(nullptr);
}
