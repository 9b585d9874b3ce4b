#include "event_script.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

using Kind = ScriptEvent::Kind;
using Error = std::optional<QString>;

bool is_blank(QChar c) { return c == u' ' || c == u'\t'; }

QStringView trimmed_blanks(QStringView s)
{
    while (!s.isEmpty() && is_blank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && is_blank(s.back()))
        s.chop(1);
    return s;
}

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

struct Keyword {
    const char16_t* word;
    Kind kind;
    bool takesText; // ends in free text, where '#' is no comment
};

constexpr std::array<Keyword, 14> keywords{{
    {u"size", Kind::Size, false},
    {u"down", Kind::Down, false},
    {u"move", Kind::Move, false},
    {u"up", Kind::Up, false},
    {u"flags", Kind::Flags, false},
    {u"key", Kind::Key, false},
    {u"proximity", Kind::Proximity, false},
    {u"action", Kind::Action, true},
    {u"set", Kind::Set, true},
    {u"open", Kind::Open, true},
    {u"save", Kind::Save, true},
    {u"place", Kind::Place, true},
    {u"export", Kind::Export, true},
    {u"print-pdf", Kind::PrintPdf, true},
}};

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

struct ModifierName {
    const char16_t* name;
    unsigned flag;
};

// The order in which modifiers are written.
constexpr std::array<ModifierName, 5> modifier_names{{
    {u"shift", kShiftKey},
    {u"control", kControlKey},
    {u"option", kOptionKey},
    {u"command", kCommandKey},
    {u"capslock", kCapsLockKey},
}};

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

// A whole number; one too long for 64 bits reads as the largest of its sign.
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

bool is_side(std::optional<qint64> v) { return v && *v >= 1 && *v <= kMaxScriptSide; }
bool is_coordinate(float v) { return std::isfinite(v) && std::abs(v) <= kMaxScriptCoordinate; }
bool is_pressure(float v) { return v >= 0 && v <= 1; } // false for NaN

