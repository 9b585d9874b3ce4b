// End to end: what a person does, replayed headless through the real document, pens and
// view, checked in the pictures it exports and the files it saves.

#include "drawing.h"
#include "pictures.h"
#include "replay.h"

#include <QDir>
#include <QFile>

#include <tuple>

namespace {

// A polyline gesture through the points, pressing harder from 0.3 to 1 along the way.
QString path_through(const std::vector<Point>& points)
{
    QString s = QStringLiteral("down %1 %2 0.3\n").arg(points[0].x).arg(points[0].y);
    const float moves = float(8 * (points.size() - 1));
    for (std::size_t i = 1; i < points.size(); ++i)
        for (int step = 1; step <= 8; ++step) {
            const Point p = points[i - 1] + (points[i] - points[i - 1]) * (float(step) / 8);
            const float pressure = 0.3f + 0.7f * float(8 * (i - 1) + std::size_t(step)) / moves;
            s += QStringLiteral("move %1 %2 %3\n").arg(p.x).arg(p.y).arg(pressure);
        }
    return s + QStringLiteral("up %1 %2\n").arg(points.back().x).arg(points.back().y);
}

constexpr QRgb kBlack = 0xff000000, kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff;

// Undo and redo go one gesture at a time; a spray gesture of many moves is one step.
TEST_F(ReplayTest, UndoAndRedoGoOneGestureAtATime)
{
    const QString strokes = "set pen.color 000000\n" + drag({100, 100}, {300, 100}) +
                            drag({100, 200}, {300, 200}) + "set pen.type Spray\n" +
                            drag({400, 300}, {600, 300}, 40);
    const QString undo = "action undo:\nexport @sprayless.png\naction undo:\nexport @undone.png\n";
    ASSERT_EQ(replay(strokes + undo + "action redo:\nexport @redone.png\n").status, kReplayOk);
    EXPECT_EQ(largest_difference(exported("sprayless.png"), exported("redone.png")), 0);
    expectPixels({{"undone.png", 200, 100, kBlack}, {"undone.png", 200, 200, 0},
                  {"redone.png", 200, 200, kBlack}});
}

// With no pen type named Eraser, the eraser end still brings the pen forward, and the tip
// the fill tool back.
TEST_F(ReplayTest, TheEraserEndBringsThePenWithoutAnEraserPenType)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Pens")));
    ASSERT_TRUE(QFile::copy(resource_path() + "/Pens/pen.lua", path("Pens/pen.lua")));
    const QString script = "set pen.color 000000\nset fill.color ff0000\nset fill.opacity 1\n"
                           "action fillTool:\nproximity enter eraser\n" +
                           drag({100, 100}, {300, 100}) + "proximity enter tip\n" +
                           click({400, 400}) + "export @e.png\n";
    ASSERT_EQ(replay(script, std::nullopt, std::nullopt, dir.path()).status, kReplayOk);
    expectPixels({{"e.png", 200, 100, kBlack, "drawn by the pen"}, {"e.png", 400, 400, kRed}});
}

// The pen scripts run when the pen is first used: an export or a print of a drawing runs
// none, a replay that draws runs them all.
TEST_F(ReplayTest, PenScriptsRunOnlyOnceThePenIsUsed)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Pens")));
    QFile loud(path("Pens/loud.lua"));
    ASSERT_TRUE(loud.open(QIODevice::WriteOnly) && loud.write("name = 'Loud'\nerror('pen script run')\n") > 0);
    loud.close();
    ASSERT_TRUE(Drawing().save(path("d.pavo"), QStringLiteral("0 0 60 40"), std::nullopt));
    QStringList errors;
    const ReplayMessages collect = [&errors](const QString& line) { errors << line; };
    EXPECT_EQ(export_document_file(path("d.pavo"), path("d.png"), {}, {}, collect, dir.path()), kReplayOk);
    EXPECT_EQ(print_document_file(path("d.pavo"), path("d.pdf"), collect, dir.path()), kReplayOk);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    EXPECT_TRUE(replay(drag({10, 10}, {30, 10}), std::nullopt, std::nullopt, dir.path())
                    .report()
                    .find("pen script run") != std::string::npos);
}

