#pragma once

// The pieces of an event script's line that reading and writing share: blanks, keywords,
// modifier names, numbers and the range of each field.

#include "event_script.h"

#include <QStringView>

#include <optional>
#include <utility>

namespace event_script_syntax {

bool is_blank(QChar c);
QStringView trimmed_blanks(QStringView s);

// The keyword of a kind, and the kind of a keyword with whether its line ends in free text
// (where '#' is no comment).
QString keyword_of(ScriptEvent::Kind kind);
struct Keyword {
    const char16_t* word;
    ScriptEvent::Kind kind;
    bool takesText;
};
const Keyword* find_keyword(QStringView word);

struct ModifierName {
    const char16_t* name;
    unsigned flag;
};
// In the order in which modifiers are written.
const ModifierName* modifier_names_begin();
const ModifierName* modifier_names_end();

std::optional<float> parse_float(QStringView field);
// A whole number; one too long for 64 bits reads as the largest of its sign.
std::optional<qint64> parse_integer(QStringView field);

// Splits the last blank-separated field off: what comes before it, and the field.
std::pair<QStringView, QStringView> split_last_field(QStringView s);

bool is_side(std::optional<qint64> v);
bool is_coordinate(float v);
bool is_pressure(float v);
bool is_notches(float v);
bool is_pinch(float v);

} // namespace event_script_syntax
