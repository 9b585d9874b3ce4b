#pragma once

// A new drawing window of the application the ui tests run in, saved and closed after the
// test so that closing asks nothing; and keys delivered as the desktop delivers them, menu
// and window shortcuts first.

#include "canvas_widget.h"
#include "document_window.h"
#include "menu_manager.h"
#include "pavo_application.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

// Qt's own: offers a key to the shortcuts before the widget sees it, as QtTest does.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text, bool autorep, ushort count);

// A key pressed and released at the focus widget.
inline void type_key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || qt_sendShortcutOverrideEvent(focus, 0, key, modifiers, {}, false, 1)) return;
    QKeyEvent down(QEvent::KeyPress, key, modifiers), up(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(focus, &down);
    QCoreApplication::sendEvent(focus, &up);
}

// Answers the next message box with `button` (after `delay` ms), and says what it asked.
inline void answer_message_box(QMessageBox::StandardButton button, QString* asked = nullptr, int delay = 0)
{
    QTimer::singleShot(delay, [button, asked] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (asked) *asked = box->text();
            box->button(button)->click();
        }
    });
}

class WindowTest : public ::testing::Test {
protected:
    PavoApplication& app = *PavoApplication::instance();
    QTemporaryDir dir;
    QPointer<DocumentWindow> window = app.newDocument();
    CanvasWidget* canvas = window ? window->findChild<CanvasWidget*>() : nullptr;

    void SetUp() override { ASSERT_TRUE(window && canvas); }
    void TearDown() override
    {
        if (!window) return;
        (void)window->document().saveTo(dir.filePath(QStringLiteral("teardown.pavo")));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QAction* item(const char* action) { return window->menus().action(QLatin1String(action)); }
};
