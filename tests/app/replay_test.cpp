// End to end: what a person does, replayed headless through the real document, pens and
// view, checked in the pictures it exports and the files it saves: strokes, selections and
// files, then the built-in pen's stroke (its dot, its closing, the stabiliser), then moving
// around the drawing (the wheel, the touchpad, the temporary hand and the keys).

#include "drawing.h"
#include "pictures.h"
#include "replay.h"

#include <QDir>
#include <QFile>

#include <tuple>

namespace {

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
                   polyline({{20, 30}, {60, 110}, {100, 40}, {140, 120}, {180, 60}}, 0.3f)
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

// The mean distance of the ink's middle from the line y 130, over the columns 110 to 390.
double deviation_from_mean_line(const QImage& image)
{
    double sum = 0;
    for (int x = 110; x <= 390; ++x) {
        double ys = 0, inked = 0;
        for (int y = 0; y < image.height(); ++y)
            if (qAlpha(image.pixel(x, y)) > 128) ys += y, ++inked;
        sum += inked ? std::abs(ys / inked - 130) : 1e9;
    }
    return sum / 281;
}

// A click without a move leaves a dot of the pen's radius (10) at the click's pressure, as
// the pressure curve in force (none: as pressed) maps it before the pen sees it.
TEST_F(ReplayTest, AClickLeavesADotOfThePressedRadius)
{
    for (const auto& [curve, pressure, inside, outside] :
         {std::tuple{"", "1", 8, 12}, {"", "0.5", 3, 7}, {"set pressure.curve 0 0 1 1", "0.5", 3, 7},
          {"set pressure.curve 0 0 0.5 1 1 1", "0.5", 8, 12}, {"set pressure.curve 0 0 1 0.4", "0.5", 1, 4}}) {
        const QImage image = picture(QStringLiteral("%1\nset pen.type Pen\nset pen.radius 10\ndown 100 100 %2\nup 100 100\n")
                                         .arg(QLatin1String(curve), QLatin1String(pressure)));
        ASSERT_FALSE(image.isNull()) << curve << pressure;
        EXPECT_GT(qAlpha(image.pixel(100 + inside, 100)), 128) << curve << pressure;
        EXPECT_EQ(qAlpha(image.pixel(100 - outside, 100)), 0) << curve << pressure;
    }
    EXPECT_EQ(replay("set pressure.curve 0 0.5 1 0.2\n").status, kReplayMalformed);
}

// A square drawn back to its corner is closed there: a fill inside stays inside.
TEST_F(ReplayTest, ASquareDrawnBackToItsStartHoldsAFill)
{
    const QImage image = picture("set pen.type Pen\nset pen.radius 1\n" + polyline({{40, 40}, {140, 40}, {140, 140}, {40, 140}, {40, 40}}) +
                                 "set fill.color ff0000\naction fillTool:\n" + click({90, 90}));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(90, 90), 0xffff0000);
    EXPECT_EQ(qAlpha(image.pixel(10, 10)), 0) << "the fill leaked out of the square";
}

// The stabiliser cuts a zig-zag's corners for the built-in and the scripted pens alike, and
// the stroke still reaches the point where the pen was lifted, (450, 100).
TEST_F(ReplayTest, AStabilisedZigZagIsSmootherAndEndsWhereThePenWasLifted)
{
    std::vector<Point> zig_zag;
    for (int i = 0; i <= 20; ++i) zig_zag.push_back({50.0f + 20.0f * float(i), i % 2 ? 160.0f : 100.0f});
    for (const char* type : {"Pen", "Calligraphy"}) {
        const QString pen = QStringLiteral("set pen.type %1\nset pen.radius 2\nset pen.smoothing ").arg(type);
        const QImage plain = picture(pen + "0\n" + polyline(zig_zag)), steady = picture(pen + "0.8\n" + polyline(zig_zag));
        ASSERT_FALSE(plain.isNull() || steady.isNull()) << type;
        const double wobble = deviation_from_mean_line(plain);
        EXPECT_GT(wobble, 10) << type;
        EXPECT_LT(deviation_from_mean_line(steady), wobble / 3) << type;
        EXPECT_GT(qAlpha(steady.pixel(450, 100)), 128) << type << ": the stroke stops short of the pen-up point";
    }
    EXPECT_EQ(replay("set pen.smoothing 1.5\n").status, kReplayMalformed);
}

// A red box from (100, 100) to (200, 200) in the 800 x 600 view, and a drag for the hand.
const QString kBox = box("ff0000", {100, 100}, {200, 200});
const QString kHandDrag = QStringLiteral("down 300 300%1\nmove 310 315\nmove 320 330\nup 320 330\n");
// A red line of radius 3 along y 400, after the keys given.
QString line_after(const char* keys)
{
    return QStringLiteral("set pen.type Pen\nset pen.color ff0000\nset pen.radius 3\n%1\n").arg(keys) +
           drag({300, 400}, {600, 400});
}

