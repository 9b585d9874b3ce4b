#pragma once

// A button that shows a colour. Clicking it does not choose a colour by itself: its owner
// opens the window's colour panel, so that one panel serves the menus and the well alike.
// A colour dropped on it (from a colour dialog or another program) is reported as chosen.

#include <QColor>
#include <QToolButton>

#include <functional>

class ColorWell final : public QToolButton {
public:
    explicit ColorWell(QWidget* parent = nullptr);

    QColor color() const { return _color; }
    // Shows the colour; reports nothing.
    void setColor(const QColor& color);
    // Called with a colour dropped on the well.
    std::function<void(const QColor&)> colorDropped;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QColor _color;
};
