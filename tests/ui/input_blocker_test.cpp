#include "input_blocker.h"

#include <QAction>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

// While an export runs, nothing but its progress dialog takes input: not the drawing, not a
// menu shortcut; the dialog's own buttons still do.
TEST(InputBlocker, OnlyTheAllowedWidgetTakesInput)
{
    QWidget window, dialog;
    QPushButton drawing(&window), cancel(&dialog);
    QAction undo(&window);
    int pressed = 0, cancelled = 0, undone = 0;
    QObject::connect(&drawing, &QPushButton::pressed, [&] { ++pressed; });
    QObject::connect(&cancel, &QPushButton::pressed, [&] { ++cancelled; });
    QObject::connect(&undo, &QAction::triggered, [&] { ++undone; });
    const auto press = [](QWidget& w) {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(2, 2), w.mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &e);
    };
    const auto shortcut = [&undo] {
        QShortcutEvent e(QKeySequence(QStringLiteral("Ctrl+Z")), false);
        QApplication::sendEvent(&undo, &e);
    };
    {
        const InputBlocker blocker(dialog);
        press(drawing);
        press(cancel);
        shortcut();
    }
    EXPECT_EQ(pressed, 0);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(undone, 0);
    press(drawing);
    shortcut();
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(undone, 1);
}
