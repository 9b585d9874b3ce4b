// The command line: arguments read into a mode, and the pavo executable run as a process.

#include "command_line.h"
#include "drawing.h"
#include "event_recorder.h"
#include "pictures.h"
#include "support/strokes.h"
#include "replay.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>

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

// The executable itself: exit status 0, 1 for a failed file, 2 for a usage error or a
// malformed script; and --export with one side keeps the saved view's proportions,
// rounded half up.
class Executable : public ReplayTest {};

TEST_F(Executable, ExitStatusesAndExportSizes)
{
    for (const auto& [name, frame] :
         {std::pair{"d.pavo", "0 0 300 201"}, {"e.pavo", "0 0 300 200"}, {"wide.pavo", "0 0 3000 100"}})
        ASSERT_TRUE(Drawing().save(path(name), QLatin1String(frame), std::nullopt));
    QFile script(path("bad.txt"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly) && script.write("down 1 2\nmove 3\n") > 0);
    script.close();
    QFile damaged(path("damaged.pavo")), whole(path("d.pavo"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly) && damaged.open(QIODevice::WriteOnly));
    damaged.write(whole.readAll().chopped(20));
    damaged.close();
    const QString out = path("out.png");
    const struct {
        QStringList args;
        int status;
        const char* says; // in the output (status 0) or the errors
        QSize exported;   // of out.png, when the row writes it
    } rows[] = {
        {{"--help"}, 0, "--export OUT [--width W] [--height H] DOCUMENT", {}},
        {{"--version"}, 0, "Pavo ", {}},
        {{"--export", out, path("d.pavo")}, 0, "", {300, 201}},
        {{"--export", out, "--width", "100", path("d.pavo")}, 0, "", {100, 67}},
        {{"--export", out, "--width", "150", path("d.pavo")}, 0, "", {150, 101}},
        {{"--export", out, "--height", "100", path("d.pavo")}, 0, "", {149, 100}},
        {{"--export", out, "--height", "3", path("e.pavo")}, 0, "", {5, 3}},
        {{"--export", out, "--width", "1", path("wide.pavo")}, 0, "", {1, 1}},
        {{"--export", out, "--height", "30000", path("wide.pavo")}, 1, "too large", {}},
        {{"--export", out, path("missing.pavo")}, 1, "missing.pavo", {}},
        {{"--export", path("out.bmp"), path("d.pavo")}, 1, "out.bmp", {}},
        {{"--export", out, "--width", "0", path("d.pavo")}, 2, "--width", {}},
        {{"--replay", path("bad.txt")}, 2, "line 2: ", {}},
        {{"--help"}, 0, "--print-pdf OUT DOCUMENT", {}},
        {{"--print-pdf", path("o.pdf"), path("d.pavo")}, 0, "", {}},
        {{"--print-pdf", path("o.pdf"), path("missing.pavo")}, 1, "missing.pavo", {}},
        {{"--print-pdf", path("no folder/o.pdf"), path("d.pavo")}, 1, "no folder/o.pdf", {}},
        {{"--thumbnail", path("d.pavo"), out, "100"}, 0, "", {100, 67}},
        {{"--thumbnail", path("wide.pavo"), out, "256"}, 0, "", {256, 9}},
        {{"--thumbnail", path("e.pavo"), out, "1000"}, 0, "", {300, 200}},
        {{"--thumbnail", path("damaged.pavo"), out, "100"}, 1, "damaged.pavo", {}},
        {{"--thumbnail", path("d.pavo"), out, "0"}, 2, "--thumbnail", {}},
    };
    for (const auto& row : rows) {
        QFile::remove(out);
        const ProcessRun run = run_pavo(row.args);
        EXPECT_EQ(run.status, row.status) << joined(row.args) << "\n" << run.errors.toStdString();
        EXPECT_TRUE((row.status == 0 ? run.output : run.errors).contains(QLatin1String(row.says)))
            << joined(row.args) << "\n" << run.output.toStdString() << run.errors.toStdString();
        EXPECT_EQ(QImage(out).size(), row.exported.isValid() ? row.exported : QSize(0, 0))
            << joined(row.args);
    }
    EXPECT_TRUE(QFile::exists(path("o.pdf")));
    EXPECT_EQ(QDir(dir.path()).entryList({"out*"}).join(u' '), QString()) << "a failed write left a file";
    // PAVO_TIMINGS=1 has an export say where its time went, a phase a line, and only then.
    EXPECT_FALSE(run_pavo({"--export", out, path("d.pavo")}).errors.contains(u"pavo: "));
    qputenv("PAVO_TIMINGS", "1");
    const QString timed = run_pavo({"--export", out, path("d.pavo")}).errors;
    qunsetenv("PAVO_TIMINGS");
    for (const char* phase : {"start-up", "reading", "rendering", "encoding", "writing"})
        EXPECT_TRUE(timed.contains(QStringLiteral("pavo: %1 ").arg(phase))) << phase << timed.toStdString();
}

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

