// End to end: what a person does, replayed headless through the real document, pens and
// view, checked in the pictures it exports and the files it saves.

#include "replay.h"

#include "drawing.h"
#include "pavo_document.h"
#include "pictures.h"

#include <QDir>
#include <QFile>

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

// How many pixels of the area have any ink.
int inked(const QImage& image, const QRect& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += qAlpha(image.pixel(x, y)) != 0;
    return n;
}

// A filled rectangle of the colour, corner to corner, drawn with the Rectangle pen.
QString box(const char* colour, Point from, Point to)
{
    return QStringLiteral("set pen.type Rectangle\nset pen.opacity 1\nset pen.color %1\n").arg(QLatin1String(colour)) +
           drag(from, to, 4);
}

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y); }

class Replay : public ReplayTest {};

TEST_F(Replay, UndoAndRedoGoBackAndForthOneGestureAtATime)
{
    const QString strokes = drag({100, 100}, {300, 100}) + drag({100, 200}, {300, 200});
    ASSERT_EQ(replay(strokes + "action undo:\nexport @undone.png\naction redo:\nexport @redone.png\n").status, kReplayOk);
    EXPECT_EQ(qAlpha(at(exported("undone.png"), 200, 100)), 255);
    EXPECT_EQ(qAlpha(at(exported("undone.png"), 200, 200)), 0);
    EXPECT_EQ(qAlpha(at(exported("redone.png"), 200, 200)), 255);
}

TEST_F(Replay, ASprayGestureIsOneUndoStep)
{
    const QImage image = picture(drag({100, 100}, {300, 100}) + "set pen.type Spray\n" +
                                 drag({400, 300}, {600, 300}, 40) + "action undo:\n");
    EXPECT_EQ(qAlpha(at(image, 200, 100)), 255);
    EXPECT_EQ(inked(image, QRect(380, 270, 240, 60)), 0);
}

// The stylus turned over chooses the eraser; turned back, the tool in use before. Without
// a pen type named Eraser the pen still comes forward, from whatever tool was in use.
TEST_F(Replay, TheEraserEndErasesAndTheTipBringsBackTheTool)
{
    const QString ink = QStringLiteral("set pen.radius 20\n") + drag({100, 100}, {300, 100});
    const QImage image = picture(ink + "action moveTool:\nproximity enter eraser\n" + drag({200, 40}, {200, 160}) +
                                 "proximity enter tip\n" + drag({100, 300}, {300, 300}));
    // The move tool came back with the tip and moved the view 200 pixels to the right.
    EXPECT_EQ(qAlpha(at(image, 400, 100)), 0) << "erased by the eraser end";
    EXPECT_EQ(qAlpha(at(image, 350, 100)), 255);
    EXPECT_EQ(qAlpha(at(image, 150, 100)), 0);
    EXPECT_EQ(inked(image, QRect(0, 250, 800, 100)), 0);
}

TEST_F(Replay, SettingsReachTheToolTheyName)
{
    // pen.color while the fill tool is current colours the pen, not the fill.
    const QImage image = picture(drag({40, 300}, {160, 300}) + box("000000", {300, 250}, {500, 350}) +
                                 "set pen.type Pen\nset fill.color 00ff00\naction fillTool:\nset pen.color ff0000\n" +
                                 "action penTool:\n" + drag({40, 400}, {160, 400}) + "action fillTool:\n" +
                                 click({600, 500}));
    EXPECT_EQ(at(image, 100, 400), qRgb(255, 0, 0));
    EXPECT_EQ(at(image, 700, 550), qRgb(0, 255, 0));
}

// A document with no window around it, from the shipped resources or another root.
struct Headless {
    struct : ViewDisplay {
        void setNeedsDisplayInRect(const Rect&) override {}
        void setNeedsDisplay() override {}
        void refreshCursor() override {}
    } display;
    struct : ScriptAlerts {
        void show(const QString&, const QString&) override {}
    } alerts;
    std::unique_ptr<PavoDocument> open(DocumentShell& shell, const QString& root = resource_path())
    {
        return PavoDocument::create(shell, display, {100, 100}, alerts, root);
    }
};

