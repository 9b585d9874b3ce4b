#include "event_recorder.h"

#include "event_script_syntax.h"
#include "script_paths.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

EventRecorder::EventRecorder(Passkey, const QString& path) : _file(path) {}

Result<std::unique_ptr<EventRecorder>> EventRecorder::open(const QString& path)
{
    auto recorder = std::make_unique<EventRecorder>(Passkey{}, path);
    if (!recorder->_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Failure{QStringLiteral("cannot record events to %1: %2").arg(path, recorder->_file.errorString())};
    const QDateTime now = QDateTime::currentDateTime();
    const QString stamp = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
    if (const Result<> written = recorder->writeLine(QStringLiteral("# Pavo event recording, %1").arg(stamp)); !written)
        return Failure{written.error()};
    return recorder;
}

Result<> EventRecorder::record(const ScriptEvent& event)
{
    ScriptEvent e = event;
    // A relative name is kept: nothing says what it was relative to.
    if (names_file(e.kind) && QDir::isAbsolutePath(e.text)) {
        e.text = recorded_file_name(e.text, QFileInfo(_file.fileName()).absolutePath());
        if (writes_file(e.kind) && QDir::isAbsolutePath(e.text) && !_failure) {
            const Result<> written = writeLine(
                QStringLiteral("# The next line writes outside this recording's folder: "
                               "replay it with --allow-any-path."));
            if (!written) return written;
        }
    }
    if (_failure)
        return Failure{*_failure};
    std::optional<QString> reason = unformattable_reason(e);
    if (!reason && e.kind == ScriptEvent::Kind::Size && _eventRecorded)
        reason = QStringLiteral("a script sets its size only before its first event");
    if (reason) {
        // The reasons never quote the event's own text, so the comment stays one line.
        const QString why = QStringLiteral("cannot be replayed: %1: %2").arg(event_script_syntax::keyword_of(e.kind), *reason);
        if (const Result<> written = writeLine(QStringLiteral("# ") + why); !written)
            return written;
        return Failure{why};
    }
    if (const Result<> written = writeLine(format_event(e)); !written)
        return written;
    _eventRecorded = true;
    return {};
}

// After a failed write the file may end in part of a line, and a later line appended to it
// could read as a different event: the recording stops at the first failure.
Result<> EventRecorder::writeLine(const QString& line)
{
    const QByteArray bytes = (line + u'\n').toUtf8();
    if (_file.write(bytes) == bytes.size() && _file.flush())
        return {};
    _failure = QStringLiteral("cannot write to %1: %2").arg(_file.fileName(), _file.errorString());
    _file.close();
    return Failure{*_failure};
}