// Each way of moving around places the box where its rule says: the point under the
// pointer stays put while zooming and turning, scrolls and pans keep the size.
TEST_F(ReplayTest, NavigationMovesTheDrawingAsItsRuleSays)
{
    const struct {
        const char* rule;
        QString lines;
        std::vector<std::pair<QPoint, bool>> redAt;
    } rows[] = {
        {"Ctrl+wheel grows by 1.25 a notch about the pointer", "wheel 100 100 0 2 command",
         {{{104, 104}, true}, {{252, 252}, true}, {{96, 96}, false}, {{260, 150}, false}}},
        {"the wheel scrolls 48 pixels a notch", "wheel 0 0 0 -1",
         {{{104, 56}, true}, {{196, 148}, true}, {{150, 48}, false}, {{150, 156}, false}}},
        {"a hundredth of a notch at a time scrolls as far", QStringLiteral("wheel 0 0 0 -0.01\n").repeated(100),
         {{{104, 56}, true}, {{196, 148}, true}, {{150, 48}, false}, {{150, 156}, false}}},
        {"shift turns the wheel sideways", "wheel 0 0 0 1 shift",
         {{{152, 150}, true}, {{244, 150}, true}, {{144, 150}, false}, {{252, 150}, false}}},
        {"a sideways wheel scrolls sideways", "wheel 0 0 -1 0",
         {{{56, 150}, true}, {{148, 150}, true}, {{48, 150}, false}, {{156, 150}, false}}},
        {"Ctrl+Shift+wheel turns 15 degrees clockwise about the pointer", "wheel 100 100 0 1 command,shift",
         {{{102, 150}, true}, {{150, 102}, false}, {{96, 96}, false}}},
        {"a pinch zooms about its point", "pinch 200 200 2",
         {{{4, 4}, true}, {{196, 196}, true}, {{204, 100}, false}, {{100, 204}, false}}},
        {"the middle button pans by the drag", kHandDrag.arg(" middle"),
         {{{124, 134}, true}, {{216, 226}, true}, {{116, 150}, false}, {{150, 126}, false}}},
        {"Space held pans by the drag", "keydown space\n" + kHandDrag.arg("") + "keyup space",
         {{{124, 134}, true}, {{216, 226}, true}, {{116, 150}, false}, {{150, 126}, false}}},
        // Had the hands drawn, or added an undo step, the undo would leave the box.
        {"the middle button adds no stroke or undo step", kHandDrag.arg(" middle") + "action undo:",
         {{{124, 134}, false}, {{150, 150}, false}, {{310, 315}, false}}},
        {"nor does Space", "keydown space\n" + kHandDrag.arg("") + "action undo:", {{{124, 134}, false}, {{150, 150}, false}}},
        {"the right arrow shows a tenth of the view further right", "key right",
         {{{24, 150}, true}, {{116, 150}, true}, {{124, 150}, false}}},
        {"Actual Size takes a zoom back", "action zoomIn:\naction actualSize:",
         {{{104, 104}, true}, {{196, 196}, true}, {{96, 96}, false}, {{204, 204}, false}}},
        {"] widens the next stroke to radius 5", line_after("key bracketright\nkey bracketright"),
         {{{450, 403}, true}, {{450, 397}, true}, {{450, 406}, false}}},
        {"without it the stroke keeps radius 3", line_after(""), {{{450, 403}, false}, {{450, 401}, true}}},
    };
    for (const auto& row : rows) {
        const QImage image = picture(kBox + row.lines);
        ASSERT_FALSE(image.isNull()) << row.rule;
        for (const auto& [at, red] : row.redAt)
            EXPECT_EQ(image.pixel(at) == 0xffff0000, red) << row.rule << " at " << at.x() << "," << at.y();
    }
}

// Zoom Out is the inverse of Zoom In, and a turn each way gives the picture back.
TEST_F(ReplayTest, ZoomInThenOutGivesTheSamePicture)
{
    const QImage before = picture(kBox);
    for (const char* back : {"action zoomIn:\naction zoomOut:", "action rotateViewRight:\naction rotateViewLeft:"})
        EXPECT_EQ(largest_difference(picture(kBox + back), before), 0) << back;
}

// [ and ] step through the Size menu's values, the fill's expand with the fill tool, and
// stop at the ends; Space held shows the hand's cursor and letting go the tool's again.
TEST(NavigationKeys, BracketsStepTheSizeAndSpaceLendsTheHand)
{
    Headless headless;
    DocumentShell shell;
    const auto doc = headless.open(shell);
    const struct { bool fill; float from; const char* key; float to; } rows[] = {
        {false, 7, "bracketleft", 6}, {false, 1, "bracketleft", 1}, {false, 64, "bracketright", 64},
        {true, 0, "bracketright", 1}, {true, 1, "bracketleft", 0}, {true, 100, "bracketright", 100}};
    for (const auto& [fill, from, key, to] : rows) {
        doc->perform(fill ? "fillTool:" : "penTool:");
        fill ? doc->setFillExpand(int(from)) : doc->setPenSize(from);
        EXPECT_TRUE(doc->keyPressed(key, 0) && (fill ? float(doc->fill().expand()) : doc->pen().radius()) == to) << from << key;
    }
    EXPECT_FALSE(doc->keyPressed("bracketright", kCommandKey)) << "the menus' key";
    const QImage tool = doc->view().cursor().image;
    ASSERT_TRUE(doc->keyHeld("space", true));
    EXPECT_EQ(doc->view().cursor().image, doc->move().toolCursor().image);
    doc->keyHeld("space", false);
    EXPECT_EQ(doc->view().cursor().image, tool);
    EXPECT_NE(tool, doc->move().toolCursor().image);
}

} // namespace
