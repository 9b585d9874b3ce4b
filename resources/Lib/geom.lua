-- Point math for pen scripts: points are tables {x=, y=}, as the program hands them over.
-- Every function here returns finite numbers for finite input, so a pen that sits still
-- (a segment of no length) never produces NaN.

local geom = {}

function geom.pt(x, y) return { x = x, y = y } end
function geom.add(a, b) return { x = a.x + b.x, y = a.y + b.y } end
function geom.sub(a, b) return { x = a.x - b.x, y = a.y - b.y } end
function geom.mul(a, s) return { x = a.x * s, y = a.y * s } end
function geom.length(a) return math.sqrt(a.x * a.x + a.y * a.y) end
function geom.dist(a, b) return geom.length(geom.sub(a, b)) end

-- The unit vector along a, or nil when a is too short to have a direction.
function geom.unit(a)
  local l = geom.length(a)
  if l < 1e-6 then return nil end
  return { x = a.x / l, y = a.y / l }
end

-- a turned by a quarter, to the left of a in a y-up frame.
function geom.perp(a) return { x = -a.y, y = a.x } end

function geom.clamp(v, lo, hi)
  if v < lo then return lo end
  if v > hi then return hi end
  return v
end

-- Twice the signed area of a polygon: positive when its corners run with increasing angle.
function geom.signed_area(points)
  local sum, n = 0, #points
  for i = 1, n do
    local a, b = points[i], points[i % n + 1]
    sum = sum + a.x * b.y - b.x * a.y
  end
  return sum
end

-- The corners of the convex hull of points, with increasing angle; collinear and repeated
-- points are left out.
function geom.convex_hull(points)
  local sorted = {}
  for i, p in ipairs(points) do sorted[i] = p end
  table.sort(sorted, function(a, b) return a.x < b.x or (a.x == b.x and a.y < b.y) end)
  local function cross(o, a, b) return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x) end
  local hull = {}
  local function add(p, floor)
    while #hull > floor and cross(hull[#hull - 1], hull[#hull], p) <= 0 do hull[#hull] = nil end
    hull[#hull + 1] = p
  end
  for i = 1, #sorted do add(sorted[i], 1) end
  local lower = #hull
  for i = #sorted - 1, 1, -1 do add(sorted[i], lower) end
  hull[#hull] = nil
  return hull
end

-- b moved round a so that the direction a->b is a multiple of step_degrees.
function geom.snap_angle(a, b, step_degrees)
  local d = geom.sub(b, a)
  local l = geom.length(d)
  if l < 1e-6 then return { x = b.x, y = b.y } end
  local step = math.rad(step_degrees)
  local angle = math.floor(math.atan(d.y, d.x) / step + 0.5) * step
  return { x = a.x + l * math.cos(angle), y = a.y + l * math.sin(angle) }
end

-- The rectangle {x, y, w, h} spanned by a drag from a to b. square keeps the longer side
-- for both, toward the drag; centered makes a the centre instead of a corner.
function geom.drag_rect(a, b, square, centered)
  local dx, dy = b.x - a.x, b.y - a.y
  if square then
    local side = math.max(math.abs(dx), math.abs(dy))
    dx = dx < 0 and -side or side
    dy = dy < 0 and -side or side
  end
  if centered then
    return { x = a.x - math.abs(dx), y = a.y - math.abs(dy), w = 2 * math.abs(dx), h = 2 * math.abs(dy) }
  end
  return { x = math.min(a.x, a.x + dx), y = math.min(a.y, a.y + dy), w = math.abs(dx), h = math.abs(dy) }
end

return geom
