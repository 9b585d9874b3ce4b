#include "event_script_syntax.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

using namespace event_script_syntax;

namespace {

using Kind = ScriptEvent::Kind;
using Error = std::optional<QString>;

// A line taken apart field by field, from the left.
class Fields {
public:
    explicit Fields(QStringView line) : _rest(trimmed_blanks(line)) {}

    bool atEnd() const { return _rest.isEmpty(); }
    // The next blank-separated field, empty at the end of the line.
    QStringView next()
    {
        qsizetype n = 0;
        while (n < _rest.size() && !is_blank(_rest[n]))
            ++n;
        const QStringView field = _rest.first(n);
        _rest = trimmed_blanks(_rest.sliced(n));
        return field;
    }
    // Everything not yet taken, blanks inside included.
    QStringView rest() const { return _rest; }

private:
    QStringView _rest;
};

// On lines of fixed fields a '#' that begins a field starts a comment.
QStringView without_comment(QStringView s)
{
    for (qsizetype i = 0; i < s.size(); ++i)
        if (s[i] == u'#' && (i == 0 || is_blank(s[i - 1])))
            return s.first(i);
    return s;
}

Result<unsigned> parse_modifiers(QStringView field)
{
    if (field == u"-")
        return 0u;
    unsigned flags = 0;
    for (const QStringView name : field.tokenize(u',')) {
        const auto known = std::find_if(modifier_names_begin(), modifier_names_end(),
                                        [&](const ModifierName& m) { return name == QStringView(m.name); });
        if (name.isEmpty())
            return Failure{QStringLiteral("a modifier name is missing in '%1'").arg(field)};
        if (known == modifier_names_end())
            return Failure{QStringLiteral("unknown modifier '%1' (use shift, control, option, command, capslock or -)")
                               .arg(name)};
        flags |= known->flag;
    }
    return flags;
}

Error too_many_fields(const QString& keyword, Fields& fields)
{
    return QStringLiteral("%1 has a field too many: '%2'").arg(keyword, fields.next());
}

Error parse_size(Fields& fields, ScriptEvent& e)
{
    const QStringView w = fields.next();
    const QStringView h = fields.next();
    if (h.isEmpty())
        return QStringLiteral("size needs W and H");
    const auto width = parse_integer(w), height = parse_integer(h);
    if (!is_side(width) || !is_side(height))
        return QStringLiteral("size W and H must be whole numbers from 1 to %1").arg(kMaxScriptSide);
    e.width = int(*width);
    e.height = int(*height);
    e.hasSize = true;
    return fields.atEnd() ? Error() : too_many_fields(QStringLiteral("size"), fields);
}

// down, move and up: X Y, then PRESSURE (down and move only) and MODS, both optional.
Error parse_pointer(Fields& fields, ScriptEvent& e)
{
    const QString keyword = keyword_of(e.kind);
    const QStringView xField = fields.next();
    const QStringView yField = fields.next();
    if (yField.isEmpty())
        return QStringLiteral("%1 needs X and Y").arg(keyword);
    const auto x = parse_float(xField), y = parse_float(yField);
    if (!x || !y || !is_coordinate(*x) || !is_coordinate(*y))
        return QStringLiteral("%1: X and Y must be finite numbers from -%2 to %2")
            .arg(keyword)
            .arg(double(kMaxScriptCoordinate), 0, 'f', 0);
    e.point = {*x, *y};
    e.pressure = e.kind == Kind::Up ? 0 : 1;

    QStringView field = fields.next();
    if (e.kind != Kind::Up && !field.isEmpty()) {
        // A field that is no modifier list is a pressure: "-" means no modifiers, and
        // modifier names begin with a letter.
        const bool modifierList = field == u"-" || field.front().isLetter();
        const auto pressure = parse_float(field);
        if (pressure || !modifierList) {
            if (!pressure || !is_pressure(*pressure))
                return QStringLiteral("%1: pressure must be a number from 0 to 1").arg(keyword);
            e.pressure = *pressure;
            field = fields.next();
        }
    }
    // The button comes last, after MODS when there are any; no modifier is named left or middle.
    const auto takeButton = [&e](QStringView f) {
        if (e.kind != Kind::Down || (f != u"left" && f != u"middle")) return false;
        e.middle = f == u"middle";
        return true;
    };
    if (!field.isEmpty() && !takeButton(field)) {
        if (e.kind == Kind::Up && parse_float(field))
            return QStringLiteral("up takes no pressure, only X Y and MODS");
        const Result<unsigned> modifiers = parse_modifiers(field);
        if (!modifiers)
            return QStringLiteral("%1: %2").arg(keyword, modifiers.error());
        e.modifiers = *modifiers;
        field = fields.next();
        if (!field.isEmpty() && !takeButton(field))
            return QStringLiteral("%1 has a field too many: '%2'").arg(keyword, field);
    }
    return fields.atEnd() ? Error() : too_many_fields(keyword, fields);
}

// X Y at the start of wheel and pinch lines.
Error parse_place(Fields& fields, ScriptEvent& e, const QString& keyword)
{
    const auto x = parse_float(fields.next()), y = parse_float(fields.next());
    if (!x || !y || !is_coordinate(*x) || !is_coordinate(*y))
        return QStringLiteral("%1 needs X and Y, finite numbers from -%2 to %2")
            .arg(keyword)
            .arg(double(kMaxScriptCoordinate), 0, 'f', 0);
    e.point = {*x, *y};
    return std::nullopt;
}

Error parse_wheel(Fields& fields, ScriptEvent& e)
{
    if (const Error error = parse_place(fields, e, QStringLiteral("wheel")))
        return error;
    const auto dx = parse_float(fields.next()), dy = parse_float(fields.next());
    if (!dx || !dy || !is_notches(*dx) || !is_notches(*dy))
        return QStringLiteral("wheel needs DX and DY, numbers of notches from -%1 to %1").arg(double(kMaxScriptNotches));
    e.notches = {*dx, *dy};
    if (!fields.atEnd()) {
        const Result<unsigned> modifiers = parse_modifiers(fields.next());
        if (!modifiers)
            return QStringLiteral("wheel: %1").arg(modifiers.error());
        e.modifiers = *modifiers;
    }
    return fields.atEnd() ? Error() : too_many_fields(QStringLiteral("wheel"), fields);
}

Error parse_pinch(Fields& fields, ScriptEvent& e)
{
    if (const Error error = parse_place(fields, e, QStringLiteral("pinch")))
        return error;
    const auto factor = parse_float(fields.next());
    if (!factor || !is_pinch(*factor))
        return QStringLiteral("pinch needs a FACTOR from %1 to %2").arg(double(1 / kMaxScriptPinch)).arg(double(kMaxScriptPinch));
    e.factor = *factor;
    return fields.atEnd() ? Error() : too_many_fields(QStringLiteral("pinch"), fields);
}

Error parse_flags(Fields& fields, ScriptEvent& e)
{
    const QStringView field = fields.next();
    if (field.isEmpty())
        return QStringLiteral("flags needs MODS (a comma-separated list, or - for none)");
    const Result<unsigned> modifiers = parse_modifiers(field);
    if (!modifiers)
        return QStringLiteral("flags: %1").arg(modifiers.error());
    e.modifiers = *modifiers;
    return fields.atEnd() ? Error() : too_many_fields(QStringLiteral("flags"), fields);
}

// key NAME [MODS]; keydown and keyup take the NAME alone.
Error parse_key(Fields& fields, ScriptEvent& e)
{
    const QString keyword = keyword_of(e.kind);
    const QStringView name = fields.next();
    if (!is_script_key_name(name))
        return QStringLiteral("%1 needs a key: delete, backspace, space, tab, escape, left, right, up, down, "
                              "bracketleft, bracketright, f11, or a letter or digit")
            .arg(keyword);
    e.name = name.toString();
    if (e.kind == Kind::Key && !fields.atEnd()) {
        const Result<unsigned> modifiers = parse_modifiers(fields.next());
        if (!modifiers)
            return QStringLiteral("key: %1").arg(modifiers.error());
        e.modifiers = *modifiers;
    }
    return fields.atEnd() ? Error() : too_many_fields(keyword, fields);
}

Error parse_proximity(Fields& fields, ScriptEvent& e)
{
    const QStringView motion = fields.next();
    const QStringView end = fields.next();
    if ((motion != u"enter" && motion != u"leave") || (end != u"tip" && end != u"eraser"))
        return QStringLiteral("proximity needs enter or leave, then tip or eraser");
    e.name = motion.toString();
    e.eraser = end == u"eraser";
    if (!fields.atEnd()) {
        const auto id = parse_integer(fields.next());
        if (!id || *id < 0 || *id > std::numeric_limits<quint16>::max())
            return QStringLiteral("proximity: pointer id must be a whole number from 0 to 65535");
        e.pointerId = quint16(*id);
    }
    return fields.atEnd() ? Error() : too_many_fields(QStringLiteral("proximity"), fields);
}

Error parse_action(Fields& fields, ScriptEvent& e)
{
    e.name = fields.next().toString();
    if (e.name.isEmpty())
        return QStringLiteral("action needs the name of an action, e.g. undo:");
    e.text = fields.rest().toString();
    return std::nullopt;
}

Error parse_set(Fields& fields, ScriptEvent& e)
{
    e.name = fields.next().toString();
    e.text = fields.rest().toString();
    if (e.text.isEmpty())
        return QStringLiteral("set needs a KEY and a VALUE");
    return std::nullopt;
}

// "export FILE [W H]": a line that ends in two whole numbers gives W H.
Error parse_export(Fields& fields, ScriptEvent& e)
{
    QStringView file = fields.rest();
    const auto [beforeHeight, heightField] = split_last_field(file);
    const auto [beforeWidth, widthField] = split_last_field(beforeHeight);
    const auto width = parse_integer(widthField), height = parse_integer(heightField);
    if (width && height) {
        if (!is_side(width) || !is_side(height))
            return QStringLiteral("export W and H must be whole numbers from 1 to %1").arg(kMaxScriptSide);
        e.width = int(*width);
        e.height = int(*height);
        e.hasSize = true;
        file = beforeWidth;
    }
    e.text = file.toString();
    return e.text.isEmpty() ? Error(QStringLiteral("export needs a file")) : std::nullopt;
}

Error parse_file(Fields& fields, ScriptEvent& e)
{
    if (e.kind == Kind::Export)
        return parse_export(fields, e);
    e.text = fields.rest().toString();
    return e.text.isEmpty() ? Error(QStringLiteral("%1 needs a file").arg(keyword_of(e.kind))) : std::nullopt;
}

Error parse_fields(Fields& fields, ScriptEvent& e)
{
    switch (e.kind) {
    case Kind::Size: return parse_size(fields, e);
    case Kind::Down:
    case Kind::Move:
    case Kind::Up: return parse_pointer(fields, e);
    case Kind::Flags: return parse_flags(fields, e);
    case Kind::Key:
    case Kind::KeyDown:
    case Kind::KeyUp: return parse_key(fields, e);
    case Kind::Wheel: return parse_wheel(fields, e);
    case Kind::Pinch: return parse_pinch(fields, e);
    case Kind::Proximity: return parse_proximity(fields, e);
    case Kind::Action: return parse_action(fields, e);
    case Kind::Set: return parse_set(fields, e);
    case Kind::Open:
    case Kind::Save:
    case Kind::Place:
    case Kind::Export:
    case Kind::PrintPdf: return parse_file(fields, e);
    }
    return QStringLiteral("unknown event");
}

// One line: an event, nothing (blank or comment), or the message of what is wrong with it.
Result<std::optional<ScriptEvent>> parse_line(QStringView line, int number)
{
    Fields fields(line);
    if (fields.atEnd() || fields.rest().front() == u'#')
        return std::optional<ScriptEvent>();
    const QStringView word = fields.next();
    const Keyword* keyword = find_keyword(word);
    if (!keyword)
        return Failure{QStringLiteral("unknown keyword '%1'").arg(word)};
    if (!keyword->takesText)
        fields = Fields(without_comment(fields.rest()));
    ScriptEvent e;
    e.kind = keyword->kind;
    e.line = number;
    if (const Error error = parse_fields(fields, e))
        return Failure{*error};
    return std::optional<ScriptEvent>(std::move(e));
}

Failure at_line(int number, const QString& message)
{
    return Failure{QStringLiteral("line %1: %2").arg(number).arg(message)};
}

} // namespace

