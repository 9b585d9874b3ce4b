#include "lua_host.h"

#include "lua_library.h"
#include "strokes.h"

#include <lua.hpp>

#include <QByteArray>
#include <QFile>

#include <algorithm>

namespace {

// The text of a string or number, as Lua writes it, without asking the interpreter to
// convert (which allocates and may raise); nothing for other values.
std::optional<QString> value_text(lua_State* L, int index)
{
    switch (lua_type(L, index)) {
    case LUA_TSTRING: {
        std::size_t length = 0;
        const char* const text = lua_tolstring(L, index, &length);
        return QString::fromUtf8(text, qsizetype(length));
    }
    case LUA_TNUMBER: {
        if (lua_isinteger(L, index)) return QString::number(lua_tointeger(L, index));
        QString text = QString::number(lua_tonumber(L, index), 'g', 14);
        // Lua marks a float that looks like an integer with ".0".
        if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == u'-' || c.isDigit(); }))
            text += QStringLiteral(".0");
        return text;
    }
    default: return std::nullopt;
    }
}

QString error_text(lua_State* L, int index)
{
    return value_text(L, index).value_or(
        QStringLiteral("(error object is a %1 value)").arg(QString::fromUtf8(luaL_typename(L, index))));
}

// Logs one stack level: source, current line and function name.
void log_level(lua_State* L, int level)
{
    lua_Debug ar;
    if (!lua_getstack(L, level, &ar) || !lua_getinfo(L, "nSl", &ar)) return;
    log_line(QStringLiteral("%1:%2 %3")
                 .arg(QString::fromUtf8(ar.short_src))
                 .arg(ar.currentline)
                 .arg(ar.name ? QString::fromUtf8(ar.name) : QStringLiteral("?")));
}

int last_level(lua_State* L)
{
    lua_Debug ar;
    int low = 0, high = 1;
    while (lua_getstack(L, high, &ar)) {
        low = high;
        high *= 2;
    }
    while (low + 1 < high) {
        const int middle = (low + high) / 2;
        (lua_getstack(L, middle, &ar) ? low : high) = middle;
    }
    return low;
}

// The message handler: runs where the error happened, before the stack unwinds. Logs the
// message and the stack levels (a deep recursion shows only its ends), and returns the
// message unchanged. Touches the interpreter only through calls that cannot raise.
int error_handler(lua_State* L)
{
    constexpr int kHead = 10, kTail = 11;
    log_line(error_text(L, 1));
    const int last = last_level(L);
    for (int level = 0; level <= last; ++level) {
        if (level == kHead && last - level >= kTail) {
            log_line(QStringLiteral("... (%1 levels)").arg(last - kTail - level + 1));
            level = last - kTail;
            continue;
        }
        log_level(L, level);
    }
    lua_settop(L, 1);
    return 1;
}

// Runs `body` in protected mode: an error in it (memory exhausted, say) comes back as a
// status instead of aborting the program. The body must hold no object that needs
// destruction while it calls the interpreter.
template <typename Body> int run_protected(lua_State* L, Body body)
{
    const ScriptCall call(L);
    lua_pushcfunction(L, [](lua_State* S) -> int {
        (*static_cast<Body*>(lua_touserdata(S, 1)))(S);
        return 0;
    });
    lua_pushlightuserdata(L, &body);
    const int status = lua_pcall(L, 1, 0, 0);
    if (status != LUA_OK) lua_pop(L, 1);
    return status;
}

// The global's value on top of the stack, read without metamethods.
void push_raw_global(lua_State* L, const QByteArray& name)
{
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushlstring(L, name.constData(), std::size_t(name.size()));
    lua_rawget(L, -2);
    lua_remove(L, -2);
}

QString without_trailing_separator(QString root)
{
    while (root.size() > 1 && root.endsWith(u'/')) root.chop(1);
    return root;
}

} // namespace

Lua::Lua(Tag, ScriptAlerts& alerts, const PenFolders& folders, const ScriptLimits& limits)
    : _alerts(&alerts), _root(without_trailing_separator(folders.resources)),
      _lua_strings(StringTable::named(_root, QStringLiteral("Lua"))),
      _default_strings(StringTable::named(_root, QStringLiteral("Localizable"))),
      _state(limits), L(lua_newstate(limited_alloc, &_state.memory), lua_close)
{
    const std::string root = _root.toStdString();
    const std::string user = folders.user.isEmpty() ? std::string()
                                                    : without_trailing_separator(folders.user).toStdString();
    for (const char* kind : {"/Pens/", "/Lib/"}) {
        if (!user.empty()) _state.modules.insert(_state.modules.end(), {{user + kind, ".lua"}, {user + kind, ""}});
        _state.modules.insert(_state.modules.end(), {{root + kind, ".lua"}, {root + kind, ""}});
    }
    for (const ModuleTemplate& t : _state.modules)
        _state.lua_path += (_state.lua_path.empty() ? "" : ";") + t.prefix + '?' + t.suffix;
}

Lua::~Lua()
{
    // Closing runs the script's finalizers, which get a budget like any other call.
    if (!L) return;
    const ScriptCall call(L.get());
    L.reset();
}

Result<std::unique_ptr<Lua>> Lua::create(ScriptAlerts& alerts, const PenFolders& folders,
                                         const ScriptLimits& limits)
{
    auto lua = std::make_unique<Lua>(Tag{}, alerts, folders, limits);
    if (!lua->open()) return Failure{QStringLiteral("cannot make a script interpreter")};
    return lua;
}

