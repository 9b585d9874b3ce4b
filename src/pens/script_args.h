#pragma once

// Argument readers and result pushers of the registered functions. Every reader first checks
// that the argument at its position (counted from 1) is there and has the expected Lua type,
// raising "f: not enough arguments" or "f: wrong argument type" under the calling function's
// name f; the NaN checks raise under the reader's own name. Errors are Lua errors: the
// readers do not return from them, so callers read all their arguments before building any
// object that needs destruction.
//
// Point, rectangle and colour tables: a field that is missing or not a number (a numeric
// string counts) reads as 0, except "alpha", which reads as 1.

#include "geometry.h"
#include "path.h"

#include <QColor>

#include <cstddef>
#include <type_traits>

struct lua_State;

// Errors unwind with longjmp, which skips destructors; everything read here needs none.
static_assert(std::is_trivially_destructible_v<QColor>);

[[noreturn]] void arg_error(lua_State* L, const char* name, const char* message);
void check_arg(lua_State* L, int pos, int type, const char* f);

float number_arg(lua_State* L, int pos, const char* f);
// Valid while the argument stays on the stack.
const char* string_arg(lua_State* L, int pos, const char* f, std::size_t* length);
Point point_arg(lua_State* L, int pos, const char* f);
Rect rect_arg(lua_State* L, int pos, const char* f);
// Components are clamped to 0..1; only NaN is refused.
QColor color_arg(lua_State* L, int pos, const char* f);
// A handle of a live path of this state: "f: wrong class" otherwise.
void* id_arg(lua_State* L, int pos, const char* f);
Path& bezier_path_arg(lua_State* L, int pos, const char* f);

void push_point(lua_State* L, Point p);
void push_color(lua_State* L, const QColor& color);
