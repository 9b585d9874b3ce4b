-- A filled rectangle dragged from corner to corner and shown as it is dragged. Shift makes
-- it a square; option draws it out from its centre.

local geom = require "geom"
local paths = require "paths"

name = "Rectangle"
custom_pen = true
color = "3070c0"
key = "cmd-alt-2"
submenu = "Shapes"
menu_position = 110

local start, rect

function pen_down(point, r)
  start = { x = point.x, y = point.y }
  rect = nil
end

function pen_move(point, r)
  if not start then return end
  rect = geom.drag_rect(start, point, shift_down(), option_down())
  local path = bezier_path()
  append_bezier_path_with_rect(path, rect)
  fill(path)
end

function pen_up()
  if rect and paths.has_area(rect) then
    local path = bezier_path()
    append_bezier_path_with_rect(path, rect)
    add_fill(path)
  end
  start, rect = nil, nil
end