// The colour settings scripts use reach the tool they name, whichever tool is current,
// and the window's tool display hears of each.
TEST(DocumentColours, EachReachesTheToolItNamesAndTheToolDisplay)
{
    struct Shell : DocumentShell {
        int displayed = 0;
        void toolDisplayChanged() override { ++displayed; }
    } shell;
    Headless headless;
    auto doc = headless.open(shell);
    ASSERT_TRUE(doc);
    doc->setTool(&doc->fill());
    const QColor fill = doc->fill().color(), pen = doc->pen().color();
    shell.displayed = 0;
    doc->setPenColor(Qt::red);
    EXPECT_EQ(doc->pen().color(), QColor(Qt::red));
    EXPECT_EQ(doc->fill().color(), fill);
    EXPECT_EQ(shell.displayed, 1);
    doc->setTool(&doc->pen());
    shell.displayed = 0;
    doc->setFillColor(Qt::green);
    EXPECT_EQ(doc->fill().color(), QColor(Qt::green));
    EXPECT_EQ(doc->pen().color(), QColor(Qt::red));
    EXPECT_EQ(shell.displayed, 1);
    EXPECT_NE(pen, QColor(Qt::red));
}

// Pen types come from the resources; with no pen type named Eraser, the eraser end still
// brings the pen forward.
TEST(DocumentProximity, TheEraserEndBringsThePenWithoutAnEraserPenType)
{
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("Pens")));
    ASSERT_TRUE(QFile::copy(resource_path() + QStringLiteral("/Pens/pen.lua"), root.filePath(QStringLiteral("Pens/pen.lua"))));
    DocumentShell shell;
    Headless headless;
    auto doc = headless.open(shell, root.path());
    ASSERT_TRUE(doc);
    ProximityCenter router;
    doc->listenToProximity(router);
    doc->setTool(&doc->fill());
    ProximityRecord eraser;
    eraser.pointerType = kPointerTypeEraser;
    eraser.enterProximity = 1;
    router.post(eraser);
    EXPECT_EQ(doc->tool(), &doc->pen());
    eraser.pointerType = kPointerTypePen;
    router.post(eraser);
    EXPECT_EQ(doc->tool(), &doc->fill());
}

