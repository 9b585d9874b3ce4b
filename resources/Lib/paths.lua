-- Path building for pen scripts. Filled outlines made of several pieces are filled with the
-- non-zero rule, so every piece is wound the same way: pieces wound against each other
-- would cancel where they overlap and leave holes.

local geom = require "geom"

local paths = {}

-- Appends the closed polygon through points, wound with positive signed area. Polygons of
-- fewer than three corners add nothing.
function paths.polygon(path, points)
  local n = #points
  if n < 3 then return end
  local first, last, step = 1, n, 1
  if geom.signed_area(points) < 0 then first, last, step = n, 1, -1 end
  move_to_point(path, points[first])
  for i = first + step, last, step do line_to_point(path, points[i]) end
  close_path(path)
end

-- Appends a circle as a polygon, wound like paths.polygon; sides follow the size so that
-- small dots stay cheap and large ones round.
function paths.circle(path, center, r)
  if r <= 0 then return end
  local sides = geom.clamp(math.floor(r * 2), 8, 32)
  local points = {}
  for i = 0, sides - 1 do
    local a = 2 * math.pi * i / sides
    points[#points + 1] = { x = center.x + r * math.cos(a), y = center.y + r * math.sin(a) }
  end
  paths.polygon(path, points)
end

-- The open polyline through points, for feedback.
function paths.polyline(points)
  local path = bezier_path()
  if #points == 0 then return path end
  move_to_point(path, points[1])
  for i = 2, #points do line_to_point(path, points[i]) end
  return path
end

function paths.has_area(rect) return rect.w > 0 and rect.h > 0 end

return paths
