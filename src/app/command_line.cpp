#include "command_line.h"

#include <QCoreApplication>

namespace {

constexpr int kLargestSide = 100000;

class Arguments {
public:
    explicit Arguments(const QStringList& list) : _list(list) {}
    bool atEnd() const { return _next >= _list.size(); }
    QString take() { return _list[_next++]; }
    std::optional<QString> value()
    {
        if (atEnd()) return std::nullopt;
        return take();
    }

private:
    const QStringList& _list;
    qsizetype _next = 0;
};

std::optional<int> side(const std::optional<QString>& text)
{
    if (!text) return std::nullopt;
    bool ok = false;
    const int v = text->toInt(&ok);
    if (!ok || v <= 0 || v > kLargestSide) return std::nullopt;
    return v;
}

Failure error(const QString& message) { return Failure{message}; }

Result<CommandLine> parse_export(Arguments& args, CommandLine line)
{
    const auto out = args.value();
    if (!out) return error(QStringLiteral("--export needs the picture file to write"));
    line.output = *out;
    while (!args.atEnd()) {
        const QString arg = args.take();
        if (arg == u"--width" || arg == u"--height") {
            const auto v = side(args.value());
            if (!v) return error(QStringLiteral("%1 needs a whole number of pixels from 1 to %2").arg(arg).arg(kLargestSide));
            (arg == u"--width" ? line.width : line.height) = *v;
        } else if (arg.startsWith(u"--")) {
            return error(QStringLiteral("unknown option %1").arg(arg));
        } else {
            line.files << arg;
        }
    }
    if (line.files.size() != 1) return error(QStringLiteral("--export needs exactly one drawing to export"));
    return line;
}

Result<CommandLine> parse_print_pdf(Arguments& args, CommandLine line)
{
    const auto out = args.value();
    if (!out) return error(QStringLiteral("--print-pdf needs the PDF file to write"));
    line.output = *out;
    while (!args.atEnd()) {
        const QString arg = args.take();
        if (arg.startsWith(u"--")) return error(QStringLiteral("unknown option %1").arg(arg));
        line.files << arg;
    }
    if (line.files.size() != 1) return error(QStringLiteral("--print-pdf needs exactly one drawing to print"));
    return line;
}

Result<CommandLine> parse_replay(Arguments& args, CommandLine line)
{
    const auto script = args.value();
    if (!script) return error(QStringLiteral("--replay needs the event script to replay"));
    line.script = *script;
    while (!args.atEnd()) {
        const QString arg = args.take();
        if (arg == u"--size") {
            const auto w = side(args.value());
            const auto h = side(args.value());
            if (!w || !h) return error(QStringLiteral("--size needs a width and a height in pixels from 1 to %1").arg(kLargestSide));
            line.viewSize = Size{float(*w), float(*h)};
        } else if (arg == u"--output-dir") {
            const auto dir = args.value();
            if (!dir) return error(QStringLiteral("--output-dir needs the folder to write into"));
            line.outputFolder = *dir;
        } else if (arg == u"--allow-any-path") {
            line.allowAnyPath = true;
        } else if (arg.startsWith(u"--")) {
            return error(QStringLiteral("unknown option %1").arg(arg));
        } else {
            line.files << arg;
        }
    }
    if (line.files.size() > 1) return error(QStringLiteral("--replay opens at most one drawing"));
    return line;
}

// Exactly as a file manager's thumbnailer entry passes them: input, output, size.
Result<CommandLine> parse_thumbnail(Arguments& args, CommandLine line)
{
    const auto input = args.value();
    const auto output = args.value();
    if (!input || !output) return error(QStringLiteral("--thumbnail needs the drawing, the picture to write and a size"));
    const auto size = side(args.value());
    if (!size) return error(QStringLiteral("--thumbnail needs a size in pixels from 1 to %1").arg(kLargestSide));
    if (!args.atEnd()) return error(QStringLiteral("--thumbnail takes no more than a drawing, a picture and a size"));
    line.files << *input;
    line.output = *output;
    line.thumbnailSize = *size;
    return line;
}

} // namespace

