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

-- A flat nib swept from sample a to sample b. The nib is a thin rectangle, r along the
-- angle and thickness across it; moved and resized along a straight line it covers exactly
-- the convex hull of where it starts and ends. Each piece is that one convex polygon, wound
-- like every other, so pieces fill as one shape whichever way they cross each other, and a
-- move along the nib keeps the thickness all the way instead of leaving gaps.
function nib.flat(path, a, b, angle_degrees, thickness)
  local t = geom.mul(geom.perp(nib.axis(angle_degrees, 1)), thickness / 2)
  local corners = {}
  for _, s in ipairs({ a, b }) do
    local e = nib.axis(angle_degrees, s.r)
    for _, sign in ipairs({ { 1, 1 }, { 1, -1 }, { -1, 1 }, { -1, -1 } }) do
      corners[#corners + 1] = { x = s.x + sign[1] * e.x + sign[2] * t.x,
                                y = s.y + sign[1] * e.y + sign[2] * t.y }
    end
  end
  paths.polygon(path, geom.convex_hull(corners))
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
