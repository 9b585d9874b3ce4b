-- Callbacks for a shape dragged out by its bounding box: shown as feedback while it is
-- dragged, added as a fill when the pen is lifted. Shift keeps it square; option draws it
-- out from its centre. `append` adds the shape for a rectangle table to a path.

local geom = require "geom"
local paths = require "paths"

local M = {}

function M.callbacks(append)
  local start, rect

  local function shape()
    local path = bezier_path()
    append(path, rect)
    return path
  end

  local function down(point, r)
    start = { x = point.x, y = point.y }
    rect = nil
  end

  local function move(point, r)
    if not start then return end
    rect = geom.drag_rect(start, point, shift_down(), option_down())
    fill(shape())
  end

  local function up()
    if rect and paths.has_area(rect) then add_fill(shape()) end
    start, rect = nil, nil
  end

  return down, move, up
end

return M