// Fill finds the region under the pointer however the view is shown.
TEST_F(ReplayTest, FillInATurnedAndAMirroredView)
{
    const std::pair<const char*, AffineTransform> rows[] = {
        {"turned", AffineTransform::translation(100, 75).after(AffineTransform::rotation(0.6f))},
        {"mirrored", AffineTransform{-1, 0, 0, 1, 200, 0}},
        {"turned and mirrored", AffineTransform{0, 1, 1, 0, 0, 0}}};
    const QString square = "set pen.radius 3\n" + drag({20, 30}, {120, 30}) +
                           drag({110, 20}, {110, 130}) + drag({120, 120}, {20, 120}) +
                           drag({30, 130}, {30, 20});
    for (const auto& [name, view] : rows) {
        ASSERT_TRUE(Drawing().save(path("view.pavo"), QStringLiteral("0 0 200 150"), view));
        const QImage image = picture(square + "set fill.color ff0000\nset fill.opacity 1\n"
                                              "action fillTool:\n" + click({50, 60}),
                                     QStringLiteral("fill.png"), path("view.pavo"));
        ASSERT_EQ(image.size(), QSize(200, 150)) << name;
        for (const auto& [x, y, colour] :
             {std::tuple{50, 60, kRed}, {100, 110, kRed}, {150, 60, 0u}, {10, 10, 0u}})
            EXPECT_EQ(image.pixel(x, y), colour) << name << " at " << x << "," << y;
    }
}

// Every kind of stroke comes back from its file pixel for pixel, over the photo it opened.
TEST_F(ReplayTest, EveryKindOfStrokeReopensToTheSamePixels)
{
    QImage photo(80, 60, QImage::Format_ARGB32);
    photo.fill(QColor(200, 120, 40));
    ASSERT_TRUE(photo.save(path("photo.png")));
    QString script = "set pen.radius 6\n" + drag({20, 20}, {380, 20}) + "set pen.type Line\n" +
                     drag({20, 280}, {380, 40}) + box("3070c0", {20, 200}, {180, 280}) +
                     "set fill.color 33cc33\nset fill.mode multiply\naction fillTool:\n" +
                     click({250, 250});
    float y = 60;
    for (const char* pen : {"Eraser", "Highlighter", "Darken", "Lighten", "Colorize", "Shadow",
                            "Hilight", "Marker"}) {
        script += QStringLiteral("set pen.type %1\n").arg(pen) + drag({10, y}, {390, y + 150});
        y += 25;
    }
    const QImage before = picture(script + "save @all.pavo\n", "before.png", path("photo.png"));
    const QImage after = picture({}, QStringLiteral("after.png"), path("all.pavo"));
    EXPECT_EQ(largest_difference(before, after), 0);
    EXPECT_EQ(after.pixel(430, 320), qRgb(200, 120, 40));
}

// Three boxes: A under B where they overlap, C apart. The arrow tool selects them by a
// band (enclosed, or touching with option), adds and removes with shift, and rearranges.
TEST_F(ReplayTest, SelectionEndToEnd)
{
    const QString script =
        box("ff0000", {20, 20}, {120, 120}) + box("00ff00", {80, 60}, {180, 160}) +
        box("0000ff", {200, 20}, {280, 80}) + "action arrowTool:\n" + drag({10, 10}, {130, 130}) +
        "action bringForward:\nexport @forward.png\naction sendBackward:\nexport @backward.png\n" +
        drag({10, 10}, {130, 130}, 10, "option") + "key delete\nexport @touching.png\n" +
        "action undo:\n" + click({40, 40}) + click({240, 50}, "shift") +
        click({40, 40}, "shift") + "key delete\nexport @toggled.png\n";
    ASSERT_EQ(replay(script, std::nullopt, Size{300, 200}).status, kReplayOk);
    // clang-format off
    expectPixels({{"forward.png", 100, 100, kRed, "A brought over B"},
                  {"backward.png", 100, 100, kGreen, "A sent back"},
                  {"touching.png", 40, 40, 0}, {"touching.png", 150, 140, 0, "B touches the band"},
                  {"touching.png", 240, 50, kBlue},
                  {"toggled.png", 40, 40, kRed, "shift took A out again"},
                  {"toggled.png", 150, 140, kGreen}, {"toggled.png", 240, 50, 0, "shift added C"}});
    // clang-format on
}

