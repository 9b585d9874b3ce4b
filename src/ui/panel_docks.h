#pragma once

// The panels' home: each panel lives in a dock widget that docks to either side of the
// drawing window in front, or floats. One set of panels serves every window: when another
// window comes forward the docks move into it, in the same place, and the panels show its
// document. A closing window gives its docks and its document up first, so no panel is left
// holding either. Where each dock sits and whether it is shown is remembered across starts;
// the first start shows every panel docked on the right.
//
// The docks follow the active window rather than floating on their own so that docked
// panels stay part of the window a person works in, as they do in the painting programs of
// the desktop; a floating dock follows too, keeping its place on the screen.

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class DocumentPanel;
class DocumentWindow;
class QDockWidget;
class QMenu;

class PanelDocks final : public QObject {
public:
    explicit PanelDocks(QObject* parent = nullptr);
    ~PanelDocks() override;

    // Takes the panel into a new dock; `objectName` names it in the settings. The dock joins
    // the Window menus filled so far and the window followed, if any.
    QDockWidget* addPanel(DocumentPanel* panel, const QString& title, const QString& objectName);
    // Puts an item per panel, showing and hiding it, into the menu, and every later panel too.
    void fillWindowMenu(QMenu& menu);

    // The window now in front: the docks move into it and the panels show its document.
    void follow(DocumentWindow* window);
    // The window is closing: the panels leave it and its document, and follow `next` (null
    // for none, which shows the empty state).
    void windowClosing(DocumentWindow* window, DocumentWindow* next);
    // The window went into or out of showing the canvas only: its docks hide or come back.
    void showDocks(DocumentWindow* window);
    // The window's tools or settings changed; the panels read them again if they show it.
    void toolDisplayChanged(DocumentWindow* window);

    DocumentWindow* followed() const { return _window; }
    QDockWidget* dock(const QString& objectName) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QPointer<QDockWidget> dock;
        DocumentPanel* panel = nullptr;
        bool shown = true;
        int area = 0;
        bool floating = false;
        QByteArray geometry;
    };
    void dockInto(Entry& entry, DocumentWindow& window);
    void keepPlace(Entry& entry);
    void save(const Entry& entry) const;
    Entry* entryOf(const QObject* dock);

    std::vector<Entry> _entries;
    std::vector<QPointer<QMenu>> _menus;
    QPointer<DocumentWindow> _window;
    // The docks are being moved by the host, not by the person.
    bool _moving = false;
};
