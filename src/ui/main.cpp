// Starts Pavo: the desktop application, or without a window the command line's export and
// event-script replay.

#include "command_line.h"
#include "document_window.h"
#include "event_replay.h"
#include "event_recorder.h"
#include "pavo_application.h"
#include "resources.h"
#include "script_paths.h"
#include "table_translator.h"
#include "thumbnail.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

void print_error(const QString& line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

int usage_error(const QString& message)
{
    print_error(QStringLiteral("pavo: ") + message);
    std::fputs(qPrintable(usage_text()), stderr);
    return kUsageStatus;
}

QStringList arguments_of(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    return args;
}

int run_headless(const CommandLine& line)
{
    switch (line.mode) {
    case CommandLine::Mode::Help: std::fputs(qPrintable(usage_text()), stdout); return 0;
    case CommandLine::Mode::Version: std::printf("%s\n", qPrintable(version_text())); return 0;
    case CommandLine::Mode::Export:
        return export_document_file(line.files.front(), line.output, line.width, line.height, print_error);
    case CommandLine::Mode::Thumbnail:
        return write_thumbnail_file(line.files.front(), line.output, line.thumbnailSize, print_error);
    case CommandLine::Mode::PrintPdf: return print_document_file(line.files.front(), line.output, print_error);
    case CommandLine::Mode::Replay: {
        ReplayOptions options;
        options.viewSize = line.viewSize;
        options.outputFolder = line.outputFolder;
        options.allowAnyPath = line.allowAnyPath;
        options.userScripts = default_user_scripts_folder();
        if (!line.files.isEmpty()) options.document = line.files.front();
        return replay_event_script_file(line.script, options, print_error);
    }
    case CommandLine::Mode::Open: break;
    }
    return 0;
}

// Without a desktop session Qt warns that it has no runtime folder, which a headless export
// or replay never uses; every other message goes on to Qt's own handler.
QtMessageHandler qt_default_handler = nullptr;

void quiet_headless_messages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(u"QStandardPaths: XDG_RUNTIME_DIR")) return;
    if (qt_default_handler) qt_default_handler(type, context, message);
}

bool display_available()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int run_desktop(int argc, char* argv[])
{
    if (!display_available()) {
        print_error(QStringLiteral("pavo: no display to open a window on. Without one, Pavo can export a "
                                   "drawing (--export) or replay an event script (--replay); see pavo --help."));
        return 1;
    }
    PavoApplication app(argc, argv);
    // Qt has taken its own options out of the list by now.
    const auto parsed = parse_command_line(QCoreApplication::arguments().mid(1));
    if (!parsed) return usage_error(parsed.error());
    const CommandLine& line = *parsed;
    if (line.record) {
        auto recorder = EventRecorder::open(*line.record);
        if (!recorder) {
            print_error(QStringLiteral("pavo: %1").arg(recorder.error()));
            return 1;
        }
        app.setRecorder(std::move(*recorder));
    }
    if (line.files.isEmpty()) app.newDocument();
    else app.openFiles(line.files);
    app.offerRecovery();
    // Every file failed to open: an empty drawing rather than no window at all.
    if (QApplication::topLevelWidgets().isEmpty() || !QApplication::activeWindow()) {
        bool anyWindow = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<DocumentWindow*>(w) && w->isVisible()) anyWindow = true;
        if (!anyWindow) app.newDocument();
    }
    return app.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList args = arguments_of(argc, argv);
    if (!wants_headless(args)) return run_desktop(argc, argv);

    const auto parsed = parse_command_line(args);
    if (!parsed) return usage_error(parsed.error());
    // No window is ever shown, so no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qt_default_handler = qInstallMessageHandler(quiet_headless_messages);
    QGuiApplication app(argc, argv);
    // Named as the desktop program is, so that both find the same data folder.
    QCoreApplication::setApplicationName(QStringLiteral("Pavo"));
    QCoreApplication::setOrganizationName(QStringLiteral("Pavo"));
    // What a replay or an export reports is in the person's language, as in a window.
    install_translators(app, resource_path());
    return run_headless(*parsed);
}
