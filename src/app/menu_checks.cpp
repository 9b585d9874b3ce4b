#include "menu_checks.h"

#include "tool_event.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace {

// The help key has no place among the event flags but can stand in a modifier mask.
constexpr unsigned kHelpKey = 1u << 22;

bool is_digit(QChar c) { return c >= u'0' && c <= u'9'; }

qsizetype skip_digits(const QString& text, qsizetype at)
{
    while (at < text.size() && is_digit(text[at])) ++at;
    return at;
}

// The length of the number at the start of `text`: digits, a fraction, an exponent.
qsizetype number_length(const QString& text)
{
    qsizetype end = skip_digits(text, 0);
    if (end < text.size() && text[end] == u'.') end = skip_digits(text, end + 1);
    if (end < text.size() && (text[end] == u'e' || text[end] == u'E')) {
        qsizetype digits = end + 1;
        if (digits < text.size() && (text[digits] == u'+' || text[digits] == u'-')) ++digits;
        // An "e" without digits after it is text, not an exponent.
        if (digits < text.size() && is_digit(text[digits])) end = skip_digits(text, digits);
    }
    return end;
}

// A title's number has no sign; one too large for a float is infinitely far from any value.
float to_float(double value)
{
    if (value > double(std::numeric_limits<float>::max())) return std::numeric_limits<float>::infinity();
    return float(value);
}

struct ModifierText {
    unsigned flag;
    const char* key;
};

// The order in which the modifiers are written.
constexpr ModifierText kModifierTexts[] = {
    {kControlKey, "control_key"},   {kCommandKey, "command_key"}, {kOptionKey, "option_key"},
    {kCapsLockKey, "alphashift_key"}, {kShiftKey, "shift_key"},   {kFunctionKey, "function_key"},
    {kNumericPadKey, "numpad_key"}, {kHelpKey, "help_key"},
};

// The Qt key of a key equivalent, or Qt::Key_unknown.
Qt::Key qt_key(const QString& key)
{
    if (key.size() == 1) {
        const QChar c = key[0].toUpper();
        // Qt names a character's key by its upper-case code; control characters are no keys.
        return c.isPrint() ? Qt::Key(c.unicode()) : Qt::Key_unknown;
    }
    const QKeySequence named = QKeySequence::fromString(key, QKeySequence::PortableText);
    if (named.count() != 1 || named[0].keyboardModifiers() != Qt::NoModifier) return Qt::Key_unknown;
    return named[0].key();
}

Qt::KeyboardModifiers qt_modifiers(unsigned mask)
{
    Qt::KeyboardModifiers modifiers;
    if (mask & kCommandKey) modifiers |= Qt::ControlModifier;
    if (mask & kOptionKey) modifiers |= Qt::AltModifier;
    if (mask & kControlKey) modifiers |= Qt::MetaModifier;
    if (mask & kShiftKey) modifiers |= Qt::ShiftModifier;
    if (mask & kNumericPadKey) modifiers |= Qt::KeypadModifier;
    return modifiers;
}

} // namespace

std::optional<float> title_number(const QString& title)
{
    if (title.isEmpty() || !is_digit(title[0])) return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(QStringView(title).left(number_length(title)), &ok);
    // Digits that do not convert are too many for a double.
    return ok ? to_float(value) : std::numeric_limits<float>::infinity();
}

std::optional<qsizetype> closest_number_index(const QStringList& titles, float value)
{
    std::optional<qsizetype> closest;
    float best = std::numeric_limits<float>::max();
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const std::optional<float> number = title_number(titles[i]);
        if (!number) continue;
        const float distance = std::fabs(*number - value);
        if (distance < best) {
            best = distance;
            closest = i;
        }
    }
    return closest;
}

std::optional<qsizetype> matching_number_index(const QStringList& titles, float value)
{
    std::optional<qsizetype> other;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        if (titles[i].isEmpty()) continue;
        const std::optional<float> number = title_number(titles[i]);
        if (number && *number == value) return i;
        if (!number && !other) other = i;
    }
    return other;
}

unsigned effective_modifier_mask(const QString& key, unsigned modifierMask)
{
    const bool capital = key.size() == 1 && key[0].isUpper();
    return capital ? modifierMask | kShiftKey : modifierMask;
}

std::optional<QString> key_equivalent_string(const QString& key, unsigned modifierMask,
                                             const StringTable& localizable)
{
    if (key.isEmpty()) return std::nullopt;
    const unsigned mask = effective_modifier_mask(key, modifierMask);
    QString text;
    for (const ModifierText& modifier : kModifierTexts)
        if (mask & modifier.flag) text += localizable.translate(QString::fromLatin1(modifier.key));
    return text + key.toUpper();
}

QKeySequence key_sequence(const QString& key, unsigned modifierMask)
{
    const unsigned mask = effective_modifier_mask(key, modifierMask);
    if (mask & (kFunctionKey | kHelpKey | kCapsLockKey)) return {};
    const Qt::Key code = qt_key(key);
    if (code == Qt::Key_unknown) return {};
    return QKeySequence(QKeyCombination(qt_modifiers(mask), code));
}
