#pragma once

// The menu bar of one document window and its check marks. Every command item carries the
// document controller's command name ("penSize:", "setPenType:", ...); choosing it calls
// `perform` with that name and the item's title, and the window passes both on to the
// controller. The pen type menu comes from the pen scripts (build_pen_type_menu).
//
// Check marks show the state of the document and change only through the check calls,
// which the controller makes whenever it updates its tool display; choosing an item does
// not tick it by itself.
//
// Titles show in the person's language (the pen types' as their scripts' tables give them)
// and are cut short when too wide for the screen; the command keeps the English title.
//
// Pen type key equivalents become shortcuts unless a fixed command or an earlier pen type
// already has that key: Qt fires neither of two actions that share a shortcut.

#include "pen_type_menu.h"

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QColor>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;

class MenuManager : public QObject {
public:
    using Perform = std::function<void(const QString& action, const QString& title)>;

    // Fills `bar` with the File, Edit, Tools, Pen Type, Size, Opacity, Colour, View, Window
    // and Help menus.
    MenuManager(QMenuBar& bar, const PenTypeMenu& penTypes, Perform perform, QObject* parent = nullptr);

    // Checks the Tools item with this command and unchecks the others; an unknown command
    // changes nothing.
    void checkTool(const QString& command);
    // The Pen Type menu's types after the pen scripts were read again.
    void setPenTypes(const PenTypeMenu& penTypes);
    // Checks every pen type item titled `name`, in submenus too, and unchecks the others.
    void checkPenType(const QString& name);
    // The size item of exactly this radius, else Other…; nothing changes when there is none.
    void checkPenSize(float radius);
    // The opacity item nearest to the opacity (0 to 1) as a percentage.
    void checkOpacity(float opacity);
    // Checks the Colour item of this colour (to eight bits a channel) and the Recent Colours
    // item too, and unchecks the others.
    void checkColour(const QColor& colour);
    // Colour > Recent Colours, empty; the window fills it.
    QMenu* recentColoursMenu() const { return _recent_colours; }
    // The Undo and Redo items read "Undo <name>" / "Redo <name>" (plain "Undo"/"Redo" for an
    // empty name) and are disabled when there is nothing to undo or redo.
    void setUndoState(bool canUndo, const QString& undoName, bool canRedo, const QString& redoName);

    // The first item, in menu order, with this command name; null for none.
    QAction* action(const QString& command) const;
    // The command name and title of an item made here; empty for any other action.
    QString actionName(const QAction* item) const;
    QString title(const QAction* item) const;
    // File > Open Recent, empty; the window fills it.
    QMenu* openRecentMenu() const { return _open_recent; }
    // The Window menu, empty; the panels put their items in it.
    QMenu* windowMenu() const { return _window; }

private:
    struct Command {
        QString action;
        QString title;
    };
    struct Entry;
    static const Entry kSeparator;
    struct PendingShortcut {
        QAction* item;
        QKeySequence shortcut;
    };

    // An item showing the title in the person's language.
    QAction* addCommand(QMenu& menu, const QString& title, const QString& action,
                        const QKeySequence& shortcut = {});
    // An item showing `text` that performs `action` with `title`.
    QAction* addItem(QMenu& menu, const QString& text, const QString& title, const QString& action,
                     const QKeySequence& shortcut = {});
    void addEntries(QMenu& menu, std::initializer_list<Entry> entries);
    void addToolItem(QMenu& tools, const char* title, const char* action, const char* key);
    void buildFileMenu(QMenuBar& bar);
    void buildEditMenu(QMenuBar& bar);
    void buildToolsMenu(QMenuBar& bar);
    void buildPenTypeMenu(QMenuBar& bar, const PenTypeMenu& penTypes);
    void addPenTypes(QMenu& menu, const PenTypeMenu& items);
    void buildNumberMenu(QMenuBar& bar, QMenu*& menu, const QString& name, const QStringList& titles,
                         const QString& action, const QString& otherAction);
    void buildColourMenu(QMenuBar& bar);
    void buildViewMenu(QMenuBar& bar);
    void buildHelpMenu(QMenuBar& bar);
    void assignPenTypeShortcuts();
    void forgetItemsIn(const QMenu& menu);
    void setCommandTitle(QAction* item, const QString& title, const QString& text);

    void checkOnly(QMenu& menu, const QAction* item);
    void checkPenTypeIn(QMenu& menu, const QString& name);
    QStringList titlesOf(const QMenu& menu) const;

    Perform _perform;
    QHash<const QAction*, Command> _commands;
    // Every command item in the order it was made, which is menu order.
    std::vector<QAction*> _items;
    std::vector<PendingShortcut> _pen_type_shortcuts;
    QMenu* _open_recent = nullptr;
    QMenu* _window = nullptr;
    QMenu* _colours = nullptr;
    QMenu* _recent_colours = nullptr;
    QMenu* _tools = nullptr;
    QMenu* _pen_types = nullptr;
    QMenu* _sizes = nullptr;
    QMenu* _opacities = nullptr;
    QAction* _undo = nullptr;
    QAction* _redo = nullptr;
};
