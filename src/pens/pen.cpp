#include "pen.h"

#include "outline_raster.h"
#include "stroke.h"
#include "tool_host.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace {

// Six hexadecimal digits, optionally after "0x"; reading stops at the first other character.
QColor color_from_hex(const QString& text)
{
    QString digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2) : text;
    qsizetype end = 0;
    while (end < digits.size() && end < 8 && QStringLiteral("0123456789abcdefABCDEF").contains(digits[end]))
        ++end;
    const unsigned c = digits.left(end).toUInt(nullptr, 16);
    return QColor::fromRgbF(float((c >> 16) & 255) / 255.0f, float((c >> 8) & 255) / 255.0f,
                            float(c & 255) / 255.0f, 1.0f);
}

// The product in float, the sum in double, as colours were always written.
int channel_byte(float unit) { return int(double(unit * 255.0f) + 0.5); }

QString hex_of(const QColor& color)
{
    const QColor rgb = color.isValid() ? color.toRgb() : QColor(Qt::black);
    return QString::asprintf("%02x%02x%02x", channel_byte(rgb.redF()), channel_byte(rgb.greenF()),
                             channel_byte(rgb.blueF()));
}


float usable_pressure(float pressure) { return std::isfinite(pressure) ? std::clamp(pressure, 0.0f, 1.0f) : 0; }

} // namespace

Pen::Pen(ScriptAlerts& alerts, const PenFolders& folders)
    : _alerts(alerts),
      _folders(folders),
      _strings(StringTable::named(folders.resources, QStringLiteral("Localizable"))),
      _color_picker_cursor(ToolCursor::load(QStringLiteral("color_picker_cursor"), QPoint(0, 15)))
{
}

Pen::~Pen() = default;

void Pen::load()
{
    if (_loaded) return;
    // Set first: selecting the default type goes through setters that load.
    _loaded = true;
    enumeratePenTypes();
    if (_default_pen_type) setPenTypeLua(_default_pen_type);
}

const Pen& Pen::loaded() const
{
    // Loading is part of reading a setting; no Pen is made const, so the cast is sound.
    const_cast<Pen*>(this)->load();
    return *this;
}

void Pen::enumeratePenTypes()
{
    for (const QString& file : pen_script_files(_folders)) {
        std::unique_ptr<Lua> type = run_pen_script(file, _alerts, _folders);
        if (!type || !type->getGlobalString(QStringLiteral("name"))) continue;
        const QString name = *type->getGlobalStringLocalized(QStringLiteral("name"));
        const bool is_default = type->getGlobalBoolean(QStringLiteral("default"), false);
        std::unique_ptr<Lua>& slot = _pen_types[name];
        // A later script of the same name replaces the earlier, also as the default.
        if (slot && _default_pen_type == slot.get()) _default_pen_type = type.get();
        slot = std::move(type);
        if (is_default || !_default_pen_type) _default_pen_type = slot.get();
    }
}

void Pen::reloadPenTypes(const PenFolders& folders)
{
    _folders = folders;
    if (!_loaded) return;
    if (_pen_down) {
        _reload_pending = true;
        return;
    }
    _reload_pending = false;
    savePenTypeSettings();
    const std::optional<QString> current = penTypeName();
    // The old states stay alive until their settings are copied over.
    std::map<QString, std::unique_ptr<Lua>> previous = std::exchange(_pen_types, {});
    _pen_type = _default_pen_type = _pending_pen_type = nullptr;
    enumeratePenTypes();
    takeSettingsOf(previous);
    Lua* const chosen = current ? typeNamed(*current) : nullptr;
    if (Lua* const type = chosen ? chosen : _default_pen_type) setPenTypeLua(type);
}

void Pen::takeSettingsOf(const std::map<QString, std::unique_ptr<Lua>>& previous)
{
    for (const auto& [name, type] : _pen_types) {
        const auto old = previous.find(name);
        if (old == previous.end()) continue;
        for (const QString& key : {QStringLiteral("color"), QStringLiteral("mode")})
            if (const auto text = old->second->getGlobalString(key)) type->setGlobal(key, *text);
        for (const QString& key : {QStringLiteral("opacity"), QStringLiteral("radius")})
            if (old->second->getGlobalString(key)) type->setGlobal(key, old->second->getGlobalNumber(key));
        const QStringList kept = type->getGlobalStringArray(QStringLiteral("parameters"));
        for (const QString& parameter : old->second->getGlobalStringArray(QStringLiteral("parameters")))
            if (kept.contains(parameter)) type->setGlobal(parameter, old->second->getGlobalNumber(parameter));
    }
}

void Pen::setPenTypeLua(Lua* type)
{
    savePenTypeSettings();
    _pen_type = type;
    const std::optional<QString> hex = type->getGlobalString(QStringLiteral("color"));
    _color = hex ? color_from_hex(*hex) : QColor(Qt::black);
    setTransferModeString(type->getGlobalString(QStringLiteral("mode")).value_or(QString()));
    _opacity = type->getGlobalNumber(QStringLiteral("opacity"), 1.0f);
    _radius = type->getGlobalNumber(QStringLiteral("radius"), 5.0f);
    _custom_pen = type->getGlobalBoolean(QStringLiteral("custom_pen"), false);
    setSmoothing(type->getGlobalNumber(QStringLiteral("smoothing"), 0.0f));
}

