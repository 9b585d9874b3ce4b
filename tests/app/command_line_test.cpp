// The command line's modes and the window frame string saved with a drawing: both read
// text that a user or a file hands over, so every refusal matters as much as a success.

#include "command_line.h"
#include "window_frame.h"

#include <gtest/gtest.h>

#include <string>

namespace {

CommandLine parsed(const QStringList& arguments)
{
    const auto result = parse_command_line(arguments);
    if (const auto* error = std::get_if<CommandLineError>(&result))
        ADD_FAILURE() << arguments.join(u' ').toStdString() << ": " << error->message.toStdString();
    const auto* line = std::get_if<CommandLine>(&result);
    return line ? *line : CommandLine{};
}

// The refusal's message, which must say what was wrong.
QString refusal(const QStringList& arguments)
{
    const auto result = parse_command_line(arguments);
    const auto* error = std::get_if<CommandLineError>(&result);
    if (!error) {
        ADD_FAILURE() << arguments.join(u' ').toStdString() << " was accepted";
        return {};
    }
    EXPECT_FALSE(error->message.isEmpty()) << arguments.join(u' ').toStdString();
    return error->message;
}

std::string text(const QString& s) { return s.toStdString(); }

} // namespace

TEST(CommandLineOpen, FilesInOrderWithAnOptionalRecording)
{
    const CommandLine none = parsed({});
    EXPECT_EQ(none.mode, CommandLine::Mode::Open);
    EXPECT_TRUE(none.files.isEmpty());
    EXPECT_FALSE(none.record);
    EXPECT_FALSE(none.headless());

    const CommandLine two = parsed({"b.pavo", "a picture.png"});
    EXPECT_EQ(two.files, QStringList({"b.pavo", "a picture.png"}));
    EXPECT_FALSE(two.record);

    // The recording file may come before or between the files and is not one of them.
    for (const QStringList& args : {QStringList{"--record", "rec.txt", "a.pavo", "b.pavo"},
                                    QStringList{"a.pavo", "--record", "rec.txt", "b.pavo"}}) {
        const CommandLine line = parsed(args);
        EXPECT_EQ(line.mode, CommandLine::Mode::Open);
        ASSERT_TRUE(line.record) << text(args.join(u' '));
        EXPECT_EQ(*line.record, "rec.txt");
        EXPECT_EQ(line.files, QStringList({"a.pavo", "b.pavo"}));
        EXPECT_FALSE(line.headless());
    }

    // After "--" everything is a file, however it looks.
    const CommandLine dashed = parsed({"a.pavo", "--", "-draft.pavo", "--record", "--export", "--"});
    EXPECT_EQ(dashed.files, QStringList({"a.pavo", "-draft.pavo", "--record", "--export", "--"}));
    EXPECT_FALSE(dashed.record);
}

TEST(CommandLineOpen, RefusesUnknownOptionsAndARecordingWithoutAFile)
{
    EXPECT_TRUE(refusal({"--record"}).contains("--record"));
    EXPECT_TRUE(refusal({"a.pavo", "--record"}).contains("--record"));
    EXPECT_TRUE(refusal({"-x", "a.pavo"}).contains("-x"));
    EXPECT_TRUE(refusal({"a.pavo", "--zoom", "2"}).contains("--zoom"));
    // The other modes are only modes when they come first.
    EXPECT_TRUE(refusal({"a.pavo", "--export", "out.png"}).contains("--export"));
    EXPECT_TRUE(refusal({"a.pavo", "--help"}).contains("--help"));
}

TEST(CommandLineExport, TakesThePictureTheSizesAndOneDocument)
{
    const CommandLine plain = parsed({"--export", "out.png", "doc.pavo"});
    EXPECT_EQ(plain.mode, CommandLine::Mode::Export);
    EXPECT_EQ(plain.output, "out.png");
    EXPECT_EQ(plain.files, QStringList({"doc.pavo"}));
    EXPECT_FALSE(plain.width);
    EXPECT_FALSE(plain.height);
    EXPECT_TRUE(plain.headless());

    // Sizes before or after the document; the smallest and largest sides are accepted.
    const CommandLine sized = parsed({"--export", "out.jpg", "--width", "1", "doc.pavo", "--height", "100000"});
    EXPECT_EQ(sized.output, "out.jpg");
    EXPECT_EQ(sized.files, QStringList({"doc.pavo"}));
    EXPECT_EQ(sized.width, 1);
    EXPECT_EQ(sized.height, 100000);

    const CommandLine heightOnly = parsed({"--export", "out.tif", "doc.pavo", "--height", "480"});
    EXPECT_FALSE(heightOnly.width);
    EXPECT_EQ(heightOnly.height, 480);
}

