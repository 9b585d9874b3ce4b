// Event scripts: lines read into events, events written back as lines, and recording.

#include "event_recorder.h"
#include "event_script.h"

#include <gtest/gtest.h>

#include <QtCore>

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
