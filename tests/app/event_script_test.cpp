// Event scripts: lines read into events, events written back as lines, and recording.

#include "event_recorder.h"
#include "event_script.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <ostream>

using Kind = ScriptEvent::Kind;

void PrintTo(const ScriptEvent& e, std::ostream* os) { *os << "line " << e.line << ": " << format_event(e).toStdString(); }

namespace {

std::vector<ScriptEvent> events_of(const QString& text)
{
    const Result<EventScript> result = parse_event_script(text);
    EXPECT_TRUE(result) << result.error().toStdString();
    return result ? result->events : std::vector<ScriptEvent>{};
}

ScriptEvent event(Kind kind, const QString& name = {}, const QString& text = {})
{
    ScriptEvent e;
    e.kind = kind, e.line = 1, e.name = name, e.text = text;
    return e;
}

ScriptEvent pointer(Kind kind, Point at, float pressure, unsigned modifiers = 0)
{
    ScriptEvent e = event(kind);
    e.point = at, e.pressure = pressure, e.modifiers = modifiers;
    return e;
}

ScriptEvent sized(Kind kind, const QString& file, int width, int height)
{
    ScriptEvent e = event(kind, {}, file);
    e.width = width, e.height = height, e.hasSize = true;
    return e;
}

ScriptEvent proximity(const char* motion, bool eraser, quint16 id)
{
    ScriptEvent e = event(Kind::Proximity, QLatin1String(motion));
    e.eraser = eraser, e.pointerId = id;
    return e;
}

ScriptEvent flags(unsigned modifiers)
{
    ScriptEvent e = event(Kind::Flags);
    e.modifiers = modifiers;
    return e;
}

} // namespace

// One line, the event it reads as: fields, defaults, comments, blanks and free text.
TEST(EventScript, LinesReadAsEvents)
{
    const struct {
        const char* line;
        ScriptEvent expected;
    } rows[] = {
        {"size 640 480", sized(Kind::Size, {}, 640, 480)},
        {"down 10 20 0.5", pointer(Kind::Down, {10, 20}, 0.5f)},
        {"  move 12.25 -21 0.75 shift", pointer(Kind::Move, {12.25f, -21}, 0.75f, kShiftKey)},
        {"move 14 22 option,command   # no pressure given", pointer(Kind::Move, {14, 22}, 1, kOptionKey | kCommandKey)},
        {"up 14 22\r", pointer(Kind::Up, {14, 22}, 0)},
        {"\tflags capslock,shift,shift\t#\theld", flags(kCapsLockKey | kShiftKey)},
        {"flags -", flags(0)},
        {"key backspace", event(Kind::Key, QStringLiteral("backspace"))},
        {"proximity enter tip 3", proximity("enter", false, 3)},
        {"proximity leave eraser", proximity("leave", true, 0)},
        {"action undo: # not a comment", event(Kind::Action, QStringLiteral("undo:"), QStringLiteral("# not a comment"))},
        {"action setPenType:   Fine  Ink  ", event(Kind::Action, QStringLiteral("setPenType:"), QStringLiteral("Fine  Ink"))},
        {"set pen.type # Ink", event(Kind::Set, QStringLiteral("pen.type"), QStringLiteral("# Ink"))},
        {"open /tmp/my notes #2.pavo", event(Kind::Open, {}, QStringLiteral("/tmp/my notes #2.pavo"))},
        {"print-pdf page.pdf", event(Kind::PrintPdf, {}, QStringLiteral("page.pdf"))},
        {"export shot.png", event(Kind::Export, {}, QStringLiteral("shot.png"))},
        {"export\tfinal cut.png\t 12 34  ", sized(Kind::Export, QStringLiteral("final cut.png"), 12, 34)},
        {"export take 2.png", event(Kind::Export, {}, QStringLiteral("take 2.png"))},
        {"export v 1.5 2", event(Kind::Export, {}, QStringLiteral("v 1.5 2"))},
    };
    for (const auto& row : rows) {
        const auto events = events_of(QString::fromUtf8(row.line));
        ASSERT_EQ(events.size(), 1u) << row.line;
        EXPECT_EQ(events[0], row.expected) << row.line;
    }
    // Comments and blank lines count as lines.
    const auto events = events_of(QStringLiteral("\xfeff# made by hand\n\n   # indented\n#size 10 10\r\ndown 1 2"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].line, 5);
}

