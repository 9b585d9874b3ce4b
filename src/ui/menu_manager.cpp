#include "menu_manager.h"

#include "drawing_status.h"
#include "pavo_document.h"
#include "menu_checks.h"
#include "size_steps.h"

#include <QAction>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include <algorithm>
#include <set>

// One item of a fixed menu; a null title is a separator.
struct MenuManager::Entry {
    const char* title;
    const char* action;
    const char* shortcut = nullptr;
};

const MenuManager::Entry MenuManager::kSeparator{nullptr, nullptr};

namespace {

// A title as item text: "&" would otherwise mark a mnemonic and vanish.
QString item_text(const QString& title)
{
    QString text = title;
    return text.replace(u'&', QStringLiteral("&&"));
}

QString command_title(const QString& verb, const QString& name)
{
    return name.isEmpty() ? verb : verb + u' ' + name;
}

// However long a translation, no title may take more than this share of the screen's width,
// so that every menu, with its shortcuts beside the titles, stays on the screen.
constexpr double kMaxTitleShare = 0.4;

// A text as shown in a menu: cut short with "…" when too wide, "&" kept as a character.
QString shown_text(const QString& text, const QFont& font)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int widest = screen ? int(screen->availableGeometry().width() * kMaxTitleShare) : 320;
    return item_text(QFontMetrics(font).elidedText(text, Qt::ElideRight, widest));
}

// The person's language for a menu text. Numbers and percentages stay as they are.
QString translated(const QString& title)
{
    if (std::none_of(title.begin(), title.end(), [](QChar c) { return c.isLetter(); })) return title;
    return QCoreApplication::translate("MenuManager", title.toUtf8().constData());
}

// Every menu title below `menu` in the person's language, except inside `keep`, whose
// titles (the pen types') come translated already.
void translate_menu_titles(const QList<QAction*>& items, const QMenu* keep)
{
    for (const QAction* item : items) {
        QMenu* menu = item->menu();
        if (!menu) continue;
        menu->setTitle(shown_text(translated(menu->title()), menu->font()));
        if (menu != keep) translate_menu_titles(menu->actions(), keep);
    }
}

} // namespace

MenuManager::MenuManager(QMenuBar& bar, const PenTypeMenu& penTypes, Perform perform, QObject* parent)
    : QObject(parent), _perform(std::move(perform))
{
    buildFileMenu(bar);
    buildEditMenu(bar);
    buildToolsMenu(bar);
    buildPenTypeMenu(bar, penTypes);
    buildNumberMenu(bar, _sizes, QStringLiteral("Size"), size_menu_titles(), QStringLiteral("penSize:"),
                    QStringLiteral("penSizeOther:"));
    buildNumberMenu(bar, _opacities, QStringLiteral("Opacity"),
                    {"10%", "20%", "25%", "33%", "50%", "67%", "75%", "80%", "90%", "100%"},
                    QStringLiteral("penOpacity:"), QStringLiteral("penOpacityOther:"));
    buildColourMenu(bar);
    buildViewMenu(bar);
    _window = bar.addMenu(QStringLiteral("Window"));
    buildHelpMenu(bar);
    // Made once here rather than at each place a menu is made, so that a menu added later
    // is translated too.
    translate_menu_titles(bar.actions(), _pen_types);
    // After every fixed shortcut is known, so that those win.
    assignPenTypeShortcuts();
    setUndoState(false, {}, false, {});
}

QAction* MenuManager::addCommand(QMenu& menu, const QString& title, const QString& action,
                                 const QKeySequence& shortcut)
{
    // The title goes to the document untranslated: commands and event scripts know it so.
    return addItem(menu, translated(title), title, action, shortcut);
}

QAction* MenuManager::addItem(QMenu& menu, const QString& text, const QString& title, const QString& action,
                              const QKeySequence& shortcut)
{
    QAction* item = menu.addAction(shown_text(text, menu.font()));
    item->setShortcut(shortcut);
    _commands.insert(item, {action, title});
    _items.push_back(item);
    connect(item, &QAction::triggered, this, [this, item](bool checked) {
        // Qt has just toggled a checkable item; its mark waits for the document's answer.
        if (item->isCheckable()) item->setChecked(!checked);
        const Command command = _commands.value(item);
        _perform(command.action, command.title);
    });
    return item;
}

