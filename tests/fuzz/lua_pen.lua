-- Makes a pen script from the fuzz bytes (the global fuzz_bytes, in hex) and runs it: a
-- top-level chunk and the three pen callbacks, each a few statements that call the drawing
-- functions, or a few of Lua's own, with arguments drawn from values that have broken such
-- interfaces before: NaN and infinities, huge numbers, wrong types, missing fields, dead path
-- handles, tables whose fields raise errors or never return. Most calls are protected, so
-- that later statements run; an unprotected error ends the chunk or callback through the host.
local bytes = fuzz_bytes:gsub("..", function(h) return string.char(tonumber(h, 16)) end)
fuzz_bytes = nil
local pos = 0
local function byte()
  pos = pos + 1
  return bytes:byte(pos) or 0
end
local function pick(list) return list[byte() % #list + 1] end

local functions = {
  "retain", "release", "bezier_path", "move_to_point", "line_to_point", "curve_to_point",
  "append_bezier_path_with_oval_in_rect", "append_bezier_path_with_rect", "close_path",
  "set_line_width", "set_color", "stroke", "fill", "add_stroke", "add_fill", "preview_stroke",
  "preview_fill", "set_pen_color", "get_pen_color", "set_pen_opacity", "get_pen_opacity",
  "set_pen_radius", "get_pen_radius", "set_pen_transfer_mode", "get_pen_transfer_mode",
  "pressure", "scale", "caps_lock_down", "shift_down", "control_down", "option_down",
  "command_down", "collectgarbage", "error"}
local numbers = {"0", "1", "-1", "0.5", "3", "1000", "-12345.5", "1e30", "-1e30", "math.huge",
  "-math.huge", "(0/0)", "2^31", "-2^63", "1e-45", "1e39"}
local strings = {"'multiply'", "'NORMAL'", "''", "'3'", "'nan'", "string.rep('x', 300)"}
local odd = {"nil", "p", "r", "R", "true", "function() end",
  "setmetatable({}, {__index = function() error('no field') end})",
  "setmetatable({}, {__index = function() while true do end end})"}
local globals = {"name", "color", "mode", "opacity", "radius", "parameters", "key"}
local counts = {"3", "100", "5000", "1e6"}

local value
local function fields(names, depth)
  local present, parts = byte(), {}
  for i, name in ipairs(names) do
    if present & (1 << (i - 1)) ~= 0 then
      local v = (depth > 0 and byte() % 4 == 0) and value(depth - 1) or pick(numbers)
      parts[#parts + 1] = name .. " = " .. v
    end
  end
  return "{" .. table.concat(parts, ", ") .. "}"
end
value = function(depth)
  local kind = byte() % 8
  if kind == 0 then return pick(numbers)
  elseif kind == 1 then return fields({"x", "y"}, depth)
  elseif kind == 2 then return fields({"x", "y", "w", "h"}, depth)
  elseif kind == 3 then return fields({"red", "green", "blue", "alpha"}, depth)
  elseif kind == 4 then return pick(strings)
  elseif kind == 5 then return "P[" .. byte() % 4 + 1 .. "]"
  elseif kind == 6 then return "{x = '3', y = " .. pick(numbers) .. "}"
  end
  return pick(odd)
end

local function arguments()
  local args = {}
  for i = 1, byte() % 5 do args[i] = value(2) end
  return table.concat(args, ", ")
end
local function call() return pick(functions) .. "(" .. arguments() .. ")" end
local function statement()
  local kind = byte() % 8
  if kind == 0 then return "R = " .. call()
  elseif kind == 4 then
    local f, args = pick(functions), arguments()
    return "R = select(2, pcall(" .. f .. (args == "" and "" or ", " .. args) .. "))"
  elseif kind == 5 then return "P[" .. byte() % 4 + 1 .. "] = bezier_path()"
  elseif kind == 6 then return "for i = 1, " .. pick(counts) .. " do " .. call() .. " end"
  elseif kind == 7 then return pick(globals) .. " = " .. value(1)
  end
  return "pcall(function() R = " .. call() .. " end)"
end
local function body()
  local lines = {}
  for i = 1, byte() % 8 do lines[i] = statement() end
  return table.concat(lines, "\n") .. "\n"
end

local script = "P = {}\n" .. body()
for _, head in ipairs({"function pen_down(p, r)\n", "function pen_move(p, r)\n", "function pen_up()\n"}) do
  script = script .. head .. body() .. "end\n"
end
fuzz_script = script
assert(load(script, "=fuzz"))()
