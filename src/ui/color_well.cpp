#include "color_well.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPixmap>

ColorWell::ColorWell(QWidget* parent) : QToolButton(parent)
{
    setAcceptDrops(true);
    setIconSize({40, 16});
    setFocusPolicy(Qt::StrongFocus);
    setColor(Qt::black);
}

void ColorWell::setColor(const QColor& color)
{
    _color = color;
    QPixmap swatch(iconSize());
    swatch.fill(color);
    setIcon(QIcon(swatch));
    setToolTip(color.name());
}

void ColorWell::dragEnterEvent(QDragEnterEvent* event)
{
    if (isEnabled() && event->mimeData()->hasColor()) event->acceptProposedAction();
}

void ColorWell::dropEvent(QDropEvent* event)
{
    const QColor dropped = qvariant_cast<QColor>(event->mimeData()->colorData());
    if (!dropped.isValid() || !colorDropped) return;
    event->acceptProposedAction();
    colorDropped(dropped);
}
