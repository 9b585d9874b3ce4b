-- A filled ellipse dragged out by its bounding box and shown as it is dragged. Shift makes
-- it a circle; option draws it out from its centre.

local geom = require "geom"
local paths = require "paths"

name = "Ellipse"
custom_pen = true
color = "c04040"
key = "cmd-alt-3"
submenu = "Shapes"
menu_position = 120

local start, rect

function pen_down(point, r)
  start = { x = point.x, y = point.y }
  rect = nil
end

function pen_move(point, r)
  if not start then return end
  rect = geom.drag_rect(start, point, shift_down(), option_down())
  local path = bezier_path()
  append_bezier_path_with_oval_in_rect(path, rect)
  fill(path)
end

function pen_up()
  if rect and paths.has_area(rect) then
    local path = bezier_path()
    append_bezier_path_with_oval_in_rect(path, rect)
    add_fill(path)
  end
  start, rect = nil, nil
end
