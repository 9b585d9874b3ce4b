#include "event_replay.h"

#include "color.h"
#include "export_image.h"
#include "pavo_document.h"
#include "phase_timings.h"
#include "print_drawing.h"
#include "proximity.h"
#include "script_paths.h"
#include "window_frame.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

// Replays need no screen: repaints and cursors go nowhere.
class HeadlessDisplay final : public ViewDisplay {
public:
    void setNeedsDisplayInRect(const Rect&) override {}
    void setNeedsDisplay() override {}
    void refreshCursor() override {}
};

class MessageAlerts final : public ScriptAlerts {
public:
    explicit MessageAlerts(const ReplayMessages& errors) : _errors(errors) {}
    void show(const QString& title, const QString& message) override { _errors(title + QStringLiteral(": ") + message); }

private:
    const ReplayMessages& _errors;
};

// A window without a screen: the frame saved with the drawing is its view's size.
class HeadlessShell final : public DocumentShell {
public:
    PavoDocument* document = nullptr;
    std::optional<QString> windowFrame() const override
    {
        if (!document) return std::nullopt;
        const Size s = document->view().size();
        return format_window_frame({0, 0, int(s.width), int(s.height)});
    }
    Clipboard* clipboard() override { return &_clipboard; }

private:
    MemoryClipboard _clipboard;
};

// A line that stops the replay.
struct Malformed {
    QString message;
};

class Replay {
public:
    Replay(const ReplayOptions& options, const ReplayMessages& errors)
        : _options(options), _errors(errors), _alerts(errors)
    {
    }

    int run(const EventScript& script);
    int exportFile(const QString& document, const QString& output, std::optional<int> width,
                   std::optional<int> height);
    int printFile(const QString& document, const QString& output);

private:
    std::optional<Malformed> start(const EventScript& script);
    std::optional<Malformed> play(const ScriptEvent& e);
    std::optional<Malformed> action(const ScriptEvent& e);
    std::optional<Malformed> setting(const ScriptEvent& e);
    void open(const QString& path);
    void save(const QString& path);
    void place(const QString& path);
    void exportPicture(const ScriptEvent& e);
    void printPdf(const QString& path);
    void failed(const QString& message)
    {
        _errors(message);
        _status = kReplayFailed;
    }
    PavoDocument& doc() { return *_document; }
    std::unique_ptr<PavoDocument> makeDocument();

    const ReplayOptions& _options;
    const ReplayMessages& _errors;
    MessageAlerts _alerts;
    HeadlessDisplay _display;
    HeadlessShell _shell;
    // A replay is its own application: the stylus it posts reaches only its documents.
    ProximityCenter _proximity;
    std::optional<PenFolders> _pen_folders;
    std::unique_ptr<PavoDocument> _document;
    Size _size{800, 600};
    bool _size_given = false;
    Point _last_point;
    int _status = kReplayOk;
};

std::unique_ptr<PavoDocument> Replay::makeDocument()
{
    // One set of folders for every drawing the script opens, so a broken script is told once.
    if (!_pen_folders) _pen_folders = PenFolders(_options.resourceRoot, _options.userScripts);
    auto document = PavoDocument::create(_shell, _display, _size, _alerts, *_pen_folders);
    if (document) document->listenToProximity(_proximity);
    _shell.document = document.get();
    return document;
}

int Replay::run(const EventScript& script)
{
    if (const auto bad = start(script)) {
        _errors(bad->message);
        return kReplayMalformed;
    }
    for (const ScriptEvent& e : script.events) {
        if (const auto bad = play(e)) {
            _errors(QStringLiteral("line %1: %2").arg(e.line).arg(bad->message));
            return kReplayMalformed;
        }
    }
    if (_options.closing) _options.closing(doc());
    return _status;
}

std::optional<Malformed> Replay::start(const EventScript& script)
{
    _size_given = std::any_of(script.events.begin(), script.events.end(),
                              [](const ScriptEvent& e) { return e.kind == ScriptEvent::Kind::Size; });
    _size = _options.viewSize ? *_options.viewSize : script.viewSize;
    _size_given = _size_given || _options.viewSize.has_value();
    _document = makeDocument();
    if (!_document) return Malformed{QStringLiteral("a view of %1 x %2 pixels cannot be made").arg(_size.width).arg(_size.height)};
    if (_options.document) open(*_options.document);
    return std::nullopt;
}

