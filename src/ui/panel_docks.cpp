#include "panel_docks.h"

#include "document_panel.h"
#include "document_window.h"

#include <QAction>
#include <QDockWidget>
#include <QKeyEvent>
#include <QMenu>
#include <QSettings>

namespace {

QString key(const QDockWidget& dock, const char* name)
{
    return QStringLiteral("panels/%1/%2").arg(dock.objectName(), QLatin1String(name));
}

Qt::DockWidgetArea side(int area)
{
    return area == Qt::LeftDockWidgetArea ? Qt::LeftDockWidgetArea : Qt::RightDockWidgetArea;
}

} // namespace

PanelDocks::PanelDocks(QObject* parent) : QObject(parent) {}

PanelDocks::~PanelDocks()
{
    for (Entry& entry : _entries) {
        if (!entry.dock) continue;
        keepPlace(entry);
        save(entry);
        delete entry.dock;
    }
}

QDockWidget* PanelDocks::addPanel(DocumentPanel* panel, const QString& title, const QString& objectName)
{
    auto* dock = new QDockWidget(title);
    dock->setObjectName(objectName);
    dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    dock->setWidget(panel);
    dock->installEventFilter(this);
    const QSettings settings;
    Entry entry;
    entry.dock = dock;
    entry.panel = panel;
    entry.shown = settings.value(key(*dock, "shown"), true).toBool();
    entry.area = side(settings.value(key(*dock, "area"), int(Qt::RightDockWidgetArea)).toInt());
    entry.floating = settings.value(key(*dock, "floating"), false).toBool();
    entry.geometry = settings.value(key(*dock, "geometry")).toByteArray();
    _entries.push_back(entry);

    // What the person does to a dock is remembered; what the host does is not.
    connect(dock->toggleViewAction(), &QAction::triggered, this, [this, dock](bool shown) {
        if (Entry* e = entryOf(dock)) e->shown = shown, save(*e);
    });
    connect(dock, &QDockWidget::dockLocationChanged, this, [this, dock](Qt::DockWidgetArea area) {
        Entry* e = entryOf(dock);
        if (e && !_moving && area != Qt::NoDockWidgetArea) e->area = area, save(*e);
    });
    connect(dock, &QDockWidget::topLevelChanged, this, [this, dock](bool floating) {
        Entry* e = entryOf(dock);
        if (e && !_moving) e->floating = floating, keepPlace(*e), save(*e);
    });
    for (const auto& menu : _menus)
        if (menu) menu->addAction(dock->toggleViewAction());
    panel->showDocument(_window ? &_window->document() : nullptr);
    if (_window) dockInto(_entries.back(), *_window);
    return dock;
}

void PanelDocks::fillWindowMenu(QMenu& menu)
{
    std::erase_if(_menus, [](const QPointer<QMenu>& m) { return m.isNull(); });
    _menus.emplace_back(&menu);
    for (const Entry& entry : _entries)
        if (entry.dock) menu.addAction(entry.dock->toggleViewAction());
}

void PanelDocks::keepPlace(Entry& entry)
{
    QDockWidget& dock = *entry.dock;
    // A dock out of every window is a hidden window of its own: it has no place to keep.
    auto* window = qobject_cast<QMainWindow*>(dock.parentWidget());
    if (!window) return;
    if (dock.isFloating()) entry.geometry = dock.saveGeometry();
    const Qt::DockWidgetArea area = window->dockWidgetArea(&dock);
    if (area != Qt::NoDockWidgetArea) entry.area = area;
}

void PanelDocks::save(const Entry& entry) const
{
    QSettings settings;
    settings.setValue(key(*entry.dock, "shown"), entry.shown);
    settings.setValue(key(*entry.dock, "area"), entry.area);
    settings.setValue(key(*entry.dock, "floating"), entry.floating);
    if (!entry.geometry.isEmpty()) settings.setValue(key(*entry.dock, "geometry"), entry.geometry);
}

void PanelDocks::dockInto(Entry& entry, DocumentWindow& window)
{
    QDockWidget& dock = *entry.dock;
    _moving = true;
    if (dock.parentWidget() != &window) {
        keepPlace(entry);
        window.addDockWidget(side(entry.area), &dock);
        dock.setFloating(entry.floating);
        if (entry.floating && !entry.geometry.isEmpty()) dock.restoreGeometry(entry.geometry);
    }
    // Hidden by the window showing the canvas only, the person's choice still stands.
    dock.setVisible(entry.shown && !window.isCanvasOnly());
    _moving = false;
}

void PanelDocks::showDocks(DocumentWindow* window)
{
    if (!window || window != _window) return;
    for (Entry& entry : _entries)
        if (entry.dock) dockInto(entry, *window);
}

void PanelDocks::follow(DocumentWindow* window)
{
    if (window == _window) return toolDisplayChanged(window);
    _window = window;
    for (Entry& entry : _entries) {
        if (!entry.dock) continue;
        if (window) dockInto(entry, *window);
        entry.panel->showDocument(window ? &window->document() : nullptr);
    }
}

void PanelDocks::windowClosing(DocumentWindow* window, DocumentWindow* next)
{
    for (Entry& entry : _entries) {
        if (!entry.dock || entry.dock->parentWidget() != window) continue;
        // Out of the window before it deletes its children.
        keepPlace(entry);
        _moving = true;
        window->removeDockWidget(entry.dock);
        entry.dock->setParent(nullptr);
        _moving = false;
    }
    if (_window == window || !_window) {
        _window = nullptr;
        follow(next == window ? nullptr : next);
        if (!_window)
            for (Entry& entry : _entries) entry.panel->showDocument(nullptr);
    }
}

void PanelDocks::toolDisplayChanged(DocumentWindow* window)
{
    if (!window || window != _window) return;
    for (Entry& entry : _entries)
        if (entry.dock) entry.panel->refresh();
}

QDockWidget* PanelDocks::dock(const QString& objectName) const
{
    for (const Entry& entry : _entries)
        if (entry.dock && entry.dock->objectName() == objectName) return entry.dock;
    return nullptr;
}

PanelDocks::Entry* PanelDocks::entryOf(const QObject* dock)
{
    for (Entry& entry : _entries)
        if (entry.dock == dock) return &entry;
    return nullptr;
}

bool PanelDocks::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close) {
        // The dock's own close button hides it, as the Window menu does.
        if (Entry* e = entryOf(watched); e && !_moving) e->shown = false, save(*e);
    } else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // A key no control of the panel wanted: Escape goes back to drawing.
        if (_window) {
            _window->focusDrawing();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
