#pragma once

// Appends the user's input to a script file as it happens, for bug reports. Each line is
// flushed as it is written, so a crash keeps everything recorded up to it. The file is
// replaced when opened and starts with a comment naming the program and the date; record
// the view size first, since a script sets its size only before its first event.

#include "event_script.h"
#include "result.h"

#include <QFile>
#include <QString>

#include <memory>

class EventRecorder {
    struct Passkey {};

public:
    // A recorder writing to path, or why none can.
    static Result<std::unique_ptr<EventRecorder>> open(const QString& path);

    EventRecorder(Passkey, const QString& path);
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    // Success when the event is in the file as a line that replays. An event that cannot
    // be replayed (see unformattable_reason, or a size after the first event) is written as
    // a comment for whoever reads the report and fails with the reason. A failed write
    // fails too, and after it the recorder writes nothing more. Files inside the
    // recording's folder are named relative to it, so the recording replays where it is
    // copied; a file written elsewhere keeps its absolute name, under a comment saying that
    // the replay needs --allow-any-path.
    Result<> record(const ScriptEvent& e);
    QString path() const { return _file.fileName(); }

private:
    Result<> writeLine(const QString& line);

    QFile _file;
    bool _eventRecorded = false;
    std::optional<QString> _failure; // a write failed: nothing more is written
};
