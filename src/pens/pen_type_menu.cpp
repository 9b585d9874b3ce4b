#include "pen_type_menu.h"

#include "tool_event.h"

#include <QDir>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

unsigned modifier_flag_named(const QString& part)
{
    static const std::map<QString, unsigned> kFlags = {
        {QStringLiteral("shift"), kShiftKey},       {QStringLiteral("ctrl"), kControlKey},
        {QStringLiteral("control"), kControlKey},   {QStringLiteral("alt"), kOptionKey},
        {QStringLiteral("opt"), kOptionKey},        {QStringLiteral("option"), kOptionKey},
        {QStringLiteral("cmd"), kCommandKey},       {QStringLiteral("command"), kCommandKey},
        {QStringLiteral("numpad"), kNumericPadKey}, {QStringLiteral("f"), kFunctionKey},
    };
    const auto found = kFlags.find(part.toLower());
    return found != kFlags.end() ? found->second : 0u;
}

bool sorts_after(const PenTypeMenuItem& existing, int tag, const QString& title)
{
    return existing.tag > tag || (existing.tag == tag && existing.title.compare(title) > 0);
}

PenTypeMenuItem& insert_in_order(PenTypeMenu& menu, PenTypeMenuItem item)
{
    const auto before = std::find_if(menu.begin(), menu.end(), [&](const PenTypeMenuItem& existing) {
        return sorts_after(existing, item.tag, item.title);
    });
    return *menu.insert(before, std::move(item));
}

// The items of the submenu titled `title`, made at `tag` if there is none yet. Only submenu
// items are looked at: a pen type named like the submenu must neither receive the pen types
// nor hide the submenu from later ones.
PenTypeMenu& submenu_titled(PenTypeMenu& menu, const QString& title, int tag)
{
    const auto found = std::find_if(menu.begin(), menu.end(), [&](const PenTypeMenuItem& item) {
        return item.isSubmenu() && item.title == title;
    });
    if (found != menu.end()) return found->children;
    PenTypeMenuItem item;
    item.kind = PenTypeMenuItem::Kind::Submenu;
    item.title = title;
    item.tag = tag;
    return insert_in_order(menu, std::move(item)).children;
}

PenTypeDescription describe(const Lua& script)
{
    PenTypeDescription type;
    type.name = script.getGlobalStringLocalized(QStringLiteral("name")).value_or(QString());
    type.submenu = script.getGlobalStringLocalized(QStringLiteral("submenu"));
    type.key = script.getGlobalString(QStringLiteral("key"));
    type.position = menu_position_tag(
        script.getGlobalNumber(QStringLiteral("menu_position"), float(kDefaultMenuPosition)));
    return type;
}

} // namespace

QString PenTypeMenuItem::action() const
{
    return isSubmenu() ? QString() : QStringLiteral("setPenType:");
}

unsigned modifier_mask_from_key_string(const QString& key)
{
    QStringList parts = key.split(u'-');
    parts.removeLast(); // the key itself
    unsigned mask = 0;
    for (const QString& part : parts) mask |= modifier_flag_named(part);
    return mask;
}

int menu_position_tag(float position)
{
    if (!std::isfinite(position)) return kDefaultMenuPosition;
    const double truncated = std::trunc(double(position));
    const double lowest = std::numeric_limits<int>::min(), highest = std::numeric_limits<int>::max();
    return int(std::clamp(truncated, lowest, highest));
}

void add_pen_type(PenTypeMenu& menu, const PenTypeDescription& type)
{
    PenTypeMenuItem item;
    item.title = type.name;
    item.tag = type.position;
    if (type.key) {
        item.keyEquivalent = type.key->split(u'-').last();
        item.modifierMask = modifier_mask_from_key_string(*type.key);
    }
    PenTypeMenu& into = type.submenu ? submenu_titled(menu, *type.submenu, type.position) : menu;
    insert_in_order(into, std::move(item));
}

PenTypeMenu build_pen_type_menu(const PenFolders& folders, ScriptAlerts& alerts)
{
    // The same scripts in the same order as the pen's, so that both know the same pen
    // types: of several scripts with one name, the last.
    std::vector<PenTypeDescription> types;
    for (const QString& file : pen_script_files(folders)) {
        const std::unique_ptr<Lua> script = run_pen_script(file, alerts, folders);
        if (!script || !script->getGlobalString(QStringLiteral("name"))) continue;
        PenTypeDescription type = describe(*script);
        std::erase_if(types, [&type](const PenTypeDescription& t) { return t.name == type.name; });
        types.push_back(std::move(type));
    }
    PenTypeMenu menu;
    for (const PenTypeDescription& type : types) add_pen_type(menu, type);
    return menu;
}