// A value the program does not know stops the replay before it runs (status 2); a file that
// fails gives status 1 and the replay goes on with the drawing it had.
TEST_F(ReplayTest, UnknownValuesStopFailedFilesGoOn)
{
    for (const char* line : {"action fly:", "set pen.hue 3", "set pen.type Crayon", "set pen.opacity 2",
                             "action setPenType: Crayon", "set pen.color blue", "set pen.mode sideways",
                             "set fill.color 12345", "action penSize: huge", "set fill.gap 11", "set fill.precision 3"}) {
        const ReplayRun run = replay(QStringLiteral("export @a.png\n%1\nexport @b.png\n").arg(line));
        EXPECT_TRUE(run.status == kReplayMalformed && run.errors.size() == 1 &&
                    run.errors[0].startsWith(u"line 2: ") && !QFile::exists(path("b.png")))
            << line << ": " << run.report();
    }
    QFile damaged(path("damaged.pavo"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write("no drawing PAVO0100ZLIB") > 0);
    damaged.close();
    const ReplayRun run = replay("set pen.color 000000\n" + drag({100, 100}, {300, 100}) +
                                 "open @damaged.pavo\nplace @damaged.pavo\nexport @out.bmp\nexport @ok.png\n");
    EXPECT_TRUE(run.status == kReplayFailed && run.errors.size() == 3) << run.report();
    expectPixels({{"ok.png", 200, 100, kBlack, "the damaged file replaced nothing"}});
}

// Golden pictures: each pen type ("pen.type NAME") drawing one gesture over a blue box, and
// the Pen in each transfer mode ("pen.mode NAME") over black ink, a light and a dark colour.
class Golden : public ReplayTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Golden, PictureMatches)
{
    const QString setting = QLatin1String(GetParam()), value = setting.section(u' ', 1);
    const bool type = setting.startsWith(u"pen.type");
    const QString script =
        type ? box("3070c0", {20, 80}, {180, 140}) + "set " + setting + '\n' +
                   path_through({{20, 30}, {60, 110}, {100, 40}, {140, 120}, {180, 60}})
             : box("000000", {0, 10}, {200, 45}) + box("ffe619", {0, 55}, {200, 90}) +
                   box("202060", {0, 100}, {200, 135}) +
                   "set pen.type Pen\nset pen.radius 14\nset pen.color d03070\n"
                   "set pen.opacity 0.7\nset " + setting + '\n' + drag({30, 10}, {170, 140});
    ASSERT_EQ(replay(script + "export @out.png\n", std::nullopt, Size{200, 150}).status, kReplayOk);
    EXPECT_TRUE(matches_golden(exported("out.png"), (type ? "pen-" : "mode-") + value.toLower()));
}

INSTANTIATE_TEST_SUITE_P(EveryPenTypeAndMode, Golden, ::testing::Values(
    "pen.type Brush", "pen.type Calligraphy", "pen.type Colorize", "pen.type Darken",
    "pen.type Ellipse", "pen.type Eraser", "pen.type Highlighter", "pen.type Hilight",
    "pen.type Lasso", "pen.type Lighten", "pen.type Line", "pen.type Marker", "pen.type Pen",
    "pen.type Pencil", "pen.type Rectangle", "pen.type Shadow", "pen.type Spray",
    "pen.mode normal", "pen.mode erase", "pen.mode darker", "pen.mode lighter",
    "pen.mode colorize", "pen.mode shadow", "pen.mode hilight", "pen.mode multiply"));

} // namespace
