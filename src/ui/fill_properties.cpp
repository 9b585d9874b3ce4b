#include "fill_properties.h"

#include "color_well.h"
#include "mode_titles.h"
#include "number_box.h"
#include "pavo_document.h"

#include <QComboBox>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QToolButton>

namespace {

constexpr int kModeCount = 8;

} // namespace

FillProperties::FillProperties(QWidget* parent) : QWidget(parent)
{
    auto* form = new QFormLayout(this);
    _mode = new QComboBox(this);
    for (int mode = 0; mode < kModeCount; ++mode) _mode->addItem(transfer_mode_title(mode), mode);
    connect(_mode, &QComboBox::activated, this, [this](int index) {
        const int mode = _mode->itemData(index).toInt();
        send("fill.mode", Tool::transferModeIntToString(mode), [mode](PavoDocument& d) { d.setFillTransferMode(mode); });
    });
    _opacity = new NumberPair(0, 100, [this](int v) {
        send("fill.opacity", QString::number(v / 100.0), [v](PavoDocument& d) { d.setFillOpacity(float(v) / 100.0f); });
    }, this);
    _tolerance = new NumberPair(0, 100, [this](int v) {
        send("fill.tolerance", QString::number(v / 100.0), [v](PavoDocument& d) { d.setFillTolerance(float(v) / 100.0f); });
    }, this);
    _expand = new NumberPair(0, kLargestExpand, [this](int v) {
        send("fill.expand", QString::number(v), [v](PavoDocument& d) { d.setFillExpand(v); });
    }, this);
    _gap = new NumberPair(0, FillTool::kLargestGap, [this](int v) {
        send("fill.gap", QString::number(v), [v](PavoDocument& d) { d.setFillGap(v); });
    }, this);
    _precision = new QComboBox(this);
    for (const int multiple : {1, 2, 4}) _precision->addItem(QString::number(multiple) + u'×', multiple);
    connect(_precision, &QComboBox::activated, this, [this](int index) {
        const int v = _precision->itemData(index).toInt();
        send("fill.precision", QString::number(v), [v](PavoDocument& d) { d.setFillPrecision(v); });
    });
    _color = new ColorWell(this);
    connect(_color, &QToolButton::clicked, this, &FillProperties::chooseColor);
    _color->colorDropped = [this](const QColor& c) {
        send("fill.color", c.name().mid(1), [c](PavoDocument& d) { d.setFillColor(c); });
    };
    form->addRow(tr("Colour"), _color);
    form->addRow(tr("Mode"), _mode);
    form->addRow(tr("Opacity"), _opacity);
    form->addRow(tr("Tolerance"), _tolerance);
    form->addRow(tr("Expand"), _expand);
    form->addRow(tr("Close gaps"), _gap);
    form->addRow(tr("Precision"), _precision);
    setControlsEnabled(false);
}

void FillProperties::setControlsEnabled(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{_mode, _opacity, _tolerance, _expand, _gap, _precision, _color})
        control->setEnabled(enabled);
}

void FillProperties::setFillTool(FillTool* fill, PavoDocument* document)
{
    // Even a disabled tab keeps no other document than the one in front: the old one may be
    // gone.
    _document = document;
    if (!fill || !document) return setControlsEnabled(false);
    setControlsEnabled(true);
    {
        const QSignalBlocker quiet(_mode);
        _mode->setCurrentIndex(_mode->findData(fill->transferMode()));
    }
    _opacity->show(shown_percent(fill->opacity()));
    _tolerance->show(shown_percent(fill->tolerance()));
    _expand->show(fill->expand());
    _gap->show(fill->gap());
    {
        const QSignalBlocker quiet(_precision);
        _precision->setCurrentIndex(_precision->findData(fill->precision()));
    }
    _color->setColor(fill->color());
}

void FillProperties::send(const char* key, const QString& value, const std::function<void(PavoDocument&)>& apply)
{
    if (!_document) return;
    if (_noted) _noted(QLatin1String(key), value);
    apply(*_document);
}

void FillProperties::chooseColor()
{
    if (!_document) return;
    // The window's one colour panel, opened on the fill colour: a second click brings the
    // same panel forward rather than opening another.
    _document->perform(QStringLiteral("fillTool:"));
    _document->showToolColorPanel();
}
