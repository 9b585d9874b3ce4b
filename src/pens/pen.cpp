#include "pen.h"

#include "outline_raster.h"
#include "stroke.h"
#include "tool_host.h"

#include <QDir>

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


} // namespace

Pen::Pen(ScriptAlerts& alerts, const QString& resourceRoot)
    : _alerts(alerts),
      _resource_root(resourceRoot),
      _strings(StringTable::named(resourceRoot, QStringLiteral("Localizable"))),
      _color_picker_cursor(ToolCursor::load(QStringLiteral("color_picker_cursor"), QPoint(0, 15)))
{
}

Pen::~Pen() = default;

void Pen::load()
{
    if (_loaded) return;
    // Set first: selecting the default type goes through setters that load.
    _loaded = true;
    enumeratePenTypes(_resource_root);
    if (_default_pen_type) setPenTypeLua(_default_pen_type);
}

const Pen& Pen::loaded() const
{
    // Loading is part of reading a setting; no Pen is made const, so the cast is sound.
    const_cast<Pen*>(this)->load();
    return *this;
}

void Pen::enumeratePenTypes(const QString& resourceRoot)
{
    const QDir pens(resourceRoot + QStringLiteral("/Pens"));
    for (const QString& file : pens.entryList({QStringLiteral("*.lua")}, QDir::Files, QDir::Name)) {
        std::unique_ptr<Lua> type = Lua::runningFile(pens.filePath(file), _alerts, resourceRoot);
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
}

void Pen::savePenTypeSettings()
{
    if (!_pen_type) return;
    _pen_type->setGlobal(QStringLiteral("opacity"), _opacity);
    _pen_type->setGlobal(QStringLiteral("color"), hex_of(_color));
    _pen_type->setGlobal(QStringLiteral("radius"), _radius);
    _pen_type->setGlobal(QStringLiteral("mode"), transferModeString());
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

bool Pen::setPenTypeName(const QString& name)
{
    load();
    const auto found = _pen_types.find(name);
    if (found == _pen_types.end()) return false;
    if (_pen_down) _pending_pen_type = found->second.get();
    else setPenTypeLua(found->second.get());
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
    if (_custom_pen && _pen_type) {
        const Point world = view.viewPointToWorldPoint(event.location);
        (void)_pen_type->penDownAt(view, *this, world, drawingRadius(0, view), event);
        return;
    }
    _pen_points.emplace(view.transform(), _radius);
    _preview_rect.reset();
}

void Pen::toolMoveEvent(const ToolEvent& event, ToolView& view)
{
    if (!_pen_down) return;
    const float pressure = std::isfinite(event.pressure) ? std::clamp(event.pressure, 0.0f, 1.0f) : 0;
    if (_custom_pen && _pen_type) {
        const Point world = view.viewPointToWorldPoint(event.location);
        (void)_pen_type->penMoveTo(view, *this, world, drawingRadius(pressure, view), event);
        return;
    }
    if (_pen_points->count() == 0) previewPoint(view, event.location, pressure);
    else previewStroke(view, _pen_points->lastPoint(), event.location, _pen_points->lastPressure(), pressure);
    _pen_points->addPointAt(event.location, pressure);
}

void Pen::toolUpEvent(const ToolEvent&, ToolView& view)
{
    if (!_pen_down) return;
    if (_custom_pen && _pen_type) {
        (void)_pen_type->penUp(view, *this);
    } else {
        endBuiltInStroke(view);
    }
    _pen_down = false;
    if (Lua* pending = std::exchange(_pending_pen_type, nullptr)) setPenTypeLua(pending);
}

void Pen::endBuiltInStroke(ToolView& view)
{
    if (_preview_rect) {
        view.canvas().endPreview(*_preview_rect);
        view.setNeedsDisplayInPixelRect(*_preview_rect);
    }
    _pen_points->simplify();
    // Nothing is added for a click without a move or a stroke whose outline is unusable.
    if (StrokePtr stroke = Stroke::withPenPoints(std::move(*_pen_points), _color, _mode, _opacity))
        view.document().drawing().addStroke(stroke);
    _pen_points.reset();
    _preview_rect.reset();
}

void Pen::previewPoint(ToolView& view, Point p, float pressure)
{
    const PenOutline outline{{{view.viewPointToWorldPoint(p), drawingRadius(pressure, view)}},
                             {},
                             {false}};
    previewOutline(view, outline);
}

void Pen::previewStroke(ToolView& view, Point p1, Point p2, float pressure1, float pressure2)
{
    const Point w1 = view.viewPointToWorldPoint(p1), w2 = view.viewPointToWorldPoint(p2);
    const float r1 = drawingRadius(pressure1, view), r2 = drawingRadius(pressure2, view);
    PenOutline outline{{{w2, r2}}, {}, {false}};
    if (w1 != w2) {
        const Point d = normalize(w2 - w1);
        outline.bands.push_back({{w1 + left(d) * r1, w2 + left(d) * r2, w2 + right(d) * r2,
                                  w1 + right(d) * r1}});
        outline.band_before[0] = true;
    }
    previewOutline(view, outline);
}

// The preview of a filled shape: painted at full strength into the stroke layer, which keeps
// everything previewed in this stroke, and shown over the drawing with the pen's mode and
// opacity, as the finished stroke will be.
void Pen::previewOutline(ToolView& view, const PenOutline& outline)
{
    PavoCanvas& canvas = view.canvas();
    const Rect world = fill_outline(canvas.strokeBitmap(), outline, color_ns::premultiplied(_color));
    if (!nice(world)) return;
    const Rect r = canvas.worldRectToBitmapRect(world);
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