void Pen::setSmoothing(float smoothing)
{
    load();
    _smoothing = std::isfinite(smoothing) ? std::clamp(smoothing, 0.0f, 1.0f) : 0;
}

void Pen::savePenTypeSettings()
{
    if (!_pen_type) return;
    _pen_type->setGlobal(QStringLiteral("opacity"), _opacity);
    _pen_type->setGlobal(QStringLiteral("color"), hex_of(_color));
    _pen_type->setGlobal(QStringLiteral("radius"), _radius);
    _pen_type->setGlobal(QStringLiteral("mode"), transferModeString());
    _pen_type->setGlobal(QStringLiteral("smoothing"), _smoothing);
}

QString Pen::transferModeString() const { return transferModeIntToString(loaded()._mode); }

void Pen::setTransferModeString(const QString& name)
{
    load();
    _mode = transferModeStringToInt(name.toLower());
}

QStringList Pen::penTypeNames() const
{
    QStringList names;
    for (const auto& [name, type] : loaded()._pen_types) names << name;
    return names;
}

std::optional<QString> Pen::penTypeName() const
{
    if (!loaded()._pen_type) return std::nullopt;
    return _pen_type->getGlobalStringLocalized(QStringLiteral("name"));
}

QString Pen::penTypeNameWithKeyEquivalent() const
{
    QString text = penTypeName().value_or(QString()) + QStringLiteral("  ");
    const std::optional<QString> key =
        _pen_type ? _pen_type->getGlobalString(QStringLiteral("key")) : std::nullopt;
    if (!key) return text;
    static const std::map<QString, QString> kModifierTexts = {
        {QStringLiteral("shift"), QStringLiteral("shift_key")},
        {QStringLiteral("control"), QStringLiteral("control_key")},
        {QStringLiteral("alt"), QStringLiteral("option_key")},
        {QStringLiteral("opt"), QStringLiteral("option_key")},
        {QStringLiteral("option"), QStringLiteral("option_key")},
        {QStringLiteral("cmd"), QStringLiteral("command_key")},
        {QStringLiteral("command"), QStringLiteral("command_key")},
        {QStringLiteral("numpad"), QStringLiteral("numpad_key")},
        {QStringLiteral("f"), QStringLiteral("function_key")}};
    for (const QString& part : key->split(QLatin1Char('-'))) {
        const auto found = kModifierTexts.find(part.toLower());
        text += found != kModifierTexts.end() ? _strings.translate(found->second) : part.toUpper();
    }
    return text;
}

Lua* Pen::typeNamed(const QString& name) const
{
    const Pen& pen = loaded();
    if (const auto found = pen._pen_types.find(name); found != pen._pen_types.end()) return found->second.get();
    // An event script recorded in another language, or written by hand, may give the type's
    // own name from its script ("Pen" where the menu says "Stift"): that works in any language.
    for (const auto& [shown, type] : pen._pen_types)
        if (type->getGlobalString(QStringLiteral("name")) == name) return type.get();
    return nullptr;
}

bool Pen::setPenTypeName(const QString& name)
{
    Lua* const type = typeNamed(name);
    if (!type) return false;
    if (_pen_down) _pending_pen_type = type;
    else setPenTypeLua(type);
    return true;
}

QStringList Pen::customParameters() const
{
    return loaded()._pen_type ? _pen_type->getGlobalStringArray(QStringLiteral("parameters")) : QStringList();
}

float Pen::getParameter(const QString& name) const
{
    return loaded()._pen_type ? _pen_type->getGlobalNumber(name) : 0;
}

void Pen::setParameter(const QString& name, float value)
{
    if (load(); _pen_type) _pen_type->setGlobal(name, value);
}

float Pen::parameterMin(const QString& name) const { return getParameter(name + QStringLiteral("_min")); }
float Pen::parameterMax(const QString& name) const { return getParameter(name + QStringLiteral("_max")); }

float Pen::drawingRadius(float pressure, ToolView& view) const
{
    return _radius * pressure / view.scale();
}

void Pen::pickColor(Point at, ToolView& view)
{
    const color_ns::Color pixel = view.canvas().colorAt(view.pixelPoint(at));
    view.document().setToolColor(color_ns::alpha(pixel) != 0 ? color_ns::to_qcolor_no_alpha(pixel)
                                                       : view.backgroundColor());
}

