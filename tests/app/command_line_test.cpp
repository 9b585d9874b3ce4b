// The command line: arguments read into a mode, the pavo executable run as a process, and
// the window frame string saved with a drawing. All read what a user or a file hands over,
// so every refusal matters as much as a success.

#include "command_line.h"
#include "drawing.h"
#include "replay.h"
#include "window_frame.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

QString joined(const QStringList& args) { return args.join(u' '); }

// What a command line holds, in words, leaving out what is empty.
QString described(const CommandLine& c)
{
    QStringList parts{QStringList{"open", "export", "replay", "help", "version"}.at(int(c.mode))};
    const auto add = [&](const char* label, const QString& value) {
        if (!value.isEmpty()) parts << QLatin1String(label) + value;
    };
    add("files:", c.files.join(u','));
    add("out:", c.output);
    add("script:", c.script);
    add("w:", c.width ? QString::number(*c.width) : QString());
    add("h:", c.height ? QString::number(*c.height) : QString());
    add("size:", c.viewSize ? QStringLiteral("%1x%2").arg(c.viewSize->width).arg(c.viewSize->height) : QString());
    add("record:", c.record.value_or(QString()));
    add("", c.headless() ? QStringLiteral("headless") : QString());
    return parts.join(u' ');
}

} // namespace

TEST(CommandLine, ArgumentsReadAsAMode)
{
    const struct {
        QStringList args;
        const char* expected;
    } rows[] = {
        {{}, "open"},
        {{"b.pavo", "a picture.png"}, "open files:b.pavo,a picture.png"},
        {{"--record", "rec.txt", "a.pavo", "b.pavo"}, "open files:a.pavo,b.pavo record:rec.txt"},
        {{"a.pavo", "--", "-draft.pavo", "--record", "--"}, "open files:a.pavo,-draft.pavo,--record,--"},
        {{"--export", "out.png", "doc.pavo"}, "export files:doc.pavo out:out.png headless"},
        {{"--export", "out.png", "--width", "1", "doc.pavo", "--height", "100000"},
         "export files:doc.pavo out:out.png w:1 h:100000 headless"},
        {{"--replay", "s.txt"}, "replay script:s.txt headless"},
        {{"--replay", "s.txt", "--size", "640", "480", "doc.pavo"},
         "replay files:doc.pavo script:s.txt size:640x480 headless"},
        {{"--replay", "s.txt", "doc.pavo", "--size", "1", "100000"},
         "replay files:doc.pavo script:s.txt size:1x100000 headless"},
        {{"--help"}, "help headless"},
        {{"--version"}, "version headless"},
    };
    for (const auto& row : rows) {
        const auto parsed = parse_command_line(row.args);
        ASSERT_TRUE(parsed) << joined(row.args).toStdString() << ": " << parsed.error().toStdString();
        EXPECT_EQ(described(*parsed), QString::fromUtf8(row.expected)) << joined(row.args).toStdString();
        // Whether a display is needed is decided before parsing, and agrees with it.
        EXPECT_EQ(wants_headless(row.args), parsed->headless()) << joined(row.args).toStdString();
    }
}

// Each refusal names the argument at fault (when there is one).
TEST(CommandLine, RefusalsNameWhatIsWrong)
{
    const struct {
        QStringList args;
        const char* named;
    } rows[] = {
        {{"--record"}, "--record"},
        {{"-x", "a.pavo"}, "-x"},
        {{"a.pavo", "--export", "out.png"}, "--export"},
        {{"a.pavo", "--help"}, "--help"},
        {{"--version", "a.pavo"}, "--version"},
        {{"--export", "out.png"}, "--export"},
        {{"--export", "out.png", "a.pavo", "b.pavo"}, "--export"},
        {{"--export", "out.png", "--scale", "2", "a.pavo"}, "--scale"},
        {{"--export", "out.png", "doc.pavo", "--width"}, "--width"},
        {{"--replay", "s.txt", "a.pavo", "b.pavo"}, "--replay"},
        {{"--replay", "s.txt", "--width", "5"}, "--width"},
        {{"--replay", "s.txt", "--size", "640"}, "--size"},
    };
    for (const auto& row : rows) {
        const auto parsed = parse_command_line(row.args);
        EXPECT_TRUE(!parsed && parsed.error().contains(QLatin1String(row.named))) << joined(row.args).toStdString();
    }
    for (const char* bad : {"0", "-3", "abc", "12px", "1.5", "", "100001", "99999999999"}) {
        for (const char* option : {"--width", "--height"})
            EXPECT_TRUE(parse_command_line({"--export", "out.png", option, bad, "doc.pavo"}).error().contains(option)) << bad;
        EXPECT_TRUE(parse_command_line({"--replay", "s.txt", "--size", "640", bad}).error().contains(u"--size")) << bad;
    }
}

