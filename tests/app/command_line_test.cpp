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

using Mode = CommandLine::Mode;

QString joined(const QStringList& args) { return args.join(u' '); }

// The parts of a command line a row names, written out for comparison.
QString described(const CommandLine& c)
{
    QStringList parts{QString::number(int(c.mode)), c.files.join(u','), c.output, c.script};
    parts << (c.width ? QString::number(*c.width) : QString()) << (c.height ? QString::number(*c.height) : QString());
    parts << (c.viewSize ? QStringLiteral("%1x%2").arg(c.viewSize->width).arg(c.viewSize->height) : QString());
    parts << c.record.value_or(QString()) << (c.headless() ? QStringLiteral("headless") : QString());
    return parts.join(u'|');
}

CommandLine line(Mode mode, QStringList files = {})
{
    CommandLine c;
    c.mode = mode, c.files = std::move(files);
    return c;
}

CommandLine exporting(QStringList files, std::optional<int> w, std::optional<int> h)
{
    CommandLine c = line(Mode::Export, std::move(files));
    c.output = QStringLiteral("out.png"), c.width = w, c.height = h;
    return c;
}

CommandLine replaying(QStringList files, std::optional<Size> size)
{
    CommandLine c = line(Mode::Replay, std::move(files));
    c.script = QStringLiteral("s.txt"), c.viewSize = size;
    return c;
}

CommandLine recording(QStringList files)
{
    CommandLine c = line(Mode::Open, std::move(files));
    c.record = QStringLiteral("rec.txt");
    return c;
}

} // namespace

TEST(CommandLine, ArgumentsReadAsAMode)
{
    const struct {
        QStringList args;
        CommandLine expected;
    } rows[] = {
        {{}, line(Mode::Open)},
        {{"b.pavo", "a picture.png"}, line(Mode::Open, {"b.pavo", "a picture.png"})},
        {{"--record", "rec.txt", "a.pavo", "b.pavo"}, recording({"a.pavo", "b.pavo"})},
        {{"a.pavo", "--record", "rec.txt", "b.pavo"}, recording({"a.pavo", "b.pavo"})},
        {{"a.pavo", "--", "-draft.pavo", "--record", "--"}, line(Mode::Open, {"a.pavo", "-draft.pavo", "--record", "--"})},
        {{"--export", "out.png", "doc.pavo"}, exporting({"doc.pavo"}, {}, {})},
        {{"--export", "out.png", "--width", "1", "doc.pavo", "--height", "100000"}, exporting({"doc.pavo"}, 1, 100000)},
        {{"--export", "out.png", "doc.pavo", "--height", "480"}, exporting({"doc.pavo"}, {}, 480)},
        {{"--replay", "s.txt"}, replaying({}, {})},
        {{"--replay", "s.txt", "--size", "640", "480", "doc.pavo"}, replaying({"doc.pavo"}, Size{640, 480})},
        {{"--replay", "s.txt", "doc.pavo", "--size", "1", "100000"}, replaying({"doc.pavo"}, Size{1, 100000})},
        {{"--help"}, line(Mode::Help)},
        {{"-h"}, line(Mode::Help)},
        {{"--version"}, line(Mode::Version)},
    };
    for (const auto& row : rows) {
        const auto parsed = parse_command_line(row.args);
        ASSERT_TRUE(parsed) << joined(row.args).toStdString() << ": " << parsed.error().toStdString();
        EXPECT_EQ(described(*parsed), described(row.expected)) << joined(row.args).toStdString();
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
        {{"--help", "a.pavo"}, "--help"},
        {{"--version", "a.pavo"}, "--version"},
        {{"--export"}, "--export"},
        {{"--export", "out.png"}, "--export"},
        {{"--export", "out.png", "a.pavo", "b.pavo"}, "--export"},
        {{"--export", "out.png", "--scale", "2", "a.pavo"}, "--scale"},
        {{"--export", "out.png", "doc.pavo", "--width"}, "--width"},
        {{"--replay"}, "--replay"},
        {{"--replay", "s.txt", "a.pavo", "b.pavo"}, "--replay"},
        {{"--replay", "s.txt", "--width", "5"}, "--width"},
        {{"--replay", "s.txt", "--size", "640"}, "--size"},
    };
    for (const auto& row : rows) {
        const auto parsed = parse_command_line(row.args);
        ASSERT_FALSE(parsed) << joined(row.args).toStdString();
        EXPECT_TRUE(parsed.error().contains(QLatin1String(row.named))) << parsed.error().toStdString();
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
    ASSERT_TRUE(drawing.save(path("d.pavo"), QStringLiteral("0 0 300 201"), std::nullopt));
    ASSERT_TRUE(drawing.save(path("e.pavo"), QStringLiteral("0 0 300 200"), std::nullopt));
    ASSERT_TRUE(drawing.save(path("wide.pavo"), QStringLiteral("0 0 3000 100"), std::nullopt));
    QFile script(path("bad.txt"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("down 1 2\nmove 3\n");
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
        {"  5   6 7 8  ", 5, 6, 7, 8},
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
