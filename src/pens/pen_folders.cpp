#include "pen_folders.h"

#include "lua_host.h"

#include <QDir>
#include <QFileInfo>

#include <utility>
#include <vector>

namespace {

QStringList scripts_in(const QString& root)
{
    if (root.isEmpty()) return {};
    const QDir pens(QDir(root).filePath(QStringLiteral("Pens")));
    QStringList files;
    for (const QString& name : pens.entryList({QStringLiteral("*.lua")}, QDir::Files, QDir::Name))
        files << pens.filePath(name);
    return files;
}

// Keeps what a script reports while it loads, to be shown or dropped afterwards.
class HeldAlerts final : public ScriptAlerts {
public:
    void show(const QString& title, const QString& message) override { held.emplace_back(title, message); }
    std::vector<std::pair<QString, QString>> held;
};

bool is_users(const QString& file, const PenFolders& folders)
{
    return !folders.user.isEmpty() &&
           QFileInfo(file).absolutePath() == QDir(QDir(folders.user).filePath(QStringLiteral("Pens"))).absolutePath();
}

} // namespace

PenFolders::PenFolders(QString resourceRoot, QString userRoot)
    : resources(std::move(resourceRoot)), user(std::move(userRoot)),
      shown_failures(std::make_shared<std::set<QString>>())
{
}

QStringList pen_script_files(const PenFolders& folders)
{
    return scripts_in(folders.resources) + scripts_in(folders.user);
}

std::unique_ptr<Lua> run_pen_script(const QString& file, ScriptAlerts& alerts, const PenFolders& folders)
{
    if (!is_users(file, folders)) return Lua::runningFile(file, alerts, folders);
    HeldAlerts held;
    std::unique_ptr<Lua> script = Lua::runningFile(file, held, folders);
    // The message names the file and the line, so one failure is shown once however many
    // pens load it; a script mended and broken anew says something new.
    for (const auto& [title, message] : held.held)
        if (folders.shown_failures->insert(title + u'\n' + message).second) alerts.show(title, message);
    if (!held.held.empty()) return nullptr;
    script->setAlerts(alerts);
    return script;
}
