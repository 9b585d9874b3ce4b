#include "number_box.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <climits>
#include <cmath>

int shown_number(double value)
{
    // A script can leave any number in a parameter; converting one the int range cannot
    // hold is undefined, so such values are held at its ends first.
    if (std::isnan(value)) return 0;
    const double shifted = std::trunc(value + 0.5);
    if (shifted >= double(INT_MAX)) return INT_MAX;
    if (shifted <= double(INT_MIN)) return INT_MIN;
    return int(shifted);
}

NumberRange parameter_range(float min, float max)
{
    const int low = shown_number(min);
    return {low, std::max(low, shown_number(max))};
}

std::optional<double> typed_number(const QString& text, NumberRange range)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return std::clamp(value, double(range.min), double(range.max));
}

std::optional<int> box_value(const QString& text, int min, int max)
{
    const std::optional<double> typed = typed_number(text, {min, max});
    if (!typed) return std::nullopt;
    return int(std::round(*typed));
}

int shown_percent(float value) { return shown_number(double(value) * 100.0); }

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
