// The command line: arguments read into a mode, and the pavo executable run as a process.

#include "command_line.h"
#include "drawing.h"
#include "event_recorder.h"
#include "pictures.h"
#include "support/strokes.h"
#include "replay.h"

#include <gtest/gtest.h>

#include <QtGui>

namespace {

std::string joined(const QStringList& args) { return args.join(u' ').toStdString(); }

// What a command line holds, in words, leaving out what is empty.
QString described(const CommandLine& c)
{
    const auto n = [](std::optional<int> v) { return v ? QString::number(*v) : QString(); };
    const QString size =
        c.viewSize ? QStringLiteral("%1x%2").arg(c.viewSize->width).arg(c.viewSize->height) : "";
    QStringList parts{QStringList{"open", "export", "replay", "help", "version", "print-pdf", "thumbnail"}.at(int(c.mode))};
    for (const auto& [label, value] :
         {std::pair<const char*, QString>{"files:", c.files.join(u',')}, {"out:", c.output},
          {"script:", c.script}, {"w:", n(c.width)}, {"h:", n(c.height)}, {"size:", size},
          {"largest:", c.thumbnailSize ? QString::number(c.thumbnailSize) : ""},
          {"record:", c.record.value_or(QString())}, {"out-dir:", c.outputFolder.value_or("")},
          {"", c.allowAnyPath ? "any-path" : ""}, {"", c.headless() ? "headless" : ""}})
        if (!value.isEmpty()) parts << label + value;
    return parts.join(u' ');
}

} // namespace

// Each command line reads as a mode, or is refused naming the argument at fault ("!NAME").
// Whether a display is needed is decided before parsing, and agrees with it.
TEST(CommandLine, ArgumentsReadAsAModeOrAreRefused)
{
    // clang-format off
    const std::pair<QStringList, const char*> rows[] = {
        {{}, "open"},
        {{"b.pavo", "a picture.png"}, "open files:b.pavo,a picture.png"},
        {{"--record", "rec.txt", "a.pavo", "b.pavo"}, "open files:a.pavo,b.pavo record:rec.txt"},
        {{"a.pavo", "--", "-draft.pavo", "--record", "--"}, "open files:a.pavo,-draft.pavo,--record,--"},
        {{"--export", "o.png", "--width", "1", "d.pavo", "--height", "100000"},
         "export files:d.pavo out:o.png w:1 h:100000 headless"},
        {{"--replay", "s.txt"}, "replay script:s.txt headless"},
        {{"--replay", "s.txt", "--size", "640", "480", "d.pavo"},
         "replay files:d.pavo script:s.txt size:640x480 headless"},
        {{"--help"}, "help headless"}, {{"--version"}, "version headless"},
        {{"--record"}, "!--record"}, {{"-x", "a.pavo"}, "!-x"}, {{"a.pavo", "--help"}, "!--help"},
        {{"a.pavo", "--export", "o.png"}, "!--export"}, {{"--version", "a.pavo"}, "!--version"},
        {{"--export", "o.png"}, "!--export"}, {{"--export", "o.png", "a.pavo", "b.pavo"}, "!--export"},
        {{"--export", "o.png", "--scale", "2", "a.pavo"}, "!--scale"},
        {{"--export", "o.png", "d.pavo", "--width"}, "!--width"},
        {{"--export", "o.png", "--width", "1.5", "d.pavo"}, "!--width"},
        {{"--export", "o.png", "--height", "100001", "d.pavo"}, "!--height"},
        {{"--export", "o.png", "--height", "99999999999", "d.pavo"}, "!--height"},
        {{"--replay", "s.txt", "a.pavo", "b.pavo"}, "!--replay"},
        {{"--replay", "s.txt", "--width", "5"}, "!--width"},
        {{"--replay", "s.txt", "--size", "640"}, "!--size"},
        {{"--replay", "s.txt", "--size", "640", "12px"}, "!--size"},
        {{"--replay", "s.txt", "--size", "-3", "1"}, "!--size"},
        {{"--replay", "s.txt", "--output-dir", "o", "--allow-any-path"},
         "replay script:s.txt out-dir:o any-path headless"},
        {{"--replay", "s.txt", "--output-dir"}, "!--output-dir"},
        {{"--print-pdf", "o.pdf", "d.pavo"}, "print-pdf files:d.pavo out:o.pdf headless"},
        {{"--print-pdf", "o.pdf"}, "!--print-pdf"},
        {{"--print-pdf", "o.pdf", "--width", "3", "d.pavo"}, "!--width"},
        {{"--thumbnail", "d.pavo", "t.png", "256"}, "thumbnail files:d.pavo out:t.png largest:256 headless"},
        {{"--thumbnail", "d.pavo", "t.png"}, "!--thumbnail"}, {{"--thumbnail", "d.pavo", "t.png", "-1"}, "!--thumbnail"},
        {{"--thumbnail", "d.pavo", "t.png", "9px"}, "!--thumbnail"},
        {{"--thumbnail", "d.pavo", "t.png", "9", "x"}, "!--thumbnail"},
    };
    // clang-format on
    for (const auto& [args, expected] : rows) {
        const auto parsed = parse_command_line(args);
        const QString said = parsed ? described(*parsed) : parsed.error();
        const bool ok = expected[0] == '!'
                            ? !parsed && said.contains(QLatin1String(expected + 1))
                            : parsed && said == expected && wants_headless(args) == parsed->headless();
        EXPECT_TRUE(ok) << joined(args) << ": " << said.toStdString();
    }
}

