-- Fills the area that the pen encircles: the path through the points, closed back to the
-- start. The enclosed area is shown as it is drawn.

local geom = require "geom"
local paths = require "paths"

name = "Lasso"
custom_pen = true
color = "208040"
opacity = 0.8
key = "cmd-alt-4"
submenu = "Shapes"
menu_position = 130

-- Points closer than this (view pixels) to the previous one are skipped.
local MIN_STEP = 1

local points = {}

local function closed_path()
  local path = bezier_path()
  move_to_point(path, points[1])
  for i = 2, #points do line_to_point(path, points[i]) end
  close_path(path)
  return path
end

function pen_down(point, r)
  points = { { x = point.x, y = point.y } }
end

function pen_move(point, r)
  if #points == 0 then return end
  if geom.dist(points[#points], point) * scale() < MIN_STEP then return end
  points[#points + 1] = { x = point.x, y = point.y }
  if #points >= 3 then fill(closed_path()) end
end

function pen_up()
  -- A lasso that encloses nothing (too few points, or all on one line) adds nothing.
  if #points >= 3 and math.abs(geom.signed_area(points)) > 1e-6 then add_fill(closed_path()) end
  points = {}
end
