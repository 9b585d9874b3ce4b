#pragma once

// What a file can hold of a pen sample: coordinates in tenths of a bitmap unit, pressures in
// 1/255 steps. Simplify rounds to exactly this, so a stroke drawn is the stroke reloaded.

#include "geometry.h"

#include <cmath>
#include <cstdint>
#include <optional>

// The product is taken in float on purpose: in double, 0.7f * 10 falls just short of 7 and
// a value rounded once would lose a tenth on every save.
inline std::optional<std::int32_t> to_tenths(float v)
{
    const double t = static_cast<double>(v * 10.0f);
    // Exactly the values whose truncation fits; written so that NaN fails too.
    if (!(t > -2147483649.0 && t < 2147483648.0)) return std::nullopt;
    // The conversion truncates toward zero, and is much cheaper than a call to trunc.
    return static_cast<std::int32_t>(t);
}

inline float from_tenths(std::int32_t t) { return static_cast<float>(t) / 10.0f; }

inline std::uint8_t pressure_byte(float p)
{
    const float clamped = std::isnan(p) ? 0.0f : limit(p, 0.0f, 1.0f);
    // The conversion truncates toward zero.
    return static_cast<std::uint8_t>(clamped * 255.0f);
}

inline float from_pressure_byte(std::uint8_t b) { return static_cast<float>(b) / 255.0f; }
