#pragma once

// The one replay fixture: an event script run headless through the real document, pens and
// view, as the desktop program would handle the same input, with what it leaves behind in a
// fresh folder. Scripts name files in that folder with "@": "export @out.png".

#include "clipboard.h"
#include "event_replay.h"
#include "pavo_document.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <vector>

struct ReplayRun {
    int status = kReplayOk;
    QStringList errors;
    std::string report() const { return errors.join(u'\n').toStdString(); }
};

class ReplayTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }
    // Runs the script after opening `document` when given, with the resources under `root`.
    ReplayRun replay(const QString& script, const std::optional<QString>& document = std::nullopt,
                     const std::optional<Size>& viewSize = std::nullopt,
                     const QString& root = resource_path());
    // Runs the script with "export @NAME" after it, expecting success, and returns that
    // picture (ARGB32, premultiplied alpha undone), or a null picture after a failure.
    QImage picture(const QString& script, const QString& name = QStringLiteral("picture.png"),
                   const std::optional<QString>& document = std::nullopt);
    QImage exported(const QString& name) const;
    // Checks pixels of exported pictures: the colour, or nothing drawn (alpha 0) for 0.
    struct Pixel {
        const char* file;
        int x, y;
        QRgb colour;
        const char* why = "";
    };
    void expectPixels(std::initializer_list<Pixel> pixels) const;
};

// Script lines for a press, moves in `steps` equal steps, and a release, with the modifier
// list `mods` ("-" for none) on each, at full pressure.
QString drag(Point from, Point to, int steps = 10, const QString& mods = QStringLiteral("-"));
// A gesture through the points, 8 moves a leg, pressing from `from` to `to` along the way.
QString polyline(const std::vector<Point>& points, float from = 1, float to = 1);
QString click(Point at, const QString& mods = QStringLiteral("-"));
// A filled box of the colour (RRGGBB), corner to corner, drawn with the Rectangle pen.
QString box(const char* colour, Point from, Point to);

// A document with no window; what it would display and alert goes nowhere.
struct Headless : ViewDisplay, ScriptAlerts {
    void setNeedsDisplayInRect(const Rect&) override {}
    void setNeedsDisplay() override {}
    void refreshCursor() override {}
    void show(const QString&, const QString&) override {}
    std::unique_ptr<PavoDocument> open(DocumentShell& shell, Size size = {300, 200},
                                       const QString& root = resource_path());
};

// A shell whose clipboard is kept in memory.
struct ClipboardShell : DocumentShell {
    MemoryClipboard board;
    Clipboard* clipboard() override { return &board; }
};

// The pavo executable run as a process; the status is -1 when it did not finish in a minute.
struct ProcessRun {
    int status = -1;
    QString output, errors;
};
ProcessRun run_pavo(const QStringList& arguments);
