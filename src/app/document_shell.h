#pragma once

// What the document controller asks of the window around it: keeping the menus and the
// colour panel in step, showing the edited state, opening help pages. The desktop window
// implements it; a replayed event script runs with the quiet defaults.

#include "clipboard.h"

#include <QColor>
#include <QString>
#include <QUrl>

#include <optional>

// Which colour an open colour panel is changing.
enum class ColorPanelTarget { Tool, Background };

class DocumentShell {
public:
    virtual ~DocumentShell() = default;
    // The tool, pen type, size, opacity or colour changed: menus and panels read them again.
    virtual void toolDisplayChanged() {}
    // The undo history changed: the undo and redo items read their names again.
    virtual void undoStateChanged() {}
    virtual void editedChanged(bool /*edited*/) {}
    // The background the window shows where nothing is drawn changed.
    virtual void backgroundChanged() {}
    // Opens the colour panel (or takes over an open one) for the target, showing the colour.
    virtual void showColorPanel(ColorPanelTarget /*target*/, const QColor& /*color*/) {}
    virtual bool colorPanelVisible() const { return false; }
    // False when no program could open it; the document then says so.
    virtual bool openUrl(const QUrl& /*url*/) { return false; }
    // The window's place and the drawing area's size, saved with the drawing.
    virtual std::optional<QString> windowFrame() const { return std::nullopt; }
    // Where copy puts and paste takes; none means copying and pasting do nothing.
    virtual Clipboard* clipboard() { return nullptr; }
};
