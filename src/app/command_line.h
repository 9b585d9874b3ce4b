#pragma once

// The program's command line:
//   pavo [--record FILE] [FILES...]                 opens the files (drawings, templates, pictures)
//   pavo --export OUT [--width W] [--height H] DOCUMENT
//   pavo --print-pdf OUT DOCUMENT
//   pavo --replay FILE [--size W H] [--output-dir DIR] [--allow-any-path] [DOCUMENT]
//   pavo --thumbnail INPUT OUTPUT SIZE
//   pavo --help | --version

#include "geometry.h"
#include "result.h"

#include <QString>
#include <QStringList>

#include <optional>

struct CommandLine {
    enum class Mode { Open, Export, Replay, Help, Version, PrintPdf, Thumbnail };
    Mode mode = Mode::Open;
    QStringList files;             // Open: files to open; Export, Replay, Thumbnail: the document
    QString output;                // Export, Thumbnail: the picture to write; PrintPdf: the PDF
    std::optional<int> width;      // Export
    std::optional<int> height;     // Export
    int thumbnailSize = 0;         // Thumbnail: the largest side
    QString script;                // Replay: the event script
    std::optional<Size> viewSize;  // Replay
    std::optional<QString> outputFolder; // Replay: where the script may write
    bool allowAnyPath = false;     // Replay: the script may write anywhere
    std::optional<QString> record; // Open: where to record the user's input

    // Export, printing to PDF and replay run without a window.
    bool headless() const { return mode != Mode::Open; }
};

// The arguments after the program name.
Result<CommandLine> parse_command_line(const QStringList& arguments);
// True when the arguments ask for a mode that needs no display, decided before any
// application object exists.
bool wants_headless(const QStringList& arguments);

QString usage_text();
QString version_text();

constexpr int kUsageStatus = 2;
