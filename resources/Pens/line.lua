-- A straight line from where the pen went down to where it is lifted, shown as it is
-- dragged. Shift keeps it at a multiple of 15 degrees. Its width is the pen's diameter.

local geom = require "geom"

name = "Line"
custom_pen = true
color = "000000"
radius = 2
key = "cmd-alt-1"
submenu = "Shapes"
menu_position = 100

local SNAP_DEGREES = 15

local start, finish

local function line_path()
  local path = bezier_path()
  move_to_point(path, start)
  line_to_point(path, finish)
  set_line_width(path, 2 * get_pen_radius() / math.max(scale(), 1e-6))
  return path
end

function pen_down(point, r)
  start = { x = point.x, y = point.y }
  finish = start
end

function pen_move(point, r)
  if not start then return end
  finish = shift_down() and geom.snap_angle(start, point, SNAP_DEGREES) or { x = point.x, y = point.y }
  stroke(line_path())
end

function pen_up()
  if start and geom.dist(start, finish) > 1e-6 then add_stroke(line_path()) end
  start, finish = nil, nil
end
