#include "event_script_syntax.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <charconv>

using namespace event_script_syntax;

QString format_modifiers(unsigned flags)
{
    QStringList names;
    for (const ModifierName* m = modifier_names_begin(); m != modifier_names_end(); ++m)
        if (flags & m->flag)
            names.append(QString::fromUtf16(m->name));
    return names.isEmpty() ? QStringLiteral("-") : names.join(u',');
}

namespace {

using Kind = ScriptEvent::Kind;
using Error = std::optional<QString>;

QString format_number(float v)
{
    std::array<char, 32> buffer{};
    // to_chars writes the shortest digits that read back as the same float.
    const auto [end, failure] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
    if (failure != std::errc())
        return QStringLiteral("nan"); // cannot happen with room for any float
    return QString::fromLatin1(buffer.data(), end - buffer.data());
}

QString format_point(Point p) { return format_number(p.x) + u' ' + format_number(p.y); }

// The line of an event whose fields are known to be writable.
QString format_line(const ScriptEvent& e)
{
    QString line = keyword_of(e.kind);
    const auto add = [&line](const QString& field) { line += u' ' + field; };
    const bool hasModifiers = (e.modifiers & kScriptModifierMask) != 0;
    switch (e.kind) {
    case Kind::Size: add(QString::number(e.width)), add(QString::number(e.height)); break;
    case Kind::Down:
    case Kind::Move:
        add(format_point(e.point));
        if (e.pressure != 1)
            add(format_number(e.pressure));
        if (hasModifiers)
            add(format_modifiers(e.modifiers));
        if (e.kind == Kind::Down && e.middle)
            add(QStringLiteral("middle"));
        break;
    case Kind::Wheel:
        add(format_point(e.point)), add(format_point(e.notches));
        if (hasModifiers)
            add(format_modifiers(e.modifiers));
        break;
    case Kind::Pinch: add(format_point(e.point)), add(format_number(e.factor)); break;
    case Kind::Up:
        add(format_point(e.point));
        if (hasModifiers)
            add(format_modifiers(e.modifiers));
        break;
    case Kind::Flags: add(format_modifiers(e.modifiers)); break;
    case Kind::Key:
        add(e.name);
        if (hasModifiers)
            add(format_modifiers(e.modifiers));
        break;
    case Kind::KeyDown:
    case Kind::KeyUp: add(e.name); break;
    case Kind::Proximity:
        add(e.name), add(e.eraser ? QStringLiteral("eraser") : QStringLiteral("tip"));
        if (e.pointerId != 0)
            add(QString::number(e.pointerId));
        break;
    case Kind::Action:
        add(e.name);
        if (!e.text.isEmpty())
            add(e.text);
        break;
    case Kind::Set: add(e.name), add(e.text); break;
    case Kind::Open:
    case Kind::Save:
    case Kind::Place:
    case Kind::PrintPdf: add(e.text); break;
    case Kind::Export:
        add(e.text);
        if (e.hasSize)
            add(QString::number(e.width)), add(QString::number(e.height));
        break;
    }
    return line;
}

// The reasons never quote the event's own text, so that they are safe inside a comment line.
Error unwritable_text(const QString& what, const QString& text, bool mayBeEmpty)
{
    if (text.isEmpty())
        return mayBeEmpty ? Error() : QStringLiteral("the %1 is empty").arg(what);
    if (text.contains(u'\n') || text.contains(u'\r'))
        return QStringLiteral("the %1 has a line break").arg(what);
    if (is_blank(text.front()) || is_blank(text.back()))
        return QStringLiteral("the %1 begins or ends with a blank").arg(what);
    if (!QStringView(text).isValidUtf16())
        return QStringLiteral("the %1 is not valid text").arg(what);
    return std::nullopt;
}

Error unwritable_field(const QString& what, const QString& field)
{
    if (const Error error = unwritable_text(what, field, false))
        return error;
    if (std::any_of(field.begin(), field.end(), is_blank))
        return QStringLiteral("the %1 has a blank").arg(what);
    return std::nullopt;
}

Error unwritable_fields(const ScriptEvent& e)
{
    const auto sides = [](int w, int h) {
        return is_side(w) && is_side(h)
                   ? Error()
                   : Error(QStringLiteral("the size is not from 1 to %1").arg(kMaxScriptSide));
    };
    const auto point = [](Point p) {
        if (is_coordinate(p.x) && is_coordinate(p.y))
            return Error();
        return Error(QStringLiteral("the point is out of range"));
    };
    switch (e.kind) {
    case Kind::Size: return sides(e.width, e.height);
    case Kind::Down:
    case Kind::Move:
        if (!is_pressure(e.pressure))
            return QStringLiteral("the pressure is not from 0 to 1");
        return point(e.point);
    case Kind::Up: return point(e.point);
    case Kind::Flags: return std::nullopt;
    case Kind::Key:
    case Kind::KeyDown:
    case Kind::KeyUp:
        if (is_script_key_name(e.name))
            return std::nullopt;
        return QStringLiteral("the key has no name in scripts");
    case Kind::Wheel:
        if (!is_notches(e.notches.x) || !is_notches(e.notches.y))
            return QStringLiteral("the wheel turn is out of range");
        return point(e.point);
    case Kind::Pinch:
        if (!is_pinch(e.factor))
            return QStringLiteral("the pinch factor is out of range");
        return point(e.point);
    case Kind::Proximity:
        if (e.name == u"enter" || e.name == u"leave")
            return std::nullopt;
        return QStringLiteral("the proximity is neither enter nor leave");
    case Kind::Action:
        if (const Error error = unwritable_field(QStringLiteral("action name"), e.name))
            return error;
        return unwritable_text(QStringLiteral("title"), e.text, true);
    case Kind::Set:
        if (const Error error = unwritable_field(QStringLiteral("setting key"), e.name))
            return error;
        return unwritable_text(QStringLiteral("value"), e.text, false);
    case Kind::Export: {
        if (const Error error = unwritable_text(QStringLiteral("file name"), e.text, false))
            return error;
        if (e.hasSize)
            return sides(e.width, e.height);
        const auto [before, last] = split_last_field(e.text);
        if (parse_integer(last) && parse_integer(split_last_field(before).second))
            return QStringLiteral("the file name ends in two numbers, which would read as W H");
        return std::nullopt;
    }
    case Kind::Open:
    case Kind::Save:
    case Kind::Place:
    case Kind::PrintPdf: return unwritable_text(QStringLiteral("file name"), e.text, false);
    }
    return QStringLiteral("unknown event");
}

QString unwritable_comment(const ScriptEvent& e, const QString& reason)
{
    return QStringLiteral("# cannot be replayed: %1: %2").arg(keyword_of(e.kind), reason);
}

} // namespace

std::optional<QString> unformattable_reason(const ScriptEvent& e)
{
    if (const Error error = unwritable_fields(e))
        return error;
    if (format_line(e).size() > kMaxScriptLineLength)
        return QStringLiteral("the line would be longer than %1 characters").arg(kMaxScriptLineLength);
    return std::nullopt;
}

QString format_event(const ScriptEvent& e)
{
    if (const auto reason = unformattable_reason(e))
        return unwritable_comment(e, *reason);
    return format_line(e);
}