void Pen::toolDownEvent(const ToolEvent& event, ToolView& view)
{
    load();
    _option_down = event.has(kOptionKey);
    if (_option_down) {
        pickColor(event.location, view);
        return;
    }
    _pen_down = true;
    _stabiliser.begin(event, _smoothing);
    if (_custom_pen && _pen_type) {
        const Point world = view.viewPointToWorldPoint(event.location);
        (void)_pen_type->penDownAt(view, *this, world, drawingRadius(0, view), event);
        return;
    }
    _pen_points.emplace(view.transform(), _radius);
    _preview_outline = {};
    _preview_rect.reset();
    // The stroke begins where the pen touches: a click leaves a dot, and a shape drawn back
    // to its start closes there.
    _pen_points->addPointAt(event.location, usable_pressure(event.pressure));
    previewNewest(view);
}

void Pen::toolMoveEvent(const ToolEvent& event, ToolView& view)
{
    if (!_pen_down) return;
    if (const std::optional<ToolEvent> nib = _stabiliser.pull(event)) moveNib(*nib, view);
}

void Pen::moveNib(const ToolEvent& event, ToolView& view)
{
    const float pressure = usable_pressure(event.pressure);
    if (_custom_pen && _pen_type) {
        const Point world = view.viewPointToWorldPoint(event.location);
        (void)_pen_type->penMoveTo(view, *this, world, drawingRadius(pressure, view), event);
        return;
    }
    _pen_points->addPointAt(event.location, pressure);
    previewNewest(view);
}

void Pen::toolUpEvent(const ToolEvent&, ToolView& view)
{
    if (!_pen_down) return;
    // Nothing of the line drawn is lost to the string's slack.
    for (const ToolEvent& move : _stabiliser.catchUp()) moveNib(move, view);
    if (_custom_pen && _pen_type) {
        (void)_pen_type->penUp(view, *this);
    } else {
        endBuiltInStroke(view);
    }
    _pen_down = false;
    if (Lua* pending = std::exchange(_pending_pen_type, nullptr)) setPenTypeLua(pending);
    if (_reload_pending) reloadPenTypes(_folders);
}

void Pen::endBuiltInStroke(ToolView& view)
{
    if (_preview_rect) {
        view.canvas().endPreview(*_preview_rect);
        view.setNeedsDisplayInPixelRect(*_preview_rect);
    }
    _pen_points->simplify();
    // Nothing is added for a stroke whose outline is unusable.
    if (StrokePtr stroke = Stroke::withPenPoints(std::move(*_pen_points), _color, _mode, _opacity))
        view.document().drawing().addStroke(stroke);
    _pen_points.reset();
    _preview_outline = {};
    _preview_rect.reset();
}

// The pixels the newest sample can change: its circle and band, and the circles before it
// that the level of detail may merge with it (within a pixel or so), with the band before
// those, which is then built anew. One pixel more holds every anti-aliased edge.
Rect Pen::newestPixels(const PavoCanvas& canvas) const
{
    constexpr float kMergeReach = 1.5f;
    const std::vector<PenPoint>& points = _pen_points->points();
    std::size_t first = points.size() - 1;
    while (first > 0 && length(points[first - 1].p - points.back().p) < kMergeReach) --first;
    first = first > 0 ? first - 1 : 0;
    const PenOutline& o = _preview_outline;
    PenOutline newest;
    newest.circles.assign(o.circles.begin() + std::ptrdiff_t(first), o.circles.end());
    const auto bands_before = std::count(o.band_before.begin(),
                                         o.band_before.begin() + std::ptrdiff_t(first) + 1, true);
    newest.bands.assign(o.bands.begin() + bands_before, o.bands.end());
    const Rect r = canvas.worldRectToBitmapRect(outline_bounds(newest));
    return make_rect(r.origin.x - 1, r.origin.y - 1, r.size.width + 2, r.size.height + 2);
}

// The stroke layer keeps the stroke previewed so far. Each move renders, in the pixels the
// newest sample can change, the whole outline afresh: a pixel's coverage depends only on
// the shapes, so the layer holds what rendering the finished stroke gives. The preview
// shows it over the drawing with the pen's mode and opacity, as the stroke will be.
void Pen::previewNewest(ToolView& view)
{
    if (!_pen_points->extendOutline(_preview_outline)) return;
    PavoCanvas& canvas = view.canvas();
    const Rect r = newestPixels(canvas);
    if (!nice(r)) return;
    const PixelSpan clip = canvas.strokeBitmap().span(r);
    if (clip.empty()) return;
    canvas.strokeBitmap().fillRect(r, color_ns::TRANSPARENT);
    fill_outline(canvas.strokeBitmap(), _preview_outline, color_ns::premultiplied(_color), clip);
    canvas.showPreview(r, _mode, _opacity);
    extend(_preview_rect, r);
    view.setNeedsDisplayInPixelRect(r);
}

void Pen::toolFlagsChanged(const ToolEvent& event, ToolView& view)
{
    _option_down = event.has(kOptionKey);
    view.document().refreshCursor();
}

void Pen::toolDrawInView(ToolView& view, QPainter& painter)
{
    if (!_custom_pen || !_pen_down || !_pen_type) return;
    _pen_type->penDraw(view, *this, painter);
}

ToolCursor Pen::toolCursor() const { return _option_down ? _color_picker_cursor : ToolCursor{}; }
