#pragma once

// How the panels turn settings into the whole numbers their boxes and sliders show, and what
// a number typed into a box sets; and a number box with its slider, the pair the fill
// settings use. Both show
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

// A value as a box or slider shows it: plus one half, truncated towards zero, so 0.996 of
// a percent scale shows 100 and a radius of 2.5 shows 3. A value that is no number shows 0;
// one beyond the int range is held at its end.
int shown_number(double value);

// The whole-number range of a box or slider; `max` is never below `min`.
struct NumberRange {
    int min = 0;
    int max = 0;
};

// A custom parameter's slider range: its minimum and maximum rounded as they are shown
// (0.4 to 9.6 gives 0 to 10).
NumberRange parameter_range(float min, float max);

// What a box's text sets: the number held inside the range, or nothing when the text is no
// finite number (the box then shows its value again).
std::optional<double> typed_number(const QString& text, NumberRange range);

// The whole number a box's text gives within min..max; none for text that is no number.
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
