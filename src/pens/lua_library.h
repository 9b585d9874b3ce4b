#pragma once

// Prepares a new state, as a protected C function: sets LUA_PATH from the state's module
// templates, opens base, table, string and math (in that order), registers the program's
// functions, and closes the ways to files: dofile and loadfile are removed, load is wrapped
// to take text chunks only, and `require` resolves names through the module templates alone.
// setmetatable is wrapped so that no table gets a finalizer (those run beyond any budget).
// Last come the older library functions that pen scripts still call (table.getn, table.setn,
// table.foreach, table.foreachi, unpack, loadstring, math.mod, string.gfind), built on the
// restricted functions.

struct lua_State;

int open_script_library(lua_State* L);
