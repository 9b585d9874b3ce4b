#pragma once

// Reads fuzz bytes as a pen script: a top-level chunk and the three pen callbacks, each a
// few statements that call the drawing functions (or a few of Lua's own) with arguments drawn
// from values that have broken such interfaces before: NaN and infinities, huge numbers,
// wrong types, missing fields, dead path handles, tables whose fields raise errors or never
// return. The bytes after the script give the stroke it is driven with.

#include "geometry.h"
#include "tool_event.h"

#include <QByteArray>

#include <array>
#include <cstdint>

class ScriptMaker {
public:
    ScriptMaker(const std::uint8_t* data, std::size_t size) : _data(data), _size(size)
    {
        _script = "P = {}\n" + body();
        for (const char* head : {"function pen_down(p, r)\n", "function pen_move(p, r)\n",
                                 "function pen_up()\n"})
            _script += head + body() + "end\n";
    }
    const QByteArray& script() const { return _script; }
    int moves() { return byte() % 6; }
    Point point() { return {float(std::int8_t(byte())) * 2, float(std::int8_t(byte())) * 2}; }
    float radius() { return float(byte()) / 16; }
    ToolEvent event() { return {point(), float(byte()) / 255, unsigned(byte() & 0x1f) << 16}; }

private:
    std::uint8_t byte() { return _pos < _size ? _data[_pos++] : 0; }
    template <std::size_t N> const char* pick(const std::array<const char*, N>& a)
    {
        return a[byte() % N];
    }

    QByteArray body()
    {
        QByteArray text;
        for (int n = byte() % 8; n > 0; --n)
            text += statement() + '\n';
        return text;
    }

    QByteArray statement()
    {
        static constexpr std::array<const char*, 7> globals{
            "name", "color", "mode", "opacity", "radius", "parameters", "key"};
        static constexpr std::array<const char*, 4> counts{"3", "100", "5000", "1e6"};
        // Most calls are protected so that later statements run; an unprotected error ends
        // the callback through the host.
        switch (byte() % 8) {
        case 0: return "R = " + call();
        case 4: {
            const QByteArray f = function(), args = arguments();
            return "R = select(2, pcall(" + f + (args.isEmpty() ? "" : ", " + args) + "))";
        }
        case 5: return "P[" + QByteArray::number(byte() % 4 + 1) + "] = bezier_path()";
        case 6: return QByteArray("for i = 1, ") + pick(counts) + " do " + call() + " end";
        case 7: return QByteArray(pick(globals)) + " = " + value(1);
        default: return "pcall(function() R = " + call() + " end)";
        }
    }

    QByteArray call() { return function() + '(' + arguments() + ')'; }
    QByteArray function()
    {
        static constexpr std::array<const char*, 34> names{
            "retain", "release", "bezier_path", "move_to_point", "line_to_point",
            "curve_to_point", "append_bezier_path_with_oval_in_rect",
            "append_bezier_path_with_rect", "close_path", "set_line_width", "set_color",
            "stroke", "fill", "add_stroke", "add_fill", "preview_stroke", "preview_fill",
            "set_pen_color", "get_pen_color", "set_pen_opacity", "get_pen_opacity",
            "set_pen_radius", "get_pen_radius", "set_pen_transfer_mode",
            "get_pen_transfer_mode", "pressure", "scale", "caps_lock_down", "shift_down",
            "control_down", "option_down", "command_down", "collectgarbage", "error"};
        return pick(names);
    }
    QByteArray arguments()
    {
        QByteArray text;
        for (int n = byte() % 5; n > 0; --n)
            text += value(2) + (n > 1 ? ", " : "");
        return text;
    }

    QByteArray number()
    {
        static constexpr std::array<const char*, 16> numbers{
            "0", "1", "-1", "0.5", "3", "1000", "-12345.5", "1e30", "-1e30", "math.huge",
            "-math.huge", "(0/0)", "2^31", "-2^63", "1e-45", "1e39"};
        return pick(numbers);
    }
    QByteArray fields(std::initializer_list<const char*> names, int depth)
    {
        QByteArray text = "{";
        const int present = byte();
        int bit = 0;
        for (const char* name : names)
            if (present & (1 << bit++)) text += QByteArray(name) + " = " + (depth > 0 && byte() % 4 == 0 ? value(depth - 1) : number()) + ", ";
        return text + '}';
    }

    QByteArray value(int depth)
    {
        static constexpr std::array<const char*, 6> strings{
            "'multiply'", "'NORMAL'", "''", "'3'", "'nan'", "string.rep('x', 300)"};
        static constexpr std::array<const char*, 8> odd{
            "nil", "p", "r", "R", "true", "function() end",
            "setmetatable({}, {__index = function() error('no field') end})",
            "setmetatable({}, {__index = function() while true do end end})"};
        switch (byte() % 8) {
        case 0: return number();
        case 1: return fields({"x", "y"}, depth);
        case 2: return fields({"x", "y", "w", "h"}, depth);
        case 3: return fields({"red", "green", "blue", "alpha"}, depth);
        case 4: return pick(strings);
        case 5: return "P[" + QByteArray::number(byte() % 4 + 1) + "]";
        case 6: return "{x = '3', y = " + number() + "}";
        default: return pick(odd);
        }
    }

    const std::uint8_t* _data;
    std::size_t _size;
    std::size_t _pos = 0;
    QByteArray _script;
};
