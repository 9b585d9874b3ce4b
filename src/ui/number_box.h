#pragma once

// A number box with its slider, the pair every numeric setting of the panels uses. Both show
// one integer; the person changes it with either, and the pair reports the new value. A
// value typed into the box is applied with Enter or when the box loses the focus: clamped
// to the slider's range, while text that is no number leaves the value as it was and shows
// it again.

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;
class QSlider;

// The value a box's text gives within min..max (rounded, then clamped); none for text that
// is no number.
std::optional<int> box_value(const QString& text, int min, int max);
// A 0..1 setting as the whole percentage the panels show: rounded, not truncated.
int shown_percent(float value);

class NumberPair : public QWidget {
public:
    NumberPair(int min, int max, std::function<void(int)> changed, QWidget* parent = nullptr);

    // Shows the value without reporting it.
    void show(int value);
    int value() const { return _value; }
    QLineEdit& box() { return *_box; }
    QSlider& slider() { return *_slider; }

private:
    void boxEdited();
    void choose(int value);

    QLineEdit* _box;
    QSlider* _slider;
    std::function<void(int)> _changed;
    int _value = 0;
};
