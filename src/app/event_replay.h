#pragma once

// Replaying an event script headless through the real view, pen and document, as the
// desktop program would handle the same input. Malformed lines stop the replay with
// "line N: ..." and status 2; a failed open, save, place or export is reported and the replay
// goes on, ending with status 1; alerts the program would show go to the error output.

#include "event_script.h"
#include "geometry.h"
#include "resources.h"

#include <QString>

#include <functional>
#include <optional>

class PavoDocument;

struct ReplayOptions {
    // Overrides the script's size line and the opened drawing's own view size.
    std::optional<Size> viewSize;
    // A drawing or picture to open before the first event.
    std::optional<QString> document;
    QString resourceRoot = resource_path();
    // The person's own Pens/ and Lib/; empty for none.
    QString userScripts;
    // For a script read from a file: where its writes are confined and relative names
    // written are taken from (the script's folder when none), or no confinement at all.
    std::optional<QString> outputFolder;
    bool allowAnyPath = false;
    // Handed each drawing as an open replaces it and the one the replay ends with, for a
    // test to look into.
    std::function<void(PavoDocument&)> closing;
};

using ReplayMessages = std::function<void(const QString& line)>;

constexpr int kReplayOk = 0;
constexpr int kReplayFailed = 1;
constexpr int kReplayMalformed = 2;

// The exit status: kReplayOk, kReplayFailed or kReplayMalformed.
int replay_event_script(const EventScript& script, const ReplayOptions& options, const ReplayMessages& errors);

// Reads and replays a script file. Relative names are taken from the script's folder (those
// written from the output folder); a line that would write outside the output folder stops
// the script before anything runs, unless the options allow any path.
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