// A script is checked whole: the first malformed line is named with its number, after a
// good start and before a later bad line.
TEST(EventScript, MalformedLinesAreReportedWithTheirNumber)
{
    const struct {
        const char* line;
        const char* message;
    } rows[] = {
        {"jump 1 2", "unknown keyword 'jump'"},
        {"Down 1 2", "unknown keyword"},
        {"move 1", "move needs X and Y"},
        {"down 1 2 0.5 shift extra", "field too many"},
        {"up 1 2 0.5", "up takes no pressure"},
        {"down nan 2", "finite"},
        {"move 10000001 2", "finite"},
        {"move 1 -1e39", "finite"},
        {"move 0x10 2", "finite"},
        {"down 1 2#x", "finite"},
        {"down 1 2 1.5", "pressure"},
        {"move 1 2 0.5x", "pressure"},
        {"down 1 2 shift,hyper", "unknown modifier 'hyper'"},
        {"flags shift,,control", "modifier name is missing"},
        {"flags", "flags needs MODS"},
        {"key escape", "key must be delete or backspace"},
        {"proximity hover tip", "enter or leave, then tip or eraser"},
        {"proximity enter tip 65536", "pointer id"},
        {"action", "action needs the name"},
        {"set pen.radius   ", "set needs a KEY and a VALUE"},
        {"save \t", "save needs a file"},
        {"export 640 480", "export needs a file"},
        {"export a.png 10 100001", "export W and H"},
        {"size 10 10", "size must come before the first event"},
    };
    for (const auto& row : rows) {
        const auto result = parse_event_script(
            QStringLiteral("# a good start\ndown 1 2\n%1\nup 1 2\nbogus\n").arg(QLatin1String(row.line)));
        ASSERT_FALSE(result) << row.line;
        EXPECT_TRUE(result.error().startsWith(u"line 3: ")) << result.error().toStdString();
        EXPECT_TRUE(result.error().contains(QLatin1String(row.message))) << result.error().toStdString();
    }
    for (const char* bad : {"size 0 10", "size 100001 5", "size 10.5 10", "size 10", "size 10 10 10"})
        EXPECT_TRUE(parse_event_script(QLatin1String(bad)).error().startsWith(u"line 1: size")) << bad;
    EXPECT_EQ(parse_event_script(QStringLiteral("size 10 10\n# again\nsize 20 20")).error(),
              QStringLiteral("line 3: only one size line is allowed"));
    const QString longest = QStringLiteral("#") + QString(kMaxScriptLineLength - 1, u'x');
    EXPECT_TRUE(parse_event_script(longest));
    EXPECT_TRUE(parse_event_script(QStringLiteral("down 1 2\n") + longest + u'x').error().startsWith(u"line 2: "));
}

TEST(EventScript, EveryEventReadsBackFromItsLine)
{
    const std::vector<ScriptEvent> events{
        sized(Kind::Size, {}, 100000, 1),
        pointer(Kind::Down, {1e7f, -1e7f}, 0, kShiftKey | kCapsLockKey),
        pointer(Kind::Move, {12345.678f, 1e-3f}, 0.33333334f),
        pointer(Kind::Up, {5, 6}, 0, kOptionKey | kControlKey),
        flags(kScriptModifierMask),
        event(Kind::Key, QStringLiteral("delete")),
        proximity("enter", true, 65535),
        event(Kind::Action, QStringLiteral("setPenType:"), QStringLiteral("Fine  #2 Ink")),
        event(Kind::Set, QStringLiteral("pen.color"), QStringLiteral("#ff0000")),
        event(Kind::Open, {}, QStringLiteral("/home/me/tabs\tand  spaces.pavo")),
        event(Kind::Save, {}, QStringLiteral("café #3.pavo")),
        event(Kind::Place, {}, QStringLiteral("picture.png")),
        sized(Kind::Export, QStringLiteral("shot 1 2.png"), 640, 480),
        sized(Kind::Export, QStringLiteral("640 480"), 1, 1),
    };
    for (const ScriptEvent& e : events) {
        const QString line = format_event(e);
        EXPECT_EQ(events_of(line), std::vector<ScriptEvent>{e}) << line.toStdString();
    }
    // Every float comes back bit for bit, not just to six digits.
    QRandomGenerator random(7);
    for (int i = 0; i < 2000; ++i) {
        const auto coordinate = [&] { return float(random.bounded(2e7) - 1e7); };
        const ScriptEvent e = pointer(Kind::Move, {coordinate(), coordinate()}, float(random.generateDouble()));
        ASSERT_EQ(events_of(format_event(e)), std::vector<ScriptEvent>{e}) << format_event(e).toStdString();
    }
    EXPECT_EQ(format_modifiers(kNumericPadKey | kFunctionKey), "-") << "no script names";
}

