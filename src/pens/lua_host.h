#pragma once

// The script host: one Lua interpreter state running one pen script. After the script has
// run, the object is that pen type's store of settings (its globals, read and written here)
// and the caller of its pen callbacks. The pen tool keeps one per pen script; the menu
// builder makes a separate set while it builds.
//
// A state opens only the base, table, string and math libraries, with the program's
// functions registered as globals. Scripts reach no files: dofile and loadfile are gone,
// load takes text only, and `require` loads Lua source only through the four templates of
// LUA_PATH (fixed when the state is made; the global is for the script to read): the
// person's Pens/ and Lib/ before the built-in ones of the same kind. Every call
// into the script is protected: an error is logged with its stack and shown through
// ScriptAlerts, and a call that runs past its instruction or time budget, or a script that
// passes its memory cap, ends with such an error instead of freezing or crashing.
//
// A pen callback is given the view and pen it acts on; they are set in the state's own
// context for that call only. Paths a callback built without retaining them are freed when
// it returns.

#include "geometry.h"
#include "pen_folders.h"
#include "resources.h"
#include "result.h"
#include "script_state.h"
#include "string_table.h"
#include "tool_event.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QPainter;
class ScriptPen;
class ToolView;
struct lua_State;

// Where script errors are shown: the application shows a modal alert with one button, a
// replay writes to standard error, tests record.
class ScriptAlerts {
public:
    virtual ~ScriptAlerts() = default;
    // The message is shown as it is, never read as a format.
    virtual void show(const QString& title, const QString& message) = 0;
};

class Lua {
    struct Tag {
        explicit Tag() = default;
    };

public:
    // Fails when the state cannot be made. The resources hold the built-in Pens/, Lib/ and
    // the string tables.
    static Result<std::unique_ptr<Lua>> create(ScriptAlerts& alerts,
                                       const PenFolders& folders = resource_path(),
                                       const ScriptLimits& limits = {});
    // create, then runFile; null only when the state cannot be made (shown as an alert). A
    // script that failed still gives its state, with the globals it set before the error.
    static std::unique_ptr<Lua> runningFile(const QString& path, ScriptAlerts& alerts,
                                            const PenFolders& folders = resource_path(),
                                            const ScriptLimits& limits = {});

    Lua(Tag, ScriptAlerts& alerts, const PenFolders& folders, const ScriptLimits& limits);
    ~Lua();
    Lua(const Lua&) = delete;
    Lua& operator=(const Lua&) = delete;

    // Compiles and runs the file; fails after a "Compile error" or "Runtime error" alert,
    // with its message.
    Result<> runFile(const QString& path);
    // Where errors go from now on: a script may be loaded with its reports held back.
    void setAlerts(ScriptAlerts& alerts) { _alerts = &alerts; }

    // Global readers. Globals are read raw, so a script's metatables play no part.
    // A string or a number (in its string form); nothing for any other value.
    std::optional<QString> getGlobalString(const QString& name) const;
    // The string translated through the "Lua" string table (itself when it has no entry).
    std::optional<QString> getGlobalStringLocalized(const QString& name) const;
    // Only true and false count; anything else is the default.
    bool getGlobalBoolean(const QString& name, bool defaultValue) const;
    // A number or a string that converts to one; anything else is the default.
    float getGlobalNumber(const QString& name, float defaultValue = 0) const;
    // The strings and numbers at 1, 2, ... of a table, up to the first other value; empty
    // for anything but a table.
    QStringList getGlobalStringArray(const QString& name) const;
    void setGlobal(const QString& name, const QString& value);
    void setGlobal(const QString& name, float value);

    // Pen callbacks, acting on `view` and `pen`. `p` is in drawing coordinates, `radius` in
    // drawing units. Each fails with the script's message when the script function failed
    // (already shown).
    Result<> penDownAt(ToolView& view, ScriptPen& pen, Point p, float radius,
                       const ToolEvent& event);
    Result<> penMoveTo(ToolView& view, ScriptPen& pen, Point p, float radius,
                       const ToolEvent& event);
    Result<> penUp(ToolView& view, ScriptPen& pen);
    // Draws the queued feedback into the view's painter, anti-aliased and in view
    // coordinates, in the pen's colour and opacity, and empties the queue.
    void penDraw(ToolView& view, ScriptPen& pen, QPainter& painter);

    // The state's context, for checks.
    const ScriptContext& context() const { return _state.context; }

    // For checks: the interpreter's stack height, live paths and bytes in use.
    int stackHeight() const;
    std::size_t livePaths() const { return _state.paths.size(); }
    std::size_t memoryInUse() const { return _state.memory.used(); }

private:
    bool open();
    Result<> pcallWithArgs(int nargs, int nresults);
    Result<> callPenFunction(const char* name, const Point* p, float radius);
    void error(const QString& title, const QString& message) const;
    std::optional<QString> popString() const;
    std::optional<QString> globalString(const QByteArray& name) const;

    ScriptAlerts* _alerts;
    const QString _root;
    const StringTable _lua_strings;
    const StringTable _default_strings;
    ScriptState _state;
    // Last, so the state closes before the memory account it allocates from goes away.
    std::unique_ptr<lua_State, void (*)(lua_State*)> L;
};
