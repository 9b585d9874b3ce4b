#pragma once

// Help > Keyboard Shortcuts: every key binding of a window, read from its actions as they
// are now, so the list cannot fall behind the keys: the menus' items in menu order, named by
// their menu path, then the actions the window and its widgets carry outside the menus.

#include <QDialog>
#include <QList>
#include <QString>

class QWidget;

struct ShortcutRow {
    QString command; // "View › Zoom In"
    QString keys;    // "Ctrl+=, Ctrl++", as the desktop writes keys
    bool operator==(const ShortcutRow&) const = default;
};

QList<ShortcutRow> keyboard_shortcuts(const QWidget& window);

class KeyboardShortcutsDialog final : public QDialog {
    Q_OBJECT

public:
    explicit KeyboardShortcutsDialog(const QWidget& window, QWidget* parent = nullptr);
};
