#pragma once

// How the pen panel turns settings into the whole numbers its boxes and sliders show, and
// what a number typed into a box sets. Plain functions, so the rules are tested as rows.

#include <QString>

#include <optional>

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
