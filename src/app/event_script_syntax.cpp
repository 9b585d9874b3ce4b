#include "event_script_syntax.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace event_script_syntax {

using Kind = ScriptEvent::Kind;

bool is_blank(QChar c) { return c == u' ' || c == u'\t'; }

QStringView trimmed_blanks(QStringView s)
{
    while (!s.isEmpty() && is_blank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && is_blank(s.back()))
        s.chop(1);
    return s;
}

namespace {

constexpr std::array<Keyword, 18> keywords{{
    {u"size", Kind::Size, false},
    {u"down", Kind::Down, false},
    {u"move", Kind::Move, false},
    {u"up", Kind::Up, false},
    {u"flags", Kind::Flags, false},
    {u"key", Kind::Key, false},
    {u"keydown", Kind::KeyDown, false},
    {u"keyup", Kind::KeyUp, false},
    {u"wheel", Kind::Wheel, false},
    {u"pinch", Kind::Pinch, false},
    {u"proximity", Kind::Proximity, false},
    {u"action", Kind::Action, true},
    {u"set", Kind::Set, true},
    {u"open", Kind::Open, true},
    {u"save", Kind::Save, true},
    {u"place", Kind::Place, true},
    {u"export", Kind::Export, true},
    {u"print-pdf", Kind::PrintPdf, true},
}};

constexpr std::array<ModifierName, 5> modifier_names{{
    {u"shift", kShiftKey},
    {u"control", kControlKey},
    {u"option", kOptionKey},
    {u"command", kCommandKey},
    {u"capslock", kCapsLockKey},
}};

} // namespace

const Keyword* find_keyword(QStringView word)
{
    for (const Keyword& k : keywords)
        if (word == QStringView(k.word))
            return &k;
    return nullptr;
}

QString keyword_of(Kind kind)
{
    for (const Keyword& k : keywords)
        if (k.kind == kind)
            return QString::fromUtf16(k.word);
    return {};
}

const ModifierName* modifier_names_begin() { return modifier_names.data(); }
const ModifierName* modifier_names_end() { return modifier_names.data() + modifier_names.size(); }

// Numbers are read with from_chars, which rounds a decimal straight to the nearest float:
// reading through double first could round twice and miss the float that was written.
std::optional<float> parse_float(QStringView field)
{
    QByteArray bytes = field.toLatin1();
    const char* begin = bytes.constData();
    const char* const end = begin + bytes.size();
    if (end - begin > 1 && *begin == '+' && begin[1] != '-' && begin[1] != '+')
        ++begin;
    float value = 0;
    const auto [stop, failure] = std::from_chars(begin, end, value);
    if (begin == end || stop != end)
        return std::nullopt;
    if (failure == std::errc())
        return value;
    if (failure != std::errc::result_out_of_range)
        return std::nullopt;
    // Too large or too small for a float: too small reads as the nearest float, too large
    // as an infinity that the range checks refuse.
    double wide = 0;
    const auto [wideStop, wideFailure] = std::from_chars(begin, end, wide);
    constexpr float huge = std::numeric_limits<float>::infinity();
    if (wideFailure != std::errc() || std::abs(wide) > std::numeric_limits<float>::max())
        return begin[0] == '-' ? -huge : huge;
    return float(wide);
}

std::optional<qint64> parse_integer(QStringView field)
{
    QByteArray bytes = field.toLatin1();
    const char* begin = bytes.constData();
    const char* const end = begin + bytes.size();
    if (end - begin > 1 && *begin == '+' && begin[1] != '-')
        ++begin;
    qint64 value = 0;
    const auto [stop, failure] = std::from_chars(begin, end, value);
    if (begin == end || stop != end)
        return std::nullopt;
    if (failure == std::errc::result_out_of_range)
        return begin[0] == '-' ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return value;
}

std::pair<QStringView, QStringView> split_last_field(QStringView s)
{
    qsizetype start = s.size();
    while (start > 0 && !is_blank(s[start - 1]))
        --start;
    return {trimmed_blanks(s.first(start)), s.sliced(start)};
}

bool is_notches(float v) { return std::isfinite(v) && std::abs(v) <= kMaxScriptNotches; }
// NaN fails both comparisons.
bool is_pinch(float v) { return v >= 1 / kMaxScriptPinch && v <= kMaxScriptPinch; }

bool is_side(std::optional<qint64> v) { return v && *v >= 1 && *v <= kMaxScriptSide; }
bool is_coordinate(float v) { return std::isfinite(v) && std::abs(v) <= kMaxScriptCoordinate; }
bool is_pressure(float v) { return v >= 0 && v <= 1; } // false for NaN

} // namespace event_script_syntax

bool is_script_key_name(QStringView name)
{
    static constexpr std::array<const char16_t*, 12> named{u"delete", u"backspace", u"space", u"tab",
                                                            u"escape", u"left", u"right", u"up",
                                                            u"down", u"bracketleft", u"bracketright", u"f11"};
    if (name.size() == 1) {
        const char16_t c = name.front().unicode();
        return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
    }
    return std::any_of(named.begin(), named.end(), [name](const char16_t* n) { return name == QStringView(n); });
}
