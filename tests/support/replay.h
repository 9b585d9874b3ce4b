#pragma once

// The one replay fixture: an event script run headless through the real document, pens
// and view, as the desktop program would handle the same input, with what it leaves
// behind (exit status, error lines, exported pictures, saved files) in a fresh folder.
// Scripts name files relative to that folder with "@": "export @out.png".

#include "event_replay.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

struct ReplayRun {
    int status = kReplayOk;
    QStringList errors;
    // For an assertion's message.
    std::string report() const { return errors.join(u'\n').toStdString(); }
};

class ReplayTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }
    // Runs the script ('@' before a file name puts the file in the folder), after opening
    // `document` when given.
    ReplayRun replay(const QString& script, const std::optional<QString>& document = std::nullopt,
                     const std::optional<Size>& viewSize = std::nullopt);
    // Runs the script with "export @NAME" after it, expecting success, and returns that
    // picture (ARGB32, premultiplied alpha undone), or a null picture after a failure.
    QImage picture(const QString& script, const QString& name = QStringLiteral("picture.png"),
                   const std::optional<QString>& document = std::nullopt);
    // A picture a script exported.
    QImage exported(const QString& name) const;
};

// Script lines for a press, moves in `steps` equal steps, and a release, with the modifier
// list `mods` ("-" for none) on each, at full pressure.
QString drag(Point from, Point to, int steps = 10, const QString& mods = QStringLiteral("-"));
QString click(Point at, const QString& mods = QStringLiteral("-"));

// The pavo executable run as a process with the arguments, with its exit status and
// output; the status is -1 when it did not finish within a minute.
struct ProcessRun {
    int status = -1;
    QString output;
    QString errors;
};
ProcessRun run_pavo(const QStringList& arguments);
