#include "keyboard_shortcuts.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// An item's text as read: "&&" is a written "&", a single "&" only marks the mnemonic.
QString plain_text(const QAction& action)
{
    QString text = action.text();
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(u'&').replace(u'\x01', u'&');
    return text.remove(u'…');
}

QString keys_of(const QAction& action)
{
    QStringList keys;
    for (const QKeySequence& shortcut : action.shortcuts()) keys << shortcut.toString(QKeySequence::NativeText);
    return keys.join(QStringLiteral(", "));
}

void add_row(QList<ShortcutRow>& rows, QSet<const QAction*>& seen, const QAction& action, const QString& path)
{
    if (seen.contains(&action)) return;
    seen.insert(&action);
    if (!action.shortcuts().isEmpty()) rows.append({path + plain_text(action), keys_of(action)});
}

void add_menu(QList<ShortcutRow>& rows, QSet<const QAction*>& seen, const QMenu& menu, const QString& path)
{
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) continue;
        if (const QMenu* submenu = action->menu())
            add_menu(rows, seen, *submenu, path + plain_text(*action) + QStringLiteral(" › "));
        else add_row(rows, seen, *action, path);
    }
}

} // namespace

QList<ShortcutRow> keyboard_shortcuts(const QWidget& window)
{
    QList<ShortcutRow> rows;
    QSet<const QAction*> seen;
    for (const QMenuBar* bar : window.findChildren<QMenuBar*>())
        for (const QAction* top : bar->actions())
            if (const QMenu* menu = top->menu()) add_menu(rows, seen, *menu, plain_text(*top) + QStringLiteral(" › "));
    QList<const QWidget*> widgets{&window};
    for (const QWidget* child : window.findChildren<QWidget*>()) widgets << child;
    for (const QWidget* widget : widgets)
        for (const QAction* action : widget->actions()) add_row(rows, seen, *action, {});
    return rows;
}

KeyboardShortcutsDialog::KeyboardShortcutsDialog(const QWidget& window, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Keyboard Shortcuts"));
    const QList<ShortcutRow> rows = keyboard_shortcuts(window);
    auto* table = new QTableWidget(int(rows.size()), 2, this);
    table->setHorizontalHeaderLabels({tr("Command"), tr("Keys")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int i = 0; i < rows.size(); ++i) {
        table->setItem(i, 0, new QTableWidgetItem(rows[i].command));
        table->setItem(i, 1, new QTableWidgetItem(rows[i].keys));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->addWidget(table);
    column->addWidget(buttons);
    resize(520, 600);
}