int Replay::exportFile(const QString& document, const QString& output, std::optional<int> width,
                       std::optional<int> height)
{
    _document = makeDocument();
    if (!_document) {
        failed(QStringLiteral("No view can be made to render the drawing."));
        return _status;
    }
    open(document);
    if (_status != kReplayOk) return _status;
    const Size shown = doc().view().size();
    // Rounded half up, as the export dialog keeps the proportions; never below a pixel, and
    // a side far too large stays too large for the size check rather than overflowing.
    const auto proportional = [](int given, float to, float from) {
        return int(std::clamp(std::floor(double(given) * to / from + 0.5), 1.0, double(kMaxExportSide) + 1));
    };
    if (width && !height) height = proportional(*width, shown.height, shown.width);
    if (height && !width) width = proportional(*height, shown.width, shown.height);
    ScriptEvent e;
    e.kind = ScriptEvent::Kind::Export;
    e.text = output;
    e.hasSize = width.has_value();
    e.width = width.value_or(0);
    e.height = height.value_or(0);
    exportPicture(e);
    return _status;
}

void Replay::open(const QString& path)
{
    auto opened = makeDocument();
    if (!opened) {
        _shell.document = _document.get();
        failed(QStringLiteral("%1 cannot be opened: no view can be made").arg(path));
        return;
    }
    mark_phase("start-up");
    const Result<> result = opened->read(path);
    mark_phase("reading");
    if (!result) {
        _shell.document = _document.get();
        failed(QStringLiteral("%1 cannot be opened: %2").arg(path, result.error()));
        return;
    }
    // Like a window, the drawing comes back at the size it was saved with, unless the
    // script or the command line fixed the size.
    if (const auto frame = opened->takeWindowFrame()) {
        const auto parsed = parse_window_frame(*frame);
        if (parsed && !_size_given) opened->view().setSize(parsed->viewSize(), false);
    }
    if (_options.closing && _document) _options.closing(*_document);
    _document = std::move(opened);
}

std::optional<Malformed> Replay::play(const ScriptEvent& e)
{
    using Kind = ScriptEvent::Kind;
    switch (e.kind) {
    case Kind::Size: return std::nullopt;
    case Kind::Down:
        _last_point = e.point;
        doc().mouseDown({e.point, e.pressure, e.modifiers}, e.middle ? PointerButton::Middle : PointerButton::Left);
        return std::nullopt;
    case Kind::Move:
        _last_point = e.point;
        doc().mouseDragged({e.point, e.pressure, e.modifiers});
        return std::nullopt;
    case Kind::Up:
        _last_point = e.point;
        doc().mouseUp({e.point, 0, e.modifiers});
        return std::nullopt;
    case Kind::Flags: doc().flagsChanged({_last_point, 0, e.modifiers}); return std::nullopt;
    // Tab, escape, F11 and letters belong to the window and its menus, which a replay has
    // not: they do nothing here.
    case Kind::Key: doc().keyPressed(e.name, e.modifiers); return std::nullopt;
    case Kind::KeyDown:
    case Kind::KeyUp: doc().keyHeld(e.name, e.kind == Kind::KeyDown); return std::nullopt;
    case Kind::Wheel: doc().view().scrollWheel(e.point, e.notches, e.modifiers); return std::nullopt;
    case Kind::Pinch: doc().view().pinch(e.point, e.factor); return std::nullopt;
    case Kind::Proximity: {
        ProximityRecord record;
        record.pointerID = e.pointerId;
        record.pointerType = e.eraser ? kPointerTypeEraser : kPointerTypePen;
        record.enterProximity = e.name == u"enter" ? 1 : 0;
        _proximity.post(record);
        return std::nullopt;
    }
    case Kind::Action: return action(e);
    case Kind::Set: return setting(e);
    case Kind::Open: open(e.text); return std::nullopt;
    case Kind::Save: save(e.text); return std::nullopt;
    case Kind::Export: exportPicture(e); return std::nullopt;
    case Kind::Place: place(e.text); return std::nullopt;
    case Kind::PrintPdf: printPdf(e.text); return std::nullopt;
    }
    return std::nullopt;
}