// Fill finds the region under the pointer however the view is shown.
TEST_F(Replay, FillInATurnedAndAMirroredView)
{
    const struct {
        const char* name;
        AffineTransform view;
    } rows[] = {{"plain", AffineTransform{}}, {"turned", AffineTransform::translation(100, 75).after(AffineTransform::rotation(0.6f))},
                {"mirrored", AffineTransform{-1, 0, 0, 1, 200, 0}},
                {"turned and mirrored", AffineTransform{0, 1, 1, 0, 0, 0}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Drawing empty;
        ASSERT_TRUE(empty.save(path("view.pavo"), QStringLiteral("0 0 200 150"), row.view));
        const QImage image =
            picture(QStringLiteral("set pen.radius 3\n") + drag({20, 30}, {120, 30}) + drag({110, 20}, {110, 130}) +
                        drag({120, 120}, {20, 120}) + drag({30, 130}, {30, 20}) +
                        "set fill.color ff0000\nset fill.opacity 1\naction fillTool:\n" + click({50, 60}),
                    QStringLiteral("fill.png"), path("view.pavo"));
        ASSERT_EQ(image.size(), QSize(200, 150));
        EXPECT_EQ(at(image, 50, 60), qRgb(255, 0, 0));
        EXPECT_EQ(at(image, 100, 110), qRgb(255, 0, 0));
        EXPECT_EQ(qAlpha(at(image, 150, 60)), 0) << "the fill stays inside the outline";
        EXPECT_EQ(qAlpha(at(image, 10, 10)), 0);
    }
}

// Every kind of stroke comes back from its file pixel for pixel.
TEST_F(Replay, EveryKindOfStrokeReopensToTheSamePixels)
{
    QImage photo(80, 60, QImage::Format_ARGB32);
    photo.fill(QColor(200, 120, 40));
    ASSERT_TRUE(photo.save(path("photo.png")));
    QString script = QStringLiteral("set pen.radius 6\n") + drag({20, 20}, {380, 20}) +
                     "set pen.type Line\n" + drag({20, 280}, {380, 40}) + box("3070c0", {20, 200}, {180, 280}) +
                     "set fill.color 33cc33\nset fill.mode multiply\naction fillTool:\n" + click({250, 250});
    int y = 60;
    for (const char* pen : {"Eraser", "Highlighter", "Darken", "Lighten", "Colorize", "Shadow", "Hilight", "Marker"}) {
        script += QStringLiteral("set pen.type %1\n").arg(QLatin1String(pen)) + drag({10, float(y)}, {390, float(y + 150)});
        y += 25;
    }
    const QImage before = picture(script + "save @all.pavo\n", QStringLiteral("before.png"), path("photo.png"));
    const QImage after = picture({}, QStringLiteral("after.png"), path("all.pavo"));
    EXPECT_EQ(largest_difference(before, after), 0);
    // The photo is there, under the strokes.
    EXPECT_EQ(at(after, 430, 320), qRgb(200, 120, 40));
}

// Three boxes: A under B where they overlap, C apart. The arrow tool selects them by a
// band (enclosed, or touching with option), adds and removes with shift, and rearranges.
TEST_F(Replay, SelectionEndToEnd)
{
    const QString boxes = box("ff0000", {20, 20}, {120, 120}) + box("00ff00", {80, 60}, {180, 160}) +
                          box("0000ff", {200, 20}, {280, 80}) + "action arrowTool:\n";
    const QString band = drag({10, 10}, {130, 130});
    const QString script = boxes + band + "action bringForward:\nexport @forward.png\n" +
                           "action sendBackward:\nexport @backward.png\n" + drag({10, 10}, {130, 130}, 10, "option") +
                           "key delete\nexport @touching.png\naction undo:\n" + click({40, 40}) +
                           click({240, 50}, "shift") + click({40, 40}, "shift") + "key delete\nexport @toggled.png\n";
    ASSERT_EQ(replay(script, std::nullopt, Size{300, 200}).status, kReplayOk);
    EXPECT_EQ(at(exported("forward.png"), 100, 100), qRgb(255, 0, 0)) << "A brought over B";
    EXPECT_EQ(at(exported("backward.png"), 100, 100), qRgb(0, 255, 0)) << "A sent back under B";
    const QImage touching = exported("touching.png");
    EXPECT_EQ(qAlpha(at(touching, 40, 40)), 0);
    EXPECT_EQ(qAlpha(at(touching, 150, 140)), 0) << "B touches the band";
    EXPECT_EQ(at(touching, 240, 50), qRgb(0, 0, 255));
    const QImage toggled = exported("toggled.png");
    EXPECT_EQ(at(toggled, 40, 40), qRgb(255, 0, 0)) << "shift took A out again";
    EXPECT_EQ(at(toggled, 150, 140), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(at(toggled, 240, 50)), 0) << "shift added C";
}

// Ink and a coloured band under an effect pen, in exported pixels.
TEST_F(Replay, TransferModesOverInkAndColour)
{
    const QString under = box("000000", {0, 0}, {100, 40}) + box("00ff00", {0, 50}, {100, 90}) +
                          box("96ffff", {0, 100}, {100, 140});
    const auto across = [&](const char* pen) {
        return picture(under + QStringLiteral("set pen.type %1\nset pen.radius 8\n").arg(QLatin1String(pen)) +
                       drag({50, 0}, {50, 145}) + "");
    };
    const QImage highlighter = across("Highlighter");
    EXPECT_EQ(at(highlighter, 50, 20), qRgb(0, 0, 0)) << "multiply keeps black ink black";
    const QImage darken = across("Darken");
    EXPECT_EQ(at(darken, 50, 20), qRgb(0, 0, 0)) << "nothing is darker than black";
    EXPECT_NE(at(darken, 50, 70), qRgb(0, 255, 0)) << "green is lighter than the darkened green";
    EXPECT_EQ(at(darken, 20, 70), qRgb(0, 255, 0));
    const QImage lighten = across("Lighten");
    EXPECT_NE(at(lighten, 50, 20), qRgb(0, 0, 0));
    EXPECT_EQ(at(lighten, 50, 120), qRgb(0x96, 0xff, 0xff)) << "the pale cyan is already the lighter";
}

TEST_F(Replay, APictureOpensCentredAndExportsKeepTheirBackgroundRule)
{
    QImage photo(100, 50, QImage::Format_ARGB32);
    photo.fill(QColor(200, 0, 0));
    ASSERT_TRUE(photo.save(path("photo.png")));
    ASSERT_EQ(replay("export @a.png\nexport @w.jpg\nexport @w.gif\nset background 336699\nexport @b.png\n",
                     path("photo.png"))
                  .status,
              kReplayOk);
    const QImage image = exported("a.png");
    EXPECT_EQ(at(image, 352, 277), qRgb(200, 0, 0));
    EXPECT_EQ(at(image, 448, 322), qRgb(200, 0, 0));
    for (const QPoint outside : {QPoint(345, 300), QPoint(455, 300), QPoint(400, 270), QPoint(400, 330)})
        EXPECT_EQ(qAlpha(at(image, outside.x(), outside.y())), 0);
    EXPECT_GT(qGray(at(exported("w.jpg"), 200, 400)), 250);
    EXPECT_EQ(at(exported("w.gif"), 200, 400), qRgb(255, 255, 255));
    EXPECT_EQ(at(exported("b.png"), 200, 400), qRgb(0x33, 0x66, 0x99));
}

// Status 2 and nothing run for a malformed line; status 1 and the replay goes on for a
// file that fails.
TEST_F(Replay, MalformedLinesStopFailedFilesGoOn)
{
    ReplayRun run = replay("export @x.png\ndown 1 2\nmove 3\n");
    EXPECT_EQ(run.status, kReplayMalformed);
    EXPECT_EQ(run.errors, QStringList{QStringLiteral("line 3: move needs X and Y")});
    EXPECT_FALSE(QFile::exists(path("x.png")));

    for (const char* line : {"action fly:", "set pen.hue 3", "set pen.type Crayon", "action setPenType: Crayon",
                             "set pen.opacity 2", "set pen.color blue", "set pen.mode sideways",
                             "set fill.color 12345", "action penSize: huge", "place @x.png"}) {
        run = replay(QStringLiteral("export @before.png\n%1\nexport @after.png\n").arg(QLatin1String(line)));
        EXPECT_EQ(run.status, kReplayMalformed) << line;
        ASSERT_EQ(run.errors.size(), 1) << line;
        EXPECT_TRUE(run.errors.front().startsWith(u"line 2: ")) << run.report();
        EXPECT_FALSE(QFile::exists(path("after.png"))) << line;
    }

    QFile damaged(path("damaged.pavo"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("this is no drawing at all PAVO0100ZLIB");
    damaged.close();
    run = replay(drag({100, 100}, {300, 100}) +
                 "open @damaged.pavo\nsave @no/such/folder/d.pavo\nexport @out.bmp\nexport @ok.png\n");
    EXPECT_EQ(run.status, kReplayFailed);
    EXPECT_EQ(run.errors.size(), 3) << run.report();
    EXPECT_EQ(qAlpha(at(exported("ok.png"), 200, 100)), 255) << "the damaged file replaced nothing";
    EXPECT_EQ(replay("export @out.png\n", path("damaged.pavo")).status, kReplayFailed);
}

// Golden pictures: every pen type drawing one gesture over a blue box, and the Pen in each
// transfer mode over black ink, a light and a dark colour.
class PenSet : public ReplayTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PenSet, DrawsItsGoldenPicture)
{
    const QString script = box("3070c0", {20, 80}, {180, 140}) + QStringLiteral("set pen.type %1\n").arg(QLatin1String(GetParam())) +
                           path_through({{20, 30}, {60, 110}, {100, 40}, {140, 120}, {180, 60}});
    ASSERT_EQ(replay(script + "export @pen.png\n", std::nullopt, Size{200, 150}).status, kReplayOk);
    EXPECT_TRUE(matches_golden(exported("pen.png"), QStringLiteral("pen-%1").arg(QString::fromLatin1(GetParam()).toLower())));
}

INSTANTIATE_TEST_SUITE_P(EveryPenType, PenSet,
                         ::testing::Values("Brush", "Calligraphy", "Colorize", "Darken", "Ellipse", "Eraser",
                                           "Highlighter", "Hilight", "Lasso", "Lighten", "Line", "Marker", "Pen",
                                           "Pencil", "Rectangle", "Shadow", "Spray"));

class TransferMode : public ReplayTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(TransferMode, OverInkMatchesItsGoldenPicture)
{
    const QString script = box("000000", {0, 10}, {200, 45}) + box("ffe619", {0, 55}, {200, 90}) +
                           box("202060", {0, 100}, {200, 135}) +
                           QStringLiteral("set pen.type Pen\nset pen.radius 14\nset pen.color d03070\n"
                                          "set pen.opacity 0.7\nset pen.mode %1\n")
                               .arg(QLatin1String(GetParam())) +
                           drag({30, 10}, {170, 140});
    ASSERT_EQ(replay(script + "export @mode.png\n", std::nullopt, Size{200, 150}).status, kReplayOk);
    EXPECT_TRUE(matches_golden(exported("mode.png"), QStringLiteral("mode-%1").arg(QLatin1String(GetParam()))));
}

INSTANTIATE_TEST_SUITE_P(EveryMode, TransferMode,
                         ::testing::Values("normal", "erase", "darker", "lighter", "colorize", "shadow", "hilight",
                                           "multiply"));

} // namespace
