#pragma once

#include <QApplication>
#include <QEvent>
#include <QWidget>

// While a job reads the strokes on another thread, no input may edit them: a progress
// dialog takes its window's input only once it shows, after half a second. While a blocker
// lives, every pointer and key event goes nowhere unless it is meant for the widget allowed
// (the progress dialog) or one of its children.
class InputBlocker final : public QObject {
public:
    explicit InputBlocker(const QWidget& allowed) : _allowed(allowed) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A menu item's shortcut goes to the item, not to a widget: none may act.
        if (event->type() == QEvent::Shortcut) return true;
        if (!is_input(event->type())) return false;
        // Windows hand their input on to their widgets, where it is sorted.
        const auto* widget = qobject_cast<const QWidget*>(watched);
        return widget && widget != &_allowed && !_allowed.isAncestorOf(widget);
    }

private:
    static bool is_input(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MouseButtonPress: case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: case QEvent::MouseMove: case QEvent::Wheel:
        case QEvent::TabletPress: case QEvent::TabletMove: case QEvent::TabletRelease:
        case QEvent::KeyPress: case QEvent::KeyRelease: case QEvent::TouchBegin: case QEvent::TouchUpdate:
        case QEvent::TouchEnd: return true;
        default: return false;
        }
    }

    const QWidget& _allowed;
};
