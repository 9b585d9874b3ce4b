#include "script_paths.h"

#include "event_script_syntax.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// `path` lies in `folder` or is the folder itself; both are clean absolute paths.
bool within(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

// The path as the file system will follow it: the nearest part of it that exists (a
// dangling link counts, since writing through it creates its target), with its links
// followed, and the rest appended. Empty when a link leads nowhere.
QString physical(const QString& path)
{
    QString existing = path;
    QString rest;
    while (!QFileInfo(existing).isSymLink() && !QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing) return path;
        rest = QFileInfo(existing).fileName() + (rest.isEmpty() ? QString() : u'/' + rest);
        existing = parent;
    }
    const QString real = QFileInfo(existing).canonicalFilePath();
    if (real.isEmpty()) return {};
    return rest.isEmpty() ? real : QDir(real).filePath(rest);
}

Failure refusal(const ScriptEvent& e, const QString& why, const QString& folder)
{
    return Failure{QStringLiteral("line %1: %2 %3; a replay writes only inside %4 "
                                  "(--allow-any-path lifts this for scripts of your own)")
                       .arg(e.line)
                       .arg(event_script_syntax::keyword_of(e.kind), why, folder)};
}

Result<QString> written_path(const ScriptEvent& e, const ScriptFolders& folders)
{
    const QString folder = QDir::cleanPath(QDir(folders.output).absolutePath());
    if (QDir::isAbsolutePath(e.text)) {
        if (folders.anyPath) return QDir::cleanPath(e.text);
        return refusal(e, QStringLiteral("names an absolute path"), folder);
    }
    const QString path = QDir::cleanPath(QDir(folder).filePath(e.text));
    if (folders.anyPath) return path;
    if (!within(path, folder)) return refusal(e, QStringLiteral("climbs out with \"..\""), folder);
    const QString real = physical(path);
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty() || realFolder.isEmpty() || !within(real, realFolder))
        return refusal(e, QStringLiteral("leads out through a symbolic link"), folder);
    return path;
}

} // namespace

bool writes_file(ScriptEvent::Kind kind)
{
    using Kind = ScriptEvent::Kind;
    return kind == Kind::Save || kind == Kind::Export || kind == Kind::PrintPdf;
}

bool names_file(ScriptEvent::Kind kind)
{
    using Kind = ScriptEvent::Kind;
    return writes_file(kind) || kind == Kind::Open || kind == Kind::Place;
}

Result<EventScript> place_script_files(EventScript script, const ScriptFolders& folders)
{
    for (ScriptEvent& e : script.events) {
        if (!names_file(e.kind)) continue;
        if (!writes_file(e.kind)) {
            e.text = QDir::cleanPath(QDir(folders.script).absoluteFilePath(e.text));
            continue;
        }
        const Result<QString> path = written_path(e, folders);
        if (!path) return Failure{path.error()};
        e.text = *path;
    }
    return script;
}

QString recorded_file_name(const QString& path, const QString& folder)
{
    const QString file = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString dir = QDir::cleanPath(QDir(folder).absolutePath());
    if (file == dir || !within(file, dir)) return file;
    return QDir(dir).relativeFilePath(file);
}

QString default_user_scripts_folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}
