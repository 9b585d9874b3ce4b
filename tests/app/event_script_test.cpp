// Event scripts: reading lines into events, writing events back as lines, and recording.

#include "event_script.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <ostream>

using Kind = ScriptEvent::Kind;

void PrintTo(const ScriptEvent& e, std::ostream* os)
{
    *os << "line " << e.line << ": " << format_event(e).toStdString();
}

namespace {

EventScript parsed(const QString& text)
{
    auto result = parse_event_script(text);
    if (const auto* error = std::get_if<EventScriptError>(&result)) {
        ADD_FAILURE() << "unexpected error: " << error->text().toStdString();
        return {};
    }
    return std::get<EventScript>(std::move(result));
}

EventScriptError error_of(const EventScriptResult& result)
{
    if (const auto* error = std::get_if<EventScriptError>(&result))
        return *error;
    ADD_FAILURE() << "the script was accepted";
    return {};
}

EventScriptError error_of(const QString& text) { return error_of(parse_event_script(text)); }

ScriptEvent event(Kind kind)
{
    ScriptEvent e;
    e.kind = kind;
    e.line = 1;
    return e;
}

ScriptEvent pointer(Kind kind, float x, float y, float pressure, unsigned modifiers)
{
    ScriptEvent e = event(kind);
    e.point = {x, y};
    e.pressure = pressure;
    e.modifiers = modifiers;
    return e;
}

ScriptEvent with_text(Kind kind, const QString& name, const QString& text)
{
    ScriptEvent e = event(kind);
    e.name = name;
    e.text = text;
    return e;
}

ScriptEvent exporting(const QString& file, int width = 0, int height = 0)
{
    ScriptEvent e = with_text(Kind::Export, {}, file);
    e.width = width;
    e.height = height;
    e.hasSize = width != 0;
    return e;
}

void write_file(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace

TEST(EventScriptParse, ReadsARecordedSession)
{
    const QString script = QStringLiteral("# Drawing a short stroke\r\n"
                                          "size 640 480\r\n"
                                          "\n"
                                          "proximity enter tip 3\n"
                                          "down 10 20 0.5\n"
                                          "move 12.25 -21 0.75 shift\n"
                                          "move 14 22 option,command   # no pressure given\n"
                                          "up 14 22\n"
                                          "\tflags control,capslock\n"
                                          "key backspace\n"
                                          "action undo:\n"
                                          "action setPenType:   Fine  Ink  \n"
                                          "set pen.param.Taper 0.5\n"
                                          "open /tmp/my drawing.pavo\n"
                                          "export out/shot.png 320 240\n"
                                          "print-pdf page.pdf\n"
                                          "proximity leave eraser\r\n");
    const EventScript s = parsed(script);
    EXPECT_EQ(s.viewSize, (Size{640, 480}));
    ASSERT_EQ(s.events.size(), 15u);
    const std::vector<Kind> kinds{Kind::Size,  Kind::Proximity, Kind::Down,   Kind::Move, Kind::Move,
                                  Kind::Up,    Kind::Flags,     Kind::Key,    Kind::Action, Kind::Action,
                                  Kind::Set,   Kind::Open,      Kind::Export, Kind::PrintPdf, Kind::Proximity};
    for (size_t i = 0; i < kinds.size(); ++i)
        EXPECT_EQ(s.events[i].kind, kinds[i]) << "event " << i;
    EXPECT_EQ(s.events[1].line, 4);

    EXPECT_EQ(s.events[1].name, "enter");
    EXPECT_FALSE(s.events[1].eraser);
    EXPECT_EQ(s.events[1].pointerId, 3);
    EXPECT_EQ(s.events[2].point, (Point{10, 20}));
    EXPECT_EQ(s.events[2].pressure, 0.5f);
    EXPECT_EQ(s.events[2].modifiers, 0u);
    EXPECT_EQ(s.events[3].point, (Point{12.25f, -21}));
    EXPECT_EQ(s.events[3].modifiers, unsigned(kShiftKey));
    EXPECT_EQ(s.events[4].pressure, 1.0f);
    EXPECT_EQ(s.events[4].modifiers, unsigned(kOptionKey | kCommandKey));
    EXPECT_EQ(s.events[5].pressure, 0.0f);
    EXPECT_EQ(s.events[6].modifiers, unsigned(kControlKey | kCapsLockKey));
    EXPECT_EQ(s.events[7].name, "backspace");
    EXPECT_EQ(s.events[8].name, "undo:");
    EXPECT_TRUE(s.events[8].text.isEmpty());
    EXPECT_EQ(s.events[9].text, "Fine  Ink");
    EXPECT_EQ(s.events[10].name, "pen.param.Taper");
    EXPECT_EQ(s.events[10].text, "0.5");
    EXPECT_EQ(s.events[11].text, "/tmp/my drawing.pavo");
    EXPECT_EQ(s.events[12].text, "out/shot.png");
    EXPECT_EQ(s.events[12].width, 320);
    EXPECT_EQ(s.events[12].height, 240);
    EXPECT_EQ(s.events[13].text, "page.pdf");
    EXPECT_EQ(s.events[14].name, "leave");
    EXPECT_TRUE(s.events[14].eraser);
}

TEST(EventScriptFormat, EveryKindReadsBackAsTheSameEvent)
{
    ScriptEvent size = event(Kind::Size);
    size.width = 100000, size.height = 1, size.hasSize = true;
    ScriptEvent enter = with_text(Kind::Proximity, QStringLiteral("enter"), {});
    enter.eraser = true, enter.pointerId = 65535;
    ScriptEvent leave = with_text(Kind::Proximity, QStringLiteral("leave"), {});
    ScriptEvent flags = event(Kind::Flags);
    flags.modifiers = kScriptModifierMask;
    const std::vector<ScriptEvent> events{
        size,
        pointer(Kind::Down, 0.1f, -7.5f, 1, 0),
        pointer(Kind::Down, 1e7f, -1e7f, 0, kShiftKey | kCapsLockKey),
        pointer(Kind::Move, 12345.678f, 1e-3f, 0.33333334f, 0),
        pointer(Kind::Move, 3, 4, 1, kCommandKey),
        pointer(Kind::Up, 5, 6, 0, 0),
        pointer(Kind::Up, 5, 6, 0, kOptionKey | kControlKey),
        flags,
        event(Kind::Flags),
        with_text(Kind::Key, QStringLiteral("delete"), {}),
        enter,
        leave,
        with_text(Kind::Action, QStringLiteral("zoomIn:"), {}),
        with_text(Kind::Action, QStringLiteral("setPenType:"), QStringLiteral("Fine  #2 Ink")),
        with_text(Kind::Set, QStringLiteral("pen.color"), QStringLiteral("#ff0000")),
        with_text(Kind::Open, {}, QStringLiteral("/home/me/tabs\tand  spaces.pavo")),
        with_text(Kind::Save, {}, QStringLiteral("café #3.pavo")),
        with_text(Kind::Place, {}, QStringLiteral("picture.png")),
        with_text(Kind::PrintPdf, {}, QStringLiteral("out.pdf")),
        exporting(QStringLiteral("shot.png")),
        exporting(QStringLiteral("take 2.png")),
        exporting(QStringLiteral("shot 1 2.png"), 640, 480),
        exporting(QStringLiteral("640 480"), 1, 1),
    };
    for (const ScriptEvent& e : events) {
        EXPECT_FALSE(unformattable_reason(e)) << format_event(e).toStdString();
        const QString line = format_event(e);
        EXPECT_FALSE(line.contains(u'\n'));
        const EventScript s = parsed(line);
        ASSERT_EQ(s.events.size(), 1u) << line.toStdString();
        EXPECT_EQ(s.events[0], e) << line.toStdString();
    }

    // Every float must come back bit for bit, not just to six digits.
    QRandomGenerator random(7);
    for (int i = 0; i < 2000; ++i) {
        const auto coordinate = [&] { return float(random.bounded(2e7) - 1e7); };
        const ScriptEvent e = pointer(Kind::Move, coordinate(), coordinate(), float(random.generateDouble()), 0);
        const EventScript s = parsed(format_event(e));
        ASSERT_EQ(s.events.size(), 1u);
        ASSERT_EQ(s.events[0], e) << format_event(e).toStdString();
    }
}

TEST(EventScriptFormat, ModifiersInAFixedOrder)
{
    EXPECT_EQ(format_modifiers(0), "-");
    EXPECT_EQ(format_modifiers(kCapsLockKey | kCommandKey | kShiftKey), "shift,command,capslock");
    EXPECT_EQ(format_modifiers(kScriptModifierMask), "shift,control,option,command,capslock");
    // Numeric pad and function have no script names.
    EXPECT_EQ(format_modifiers(kNumericPadKey | kFunctionKey), "-");
    EXPECT_EQ(format_modifiers(kNumericPadKey | kOptionKey), "option");

    const EventScript s = parsed(QStringLiteral("flags capslock,shift,shift\nflags -"));
    ASSERT_EQ(s.events.size(), 2u);
    EXPECT_EQ(s.events[0].modifiers, unsigned(kCapsLockKey | kShiftKey));
    EXPECT_EQ(s.events[1].modifiers, 0u);
}

TEST(EventScriptErrors, AMalformedLineIsReportedWithItsNumber)
{
    struct Case {
        const char* line;
        const char* message; // a part of the expected message
    };
    const Case cases[] = {
        {"jump 1 2", "unknown keyword 'jump'"},
        {"Down 1 2", "unknown keyword"},
        {"move 1", "move needs X and Y"},
        {"down 1 2 0.5 shift extra", "field too many"},
        {"up 1 2 0.5", "up takes no pressure"},
        {"down nan 2", "finite"},
        {"move 10000001 2", "finite"},
        {"move 1 -1e39", "finite"},
        {"move 0x10 2", "finite"},
        {"down 1 2 1.5", "pressure"},
        {"down 1 2 nan", "pressure"},
        {"move 1 2 0.5x", "pressure"},
        {"down 1 2 shift,hyper", "unknown modifier 'hyper'"},
        {"flags alt", "unknown modifier 'alt'"},
        {"flags shift,,control", "modifier name is missing"},
        {"flags", "flags needs MODS"},
        {"flags - shift", "field too many"},
        {"key escape", "key must be delete or backspace"},
        {"proximity enter", "enter or leave, then tip or eraser"},
        {"proximity hover tip", "enter or leave, then tip or eraser"},
        {"proximity enter tip 65536", "pointer id"},
        {"proximity leave tip 1 2", "field too many"},
        {"action", "action needs the name"},
        {"set pen.radius   ", "set needs a KEY and a VALUE"},
        {"open", "open needs a file"},
        {"save \t", "save needs a file"},
        {"print-pdf", "print-pdf needs a file"},
        {"export", "export needs a file"},
        {"export 640 480", "export needs a file"},
        {"export a.png 10 100001", "export W and H"},
    };
    for (const Case& c : cases) {
        const QString script =
            QStringLiteral("# a good start\ndown 1 2\n%1\nup 1 2\nbogus\n").arg(QLatin1String(c.line));
        const EventScriptError error = error_of(script);
        EXPECT_EQ(error.line, 3) << c.line;
        EXPECT_TRUE(error.message.contains(QLatin1String(c.message)))
            << c.line << " gave: " << error.message.toStdString();
        EXPECT_EQ(error.text(), QStringLiteral("line 3: ") + error.message);
    }
}

TEST(EventScriptSize, OnlyOneSizeAndOnlyBeforeTheFirstEvent)
{
    EXPECT_EQ(parsed(QStringLiteral("down 1 2")).viewSize, (Size{800, 600}));

    const EventScript s = parsed(QStringLiteral("# made by hand\n\nsize 1024 768\ndown 1 2"));
    EXPECT_EQ(s.viewSize, (Size{1024, 768}));
    ASSERT_EQ(s.events.size(), 2u);
    EXPECT_EQ(s.events[0].kind, Kind::Size);

    EventScriptError error = error_of(QStringLiteral("down 1 2\nsize 10 10"));
    EXPECT_EQ(error.line, 2);
    EXPECT_TRUE(error.message.contains(QLatin1String("before the first event")));
    error = error_of(QStringLiteral("size 10 10\n# again\nsize 20 20"));
    EXPECT_EQ(error.line, 3);
    EXPECT_TRUE(error.message.contains(QLatin1String("only one size")));

    for (const char* bad :
         {"size 0 10", "size 100001 5", "size 10.5 10", "size -5 5", "size 10", "size 10 10 10"}) {
        error = error_of(QString::fromLatin1(bad));
        EXPECT_EQ(error.line, 1) << bad;
        EXPECT_TRUE(error.message.startsWith(QLatin1String("size"))) << bad;
    }
    EXPECT_EQ(parsed(QStringLiteral("size 100000 1")).viewSize, (Size{100000, 1}));
}

TEST(EventScriptExport, TrailingWholeNumbersAreTheSize)
{
    const EventScript s = parsed(QStringLiteral("export shot.png\n"
                                                "export my shot 2.png 640 480\n"
                                                "export\tfinal cut.png\t 12 34  \n"
                                                "export take 2.png\n"
                                                "export 2024 01 shot.png\n"
                                                "export v 1.5 2"));
    ASSERT_EQ(s.events.size(), 6u);
    EXPECT_EQ(s.events[0], (exporting(QStringLiteral("shot.png"))));
    ScriptEvent expected = exporting(QStringLiteral("my shot 2.png"), 640, 480);
    expected.line = 2;
    EXPECT_EQ(s.events[1], expected);
    expected = exporting(QStringLiteral("final cut.png"), 12, 34);
    expected.line = 3;
    EXPECT_EQ(s.events[2], expected);
    EXPECT_EQ(s.events[3].text, "take 2.png");
    EXPECT_EQ(s.events[4].text, "2024 01 shot.png");
    EXPECT_EQ(s.events[5].text, "v 1.5 2");
    EXPECT_FALSE(s.events[3].hasSize || s.events[4].hasSize || s.events[5].hasSize);

    // Without W H, a name ending in two numbers would read back as a size.
    const ScriptEvent ambiguous = exporting(QStringLiteral("shot 1 2"));
    EXPECT_TRUE(unformattable_reason(ambiguous));
    EXPECT_TRUE(parsed(format_event(ambiguous)).events.empty());
}

TEST(EventScriptComments, HashIsACommentExceptInFreeText)
{
    const EventScript s = parsed(QStringLiteral("   # indented comment\n"
                                                "#size 10 10\n"
                                                "down 1 2 # pen down\n"
                                                "flags shift\t#\tshift held\n"
                                                "open notes #2.pavo\n"
                                                "set pen.type # Ink\n"
                                                "action undo: # not a comment\n"));
    EXPECT_EQ(s.viewSize, (Size{800, 600}));
    ASSERT_EQ(s.events.size(), 5u);
    EXPECT_EQ(s.events[0].line, 3);
    EXPECT_EQ(s.events[0].point, (Point{1, 2}));
    EXPECT_EQ(s.events[1].modifiers, unsigned(kShiftKey));
    EXPECT_EQ(s.events[2].text, "notes #2.pavo");
    EXPECT_EQ(s.events[3].text, "# Ink");
    EXPECT_EQ(s.events[4].text, "# not a comment");

    // A '#' inside a field is part of it.
    EXPECT_EQ(error_of(QStringLiteral("down 1 2#x")).line, 1);
}

TEST(EventScriptLimits, LongLinesLargeAndUnreadableFilesAreRefused)
{
    const QString longest = QStringLiteral("#") + QString(kMaxScriptLineLength - 1, u'x');
    EXPECT_TRUE(parsed(longest + QStringLiteral("\ndown 1 2")).events.size() == 1);
    const EventScriptError error = error_of(QStringLiteral("down 1 2\n") + longest + u'x');
    EXPECT_EQ(error.line, 2);
    EXPECT_TRUE(error.message.contains(QLatin1String("longer")));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    EventScriptError unreadable = error_of(read_event_script(missing));
    EXPECT_EQ(unreadable.line, 0);
    EXPECT_TRUE(unreadable.text().contains(missing));
    EXPECT_FALSE(unreadable.text().startsWith(QLatin1String("line")));
    EXPECT_EQ(error_of(read_event_script(dir.path())).line, 0);

    const QString large = dir.filePath(QStringLiteral("large.txt"));
    {
        QFile file(large);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kMaxScriptBytes + 1)); // sparse: costs no disk
    }
    const EventScriptError tooLarge = error_of(read_event_script(large));
    EXPECT_EQ(tooLarge.line, 0);
    EXPECT_TRUE(tooLarge.message.contains(QLatin1String("larger")));