void MenuManager::addEntries(QMenu& menu, std::initializer_list<Entry> entries)
{
    for (const Entry& entry : entries) {
        if (!entry.title) {
            menu.addSeparator();
            continue;
        }
        const QKeySequence shortcut = entry.shortcut
            ? QKeySequence::fromString(QString::fromUtf8(entry.shortcut), QKeySequence::PortableText)
            : QKeySequence();
        addCommand(menu, QString::fromUtf8(entry.title), QString::fromUtf8(entry.action), shortcut);
    }
}

void MenuManager::buildFileMenu(QMenuBar& bar)
{
    QMenu* file = bar.addMenu(QStringLiteral("File"));
    addEntries(*file, {{"New", "newDocument:", "Ctrl+N"},
                       {"Open…", "openDocument:", "Ctrl+O"},
                       {"Place…", "place:", "Ctrl+Shift+P"}});
    _open_recent = file->addMenu(QStringLiteral("Open Recent"));
    addEntries(*file, {kSeparator,
                       {"Close", "performClose:", "Ctrl+W"},
                       {"Save", "saveDocument:", "Ctrl+S"},
                       {"Save As…", "saveDocumentAs:", "Ctrl+Shift+S"},
                       {"Revert to Saved", "revertDocumentToSaved:"},
                       {"Export…", "exportBitmap:", "Ctrl+E"},
                       kSeparator,
                       {"Print…", "printDocument:", "Ctrl+P"},
                       {"Print Preview…", "printPreview:"},
                       kSeparator,
                       {"Quit", "terminate:", "Ctrl+Q"}});
}

void MenuManager::buildEditMenu(QMenuBar& bar)
{
    QMenu* edit = bar.addMenu(QStringLiteral("Edit"));
    addEntries(*edit, {{"Undo", "undo:", "Ctrl+Z"},
                       {"Redo", "redo:", "Ctrl+Shift+Z"},
                       kSeparator,
                       {"Cut", "cut:", "Ctrl+X"},
                       {"Copy", "copy:", "Ctrl+C"},
                       {"Paste", "paste:", "Ctrl+V"},
                       {"Duplicate", "duplicate:", "Ctrl+D"},
                       kSeparator,
                       // The Delete key belongs to the view, which deletes the selection.
                       {"Delete", "delete:"},
                       {"Merge Strokes", "mergeStrokes:", "Ctrl+M"},
                       {"Clear", "clear:"},
                       kSeparator,
                       {"Select All", "selectAll:", "Ctrl+A"},
                       kSeparator,
                       {"Bring Forward", "bringForward:", "Ctrl+]"},
                       {"Bring to Front", "bringToFront:", "Ctrl+Shift+]"},
                       {"Send Backward", "sendBackward:", "Ctrl+["},
                       {"Send to Back", "sendToBack:", "Ctrl+Shift+["},
                       kSeparator,
                       {"Preferences…", "preferences:", "Ctrl+,"},
                       {"Reset Settings…", "resetSettings:"},
                       kSeparator});
    addEntries(*edit->addMenu(QStringLiteral("Copy as Picture")),
               {{"Actual Size", "copyBitmap:"},
                {"Double Size", "copyBitmapDoubleResolution:"},
                {"Triple Size", "copyBitmapTripleResolution:"},
                {"Quadruple Size", "copyBitmapQuadrupleResolution:"}});
    _undo = action(QStringLiteral("undo:"));
    _redo = action(QStringLiteral("redo:"));
    // Ctrl+Y too, as many Linux programs take it.
    _redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
}

void MenuManager::addToolItem(QMenu& tools, const char* title, const char* action, const char* key)
{
    addCommand(tools, QString::fromUtf8(title), QString::fromUtf8(action), QKeySequence(QString::fromLatin1(key)))
        ->setCheckable(true);
}

void MenuManager::buildToolsMenu(QMenuBar& bar)
{
    _tools = bar.addMenu(QStringLiteral("Tools"));
    // Single letters, as drawing programs have them: Ctrl and the digits belong to the pen
    // types, and the drawing area takes no typed text.
    addToolItem(*_tools, "Pen", "penTool:", "P");
    addToolItem(*_tools, "Arrow", "arrowTool:", "V");
    addToolItem(*_tools, "Fill", "fillTool:", "F");
    addToolItem(*_tools, "Zoom", "zoomTool:", "Z");
    addToolItem(*_tools, "Rotate", "rotateTool:", "R");
    addToolItem(*_tools, "Move", "moveTool:", "H");
}

void MenuManager::buildPenTypeMenu(QMenuBar& bar, const PenTypeMenu& penTypes)
{
    _pen_types = bar.addMenu(QStringLiteral("Pen Type"));
    addCommand(*_pen_types, QStringLiteral("Reload Pen Types"), QStringLiteral("reloadPenTypes:"));
    _pen_types->addSeparator();
    addPenTypes(*_pen_types, penTypes);
}