std::optional<unsigned> parse_modifiers(QStringView field, QString* error)
{
    if (field == u"-")
        return 0u;
    unsigned flags = 0;
    for (const QStringView name : field.tokenize(u',')) {
        const auto known = std::find_if(modifier_names.begin(), modifier_names.end(),
                                        [&](const ModifierName& m) { return name == QStringView(m.name); });
        if (name.isEmpty()) {
            *error = QStringLiteral("a modifier name is missing in '%1'").arg(field);
            return std::nullopt;
        }
        if (known == modifier_names.end()) {
            *error = QStringLiteral("unknown modifier '%1' (use shift, control, option, command, capslock or -)")
                         .arg(name);
            return std::nullopt;
        }
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
    if (!field.isEmpty()) {
        if (e.kind == Kind::Up && parse_float(field))
            return QStringLiteral("up takes no pressure, only X Y and MODS");
        QString error;
        const auto modifiers = parse_modifiers(field, &error);
        if (!modifiers)
            return QStringLiteral("%1: %2").arg(keyword, error);
        e.modifiers = *modifiers;
    }
    return fields.atEnd() ? Error() : too_many_fields(keyword, fields);
}

Error parse_flags(Fields& fields, ScriptEvent& e)
{
    const QStringView field = fields.next();
    if (field.isEmpty())
        return QStringLiteral("flags needs MODS (a comma-separated list, or - for none)");
    QString error;
    const auto modifiers = parse_modifiers(field, &error);
    if (!modifiers)
        return QStringLiteral("flags: %1").arg(error);
    e.modifiers = *modifiers;
    return fields.atEnd() ? Error() : too_many_fields(QStringLiteral("flags"), fields);
}

Error parse_key(Fields& fields, ScriptEvent& e)
{
    const QStringView name = fields.next();
    if (name != u"delete" && name != u"backspace")
        return QStringLiteral("key must be delete or backspace");
    e.name = name.toString();
    return fields.atEnd() ? Error() : too_many_fields(QStringLiteral("key"), fields);
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

// Splits the last blank-separated field off: what comes before it, and the field.
std::pair<QStringView, QStringView> split_last_field(QStringView s)
{
    qsizetype start = s.size();
    while (start > 0 && !is_blank(s[start - 1]))
        --start;
    return {trimmed_blanks(s.first(start)), s.sliced(start)};
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
    case Kind::Key: return parse_key(fields, e);
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
std::variant<std::monostate, ScriptEvent, QString> parse_line(QStringView line, int number)
{
    Fields fields(line);
    if (fields.atEnd() || fields.rest().front() == u'#')
        return std::monostate();
    const QStringView word = fields.next();
    const Keyword* keyword = find_keyword(word);
    if (!keyword)
        return QStringLiteral("unknown keyword '%1'").arg(word);
    if (!keyword->takesText)
        fields = Fields(without_comment(fields.rest()));
    ScriptEvent e;
    e.kind = keyword->kind;
    e.line = number;
    if (const Error error = parse_fields(fields, e))
        return *error;
    return e;
}

} // namespace

QString EventScriptError::text() const
{
    return line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(message) : message;
}

EventScriptResult parse_event_script(const QString& text)
{
    if (text.size() > kMaxScriptBytes)
        return EventScriptError{0, QStringLiteral("the script is larger than %1 MiB").arg(kMaxScriptBytes >> 20)};
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
            return EventScriptError{
                number, QStringLiteral("line is longer than %1 characters").arg(kMaxScriptLineLength)};
        auto parsed = parse_line(line, number);
        if (const QString* message = std::get_if<QString>(&parsed))
            return EventScriptError{number, *message};
        ScriptEvent* e = std::get_if<ScriptEvent>(&parsed);
        if (!e)
            continue;
        if (e->kind == Kind::Size) {
            if (sizeSeen)
                return EventScriptError{number, QStringLiteral("only one size line is allowed")};
            if (!script.events.empty())
                return EventScriptError{number, QStringLiteral("size must come before the first event")};
            sizeSeen = true;
            script.viewSize = {float(e->width), float(e->height)};
        }
        script.events.push_back(std::move(*e));
    }
    return script;
}

EventScriptResult read_event_script(const QString& path)
{
    const auto cannotRead = [&path](const QString& why) {
        return EventScriptError{0, QStringLiteral("cannot read event script %1: %2").arg(path, why)};
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

QString format_modifiers(unsigned flags)
{
    QStringList names;
    for (const ModifierName& m : modifier_names)
        if (flags & m.flag)
            names.append(QString::fromUtf16(m.name));
    return names.isEmpty() ? QStringLiteral("-") : names.join(u',');
}

namespace {

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
        break;
    case Kind::Up:
        add(format_point(e.point));
        if (hasModifiers)
            add(format_modifiers(e.modifiers));
        break;
    case Kind::Flags: add(format_modifiers(e.modifiers)); break;
    case Kind::Key: add(e.name); break;
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
        if (e.name == u"delete" || e.name == u"backspace")
            return std::nullopt;
        return QStringLiteral("the key is neither delete nor backspace");
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

EventRecorder::EventRecorder(Passkey, const QString& path) : _file(path) {}

std::unique_ptr<EventRecorder> EventRecorder::open(const QString& path, QString* error)
{
    auto recorder = std::make_unique<EventRecorder>(Passkey{}, path);
    if (!recorder->_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = QStringLiteral("cannot record events to %1: %2").arg(path, recorder->_file.errorString());
        return nullptr;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QString stamp = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
    if (!recorder->writeLine(QStringLiteral("# Pavo event recording, %1").arg(stamp))) {
        if (error)
            *error = recorder->_error;
        return nullptr;
    }
    return recorder;
}

bool EventRecorder::record(const ScriptEvent& e)
{
    if (_failed)
        return false;
    std::optional<QString> reason = unformattable_reason(e);
    if (!reason && e.kind == Kind::Size && _eventRecorded)
        reason = QStringLiteral("a script sets its size only before its first event");
    if (reason) {
        const QString comment = unwritable_comment(e, *reason);
        if (writeLine(comment))
            _error = comment.sliced(2);
        return false;
    }
    if (!writeLine(format_line(e)))
        return false;
    _eventRecorded = true;
    return true;
}

// After a failed write the file may end in part of a line, and a later line appended to it
// could read as a different event: the recording stops at the first failure.
bool EventRecorder::writeLine(const QString& line)
{
    const QByteArray bytes = (line + u'\n').toUtf8();
    if (_file.write(bytes) == bytes.size() && _file.flush())
        return true;
    _error = QStringLiteral("cannot write to %1: %2").arg(_file.fileName(), _file.errorString());
    _failed = true;
    _file.close();
    return false;
}
