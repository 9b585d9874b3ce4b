// Strokes and pictures coming in: copy, cut, paste and duplicate through the clipboard a
// replay keeps in memory, and pictures and drawings placed, checked in the pictures and
// files the replays leave; then what a hostile clipboard or a file that cannot fit is.

#include "document_file.h"
#include "drawing.h"
#include "replay.h"
#include "stroke_clipboard.h"
#include "support/strokes.h"

#include <QBuffer>

#include <tuple>

namespace {

constexpr QRgb kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff;

class Exchange : public ReplayTest {
protected:
    // A drawing saved with a 400 x 300 view under the transformation.
    void saveDrawing(const QString& name, const AffineTransform& view,
                     const StrokeArray& strokes = {})
    {
        Drawing drawing;
        for (const StrokePtr& s : strokes) drawing.addStroke(s);
        ASSERT_TRUE(drawing.save(path(name), QStringLiteral("0 0 400 300"), view));
    }
    StrokeArray saved(const QString& name) const
    {
        const Result<DocumentData> data = loadDocument(path(name));
        return data ? data->strokes->strokeArray() : StrokeArray{};
    }
    void savePicture(const QString& name, QSize size, QRgb colour)
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(path(name)));
    }
};

void expect_rect(const Rect& got, const Rect& want, const char* why)
{
    const auto near = [](float a, float b) { return std::abs(a - b) < 0.01f; };
    EXPECT_TRUE(near(got.origin.x, want.origin.x) && near(got.origin.y, want.origin.y) &&
                near(got.size.width, want.size.width) && near(got.size.height, want.size.height))
        << why << ": " << got.origin.x << "," << got.origin.y << " " << got.size.width << "x"
        << got.size.height;
}

// Copied at zoom 2 and pasted at zoom 1: the same size on the screen, in the middle of the
// view, so twice the size in the drawing.
TEST_F(Exchange, CopyAtZoomTwoPastesAtTheSameScreenSizeInTheMiddle)
{
    saveDrawing("zoom2.pavo", AffineTransform::scaling(2, 2));
    saveDrawing("zoom1.pavo", AffineTransform::identity());
    const QString script = "open @zoom2.pavo\n" + box("ff0000", {20, 20}, {100, 60}) +
                           "save @copied.pavo\naction copy:\nopen @zoom1.pavo\naction paste:\n"
                           "save @pasted.pavo\nexport @pasted.png\n";
    ASSERT_EQ(replay(script).status, kReplayOk);
    const Rect copied = saved("copied.pavo").at(0)->bounds();
    const Rect pasted = saved("pasted.pavo").at(0)->bounds();
    const Size twice{copied.size.width * 2, copied.size.height * 2};
    expect_rect(pasted, {{200 - twice.width / 2, 150 - twice.height / 2}, twice}, "twice, centred");
    expectPixels({{"pasted.png", 162, 132, kRed}, {"pasted.png", 238, 168, kRed},
                  {"pasted.png", 157, 150, 0}, {"pasted.png", 243, 150, 0},
                  {"pasted.png", 200, 127, 0}, {"pasted.png", 200, 173, 0}});
}

// With the arrow tool only the selection is duplicated, 20 view pixels (10 world units at
// zoom 2) right and down, and one undo takes the copy away.
TEST_F(Exchange, DuplicateAtZoomTwoMovesTenWorldUnitsAndUndoesInOneStep)
{
    saveDrawing("zoom2.pavo", AffineTransform::scaling(2, 2));
    const QString script = "open @zoom2.pavo\n" + box("ff0000", {20, 20}, {100, 60}) +
                           box("00ff00", {200, 20}, {260, 60}) + "action arrowTool:\n" +
                           click({50, 40}) + "action duplicate:\nsave @dup.pavo\n" +
                           "action undo:\nsave @undone.pavo\n";
    ASSERT_EQ(replay(script).status, kReplayOk);
    const StrokeArray dup = saved("dup.pavo");
    ASSERT_EQ(dup.size(), 3u);
    const Rect original = dup[0]->bounds();
    expect_rect(dup[2]->bounds(), {original.origin + Point{10, 10}, original.size}, "the copy");
    EXPECT_EQ(saved("undone.pavo").size(), 2u);
}