// A shared recording is someone else's input: it writes only inside its own folder (or the
// one given), refused before anything runs; reading is free, and --allow-any-path trusts it.
TEST_F(Executable, AReplayWritesOnlyInsideItsFolder)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("s") && QDir(dir.path()).mkpath("out") &&
                QDir(dir.path()).mkpath("elsewhere"));
    QFile::link(path("elsewhere"), path("s/link"));
    QFile::link(path("elsewhere/new.pavo"), path("s/dangling.pavo"));
    ASSERT_TRUE(Drawing().save(path("elsewhere/read.pavo"), "0 0 40 30", std::nullopt));
    const auto script = [&](const char* name, const QString& lines) {
        QFile file(path(QStringLiteral("s/%1.txt").arg(QLatin1String(name))));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(lines.toUtf8()) > 0);
        return file.fileName();
    };
    const QString first = QStringLiteral("open ../elsewhere/read.pavo\nsave first.pavo\n");
    const struct {
        const char* name;
        QString lines;
        QStringList flags;
        int status;
        const char* written; // relative to the temporary folder; nothing else may appear
    } rows[] = {
        {"absolute", first + "save " + path("elsewhere/a.pavo"), {}, 2, ""},
        {"climbing", first + "export ../elsewhere/b.png", {}, 2, ""},
        {"link", first + "save link/c.pavo", {}, 2, ""},
        {"dangling link", first + "save dangling.pavo", {}, 2, ""},
        {"absolute trusted", "save " + path("elsewhere/a.pavo"), {"--allow-any-path"}, 0,
         "elsewhere/a.pavo"},
        {"climbing trusted", "export ../elsewhere/b.png", {"--allow-any-path"}, 0, "elsewhere/b.png"},
        {"link trusted", "save link/c.pavo", {"--allow-any-path"}, 0, "elsewhere/c.pavo"},
        {"inside", first, {}, 0, "s/first.pavo"},
        {"output folder", first, {"--output-dir", path("out")}, 0, "out/first.pavo"},
    };
    for (const auto& row : rows) {
        const QString file = script(row.name, row.lines);
        const ProcessRun run = run_pavo(QStringList{"--replay", file} + row.flags);
        EXPECT_EQ(run.status, row.status) << row.name << "\n" << run.errors.toStdString();
        if (row.status == 2) {
            EXPECT_TRUE(run.errors.contains(QLatin1String("line 3: "))) << row.name;
        }
        QStringList made;
        for (const char* sub : {"s", "out", "elsewhere"})
            for (const QString& f : QDir(path(sub)).entryList({"*.pavo", "*.png"}, QDir::Files))
                if (!f.startsWith(u"read") && !QFileInfo(path(sub) + u'/' + f).isSymLink())
                    made << QString::fromLatin1(sub) + u'/' + f;
        EXPECT_EQ(made.join(u' '), QLatin1String(row.written)) << row.name;
        for (const QString& f : made) QFile::remove(path(f));
    }
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
    QFile file(path("r/rec.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[1], QLatin1String("save drawing.pavo"));
    EXPECT_TRUE(lines[2].startsWith(u"#") && lines[2].contains(u"--allow-any-path"));
    EXPECT_EQ(lines[3], "save " + path("outside.pavo"));
    EXPECT_EQ(run_pavo({"--replay", path("r/rec.txt")}).status, 2);
    EXPECT_FALSE(QFile::exists(path("r/drawing.pavo")));
    EXPECT_EQ(run_pavo({"--replay", path("r/rec.txt"), "--allow-any-path"}).status, 0);
    EXPECT_TRUE(QFile::exists(path("r/drawing.pavo")) && QFile::exists(path("outside.pavo")));
}