TEST(CommandLineExport, RefusesSizesThatAreNotPositiveWholeNumbersInRange)
{
    for (const char* option : {"--width", "--height"}) {
        for (const char* bad : {"0", "-3", "abc", "12px", "1.5", "", "100001", "99999999999", "-99999999999"}) {
            const QString message = refusal({"--export", "out.png", option, bad, "doc.pavo"});
            EXPECT_TRUE(message.contains(option)) << option << " " << bad << ": " << text(message);
        }
        // The value is missing altogether.
        EXPECT_TRUE(refusal({"--export", "out.png", "doc.pavo", option}).contains(option));
    }
}

TEST(CommandLineExport, NeedsAPictureAndExactlyOneDocument)
{
    EXPECT_TRUE(refusal({"--export"}).contains("--export"));
    refusal({"--export", "out.png"});
    refusal({"--export", "out.png", "a.pavo", "b.pavo"});
    refusal({"--export", "out.png", "--width", "10"});
    EXPECT_TRUE(refusal({"--export", "out.png", "--scale", "2", "a.pavo"}).contains("--scale"));
    EXPECT_TRUE(refusal({"--export", "out.png", "a.pavo", "--record", "r.txt"}).contains("--record"));
}

TEST(CommandLineReplay, TakesTheScriptAViewSizeAndAtMostOneDocument)
{
    const CommandLine bare = parsed({"--replay", "session.txt"});
    EXPECT_EQ(bare.mode, CommandLine::Mode::Replay);
    EXPECT_EQ(bare.script, "session.txt");
    EXPECT_TRUE(bare.files.isEmpty());
    EXPECT_FALSE(bare.viewSize);
    EXPECT_TRUE(bare.headless());

    const CommandLine full = parsed({"--replay", "session.txt", "--size", "640", "480", "doc.pavo"});
    EXPECT_EQ(full.script, "session.txt");
    EXPECT_EQ(full.files, QStringList({"doc.pavo"}));
    ASSERT_TRUE(full.viewSize);
    EXPECT_EQ(*full.viewSize, (Size{640, 480}));

    const CommandLine after = parsed({"--replay", "s.txt", "doc.pavo", "--size", "1", "100000"});
    ASSERT_TRUE(after.viewSize);
    EXPECT_EQ(*after.viewSize, (Size{1, 100000}));
}

TEST(CommandLineReplay, RefusesAMissingScriptBadSizesAndTwoDocuments)
{
    EXPECT_TRUE(refusal({"--replay"}).contains("--replay"));
    for (const QStringList& size : {QStringList{}, QStringList{"640"}, QStringList{"0", "480"},
                                    QStringList{"640", "-1"}, QStringList{"640", "x"},
                                    QStringList{"100001", "480"}, QStringList{"640", "4.5"}}) {
        const QString message = refusal(QStringList{"--replay", "s.txt", "--size"} + size);
        EXPECT_TRUE(message.contains("--size")) << text(size.join(u' ')) << ": " << text(message);
    }
    refusal({"--replay", "s.txt", "a.pavo", "b.pavo"});
    EXPECT_TRUE(refusal({"--replay", "s.txt", "--width", "5"}).contains("--width"));
}

TEST(CommandLineHelp, HelpAndVersionStandAlone)
{
    EXPECT_EQ(parsed({"--help"}).mode, CommandLine::Mode::Help);
    EXPECT_EQ(parsed({"-h"}).mode, CommandLine::Mode::Help);
    EXPECT_EQ(parsed({"--version"}).mode, CommandLine::Mode::Version);
    EXPECT_TRUE(parsed({"--help"}).headless());
    refusal({"--help", "a.pavo"});
    refusal({"-h", "--version"});
    refusal({"--version", "a.pavo"});

    // The usage names every option the parser takes.
    const QString usage = usage_text();
    for (const char* option : {"--record", "--export", "--width", "--height", "--replay", "--size", "--help",
                               "--version"})
        EXPECT_TRUE(usage.contains(option)) << option;
    EXPECT_TRUE(version_text().startsWith("Pavo ")) << text(version_text());
    EXPECT_GT(version_text().size(), 5);
}