    // A byte-order mark is skipped; invalid UTF-8 reads as replacement characters.
    const QString script = dir.filePath(QStringLiteral("bytes.txt"));
    write_file(script, QByteArray("\xef\xbb\xbfopen caf\xc3\xa9.pavo\nsave bad\xff.pavo\n"));
    const auto result = read_event_script(script);
    ASSERT_TRUE(std::holds_alternative<EventScript>(result)) << error_of(result).text().toStdString();
    const EventScript s = std::get<EventScript>(result);
    ASSERT_EQ(s.events.size(), 2u);
    EXPECT_EQ(s.events[0].kind, Kind::Open);
    EXPECT_EQ(s.events[0].text, QStringLiteral("café.pavo"));
    EXPECT_EQ(s.events[1].text, QStringLiteral("bad\ufffd.pavo"));
}

TEST(EventScriptFormat, EventsWithoutALineBecomeHarmlessComments)
{
    ScriptEvent badSize = event(Kind::Size);
    badSize.width = 0, badSize.height = 10, badSize.hasSize = true;
    const QChar loneSurrogate(0xd800);
    const std::vector<ScriptEvent> events{
        with_text(Kind::Open, {}, QStringLiteral("a.pavo\nsave /tmp/elsewhere.pavo")),
        with_text(Kind::Save, {}, QStringLiteral("a.pavo\r")),
        with_text(Kind::PrintPdf, {}, {}),
        exporting(QStringLiteral("x.png\nkey delete"), 10, 10),
        with_text(Kind::Action, QStringLiteral("two words:"), {}),
        with_text(Kind::Action, QStringLiteral("undo:"), QStringLiteral("title\nflags shift")),
        with_text(Kind::Set, QStringLiteral("pen.type"), {}),
        with_text(Kind::Open, {}, QStringLiteral("bad") + loneSurrogate),
        with_text(Kind::Open, {}, QString(kMaxScriptLineLength, u'x')),
        with_text(Kind::Key, QStringLiteral("escape"), {}),
        with_text(Kind::Proximity, QStringLiteral("hover"), {}),
        pointer(Kind::Down, std::nanf(""), 1, 1, 0),
        pointer(Kind::Move, 1, 2e7f, 1, 0),
        pointer(Kind::Move, 1, 2, 1.5f, 0),
        badSize,
    };
    for (const ScriptEvent& e : events) {
        const QString line = format_event(e);
        EXPECT_TRUE(unformattable_reason(e)) << line.toStdString();
        EXPECT_FALSE(line.contains(u'\n') || line.contains(u'\r')) << line.toStdString();
        EXPECT_TRUE(parsed(line).events.empty()) << line.toStdString();
    }
}

