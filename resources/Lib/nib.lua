-- Nib geometry: the outlines that a pen tip leaves between two samples. A sample is
-- {x=, y=, r=} with r the half width of the tip there.

local geom = require "geom"
local paths = require "paths"

local nib = {}

-- The half-axis of a flat nib held at angle_degrees, r long.
function nib.axis(angle_degrees, r)
  local a = math.rad(angle_degrees)
  return { x = r * math.cos(a), y = r * math.sin(a) }
end

-- A flat nib swept from sample a to sample b: the quadrilateral between the two positions
-- of its edge, plus the nib itself at b (thickness across the edge), so that a stroke
-- along the nib keeps a hairline instead of vanishing.
function nib.flat(path, a, b, angle_degrees, thickness)
  local ea, eb = nib.axis(angle_degrees, a.r), nib.axis(angle_degrees, b.r)
  paths.polygon(path, {
    { x = a.x - ea.x, y = a.y - ea.y }, { x = a.x + ea.x, y = a.y + ea.y },
    { x = b.x + eb.x, y = b.y + eb.y }, { x = b.x - eb.x, y = b.y - eb.y } })
  local t = geom.mul(geom.perp(nib.axis(angle_degrees, 1)), thickness / 2)
  paths.polygon(path, {
    { x = b.x - eb.x - t.x, y = b.y - eb.y - t.y }, { x = b.x + eb.x - t.x, y = b.y + eb.y - t.y },
    { x = b.x + eb.x + t.x, y = b.y + eb.y + t.y }, { x = b.x - eb.x + t.x, y = b.y - eb.y + t.y } })
end

-- A round tip moved from sample a to sample b: the band between the two circles and the
-- circle at b. A segment of no length adds only the circle.
function nib.round(path, a, b)
  local d = geom.unit(geom.sub(b, a))
  if d then
    local n = geom.perp(d)
    paths.polygon(path, {
      { x = a.x + n.x * a.r, y = a.y + n.y * a.r }, { x = b.x + n.x * b.r, y = b.y + n.y * b.r },
      { x = b.x - n.x * b.r, y = b.y - n.y * b.r }, { x = a.x - n.x * a.r, y = a.y - n.y * a.r } })
  end
  paths.circle(path, b, b.r)
end

return nib
