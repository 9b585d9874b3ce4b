#pragma once

// Which item of a number menu gets the check mark, and how a key equivalent reads and
// becomes a Qt shortcut. Plain functions over titles and flags, so the menu bar only has to
// apply their answers.
//
// Key equivalents keep the program's modifier flags (ModifierFlag); on Linux command is
// Ctrl, option Alt, control Meta. As on the Mac, a key equivalent that is an upper-case
// letter implies shift: "cmd-E" is Ctrl+Shift+E, shown with the shift text, while "cmd-e"
// is Ctrl+E.

#include "string_table.h"

#include <QKeySequence>
#include <QString>
#include <QStringList>

#include <optional>

// The leading number of a title ("50%" reads 50); nothing when it does not begin with a
// digit.
std::optional<float> title_number(const QString& title);

// For the opacity menu: among the titles that begin with a digit, the one whose leading
// number is nearest to the value; on a tie the earlier. Nothing when there is none (or the
// value is no number).
std::optional<qsizetype> closest_number_index(const QStringList& titles, float value);

// For the size menu: the first title whose number equals the value exactly; failing that,
// the first non-empty title that is not a number (the "Other…" command); else nothing.
// Empty titles (separators) are skipped.
std::optional<qsizetype> matching_number_index(const QStringList& titles, float value);

// The modifier mask with shift added when the key is an upper-case letter.
unsigned effective_modifier_mask(const QString& key, unsigned modifierMask);

// The key equivalent as the menus show it: the texts of the modifiers (control, command,
// option, caps lock, shift, function, numeric keypad, help; keys "control_key" and so on in
// `localizable`), then the key in upper case. Nothing for an empty key.
std::optional<QString> key_equivalent_string(const QString& key, unsigned modifierMask,
                                             const StringTable& localizable);

// The key equivalent as a Qt shortcut; empty when it cannot be one: an empty key, a key
// that is neither one character nor a single Qt key name ("F5"), or a modifier Qt has no
// shortcut modifier for (function, help, caps lock).
QKeySequence key_sequence(const QString& key, unsigned modifierMask);
