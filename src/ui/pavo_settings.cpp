#include "pavo_settings.h"

#include "pavo_document.h"

#include <QVariantMap>

#include <cmath>

namespace {

const QString kPenTypes = QStringLiteral("pen/types");
const QString kPenType = QStringLiteral("pen/lastType");
const QString kFill = QStringLiteral("fill");
const QString kWindowFrame = QStringLiteral("window/frame");
const QString kRecentColours = QStringLiteral("colours/recent");
const QString kPressureCurve = QStringLiteral("pressure/curve");

// The ranges the panels and scripts allow.
constexpr double kLargestRadius = 1000;
constexpr int kLargestExpand = 100;
constexpr int kLargestWindowSide = 100000;

std::optional<double> number_in(const QVariant& value, double low, double high)
{
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < low || v > high) return std::nullopt;
    return v;
}

std::optional<QColor> colour_of(const QVariant& value)
{
    const QColor colour = QColor::fromString(value.toString());
    if (!colour.isValid()) return std::nullopt;
    return QColor::fromRgba(colour.rgba());
}

QString colour_text(const QColor& colour) { return colour.name(QColor::HexArgb); }

std::optional<int> transfer_mode_of(const QVariant& value)
{
    const QString name = value.toString();
    const int mode = Tool::transferModeStringToInt(name);
    // Unknown names read as the normal mode; only a name that reads back is one.
    if (Tool::transferModeIntToString(mode).compare(name, Qt::CaseInsensitive) != 0) return std::nullopt;
    return mode;
}

void apply_pen_type(Pen& pen, const QVariantMap& values)
{
    if (const auto size = number_in(values.value(QStringLiteral("size")), 0.1, kLargestRadius))
        pen.setRadius(float(*size));
    if (const auto opacity = number_in(values.value(QStringLiteral("opacity")), 0, 1)) pen.setOpacity(float(*opacity));
    if (const auto colour = colour_of(values.value(QStringLiteral("colour")))) pen.setColor(*colour);
    if (const auto smoothing = number_in(values.value(QStringLiteral("smoothing")), 0, 1))
        pen.setSmoothing(float(*smoothing));
}

void apply_fill(PavoDocument& document, const QVariantMap& values)
{
    if (const auto colour = colour_of(values.value(QStringLiteral("colour")))) document.setFillColor(*colour);
    if (const auto opacity = number_in(values.value(QStringLiteral("opacity")), 0, 1))
        document.setFillOpacity(float(*opacity));
    if (const auto tolerance = number_in(values.value(QStringLiteral("tolerance")), 0, 1))
        document.setFillTolerance(float(*tolerance));
    if (const auto expand = number_in(values.value(QStringLiteral("expand")), 0, kLargestExpand))
        document.setFillExpand(int(*expand));
    if (const auto gap = number_in(values.value(QStringLiteral("gap")), 0, FillTool::kLargestGap))
        document.setFillGap(int(*gap));
    if (const auto precision = number_in(values.value(QStringLiteral("precision")), 1, 4); precision && *precision != 3)
        document.setFillPrecision(int(*precision));
    if (const auto mode = transfer_mode_of(values.value(QStringLiteral("mode")))) document.setFillTransferMode(*mode);
}

} // namespace

QStringList PavoSettings::applyTo(PavoDocument& document)
{
    Pen& pen = document.pen();
    const QString start = pen.penTypeName().value_or(QString());
    const QVariantMap types = _settings.value(kPenTypes).toMap();
    QStringList applied;
    for (auto it = types.begin(); it != types.end(); ++it)
        if (pen.setPenTypeName(it.key())) apply_pen_type(pen, it.value().toMap()), applied << it.key();
    // A pen type that is no longer installed leaves the default in place.
    if (!pen.setPenTypeName(_settings.value(kPenType).toString())) pen.setPenTypeName(start);
    apply_fill(document, _settings.value(kFill).toMap());
    // A curve that does not read back as one leaves the linear default in place.
    if (const auto curve = PressureCurve::parse(_settings.value(kPressureCurve).toString()))
        document.setPressureCurve(*curve);
    return applied;
}

void PavoSettings::remember(PavoDocument& document)
{
    const Pen& pen = document.pen();
    const std::optional<QString> type = pen.penTypeName();
    if (type) {
        QVariantMap types = _settings.value(kPenTypes).toMap();
        types.insert(*type, QVariantMap{{QStringLiteral("size"), double(pen.radius())},
                                        {QStringLiteral("opacity"), double(pen.opacity())},
                                        {QStringLiteral("smoothing"), double(pen.smoothing())},
                                        {QStringLiteral("colour"), colour_text(pen.color())}});
        _settings.setValue(kPenTypes, types);
        _settings.setValue(kPenType, *type);
    }
    const FillTool& fill = document.fill();
    _settings.setValue(kFill, QVariantMap{{QStringLiteral("colour"), colour_text(fill.color())},
                                          {QStringLiteral("opacity"), double(fill.opacity())},
                                          {QStringLiteral("tolerance"), double(fill.tolerance())},
                                          {QStringLiteral("expand"), fill.expand()},
                                          {QStringLiteral("gap"), fill.gap()},
                                          {QStringLiteral("precision"), fill.precision()},
                                          {QStringLiteral("mode"), Tool::transferModeIntToString(fill.transferMode())}});
    rememberPressureCurve(document.pressureCurve().text());
}

void PavoSettings::rememberPressureCurve(const QString& curveText) { _settings.setValue(kPressureCurve, curveText); }

std::optional<QRect> PavoSettings::windowFrame()
{
    const QRect frame = _settings.value(kWindowFrame).toRect();
    const auto side_ok = [](int side) { return side > 0 && side <= kLargestWindowSide; };
    if (!side_ok(frame.width()) || !side_ok(frame.height())) return std::nullopt;
    return frame;
}

void PavoSettings::rememberWindowFrame(const QRect& frame) { _settings.setValue(kWindowFrame, frame); }

QList<QColor> PavoSettings::recentColours()
{
    QList<QColor> colours;
    for (const QString& text : _settings.value(kRecentColours).toStringList()) {
        const auto colour = colour_of(text);
        if (colour && !colours.contains(*colour) && colours.size() < kRecentColourCount) colours << *colour;
    }
    return colours;
}

QList<QColor> PavoSettings::noteRecentColour(const QColor& colour)
{
    QList<QColor> colours = recentColours();
    if (!colour.isValid()) return colours;
    // As kept: eight bits a channel, so that a colour read back equals itself.
    const QColor kept = QColor::fromRgba(colour.rgba());
    colours.removeAll(kept);
    colours.prepend(kept);
    while (colours.size() > kRecentColourCount) colours.removeLast();
    QStringList texts;
    for (const QColor& c : colours) texts << colour_text(c);
    _settings.setValue(kRecentColours, texts);
    return colours;
}

void PavoSettings::reset()
{
    for (const QString& key : {kPenTypes, kPenType, kFill, kWindowFrame, kRecentColours, kPressureCurve}) _settings.remove(key);
}