// The executable itself (its exit statuses, export sizes and the folders a replay may write
// to: tests/install/command_line_check.sh).
class Executable : public ReplayTest {};

// A thumbnail is the export at the same size, and one that runs out of time writes nothing.
TEST_F(Executable, AThumbnailIsTheExportScaledDownOrNothing)
{
    Drawing drawing;
    drawing.addStroke(fill_stroke({{0, 0}, {400, 300}}, Qt::yellow));
    drawing.addStroke(pen_stroke({{20, 30}, {300, 250}, {380, 40}}, 12, Qt::blue));
    drawing.addStroke(line_stroke({10, 280}, {390, 290}, 3, QColor(255, 0, 0, 128)));
    ASSERT_TRUE(drawing.save(path("d.pavo"), "5 5 400 300", AffineTransform::scaling(0.9f, 0.9f)));
    ASSERT_EQ(run_pavo({"--thumbnail", path("d.pavo"), path("t.png"), "64"}).status, 0);
    ASSERT_EQ(run_pavo({"--export", path("e.png"), "--width", "64", path("d.pavo")}).status, 0);
    const QImage thumbnail(path("t.png"));
    EXPECT_EQ(thumbnail.size(), QSize(64, 48));
    EXPECT_LE(largest_difference(thumbnail, QImage(path("e.png"))), 2);
    qputenv("PAVO_THUMBNAIL_SECONDS", "0");
    const ProcessRun late = run_pavo({"--thumbnail", path("d.pavo"), path("late.png"), "64"});
    qunsetenv("PAVO_THUMBNAIL_SECONDS");
    EXPECT_EQ(late.status, 1);
    EXPECT_EQ(late.errors.count(u'\n'), 1) << late.errors.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"late*"}).join(u' '), QString());
}

// A recording names the files in its folder relatively, so it replays without flags
// wherever it is copied; a save elsewhere stays absolute, with a comment saying why the
// replay will need --allow-any-path.
TEST_F(Executable, ARecordingOfSavesInItsFolderReplaysWithoutFlags)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("r"));
    auto recorder = EventRecorder::open(path("r/rec.txt"));
    ASSERT_TRUE(recorder);
    ScriptEvent save;
    save.kind = ScriptEvent::Kind::Save;
    save.text = path("r/drawing.pavo");
    EXPECT_TRUE((*recorder)->record(save));
    save.text = path("outside.pavo");
    EXPECT_TRUE((*recorder)->record(save));
    recorder->reset();
    const QStringList lines = QString::fromUtf8(file_bytes(path("r/rec.txt"))).split(u'\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[1], QLatin1String("save drawing.pavo"));
    EXPECT_TRUE(lines[2].startsWith(u"#") && lines[2].contains(u"--allow-any-path"));
    EXPECT_EQ(lines[3], "save " + path("outside.pavo"));
    EXPECT_EQ(run_pavo({"--replay", path("r/rec.txt")}).status, 2);
    EXPECT_FALSE(QFile::exists(path("r/drawing.pavo")));
    EXPECT_EQ(run_pavo({"--replay", path("r/rec.txt"), "--allow-any-path"}).status, 0);
    EXPECT_TRUE(QFile::exists(path("r/drawing.pavo")) && QFile::exists(path("outside.pavo")));
}

// Pen scripts of the person's own are found in the data folder through XDG_DATA_HOME: the
// person's "Pen" stamps a red square from their own Lib where the built-in Pen would
// draw a dot; a broken script is told once although two drawings load the pens, and the
// built-in types still load beside it.
TEST_F(Executable, APersonsPenReplacesTheBuiltInOfItsNameAndABrokenOneIsToldOnce)
{
    const std::pair<const char*, const char*> files[] = {
        {"Lib/square.lua", "return function(p) return { x = p.x - 10, y = p.y - 10, w = 20, h = 20 } end"},
        {"Pens/pen.lua", "local square = require 'square'\nname = 'Pen' custom_pen = true color = 'ff0000'\n"
                         "function pen_down(p) local path = bezier_path()\n"
                         "  append_bezier_path_with_rect(path, square(p)) add_fill(path) end\n"
                         "function pen_move() end function pen_up() end"},
        {"Pens/broken.lua", "name = 'Broken' error('not finished yet')"},
        {"../../../s.txt", "down 50 50\nup 50 50\nsave a.pavo\nexport one.png\nopen a.pavo\ndown 150 50\nup 150 50\n"
                           "set pen.type Line\nset pen.color 00ff00\ndown 20 90\nmove 180 90\nup 180 90\nexport two.png"}};
    const QDir data(path(QStringLiteral("data/Pavo/Pavo")));
    for (const auto& [name, text] : files) {
        QFile file(data.filePath(QLatin1String(name)));
        ASSERT_TRUE(data.mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit());
    const ProcessRun run = run_pavo({QStringLiteral("--replay"), path(QStringLiteral("s.txt"))});
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(run.status, 0) << run.errors.toStdString();
    const QRegularExpression alert(QStringLiteral("^Runtime error: .*not finished yet$"), QRegularExpression::MultilineOption);
    EXPECT_EQ(run.errors.count(alert), 1) << run.errors.toStdString();
    expectPixels({{"one.png", 42, 42, 0xffff0000, "the square's corner, beyond a dot"},
                  {"two.png", 142, 58, 0xffff0000, "the reopened drawing's pen is the person's too"},
                  {"two.png", 100, 90, 0xff00ff00, "a built-in type beside it"}});
}
