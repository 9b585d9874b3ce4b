// Event scripts and the command line: lines read into events, events written back as lines,
// and recording; arguments read into a mode, and the pavo executable run as a process.

#include "command_line.h"
#include "drawing.h"
#include "event_recorder.h"
#include "event_script.h"
#include "pictures.h"
#include "replay.h"
#include "support/strokes.h"

#include <QtGui>

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

// Rows name only the fields an event sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using Kind = ScriptEvent::Kind;

void PrintTo(const ScriptEvent& e, std::ostream* os) { *os << format_event(e).toStdString(); }

namespace {

// The events of a script that must read, with their line numbers unless `withoutLines`.
std::vector<ScriptEvent> events_of(const QString& text, bool withoutLines = false)
{
    const Result<EventScript> result = parse_event_script(text);
    EXPECT_TRUE(result) << text.toStdString() << ": " << result.error().toStdString();
    std::vector<ScriptEvent> events = result ? result->events : std::vector<ScriptEvent>{};
    for (ScriptEvent& e : events) e.line = withoutLines ? 0 : e.line;
    return events;
}

// Lines and the events they read as: every kind, fields at their edges, defaults, comments,
// and free text and file names that look like other fields. The size line comes first, as
// a recording starts.
// clang-format off
const std::pair<const char*, ScriptEvent> kLines[] = {
    {"size 100000 1", {.kind = Kind::Size, .width = 100000, .height = 1, .hasSize = true}},
    {"down 10000000 -10000000 0 capslock,shift", {.kind = Kind::Down, .point = {1e7f, -1e7f},
                                                  .pressure = 0, .modifiers = kShiftKey | kCapsLockKey}},
    {"  move 12345.678 0.001 0.33333334 shift", {.kind = Kind::Move, .point = {12345.678f, 1e-3f},
                                                 .pressure = 0.33333334f, .modifiers = kShiftKey}},
    {"move 14 22 option,command # no pressure",
     {.kind = Kind::Move, .point = {14, 22}, .modifiers = kOptionKey | kCommandKey}},
    {"up 5 6 control,option\r",
     {.kind = Kind::Up, .point = {5, 6}, .pressure = 0, .modifiers = kOptionKey | kControlKey}},
    {"\tflags capslock,shift,shift\t#\theld", {.kind = Kind::Flags, .modifiers = kCapsLockKey | kShiftKey}},
    {"key delete", {.kind = Kind::Key, .name = "delete"}},
    {"key bracketright shift", {.kind = Kind::Key, .modifiers = kShiftKey, .name = "bracketright"}},
    {"keydown space # the hand", {.kind = Kind::KeyDown, .name = "space"}},
    {"keyup 7", {.kind = Kind::KeyUp, .name = "7"}},
    {"down 3 4 middle", {.kind = Kind::Down, .point = {3, 4}, .middle = true}},
    {"down 3 4 0.5 command left", {.kind = Kind::Down, .point = {3, 4}, .pressure = 0.5f, .modifiers = kCommandKey}},
    {"wheel 10 20 -0.125 1000 command,shift",
     {.kind = Kind::Wheel, .point = {10, 20}, .modifiers = kShiftKey | kCommandKey, .notches = {-0.125f, 1000}}},
    {"pinch 5 6 0.01", {.kind = Kind::Pinch, .point = {5, 6}, .factor = 0.01f}},
    {"proximity leave eraser", {.kind = Kind::Proximity, .name = "leave", .eraser = true}},
    {"proximity enter tip 65535", {.kind = Kind::Proximity, .name = "enter", .pointerId = 65535}},
    {"action undo: # not a comment", {.kind = Kind::Action, .name = "undo:", .text = "# not a comment"}},
    {"action setPenType:   Fine  #2 Ink  ", {.kind = Kind::Action, .name = "setPenType:", .text = "Fine  #2 Ink"}},
    {"set pen.type # Ink", {.kind = Kind::Set, .name = "pen.type", .text = "# Ink"}},
    {"open /home/me/tabs\tand  spaces.pavo", {.kind = Kind::Open, .text = "/home/me/tabs\tand  spaces.pavo"}},
    {"save café #3.pavo", {.kind = Kind::Save, .text = "café #3.pavo"}},
    {"export\tshot 1 2.png\t 640 480  ",
     {.kind = Kind::Export, .width = 640, .height = 480, .hasSize = true, .text = "shot 1 2.png"}},
    {"export 640 480 1 1", {.kind = Kind::Export, .width = 1, .height = 1, .hasSize = true, .text = "640 480"}},
};
// clang-format on

} // namespace

// Each line reads as its event, and the line written for the event reads back as it, every
// float bit for bit. Comments and blank lines count as lines.
TEST(EventScript, LinesReadAsEventsAndEventsAsLines)
{
    for (const auto& [line, event] : kLines) {
        EXPECT_EQ(events_of(QString::fromUtf8(line), true), std::vector<ScriptEvent>{event}) << line;
        EXPECT_EQ(events_of(format_event(event), true), std::vector<ScriptEvent>{event}) << line;
    }
    const QString commented = QStringLiteral("\xfeff# by hand\n\n   # indented\n#size 10 10\r\ndown 1 2");
    EXPECT_EQ(events_of(commented).at(0).line, 5);
    QRandomGenerator random(7);
    const auto coordinate = [&] { return float(random.bounded(2e7) - 1e7); };
    for (int i = 0; i < 2000; ++i) {
        const ScriptEvent e{.kind = Kind::Move, .point = {coordinate(), coordinate()},
                            .pressure = float(random.generateDouble())};
        ASSERT_EQ(events_of(format_event(e), true), std::vector<ScriptEvent>{e});
    }
    EXPECT_EQ(format_modifiers(kNumericPadKey | kFunctionKey), "-") << "no script names";
}