// An event with no line that reads back as itself becomes a one-line comment: a line
// break in a file name can never smuggle a second command into a script.
TEST(EventScript, EventsWithoutALineBecomeHarmlessComments)
{
    const std::vector<ScriptEvent> events{
        event(Kind::Open, {}, QStringLiteral("a.pavo\nsave /tmp/elsewhere.pavo")),
        event(Kind::Save, {}, QStringLiteral("a.pavo\r")),
        event(Kind::Save, {}, QStringLiteral(" a.pavo")),
        event(Kind::PrintPdf),
        sized(Kind::Export, QStringLiteral("x.png\nkey delete"), 10, 10),
        event(Kind::Export, {}, QStringLiteral("shot 1 2")),
        event(Kind::Action, QStringLiteral("two words:")),
        event(Kind::Action, QStringLiteral("undo:"), QStringLiteral("title\nflags shift")),
        event(Kind::Open, {}, QStringLiteral("bad") + QChar(0xd800)),
        event(Kind::Open, {}, QString(kMaxScriptLineLength, u'x')),
        event(Kind::Key, QStringLiteral("escape")),
        pointer(Kind::Down, {std::nanf(""), 1}, 1),
        pointer(Kind::Move, {1, 2}, 1.5f),
        sized(Kind::Size, {}, 0, 10),
    };
    for (const ScriptEvent& e : events) {
        const QString line = format_event(e);
        EXPECT_TRUE(unformattable_reason(e)) << line.toStdString();
        EXPECT_FALSE(line.contains(u'\n') || line.contains(u'\r')) << line.toStdString();
        EXPECT_TRUE(events_of(line).empty()) << line.toStdString();
    }
}

TEST(EventScript, FilesThatCannotBeReadAreRefusedWithoutALineNumber)
{
    QTemporaryDir dir;
    const QString large = dir.filePath(QStringLiteral("large.txt"));
    {
        QFile file(large);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kMaxScriptBytes + 1)); // sparse: costs no disk
    }
    for (const QString& path : {dir.filePath(QStringLiteral("missing.txt")), dir.path(), large}) {
        const auto result = read_event_script(path);
        ASSERT_FALSE(result);
        EXPECT_TRUE(result.error().contains(path)) << result.error().toStdString();
    }
    // Invalid UTF-8 reads as replacement characters.
    const QString script = dir.filePath(QStringLiteral("bytes.txt"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xef\xbb\xbfopen caf\xc3\xa9.pavo\nsave bad\xff.pavo\n");
    file.close();
    const auto result = read_event_script(script);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->events.size(), 2u);
    EXPECT_EQ(result->events[0].text, QStringLiteral("café.pavo"));
    EXPECT_EQ(result->events[1].text, QStringLiteral("bad\ufffd.pavo"));
}

TEST(EventScript, TheRecorderWritesAFileThatReadsBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("recording.txt"));
    auto recorder = EventRecorder::open(path);
    ASSERT_TRUE(recorder) << recorder.error().toStdString();

    std::vector<ScriptEvent> events{sized(Kind::Size, {}, 320, 200), proximity("enter", false, 0),
                                    pointer(Kind::Down, {1.5f, 2}, 0.25f, kShiftKey), pointer(Kind::Up, {3, 4.75f}, 0),
                                    event(Kind::Save, {}, QStringLiteral("my drawing #1.pavo"))};
    for (size_t i = 0; i < events.size(); ++i) {
        events[i].line = int(i) + 2; // after the header
        EXPECT_TRUE((*recorder)->record(events[i]));
    }
    // Refused events leave a comment, and the file still reads back.
    const Result<> lateSize = (*recorder)->record(sized(Kind::Size, {}, 640, 200));
    EXPECT_TRUE(lateSize.error().contains(QLatin1String("before its first event")));
    EXPECT_FALSE((*recorder)->record(event(Kind::Open, {}, QStringLiteral("x\nsave /tmp/y"))));

    // Read while the recorder is still open: every line is flushed as it is recorded.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString header = QString::fromUtf8(file.readLine());
    EXPECT_TRUE(header.startsWith(QStringLiteral("# Pavo event recording, %1").arg(QDate::currentDate().year())));
    EXPECT_EQ(events_of(header + QString::fromUtf8(file.readAll())), events);

    EXPECT_TRUE(EventRecorder::open(dir.filePath(QStringLiteral("no/such/folder.txt"))).error().contains(u"folder.txt"));
    // A full disk refuses even the header line.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        EXPECT_FALSE(EventRecorder::open(QStringLiteral("/dev/full")));
    }
}