TEST(CommandLineHeadless, DecidedByTheFirstArgumentAsTheParserDecidesTheMode)
{
    for (const QStringList& args :
         {QStringList{}, QStringList{"a.pavo"}, QStringList{"--record", "r.txt", "a.pavo"},
          QStringList{"--", "--export", "out.png", "a.pavo"}, QStringList{"--export", "out.png", "a.pavo"},
          QStringList{"--replay", "s.txt"}, QStringList{"--help"}, QStringList{"-h"}, QStringList{"--version"}}) {
        EXPECT_EQ(wants_headless(args), parsed(args).headless()) << text(args.join(u' '));
    }
    // Decided before parsing: a broken export still needs no display to report itself.
    EXPECT_TRUE(wants_headless({"--export"}));
    EXPECT_TRUE(wants_headless({"--replay"}));
    EXPECT_FALSE(wants_headless({"a.pavo", "--export", "out.png"}));
    EXPECT_FALSE(wants_headless({"--exportx"}));
}

namespace {

void expect_frame(const QString& text_, int x, int y, int width, int height)
{
    const auto frame = parse_window_frame(text_);
    ASSERT_TRUE(frame) << text(text_);
    EXPECT_EQ(frame->x, x) << text(text_);
    EXPECT_EQ(frame->y, y) << text(text_);
    EXPECT_EQ(frame->width, width) << text(text_);
    EXPECT_EQ(frame->height, height) << text(text_);
}

} // namespace

TEST(WindowFrame, FourNumbersWithAnythingAfterThemIgnored)
{
    expect_frame("10 20 300 200", 10, 20, 300, 200);
    // The platform's own strings carry the screen's frame after the window's.
    expect_frame("-1200 40 800 600 0 0 1920 1080", -1200, 40, 800, 600);
    expect_frame("  5   6 7 8  ", 5, 6, 7, 8);
    expect_frame("0 0 100000 1", 0, 0, 100000, 1);
    expect_frame("1 2 3 4 whatever", 1, 2, 3, 4);
    EXPECT_EQ(parse_window_frame("10 20 300 200")->viewSize(), (Size{300, 200}));

    // Fractions still name a usable frame, within a pixel of what was written.
    const auto fractional = parse_window_frame("10.6 -20.2 300.9 200.5");
    ASSERT_TRUE(fractional);
    EXPECT_LE(std::abs(fractional->x - 10.6), 1.0);
    EXPECT_LE(std::abs(fractional->y + 20.2), 1.0);
    EXPECT_LE(std::abs(fractional->width - 300.9), 1.0);
    EXPECT_LE(std::abs(fractional->height - 200.5), 1.0);
}

TEST(WindowFrame, RefusesWhatNamesNoUsableFrame)
{
    for (const char* bad : {"", "   ", "1 2 3", "a b c d", "1 2 3 x", "1,2,3,4", "1 2 0 4", "1 2 4 0", "1 2 -5 4",
                            "1 2 4 -5", "1 2 100001 4", "1 2 4 100001", "1 2 4 1e12", "1e12 0 100 100",
                            "0 -1e12 100 100", "nan 2 3 4", "0 0 inf 10", "1 2 0.4 10"}) {
        EXPECT_FALSE(parse_window_frame(bad)) << bad;
    }
}

TEST(WindowFrame, FormatReadsBackAsTheSameFrame)
{
    for (const WindowFrame& frame : {WindowFrame{0, 0, 1, 1}, WindowFrame{-1920, -40, 100000, 100000},
                                     WindowFrame{12, 34, 567, 890}}) {
        const QString written = format_window_frame(frame);
        const auto back = parse_window_frame(written);
        ASSERT_TRUE(back) << text(written);
        EXPECT_EQ(back->x, frame.x);
        EXPECT_EQ(back->y, frame.y);
        EXPECT_EQ(back->width, frame.width);
        EXPECT_EQ(back->height, frame.height);
        EXPECT_EQ(format_window_frame(*back), written);
    }
}