Result<EventScript> parse_event_script(const QString& text)
{
    if (text.size() > kMaxScriptBytes)
        return Failure{QStringLiteral("the script is larger than %1 MiB").arg(kMaxScriptBytes >> 20)};
    QStringView rest = text;
    if (rest.startsWith(QChar(0xfeff)))
        rest = rest.sliced(1);

    EventScript script;
    int number = 0;
    bool sizeSeen = false;
    for (QStringView line : rest.tokenize(u'\n')) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.size() > kMaxScriptLineLength)
            return at_line(number, QStringLiteral("line is longer than %1 characters").arg(kMaxScriptLineLength));
        Result<std::optional<ScriptEvent>> parsed = parse_line(line, number);
        if (!parsed)
            return at_line(number, parsed.error());
        std::optional<ScriptEvent>& e = *parsed;
        if (!e)
            continue;
        if (e->kind == Kind::Size) {
            if (sizeSeen)
                return at_line(number, QStringLiteral("only one size line is allowed"));
            if (!script.events.empty())
                return at_line(number, QStringLiteral("size must come before the first event"));
            sizeSeen = true;
            script.viewSize = {float(e->width), float(e->height)};
        }
        script.events.push_back(std::move(*e));
    }
    return script;
}

Result<EventScript> read_event_script(const QString& path)
{
    const auto cannotRead = [&path](const QString& why) {
        return Failure{QStringLiteral("cannot read event script %1: %2").arg(path, why)};
    };
    QFile file(path);
    if (QFileInfo(path).isDir())
        return cannotRead(QStringLiteral("it is a folder"));
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead(file.errorString());
    const QString tooLarge = QStringLiteral("it is larger than %1 MiB").arg(kMaxScriptBytes >> 20);
    if (file.size() > kMaxScriptBytes)
        return cannotRead(tooLarge);
    // Read one byte past the limit: a pipe or device reports no size and may never end.
    const QByteArray bytes = file.read(kMaxScriptBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return cannotRead(file.errorString());
    if (bytes.size() > kMaxScriptBytes)
        return cannotRead(tooLarge);
    return parse_event_script(QString::fromUtf8(bytes));
}