TEST(EventScriptRecorder, WritesAFileThatReadsBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("recording.txt"));
    QString error;
    auto recorder = EventRecorder::open(path, &error);
    ASSERT_TRUE(recorder) << error.toStdString();

    ScriptEvent size = event(Kind::Size);
    size.width = 320, size.height = 200, size.hasSize = true;
    std::vector<ScriptEvent> events{size,
                                    with_text(Kind::Proximity, QStringLiteral("enter"), {}),
                                    pointer(Kind::Down, 1.5f, 2, 0.25f, kShiftKey),
                                    pointer(Kind::Move, 3, 4.75f, 0.5f, kShiftKey),
                                    pointer(Kind::Up, 3, 4.75f, 0, 0),
                                    with_text(Kind::Save, {}, QStringLiteral("my drawing #1.pavo"))};
    for (size_t i = 0; i < events.size(); ++i) {
        events[i].line = int(i) + 2; // after the header
        EXPECT_TRUE(recorder->record(events[i])) << recorder->error().toStdString();
    }

    // Refused events leave a comment, and the file still reads back.
    size.width = 640;
    EXPECT_FALSE(recorder->record(size));
    EXPECT_TRUE(recorder->error().contains(QLatin1String("before its first event")));
    EXPECT_FALSE(recorder->record(with_text(Kind::Open, {}, QStringLiteral("x\nsave /tmp/y"))));
    EXPECT_FALSE(recorder->error().isEmpty());

    // Read while the recorder is still open: every line is flushed as it is recorded.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString header = QString::fromUtf8(file.readLine());
    EXPECT_TRUE(header.startsWith(QLatin1String("# Pavo"))) << header.toStdString();
    EXPECT_TRUE(header.contains(QString::number(QDate::currentDate().year())));
    const EventScript s = parsed(header + QString::fromUtf8(file.readAll()));
    EXPECT_EQ(s.viewSize, (Size{320, 200}));
    EXPECT_EQ(s.events, events);

    // Opening again starts a new recording.
    recorder = EventRecorder::open(path, &error);
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(recorder->record(with_text(Kind::Key, QStringLiteral("delete"), {})));
    const auto again = read_event_script(path);
    ASSERT_TRUE(std::holds_alternative<EventScript>(again));
    EXPECT_EQ(std::get<EventScript>(again).events.size(), 1u);

    EXPECT_FALSE(EventRecorder::open(dir.filePath(QStringLiteral("no/such/folder.txt")), &error));
    EXPECT_TRUE(error.contains(QLatin1String("folder.txt")));
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        error.clear();
        EXPECT_FALSE(EventRecorder::open(QStringLiteral("/dev/full"), &error));
        EXPECT_FALSE(error.isEmpty());
    }
}