// A picture larger than the view less a 10-pixel margin is scaled to fit; a small one keeps
// its size. Both are centred, and undo takes the place back.
TEST_F(Exchange, PicturesArePlacedFittedAndCentred)
{
    savePicture("big.png", {1000, 500}, kBlue);
    savePicture("small.png", {100, 50}, kGreen);
    const QString script = "size 420 420\nplace @big.png\nexport @big.png.out.png\naction undo:\n"
                           "place @small.png\nexport @small.png.out.png\n";
    ASSERT_EQ(replay(script).status, kReplayOk);
    // clang-format off
    expectPixels({{"big.png.out.png", 12, 112, kBlue}, {"big.png.out.png", 408, 308, kBlue},
                  {"big.png.out.png", 8, 210, 0}, {"big.png.out.png", 412, 210, 0},
                  {"big.png.out.png", 210, 108, 0}, {"big.png.out.png", 210, 312, 0},
                  {"small.png.out.png", 162, 187, kGreen}, {"small.png.out.png", 258, 233, kGreen},
                  {"small.png.out.png", 157, 210, 0}, {"small.png.out.png", 263, 210, 0},
                  {"small.png.out.png", 210, 182, 0}, {"small.png.out.png", 210, 238, 0}});
    // clang-format on
}

// A drawing twice the visible area comes in at 0.9 of the view along its limiting side.
TEST_F(Exchange, ADrawingIsPlacedAtNineTenthsOfTheView)
{
    saveDrawing("large.pavo", AffineTransform::identity(),
                {fill_stroke(make_rect(-500, 1000, 800, 600), Qt::red)});
    ASSERT_EQ(replay("size 400 300\nplace @large.pavo\nsave @placed.pavo\n").status, kReplayOk);
    expect_rect(saved("placed.pavo").at(0)->bounds(), make_rect(20, 15, 360, 270), "0.45, centred");
}

// What cannot be placed is refused with the reason, and the drawing stays as it was.
TEST_F(Exchange, WhatCannotFitIsRefusedWithTheReason)
{
    saveDrawing("empty.pavo", AffineTransform::identity());
    saveDrawing("flat.pavo", AffineTransform::identity(), {line_stroke({0, 0}, {100, 0}, 0)});
    savePicture("wide.png", {32769, 1}, kBlue);
    for (const auto& [file, reason] : {std::pair{"empty.pavo", "holds no strokes"},
                                       {"flat.pavo", "no width or no height"},
                                       {"wide.png", "32769 by 1 pixels"}}) {
        const ReplayRun run =
            replay(box("ff0000", {20, 20}, {80, 80}) + "place @" + file + "\nsave @after.pavo\n");
        EXPECT_TRUE(run.status == kReplayFailed && run.errors.size() == 1 &&
                    run.errors[0].contains(QLatin1String(reason)))
            << file << ": " << run.report();
        EXPECT_EQ(saved("after.pavo").size(), 1u) << file;
    }
}

// A document with a clipboard of its own, recording what it alerts.
class Commands : public ::testing::Test {
protected:
    ClipboardShell shell;
    struct Alerts : Headless {
        QStringList shown;
        void show(const QString&, const QString& message) override { shown << message; }
    } alerts;
    std::unique_ptr<PavoDocument> document = alerts.open(shell, {300, 200});
    int count() const { return document->strokes().count(); }
};

