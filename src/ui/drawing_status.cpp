#include "drawing_status.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

#include <cmath>

namespace {

constexpr int kSwatchSide = 14;

QString number_text(float value)
{
    return QString::number(double(value), 'f', std::abs(value - std::round(value)) < 0.05f ? 0 : 1);
}

} // namespace

QPixmap colour_swatch(const QColor& colour)
{
    QPixmap swatch(kSwatchSide, kSwatchSide);
    swatch.fill(colour);
    QPainter painter(&swatch);
    painter.setPen(Qt::gray);
    painter.drawRect(0, 0, kSwatchSide - 1, kSwatchSide - 1);
    return swatch;
}

DrawingStatus::DrawingStatus(Perform perform, QWidget* parent) : QWidget(parent), _perform(std::move(perform))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    _zoom = new QToolButton(this);
    _zoom->setObjectName(QStringLiteral("zoom"));
    _zoom->setAutoRaise(true);
    _zoom->setToolTip(tr("Zoom: click for a choice"));
    _zoom->setPopupMode(QToolButton::InstantPopup);
    auto* zooms = new QMenu(_zoom);
    for (const int percent : kZoomChoices)
        zooms->addAction(QStringLiteral("%1%").arg(percent), this,
                         [this, percent] { _perform(QStringLiteral("zoomTo:"), QString::number(percent)); });
    zooms->addSeparator();
    zooms->addAction(tr("Fit"), this, [this] { _perform(QStringLiteral("zoomToFit:"), {}); });
    _zoom->setMenu(zooms);
    row->addWidget(_zoom);
    _rotation = addLabel("rotation");
    _tool = addLabel("tool");
    _pen_type = addLabel("penType");
    _size = addLabel("size");
    _opacity = addLabel("opacity");
    _swatch = addLabel("colourSwatch");
}

QLabel* DrawingStatus::addLabel(const char* objectName)
{
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(objectName));
    layout()->addWidget(label);
    return label;
}

QString DrawingStatus::zoomText(float scale)
{
    // Whole percents, but for the tenths that tell small zooms apart.
    const float percent = scale * 100;
    return QString::number(double(percent), 'f', percent < 10 ? 1 : 0) + u'%';
}

QString DrawingStatus::degreesText(float degrees)
{
    long whole = std::lround(degrees);
    // One name for each turn: -180 reads 180, and the float's noise near 0 reads 0.
    whole = ((whole % 360) + 360) % 360;
    if (whole > 180) whole -= 360;
    return QString::number(whole) + QStringLiteral("°");
}

void DrawingStatus::showInfo(const DrawingStatusInfo& info)
{
    _zoom->setText(zoomText(info.scale));
    _rotation->setText(degreesText(info.degrees));
    _tool->setText(info.tool);
    _pen_type->setText(info.penType);
    _size->setText(info.fillTool ? tr("Expand %1").arg(number_text(info.size))
                                 : tr("Size %1").arg(number_text(info.size)));
    _opacity->setText(tr("Opacity %1%").arg(std::lround(info.opacity * 100)));
    _swatch->setPixmap(colour_swatch(info.colour));
    _swatch->setToolTip(info.colour.name());
}
