#pragma once

// The pen type menu as plain data, built from the pen scripts at start-up. Each script with
// a `name` becomes an item that chooses that pen type; scripts naming a `submenu` are
// gathered under one submenu item. Items are ordered by `menu_position`, equal positions by
// title. The desktop layer turns this list into real menus; the pen panel copies it.
//
// A submenu item never chooses a pen type and a pen type item never holds children, even
// when a pen type is named like a submenu: the two then stand side by side as separate items.

#include "lua_host.h"

#include <QString>

#include <optional>
#include <vector>

struct PenTypeMenuItem {
    enum class Kind { PenType, Submenu };

    Kind kind = Kind::PenType;
    QString title;
    // The `menu_position`; for a submenu item, that of the first pen type that named it.
    int tag = 0;
    // The last "-"-separated part of the script's `key`, as written; empty for none.
    QString keyEquivalent;
    // ModifierFlag bits named by the parts before it.
    unsigned modifierMask = 0;
    // The items of a submenu item; always empty for a pen type item.
    std::vector<PenTypeMenuItem> children;

    bool isSubmenu() const { return kind == Kind::Submenu; }
    // "setPenType:" for a pen type item, empty for a submenu item.
    QString action() const;
};

using PenTypeMenu = std::vector<PenTypeMenuItem>;

inline constexpr int kDefaultMenuPosition = 10000;

// What the menu needs to know of one pen script, already translated.
struct PenTypeDescription {
    QString name;
    std::optional<QString> submenu;
    // Untranslated, e.g. "cmd-shift-e".
    std::optional<QString> key;
    int position = kDefaultMenuPosition;
};

// The flags named by every "-"-separated part of the key string but the last, matched
// case-insensitively ("shift", "ctrl"/"control", "alt"/"opt"/"option", "cmd"/"command",
// "numpad", "f"); unknown parts add nothing.
unsigned modifier_mask_from_key_string(const QString& key);

// Inserts the pen type (into its submenu, made on first use) by the ordering rule: before
// the first item whose tag is greater, or whose tag is equal and whose title sorts after the
// new title (case-sensitive); an equal tag and title goes after the existing item.
void add_pen_type(PenTypeMenu& menu, const PenTypeDescription& type);

// A script's `menu_position` as a tag: truncated towards zero; a value that is no finite
// number gives the default and one beyond the int range is held at its end.
int menu_position_tag(float position);

// Runs every pen script (pen_script_files), each in a state of its own that is closed again
// at once, and adds those with a `name`; of several with one name, the last. Script errors
// go to `alerts`.
PenTypeMenu build_pen_type_menu(const PenFolders& folders, ScriptAlerts& alerts);
