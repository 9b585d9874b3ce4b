#pragma once

// Modal dialogs run their own event loop: a test answers them from a timer that fires
// inside that loop.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Does `act` with the next modal dialog of type T (after `delay` ms), if one is open then.
template <class T>
void answer_modal(std::function<void(T&)> act, int delay = 0)
{
    QTimer::singleShot(delay, [act = std::move(act)] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) act(*dialog);
    });
}

// Answers the next message box with `button`, and says what it asked.
inline void answer_message_box(QMessageBox::StandardButton button, QString* asked = nullptr, int delay = 0)
{
    answer_modal<QMessageBox>(
        [button, asked](QMessageBox& box) {
            if (asked) *asked = box.text();
            box.button(button)->click();
        },
        delay);
}