void MenuManager::setPenTypes(const PenTypeMenu& penTypes)
{
    // Everything after the reload item and its separator is a pen type or a submenu of them.
    for (QAction* item : _pen_types->actions().mid(2)) {
        if (QMenu* submenu = item->menu()) {
            forgetItemsIn(*submenu);
            delete submenu;
            continue;
        }
        _commands.remove(item);
        std::erase(_items, item);
        delete item;
    }
    addPenTypes(*_pen_types, penTypes);
    assignPenTypeShortcuts();
}

void MenuManager::forgetItemsIn(const QMenu& menu)
{
    for (QAction* item : menu.actions()) {
        if (const QMenu* submenu = item->menu()) forgetItemsIn(*submenu);
        _commands.remove(item);
        std::erase(_items, item);
    }
}

void MenuManager::addPenTypes(QMenu& menu, const PenTypeMenu& items)
{
    for (const PenTypeMenuItem& type : items) {
        if (type.isSubmenu()) {
            addPenTypes(*menu.addMenu(shown_text(type.title, menu.font())), type.children);
            continue;
        }
        QAction* item = addItem(menu, type.title, type.title, type.action());
        item->setCheckable(true);
        _pen_type_shortcuts.push_back({item, key_sequence(type.keyEquivalent, type.modifierMask)});
    }
}

void MenuManager::buildNumberMenu(QMenuBar& bar, QMenu*& menu, const QString& name,
                                  const QStringList& titles, const QString& action,
                                  const QString& otherAction)
{
    menu = bar.addMenu(name);
    for (const QString& title : titles) addCommand(*menu, title, action)->setCheckable(true);
    menu->addSeparator();
    addCommand(*menu, QStringLiteral("Other…"), otherAction)->setCheckable(true);
}

void MenuManager::buildColourMenu(QMenuBar& bar)
{
    QMenu* colours = _colours = bar.addMenu(QStringLiteral("Colour"));
    for (const char* colour : {"Black", "Blue", "Brown", "Cyan", "Green", "Magenta", "Orange", "Purple",
                               "Red", "Yellow", "White"}) {
        const QString name = QString::fromLatin1(colour);
        const QString command = QStringLiteral("set") + name + QStringLiteral("Color:");
        QAction* item = addCommand(*colours, name, command);
        item->setCheckable(true);
        item->setIcon(colour_swatch(PavoDocument::namedColor(command).value_or(QColor())));
        // The swatch is the point of the item: shown even where menus hide icons.
        item->setIconVisibleInMenu(true);
    }
    colours->addSeparator();
    _recent_colours = colours->addMenu(QStringLiteral("Recent Colours"));
    addEntries(*colours, {kSeparator,
                          {"Tool Colour…", "toolColor:", "Ctrl+Shift+C"},
                          {"Background Colour…", "showSetBackgroundColor:"},
                          {"Clear Background", "clearBackgroundColor:"}});
}

void MenuManager::buildViewMenu(QMenuBar& bar)
{
    QMenu* view = bar.addMenu(QStringLiteral("View"));
    // Ctrl+9 is the one Ctrl+digit that no shipped pen type uses; the bare digits 1, 4, 5
    // and 6 are none of the pen types' keys and are where painting programs put them.
    addEntries(*view, {{"Zoom In", "zoomIn:", "Ctrl+="},
                       {"Zoom Out", "zoomOut:", "Ctrl+-"},
                       {"Actual Size", "actualSize:", "1"},
                       {"Zoom to Fit", "zoomToFit:", "Ctrl+9"},
                       kSeparator,
                       {"Rotate Left", "rotateViewLeft:", "4"},
                       {"Rotate Right", "rotateViewRight:", "6"},
                       {"Reset Rotation", "resetRotation:", "5"},
                       kSeparator,
                       // One gesture with a navigation tool, then back to the tool in use.
                       {"Zoom to Rectangle", "zoomToRect:", "Shift+Z"},
                       {"Rotate View", "rotate:", "Shift+R"},
                       {"Move View", "move:", "Shift+H"}});
    // Ctrl++ too, for keyboards where "+" is not on the "=" key.
    action(QStringLiteral("zoomIn:"))
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    // Window matters, carried out by the window. Tab leaves the canvas only to the drawing:
    // it is added to the drawing area, so that in a panel Tab still moves between controls.
    addEntries(*view, {kSeparator,
                       {"Full Screen", "toggleFullScreen:", "F11"},
                       {"Canvas Only", "toggleCanvasOnly:", "Tab"}});
    action(QStringLiteral("toggleFullScreen:"))->setCheckable(true);
    action(QStringLiteral("toggleCanvasOnly:"))->setCheckable(true);
    action(QStringLiteral("toggleCanvasOnly:"))->setShortcutContext(Qt::WidgetShortcut);
}

