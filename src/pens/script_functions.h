#pragma once

// The library of program functions that every pen script can call: building paths, showing
// them as feedback in the view, previewing them in the canvas, adding them to the drawing,
// reading and changing the pen's settings, and reading the pressure, the view scale and the
// modifier keys. They act on the shared ScriptContext; those that need a view or a pen raise
// a script error when none is set (at the top level of a pen script, say).

struct lua_State;

// Registers every function as a global of the state, in the order of the table.
void register_script_functions(lua_State* L);
