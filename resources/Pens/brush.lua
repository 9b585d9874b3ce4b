-- A round brush whose width follows the pressure and the speed: pressing harder widens
-- it, moving fast thins it, as a loaded brush does. The whole stroke is added as one
-- filled outline when the pen is lifted.

local geom = require "geom"
local nib = require "nib"
local paths = require "paths"

name = "Brush"
custom_pen = true
color = "202020"
radius = 10
key = "cmd-6"
menu_position = 60

local MIN_STEP = 0.5
-- Speed in view pixels per move at which the brush has thinned to THINNEST.
local FAST = 40
local THINNEST = 0.35
-- How much of the previous width carries over, so that the edge does not jitter.
local SMOOTHING = 0.5

local samples = {}

function pen_down(point, r)
  samples = { { x = point.x, y = point.y, r = nil } }
end

function pen_move(point, r)
  local last = samples[#samples]
  local step = geom.dist(last, point) * scale()
  if last.r ~= nil and step < MIN_STEP then return end
  local speed = geom.clamp(step / FAST, 0, 1)
  local target = r * (1 - (1 - THINNEST) * speed)
  if last.r == nil then last.r = target end
  local s = { x = point.x, y = point.y, r = SMOOTHING * last.r + (1 - SMOOTHING) * target }
  samples[#samples + 1] = s
  local piece = bezier_path()
  if #samples == 2 then paths.circle(piece, last, last.r) end
  nib.round(piece, last, s)
  preview_fill(piece)
end

function pen_up()
  local count, widest = #samples, 0
  for i = 2, count do widest = math.max(widest, samples[i].r) end
  -- A stroke made entirely without pressure has no area to add.
  if count >= 2 and widest > 0 then
    local outline = bezier_path()
    paths.circle(outline, samples[1], samples[1].r)
    for i = 2, count do nib.round(outline, samples[i - 1], samples[i]) end
    add_fill(outline)
  end
  samples = {}
end
