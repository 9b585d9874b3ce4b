#include "number_box.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

std::optional<int> box_value(const QString& text, int min, int max)
{
    bool ok = false;
    const double typed = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(typed)) return std::nullopt;
    return int(std::clamp(std::round(typed), double(min), double(max)));
}

int shown_percent(float value) { return int(value * 100.0f + 0.5f); }

NumberPair::NumberPair(int min, int max, std::function<void(int)> changed, QWidget* parent)
    : QWidget(parent), _box(new QLineEdit(this)), _slider(new QSlider(Qt::Horizontal, this)),
      _changed(std::move(changed))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    _box->setMaximumWidth(_box->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
    _slider->setRange(min, max);
    layout->addWidget(_box);
    layout->addWidget(_slider, 1);
    connect(_box, &QLineEdit::editingFinished, this, &NumberPair::boxEdited);
    connect(_slider, &QSlider::valueChanged, this, &NumberPair::choose);
    show(min);
}

void NumberPair::show(int value)
{
    _value = value;
    const QSignalBlocker quiet(_slider);
    _slider->setValue(value);
    _box->setText(QString::number(value));
}

void NumberPair::boxEdited()
{
    const auto typed = box_value(_box->text(), _slider->minimum(), _slider->maximum());
    if (!typed) return show(_value);
    // Clamped text shows the value it became.
    _box->setText(QString::number(*typed));
    if (*typed != _value) choose(*typed);
}

void NumberPair::choose(int value)
{
    show(value);
    if (_changed) _changed(value);
}