Result<CommandLine> parse_command_line(const QStringList& arguments)
{
    Arguments args(arguments);
    CommandLine line;
    if (args.atEnd()) return line;
    const QString first = arguments.front();
    if (first == u"--help" || first == u"-h") {
        args.take();
        line.mode = CommandLine::Mode::Help;
        if (!args.atEnd()) return error(QStringLiteral("--help takes no arguments"));
        return line;
    }
    if (first == u"--version") {
        args.take();
        line.mode = CommandLine::Mode::Version;
        if (!args.atEnd()) return error(QStringLiteral("--version takes no arguments"));
        return line;
    }
    if (first == u"--export") {
        args.take();
        line.mode = CommandLine::Mode::Export;
        return parse_export(args, line);
    }
    if (first == u"--print-pdf") {
        args.take();
        line.mode = CommandLine::Mode::PrintPdf;
        return parse_print_pdf(args, line);
    }
    if (first == u"--thumbnail") {
        args.take();
        line.mode = CommandLine::Mode::Thumbnail;
        return parse_thumbnail(args, line);
    }
    if (first == u"--replay") {
        args.take();
        line.mode = CommandLine::Mode::Replay;
        return parse_replay(args, line);
    }
    while (!args.atEnd()) {
        const QString arg = args.take();
        if (arg == u"--record") {
            const auto file = args.value();
            if (!file) return error(QStringLiteral("--record needs the file to record into"));
            line.record = *file;
        } else if (arg == u"--") {
            while (!args.atEnd()) line.files << args.take();
        } else if (arg.startsWith(u"-")) {
            return error(QStringLiteral("unknown option %1").arg(arg));
        } else {
            line.files << arg;
        }
    }
    return line;
}

bool wants_headless(const QStringList& arguments)
{
    if (arguments.isEmpty()) return false;
    const QString& first = arguments.front();
    return first == u"--export" || first == u"--print-pdf" || first == u"--replay" || first == u"--thumbnail" ||
           first == u"--help" || first == u"-h" ||
           first == u"--version";
}

QString usage_text()
{
    return QStringLiteral(
        "Usage:\n"
        "  pavo [--record SCRIPT] [FILES...]\n"
        "      Opens the drawings, templates and pictures in windows; with --record, writes\n"
        "      your input to SCRIPT as an event script (for bug reports).\n"
        "  pavo --export OUT [--width W] [--height H] DOCUMENT\n"
        "      Writes what the drawing's saved view shows as OUT (.png, .gif, .jpg, .jpeg,\n"
        "      .tif or .tiff; .svg or .pdf as vectors), at the view's size or W x H; one\n"
        "      of them alone keeps the view's proportions.\n"
        "  pavo --print-pdf OUT DOCUMENT\n"
        "      Prints what the drawing's saved view shows to OUT, a one-page PDF.\n"
        "  pavo --replay SCRIPT [--size W H] [--output-dir DIR] [--allow-any-path] [DOCUMENT]\n"
        "      Replays an event script without a window; exit status 2 for a malformed\n"
        "      script, 1 when an open, save, place, export or print failed. The script\n"
        "      writes only inside its own folder, or DIR; relative names are taken from\n"
        "      there. A line that would write elsewhere stops the script before it runs,\n"
        "      unless --allow-any-path is given (for scripts of your own).\n"
        "  pavo --thumbnail DOCUMENT OUT SIZE\n"
        "      Writes a PNG picture of at most SIZE x SIZE pixels of what the drawing's saved\n"
        "      view shows, for file managers; exit status 1, and no OUT, when the drawing\n"
        "      cannot be read or it takes longer than PAVO_THUMBNAIL_SECONDS (5 by default).\n"
        "  pavo --help | --version\n");
}

QString version_text()
{
    return QStringLiteral("Pavo %1").arg(QStringLiteral(PAVO_VERSION));
}