// A script is checked whole: the first malformed line is named with its number, after a
// good start and before a later bad line.
TEST(EventScript, MalformedLinesAreReportedWithTheirNumber)
{
    const QString longest = QStringLiteral("#") + QString(kMaxScriptLineLength - 1, u'x');
    EXPECT_TRUE(parse_event_script(longest));
    // clang-format off
    const std::pair<QString, const char*> rows[] = {
        {"jump 1 2", "unknown keyword 'jump'"}, {"move 1", "move needs X and Y"},
        {"down 1 2 0.5 shift extra", "field too many"}, {"up 1 2 0.5", "up takes no pressure"},
        {"down nan 2", "finite"}, {"move 10000001 2", "finite"}, {"move 0x10 2", "finite"},
        {"down 1 2#x", "finite"}, {"down 1 2 1.5", "pressure"},
        {"down 1 2 shift,hyper", "unknown modifier 'hyper'"},
        {"flags shift,,control", "modifier name is missing"},
        {"key f12", "key needs a key"}, {"keyup space shift", "field too many"},
        {"down 1 2 middle shift", "field too many"}, {"up 1 2 middle", "unknown modifier 'middle'"},
        {"wheel 1 2 3", "DX and DY"}, {"wheel 1 2 0 1001", "DX and DY"}, {"pinch 1 2 nan", "FACTOR"},
        {"pinch 1 2 101", "FACTOR"}, {"wheel 1 2 0 1 hyper", "unknown modifier"},
        {"proximity hover tip", "enter or leave, then tip or eraser"},
        {"proximity enter tip 65536", "pointer id"}, {"action", "action needs the name"},
        {"set pen.radius   ", "set needs a KEY and a VALUE"}, {"export 640 480", "export needs a file"},
        {"export a.png 10 100001", "export W and H"},
        {"size 10 10", "size must come before the first event"}, {longest + u'x', "long"},
    };
    // clang-format on
    for (const auto& [line, message] : rows) {
        const auto result =
            parse_event_script(QStringLiteral("# good\ndown 1 2\n%1\nup 1 2\nbogus\n").arg(line));
        EXPECT_TRUE(!result && result.error().startsWith(u"line 3: ") &&
                    result.error().contains(QLatin1String(message)))
            << line.left(40).toStdString() << ": " << (result ? "read" : result.error().toStdString());
    }
    for (const char* bad : {"size 0 10", "size 100001 5", "size 10.5 10", "size 10", "size 10 10 10"})
        EXPECT_TRUE(parse_event_script(QLatin1String(bad)).error().startsWith(u"line 1: size")) << bad;
    EXPECT_EQ(parse_event_script(QStringLiteral("size 10 10\n# again\nsize 20 20")).error(),
              QStringLiteral("line 3: only one size line is allowed"));
}

// An event with no line that reads back as itself becomes a one-line comment: a line
// break in a file name can never smuggle a second command into a script.
TEST(EventScript, EventsWithoutALineBecomeHarmlessComments)
{
    const ScriptEvent rows[] = {
        {.kind = Kind::Open, .text = "a.pavo\nsave /tmp/elsewhere.pavo"},
        {.kind = Kind::Save, .text = " a.pavo"},
        {.kind = Kind::Export, .width = 10, .height = 10, .hasSize = true, .text = "x.png\nkey delete"},
        {.kind = Kind::Action, .name = "two words:"},
        {.kind = Kind::Open, .text = QStringLiteral("bad") + QChar(0xd800)},
        {.kind = Kind::Open, .text = QString(kMaxScriptLineLength, u'x')},
        {.kind = Kind::Down, .point = {std::nanf(""), 1}},
        {.kind = Kind::Size, .width = 0, .height = 10, .hasSize = true},
        {.kind = Kind::Key, .name = "f12"},
        {.kind = Kind::Pinch, .factor = 0},
        {.kind = Kind::Wheel, .notches = {INFINITY, 0}},
    };
    for (const ScriptEvent& e : rows) {
        const QString line = format_event(e);
        EXPECT_TRUE(unformattable_reason(e) && !line.contains(u'\n') && !line.contains(u'\r') &&
                    events_of(line).empty())
            << line.toStdString();
    }
}

// The recorder flushes every line as it goes; refused events leave a comment, and the
// file still reads back. A folder that is not there, or a full disk, refuses the file.
TEST(EventScript, TheRecorderWritesAFileThatReadsBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("recording.txt"));
    auto recorder = EventRecorder::open(path);
    ASSERT_TRUE(recorder) << recorder.error().toStdString();
    std::vector<ScriptEvent> events;
    for (const auto& row : kLines) {
        events.push_back(row.second);
        events.back().line = int(events.size()) + 1; // after the header
        EXPECT_TRUE((*recorder)->record(events.back()));
    }
    EXPECT_TRUE((*recorder)->record(kLines[0].second).error().contains(u"before its first event"));
    EXPECT_FALSE((*recorder)->record({.kind = Kind::Open, .text = "x\nsave /tmp/y"}));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString header = QString::fromUtf8(file.readLine());
    const int year = QDate::currentDate().year();
    EXPECT_TRUE(header.startsWith(QStringLiteral("# Pavo event recording, %1").arg(year)));
    EXPECT_EQ(events_of(header + QString::fromUtf8(file.readAll())), events);
    EXPECT_TRUE(EventRecorder::open(dir.filePath("no/such/folder.txt")).error().contains(u"folder.txt"));
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        EXPECT_FALSE(EventRecorder::open("/dev/full"));
    }
}

// The command line: arguments read into a mode, and the pavo executable run as a process.
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