std::optional<float> number(const QString& text)
{
    bool ok = false;
    const float v = text.trimmed().toFloat(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<QColor> rgb_color(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^#?[0-9A-Fa-f]{6}$"));
    const QString t = text.trimmed();
    if (!hex.match(t).hasMatch()) return std::nullopt;
    return QColor(t.startsWith(u'#') ? t : u'#' + t);
}

constexpr float kLargestRadius = 1000;
constexpr int kLargestExpand = 100;

std::optional<Malformed> Replay::action(const ScriptEvent& e)
{
    const QString& name = e.name;
    if (!PavoDocument::knowsAction(name)) return Malformed{QStringLiteral("unknown action %1").arg(name)};
    if (name == u"setPenType:" && !doc().pen().hasPenType(e.text))
        return Malformed{QStringLiteral("no pen type is named \"%1\"").arg(e.text)};
    if (name == u"penSize:") {
        const auto v = number(e.text);
        if (!v || *v <= 0 || *v > kLargestRadius)
            return Malformed{QStringLiteral("penSize: needs a size from 0 to %1, not \"%2\"").arg(kLargestRadius).arg(e.text)};
    }
    if (name == u"penOpacity:") {
        QString t = e.text.trimmed();
        if (t.endsWith(u'%')) t.chop(1);
        const auto v = number(t);
        if (!v || *v < 0 || *v > 100)
            return Malformed{QStringLiteral("penOpacity: needs a percentage from 0 to 100, not \"%1\"").arg(e.text)};
    }
    doc().perform(name, e.text);
    return std::nullopt;
}

std::optional<Malformed> Replay::setting(const ScriptEvent& e)
{
    const QString& key = e.name;
    const QString& value = e.text;
    const auto bad = [&key, &value](const QString& wanted) {
        return Malformed{QStringLiteral("%1 needs %2, not \"%3\"").arg(key, wanted, value)};
    };
    Pen& pen = doc().pen();
    if (key == u"pen.type") {
        if (!doc().setPenTypeName(value)) return Malformed{QStringLiteral("no pen type is named \"%1\"").arg(value)};
    } else if (key == u"pen.color") {
        const auto c = rgb_color(value);
        if (!c) return bad(QStringLiteral("a colour RRGGBB"));
        doc().setPenColor(*c);
    } else if (key == u"pen.opacity") {
        const auto v = number(value);
        if (!v || *v < 0 || *v > 1) return bad(QStringLiteral("an opacity from 0 to 1"));
        doc().setPenOpacity(*v);
    } else if (key == u"pen.radius") {
        const auto v = number(value);
        if (!v || *v <= 0 || *v > kLargestRadius) return bad(QStringLiteral("a radius above 0 and at most 1000"));
        doc().setPenSize(*v);
    } else if (key == u"pen.smoothing") {
        const auto v = number(value);
        if (!v || *v < 0 || *v > 1) return bad(QStringLiteral("a smoothing from 0 to 1"));
        doc().setPenSmoothing(*v);
    } else if (key == u"pen.mode") {
        const int mode = Tool::transferModeStringToInt(value.trimmed());
        // Unknown names read as normal; only a name that reads back is a mode.
        if (Tool::transferModeIntToString(mode).compare(value.trimmed(), Qt::CaseInsensitive) != 0)
            return bad(QStringLiteral("a transfer mode name"));
        doc().setPenTransferMode(mode);
    } else if (key.startsWith(u"pen.param.")) {
        const QString param = key.mid(10);
        if (!pen.customParameters().contains(param))
            return Malformed{QStringLiteral("the pen type has no setting \"%1\"").arg(param)};
        const auto v = number(value);
        if (!v || *v < pen.parameterMin(param) || *v > pen.parameterMax(param))
            return bad(QStringLiteral("a number from %1 to %2").arg(pen.parameterMin(param)).arg(pen.parameterMax(param)));
        doc().setPenParameter(param, *v);
    } else if (key == u"pressure.curve") {
        const auto curve = PressureCurve::parse(value);
        if (!curve) return bad(QStringLiteral("rising pairs of input and output pressures from 0 to 1"));
        doc().setPressureCurve(*curve);
    } else if (key == u"fill.color") {
        const auto c = rgb_color(value);
        if (!c) return bad(QStringLiteral("a colour RRGGBB"));
        doc().setFillColor(*c);
    } else if (key == u"fill.opacity") {
        const auto v = number(value);
        if (!v || *v < 0 || *v > 1) return bad(QStringLiteral("an opacity from 0 to 1"));
        doc().setFillOpacity(*v);
    } else if (key == u"fill.tolerance") {
        const auto v = number(value);
        if (!v || *v < 0 || *v > 1) return bad(QStringLiteral("a tolerance from 0 to 1"));
        doc().setFillTolerance(*v);
    } else if (key == u"fill.expand") {
        bool ok = false;
        const int v = value.trimmed().toInt(&ok);
        if (!ok || v < 0 || v > kLargestExpand) return bad(QStringLiteral("a whole number of pixels from 0 to %1").arg(kLargestExpand));
        doc().setFillExpand(v);
    } else if (key == u"fill.gap") {
        bool ok = false;
        const int v = value.trimmed().toInt(&ok);
        if (!ok || v < 0 || v > FillTool::kLargestGap)
            return bad(QStringLiteral("a whole number of pixels from 0 to %1").arg(FillTool::kLargestGap));
        doc().setFillGap(v);
    } else if (key == u"fill.precision") {
        const int v = value.trimmed().toInt();
        if (v != 1 && v != 2 && v != 4) return bad(QStringLiteral("a precision of 1, 2 or 4"));
        doc().setFillPrecision(v);
    } else if (key == u"fill.mode") {
        const int mode = Tool::transferModeStringToInt(value.trimmed());
        if (Tool::transferModeIntToString(mode).compare(value.trimmed(), Qt::CaseInsensitive) != 0)
            return bad(QStringLiteral("a transfer mode name"));
        doc().setFillTransferMode(mode);
    } else if (key == u"background") {
        if (value.trimmed() == u"none") {
            doc().clearBackgroundColor();
        } else {
            const auto c = rgb_color(value);
            if (!c) return bad(QStringLiteral("a colour RRGGBB or none"));
            doc().backgroundColorChanged(*c);
        }
    } else {
        return Malformed{QStringLiteral("unknown setting %1").arg(key)};
    }
    return std::nullopt;
}

void Replay::save(const QString& path)
{
    const Result<> result = doc().saveTo(path);
    if (!result) failed(QStringLiteral("The drawing could not be saved to %1: %2").arg(path, result.error()));
}

void Replay::place(const QString& path)
{
    const Result<> result = doc().placeFile(path);
    // The message names the file.
    if (!result) failed(result.error());
}

void Replay::exportPicture(const ScriptEvent& e)
{
    PavoView& view = doc().view();
    const Size shown = view.size();
    const int width = e.hasSize ? e.width : int(shown.width);
    const int height = e.hasSize ? e.height : int(shown.height);
    const ExportSource source{doc().strokes(), view.viewGeometry(), doc().backgroundColor()};
    const Result<> result = export_drawing(source, e.text, width, height);
    if (!result) failed(QStringLiteral("The picture could not be exported to %1: %2").arg(e.text, result.error()));
}

void Replay::printPdf(const QString& path)
{
    const Result<> result = print_to_pdf(doc().outputSource(), path);
    if (!result) failed(QStringLiteral("The drawing could not be printed to %1: %2").arg(path, result.error()));
}

int Replay::printFile(const QString& document, const QString& output)
{
    _document = makeDocument();
    if (!_document) {
        failed(QStringLiteral("No view can be made to render the drawing."));
        return _status;
    }
    open(document);
    if (_status == kReplayOk) printPdf(output);
    return _status;
}

} // namespace

int replay_event_script(const EventScript& script, const ReplayOptions& options, const ReplayMessages& errors)
{
    Replay replay(options, errors);
    return replay.run(script);
}

int replay_event_script_file(const QString& path, const ReplayOptions& options, const ReplayMessages& errors)
{
    const QString scriptFolder = QFileInfo(path).absolutePath();
    const ScriptFolders folders{scriptFolder, options.outputFolder.value_or(scriptFolder),
                                options.allowAnyPath};
    if (!QFileInfo(folders.output).isDir()) {
        errors(QStringLiteral("%1 is not a folder to write into").arg(folders.output));
        return kReplayMalformed;
    }
    Result<EventScript> parsed = read_event_script(path);
    const Result<EventScript> placed =
        parsed ? place_script_files(std::move(*parsed), folders) : Failure{parsed.error()};
    if (!placed) {
        errors(placed.error());
        return kReplayMalformed;
    }
    return replay_event_script(*placed, options, errors);
}

int export_document_file(const QString& document, const QString& output, std::optional<int> width,
                         std::optional<int> height, const ReplayMessages& errors, const QString& resourceRoot)
{
    ReplayOptions options;
    options.resourceRoot = resourceRoot;
    Replay replay(options, errors);
    return replay.exportFile(document, output, width, height);
}

int print_document_file(const QString& document, const QString& output, const ReplayMessages& errors,
                        const QString& resourceRoot)
{
    ReplayOptions options;
    options.resourceRoot = resourceRoot;
    Replay replay(options, errors);
    return replay.printFile(document, output);
}