std::unique_ptr<Lua> Lua::runningFile(const QString& path, ScriptAlerts& alerts,
                                      const PenFolders& folders, const ScriptLimits& limits)
{
    Result<std::unique_ptr<Lua>> lua = create(alerts, folders, limits);
    if (!lua) {
        alerts.show(StringTable::named(folders.resources, QStringLiteral("Localizable"))
                        .translate(QStringLiteral("Compile error")),
                    lua.error());
        return nullptr;
    }
    (void)(*lua)->runFile(path);
    return std::move(*lua);
}

bool Lua::open()
{
    if (!L) return false;
    attach_script_state(L.get(), _state);
    return run_protected(L.get(), [](lua_State* S) { open_script_library(S); }) == LUA_OK;
}

int Lua::stackHeight() const { return lua_gettop(L.get()); }

void Lua::error(const QString& title, const QString& message) const
{
    _alerts->show(_default_strings.translate(title), message);
}

std::optional<QString> Lua::popString() const
{
    std::optional<QString> text = value_text(L.get(), -1);
    lua_pop(L.get(), 1);
    return text;
}

Result<> Lua::pcallWithArgs(int nargs, int nresults)
{
    lua_State* const S = L.get();
    const int base = lua_gettop(S) - nargs;
    lua_pushcfunction(S, error_handler);
    lua_insert(S, base);
    int status = LUA_OK;
    {
        const ScriptCall call(S);
        status = lua_pcall(S, nargs, nresults, base);
    }
    const std::optional<QString> message =
        status == LUA_OK ? std::nullopt : std::optional(error_text(S, -1));
    // The interpreter raises memory errors without calling the handler.
    if (status == LUA_ERRMEM) log_line(*message);
    lua_settop(S, base - 1);
    if (!message) return {};
    error(QStringLiteral("Runtime error"), *message);
    return Failure{*message};
}

Result<> Lua::runFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const QString message = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        error(QStringLiteral("Compile error"), message);
        return Failure{message};
    }
    const QByteArray source = file.readAll();
    const QByteArray chunkname = '@' + path.toUtf8();
    int status = LUA_OK;
    {
        // Loading may run the collector, and with it a script's finalizers.
        const ScriptCall call(L.get());
        status = luaL_loadbufferx(L.get(), source.constData(), std::size_t(source.size()),
                                  chunkname.constData(), "t");
    }
    if (status != LUA_OK) {
        const QString message = error_text(L.get(), -1);
        lua_pop(L.get(), 1);
        error(QStringLiteral("Compile error"), message);
        return Failure{message};
    }
    Result<> ran = pcallWithArgs(0, 1);
    _state.paths.drain();
    return ran;
}

std::optional<QString> Lua::globalString(const QByteArray& name) const
{
    std::optional<QString> text;
    run_protected(L.get(), [&name, &text](lua_State* S) {
        push_raw_global(S, name);
        text = value_text(S, -1);
        lua_pop(S, 1);
    });
    return text;
}

std::optional<QString> Lua::getGlobalString(const QString& name) const
{
    return globalString(name.toUtf8());
}

std::optional<QString> Lua::getGlobalStringLocalized(const QString& name) const
{
    const std::optional<QString> text = getGlobalString(name);
    if (!text) return std::nullopt;
    return _lua_strings.translate(*text);
}

bool Lua::getGlobalBoolean(const QString& name, bool defaultValue) const
{
    const QByteArray key = name.toUtf8();
    bool value = defaultValue;
    run_protected(L.get(), [&key, &value](lua_State* S) {
        push_raw_global(S, key);
        if (lua_type(S, -1) == LUA_TBOOLEAN) value = lua_toboolean(S, -1);
        lua_pop(S, 1);
    });
    return value;
}

float Lua::getGlobalNumber(const QString& name, float defaultValue) const
{
    const QByteArray key = name.toUtf8();
    float value = defaultValue;
    run_protected(L.get(), [&key, &value](lua_State* S) {
        push_raw_global(S, key);
        if (lua_isnumber(S, -1)) value = float(lua_tonumber(S, -1));
        lua_pop(S, 1);
    });
    return value;
}

QStringList Lua::getGlobalStringArray(const QString& name) const
{
    const QByteArray key = name.toUtf8();
    QStringList strings;
    run_protected(L.get(), [&key, &strings](lua_State* S) {
        push_raw_global(S, key);
        if (lua_istable(S, -1)) {
            for (lua_Integer i = 1;; ++i) {
                lua_rawgeti(S, -1, i);
                const std::optional<QString> text = value_text(S, -1);
                lua_pop(S, 1);
                if (!text) break;
                strings.append(*text);
            }
        }
        lua_pop(S, 1);
    });
    return strings;
}

void Lua::setGlobal(const QString& name, const QString& value)
{
    const QByteArray key = name.toUtf8(), text = value.toUtf8();
    run_protected(L.get(), [&key, &text](lua_State* S) {
        lua_rawgeti(S, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
        lua_pushlstring(S, key.constData(), std::size_t(key.size()));
        lua_pushlstring(S, text.constData(), std::size_t(text.size()));
        lua_rawset(S, -3);
        lua_pop(S, 1);
    });
}

void Lua::setGlobal(const QString& name, float value)
{
    const QByteArray key = name.toUtf8();
    run_protected(L.get(), [&key, value](lua_State* S) {
        lua_rawgeti(S, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
        lua_pushlstring(S, key.constData(), std::size_t(key.size()));
        lua_pushnumber(S, value);
        lua_rawset(S, -3);
        lua_pop(S, 1);
    });
}
