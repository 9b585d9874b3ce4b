#pragma once

// Replaying an event script headless through the real view, pen and document, as the
// desktop program would handle the same input. Malformed lines stop the replay with
// "line N: ..." and status 2; a failed open, save or export is reported and the replay
// goes on, ending with status 1; alerts the program would show go to the error output.

#include "event_script.h"
#include "geometry.h"
#include "resources.h"

#include <QString>

#include <functional>
#include <optional>

struct ReplayOptions {
    // Overrides the script's size line and the opened drawing's own view size.
    std::optional<Size> viewSize;
    // A drawing or picture to open before the first event.
    std::optional<QString> document;
    QString resourceRoot = resource_path();
};

using ReplayMessages = std::function<void(const QString& line)>;

constexpr int kReplayOk = 0;
constexpr int kReplayFailed = 1;
constexpr int kReplayMalformed = 2;

// The exit status: kReplayOk, kReplayFailed or kReplayMalformed.
int replay_event_script(const EventScript& script, const ReplayOptions& options, const ReplayMessages& errors);

// Reads and replays a script file.
int replay_event_script_file(const QString& path, const ReplayOptions& options, const ReplayMessages& errors);

// The command line's export: opens the drawing as its window would show it (the saved view
// size and transformation) and writes the picture. With only one of width and height, the
// other keeps the view's proportions. The exit status is kReplayOk or kReplayFailed.
int export_document_file(const QString& document, const QString& output, std::optional<int> width,
                         std::optional<int> height, const ReplayMessages& errors,
                         const QString& resourceRoot = resource_path());

// The command line's printing: opens the drawing as its window would show it and prints it
// to a one-page PDF. The exit status is kReplayOk or kReplayFailed.
int print_document_file(const QString& document, const QString& output, const ReplayMessages& errors,
                        const QString& resourceRoot = resource_path());
