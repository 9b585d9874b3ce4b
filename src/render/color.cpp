#include "color.h"

#include "transfer_ops.h"

#include <QColor>

#include <algorithm>
#include <array>
#include <cmath>

namespace color_ns {

Color min(Color a, Color b)
{
    return make(std::min(red(a), red(b)), std::min(green(a), green(b)),
                std::min(blue(a), blue(b)), std::min(alpha(a), alpha(b)));
}

Color max(Color a, Color b)
{
    return make(std::max(red(a), red(b)), std::max(green(a), green(b)),
                std::max(blue(a), blue(b)), std::max(alpha(a), alpha(b)));
}

float distance(Color a, Color b)
{
    int largest = 0;
    for (int i = 0; i < 4; ++i)
        largest = std::max(largest, std::abs(component(a, i) - component(b, i)));
    return float(largest / 255.0);
}

int channel_from_unit(double v)
{
    if (!(v > 0)) return 0; // NaN too
    if (v >= 1) return 255;
    return int(v * 255.0 + 0.5);
}

Color from_qcolor(const QColor& color)
{
    const QColor rgb = color.isValid() ? color.toRgb() : QColor(Qt::black);
    return make(channel_from_unit(rgb.redF()), channel_from_unit(rgb.greenF()),
                channel_from_unit(rgb.blueF()), channel_from_unit(rgb.alphaF()));
}

QColor to_qcolor_no_alpha(Color c)
{
    const float a = float(alpha(c) / 255.0);
    if (a == 0) return QColor::fromRgbF(0, 0, 0, 1);
    const auto unpremultiplied = [a](int channel) {
        return std::clamp(float(channel / 255.0) / a, 0.0f, 1.0f);
    };
    return QColor::fromRgbF(unpremultiplied(red(c)), unpremultiplied(green(c)),
                            unpremultiplied(blue(c)), 1.0f);
}

Color premultiplied(const QColor& color, double opacity)
{
    const QColor rgb = color.isValid() ? color.toRgb() : QColor(Qt::black);
    const double o = std::isnan(opacity) ? 0.0 : std::clamp(opacity, 0.0, 1.0);
    const double a = std::clamp(double(rgb.alphaF()), 0.0, 1.0) * o;
    return make(channel_from_unit(rgb.redF() * a), channel_from_unit(rgb.greenF() * a),
                channel_from_unit(rgb.blueF() * a), channel_from_unit(a));
}

} // namespace color_ns

namespace {
constexpr std::array<const char*, kTransferModeCount> kModeNames = {
    "normal", "erase", "darker", "lighter", "colorize", "shadow", "hilight", "multiply"};
constexpr std::array<TransferOp, kTransferModeCount> kModeOps = {
    color_ns::paint_over, color_ns::erase,  color_ns::darker,  color_ns::lighter,
    color_ns::colorize,   color_ns::shadow, color_ns::hilight, color_ns::multiply};
} // namespace

TransferOp transfer_op(int mode)
{
    if (unsigned(mode) >= unsigned(kTransferModeCount)) return nullptr;
    return kModeOps[std::size_t(mode)];
}

int transfer_mode_from_name(std::string_view name)
{
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return char(std::tolower(ch)); });
    for (int mode = 1; mode < kTransferModeCount; ++mode)
        if (lower == kModeNames[std::size_t(mode)]) return mode;
    return kModeNormal;
}

std::string transfer_mode_name(int mode)
{
    if (unsigned(mode) >= unsigned(kTransferModeCount)) return kModeNames[0];
    return kModeNames[std::size_t(mode)];
}