void MenuManager::buildHelpMenu(QMenuBar& bar)
{
    QMenu* help = bar.addMenu(QStringLiteral("Help"));
    addEntries(*help, {{"Pavo Help", "showHelp:", "F1"},
                       {"Keyboard Shortcuts", "showKeyboardShortcuts:"},
                       {"Release Notes", "releaseNotes:"},
                       {"Latest News", "latestNews:"},
                       {"Send Feedback…", "sendFeedback:"}});
}

void MenuManager::assignPenTypeShortcuts()
{
    std::set<QKeySequence> taken;
    for (const QAction* item : _items)
        for (const QKeySequence& shortcut : item->shortcuts()) taken.insert(shortcut);
    for (const PendingShortcut& pending : _pen_type_shortcuts) {
        if (pending.shortcut.isEmpty() || !taken.insert(pending.shortcut).second) continue;
        pending.item->setShortcut(pending.shortcut);
    }
    _pen_type_shortcuts.clear();
}

void MenuManager::setCommandTitle(QAction* item, const QString& title, const QString& text)
{
    item->setText(shown_text(text, item->font()));
    _commands[item].title = title;
}

void MenuManager::checkOnly(QMenu& menu, const QAction* item)
{
    for (QAction* each : menu.actions())
        if (each->isCheckable()) each->setChecked(each == item);
}

void MenuManager::checkPenTypeIn(QMenu& menu, const QString& name)
{
    for (QAction* item : menu.actions()) {
        if (QMenu* submenu = item->menu()) checkPenTypeIn(*submenu, name);
        else if (item->isCheckable()) item->setChecked(title(item) == name);
    }
}

QStringList MenuManager::titlesOf(const QMenu& menu) const
{
    QStringList titles;
    // Separators and anything not made here read as empty titles, which the checks skip.
    for (const QAction* item : menu.actions()) titles << title(item);
    return titles;
}

void MenuManager::checkTool(const QString& command)
{
    for (QAction* item : _tools->actions()) {
        if (actionName(item) == command) {
            checkOnly(*_tools, item);
            return;
        }
    }
}

void MenuManager::checkPenType(const QString& name) { checkPenTypeIn(*_pen_types, name); }

void MenuManager::checkPenSize(float radius)
{
    if (const auto index = matching_number_index(titlesOf(*_sizes), radius))
        checkOnly(*_sizes, _sizes->actions().at(*index));
}

void MenuManager::checkOpacity(float opacity)
{
    if (const auto index = closest_number_index(titlesOf(*_opacities), opacity * 100))
        checkOnly(*_opacities, _opacities->actions().at(*index));
}

void MenuManager::checkColour(const QColor& colour)
{
    const auto same = [&colour](const QColor& other) { return other.isValid() && other.rgba() == colour.rgba(); };
    for (QAction* item : _colours->actions())
        if (item->isCheckable()) item->setChecked(same(PavoDocument::namedColor(actionName(item)).value_or(QColor())));
    for (QAction* item : _recent_colours->actions()) item->setChecked(same(item->data().value<QColor>()));
}

void MenuManager::setUndoState(bool canUndo, const QString& undoName, bool canRedo, const QString& redoName)
{
    // The name comes translated from the drawing.
    setCommandTitle(_undo, command_title(QStringLiteral("Undo"), undoName),
                    undoName.isEmpty() ? translated(QStringLiteral("Undo"))
                                       : QCoreApplication::translate("MenuManager", "Undo %1").arg(undoName));
    setCommandTitle(_redo, command_title(QStringLiteral("Redo"), redoName),
                    redoName.isEmpty() ? translated(QStringLiteral("Redo"))
                                       : QCoreApplication::translate("MenuManager", "Redo %1").arg(redoName));
    _undo->setEnabled(canUndo);
    _redo->setEnabled(canRedo);
}

QAction* MenuManager::action(const QString& command) const
{
    for (QAction* item : _items)
        if (_commands.value(item).action == command) return item;
    return nullptr;
}

QString MenuManager::actionName(const QAction* item) const { return _commands.value(item).action; }

QString MenuManager::title(const QAction* item) const { return _commands.value(item).title; }