// The executable itself: exit status 0, 1 for a failed file, 2 for a usage error or a
// malformed script; and --export with one side keeps the saved view's proportions,
// rounded half up.
class Executable : public ReplayTest {};

TEST_F(Executable, ExitStatusesAndExportSizes)
{
    Drawing drawing;
    for (const auto& [name, frame] :
         {std::pair{"d.pavo", "0 0 300 201"}, {"e.pavo", "0 0 300 200"}, {"wide.pavo", "0 0 3000 100"}})
        ASSERT_TRUE(drawing.save(path(name), QLatin1String(frame), std::nullopt));
    QFile script(path("bad.txt"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly) && script.write("down 1 2\nmove 3\n") > 0);
    script.close();

    const struct {
        QStringList args;
        int status;
        const char* says;      // in the output (status 0) or the errors
        QSize exported;        // of out.png, when the row writes it
    } rows[] = {
        {{"--help"}, 0, "--export OUT [--width W] [--height H] DOCUMENT", {}},
        {{"--version"}, 0, "Pavo ", {}},
        {{"--export", path("out.png"), path("d.pavo")}, 0, "", {300, 201}},
        {{"--export", path("out.png"), "--width", "100", path("d.pavo")}, 0, "", {100, 67}},
        {{"--export", path("out.png"), "--width", "150", path("d.pavo")}, 0, "", {150, 101}},
        {{"--export", path("out.png"), "--height", "100", path("d.pavo")}, 0, "", {149, 100}},
        {{"--export", path("out.png"), "--height", "3", path("e.pavo")}, 0, "", {5, 3}},
        {{"--export", path("out.png"), "--width", "1", path("wide.pavo")}, 0, "", {1, 1}},
        {{"--export", path("out.png"), "--height", "30000", path("wide.pavo")}, 1, "too large", {}},
        {{"--export", path("out.png"), "--width", "20", "--height", "30", path("d.pavo")}, 0, "", {20, 30}},
        {{"--export", path("out.png"), path("missing.pavo")}, 1, "missing.pavo", {}},
        {{"--export", path("out.bmp"), path("d.pavo")}, 1, "out.bmp", {}},
        {{"--export", path("out.png"), "--width", "0", path("d.pavo")}, 2, "--width", {}},
        {{"--replay", path("bad.txt")}, 2, "line 2: ", {}},
        {{"--replay", path("missing.txt")}, 2, "missing.txt", {}},
        {{"--frobnicate"}, 2, "--frobnicate", {}},
    };
    for (const auto& row : rows) {
        QFile::remove(path("out.png"));
        const ProcessRun run = run_pavo(row.args);
        EXPECT_EQ(run.status, row.status) << joined(row.args).toStdString() << "\n" << run.errors.toStdString();
        EXPECT_TRUE((row.status == 0 ? run.output : run.errors).contains(QLatin1String(row.says)))
            << joined(row.args).toStdString() << "\n" << run.output.toStdString() << run.errors.toStdString();
        EXPECT_EQ(QImage(path("out.png")).size(), row.exported.isValid() ? row.exported : QSize(0, 0)) << joined(row.args).toStdString();
    }
}

TEST(WindowFrame, FourNumbersNameAFrameAndWhatFollowsIsIgnored)
{
    const struct {
        const char* text;
        int x, y, width, height;
    } rows[] = {
        {"10 20 300 200", 10, 20, 300, 200},
        {"-1200 40 800 600 0 0 1920 1080", -1200, 40, 800, 600},
        {"0 0 100000 1", 0, 0, 100000, 1},
        {"1 2 3 4 whatever", 1, 2, 3, 4},
        {"10.4 -20.2 300.9 200.5", 10, -20, 300, 200},
    };
    for (const auto& row : rows) {
        const auto frame = parse_window_frame(QLatin1String(row.text));
        ASSERT_TRUE(frame) << row.text;
        EXPECT_EQ(std::vector<int>({frame->x, frame->y, frame->width, frame->height}),
                  std::vector<int>({row.x, row.y, row.width, row.height}))
            << row.text;
        EXPECT_EQ(parse_window_frame(format_window_frame(*frame))->width, frame->width);
    }
    for (const char* bad : {"", "1 2 3", "a b c d", "1,2,3,4", "1 2 0 4", "1 2 4 -5", "1 2 100001 4",
                            "1 2 4 1e12", "1e12 0 100 100", "nan 2 3 4", "0 0 inf 10", "1 2 0.4 10"})
        EXPECT_FALSE(parse_window_frame(QLatin1String(bad))) << bad;
}
