-- An airbrush: each move sprays a puff of dots around the pointer, more the harder the pen
-- presses. The pen's radius is the radius of the spray. The pattern depends only on the
-- stroke, so the same gesture always sprays the same dots.

local geom = require "geom"
local paths = require "paths"

name = "Spray"
custom_pen = true
color = "204080"
radius = 20
key = "cmd-7"
menu_position = 70

-- Dots per move at full pressure.
local DENSITY = 16
-- Dot radius in view pixels.
local DOT = 1.2
local SEED = 7919

function pen_down(point, r)
  math.randomseed(SEED)
end

function pen_move(point, r)
  local s = math.max(scale(), 1e-6)
  local spray = get_pen_radius() / s
  local dot = DOT / s
  local count = math.floor(DENSITY * geom.clamp(pressure(), 0, 1) + 0.5)
  if count == 0 or spray <= dot then return end
  local puff = bezier_path()
  for i = 1, count do
    -- Uniform over the disc, and each dot wholly inside the spray.
    local d = (spray - dot) * math.sqrt(math.random())
    local a = 2 * math.pi * math.random()
    paths.circle(puff, { x = point.x + d * math.cos(a), y = point.y + d * math.sin(a) }, dot)
  end
  add_fill(puff)
end

function pen_up()
end