// Each command is one undo step under its own name; with the pen current it takes the top
// stroke, with the arrow the selection in drawing order.
TEST_F(Commands, EachIsOneNamedUndoStep)
{
    for (const float x : {0.0f, 50.0f, 100.0f})
        document->drawing().addStroke(fill_stroke(make_rect(x, 0, 40, 40)));
    const StrokeArray before = document->strokes().strokeArray();
    document->perform(QStringLiteral("arrowTool:"));
    document->drawing().setSelection({before[2], before[0]});
    for (const auto& [action, name, added] : {std::tuple{"cut:", "Cut", -2},
                                              {"duplicate:", "Duplicate", 2}, {"paste:", "Paste", 2}}) {
        document->perform(QString::fromLatin1(action));
        EXPECT_TRUE(count() == 3 + added && document->undoManager().undoActionName() == name) << action;
        document->perform(QStringLiteral("undo:"));
        EXPECT_EQ(document->strokes().strokeArray(), before) << action;
        document->drawing().setSelection({before[2], before[0]});
    }
    document->perform(QStringLiteral("penTool:"));
    document->perform(QStringLiteral("copy:"));
    document->perform(QStringLiteral("paste:"));
    ASSERT_EQ(count(), 4);
    EXPECT_EQ(document->strokes().lastStroke()->bounds().size.width, 40) << "the top stroke alone";
}

// The clipboard may hold anything: what is not copied strokes, or holds a picture larger
// than a drawing keeps, is refused with an alert; bad strokes are dropped as a file's are.
TEST_F(Commands, AHostileClipboardIsRefusedOrCleaned)
{
    QStringList log;
    set_log_sink([&log](const QString& line) { log << line; });
    const auto strokes_data = [](const QByteArray& bytes) {
        auto data = std::make_unique<QMimeData>();
        data->setData(kStrokesMimeType, bytes);
        return data;
    };
    // A good stroke, and a line of negative width that no drawing can hold.
    const StrokeArray two{fill_stroke(make_rect(0, 0, 10, 10)), line_stroke({0, 0}, {9, 9}, -1)};
    auto huge = std::make_unique<QMimeData>(), png = std::make_unique<QMimeData>();
    huge->setImageData(QImage(32769, 1, QImage::Format_ARGB32));
    QImage picture(100, 50, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    QBuffer encoded;
    ASSERT_TRUE(encoded.open(QIODevice::WriteOnly) && picture.save(&encoded, "PNG"));
    png->setData(QStringLiteral("image/png"), encoded.data());
    struct Row {
        const char* what;
        std::unique_ptr<QMimeData> data;
        int strokes;
        const char* alert;
    } rows[] = {
        {"nested past any drawing", strokes_data(QByteArray(200, '\x81') + '\0'), 0, "cannot be read"},
        {"a singular view", strokes_data(encode_copied_strokes({{}, AffineTransform::scaling(0, 0)})), 0,
         "cannot be read"},
        {"a bad stroke", strokes_data(encode_copied_strokes({two, {}})), 1, nullptr},
        {"a picture too large", std::move(huge), 0, "32769 by 1 pixels"},
        {"a PNG picture, placed in the middle", std::move(png), 1, nullptr}};
    for (Row& row : rows) {
        document = alerts.open(shell, {300, 200});
        alerts.shown.clear();
        log.clear();
        shell.board.put(std::move(row.data));
        document->perform(QStringLiteral("paste:"));
        EXPECT_EQ(count(), row.strokes) << row.what;
        const QStringList dropped{"Bad stroke found in save file -- ignoring."};
        const bool alerted = alerts.shown.size() == 1 && alerts.shown[0].contains(QLatin1String(row.alert));
        const bool placed = row.strokes && document->strokes().lastStroke()->isImage();
        if (placed)
            expect_rect(document->strokes().lastStroke()->bounds(), make_rect(100, 75, 100, 50), row.what);
        EXPECT_TRUE(row.alert ? alerted : alerts.shown.isEmpty() && (placed || log == dropped))
            << row.what << ": " << (alerts.shown + log).join(u'\n').toStdString();
    }
    set_log_sink(nullptr);
}

} // namespace
