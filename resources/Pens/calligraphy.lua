-- A flat nib held at a fixed angle: strokes across the nib are broad, strokes along it thin.
-- Pressure sets the width of the nib. Each move previews its piece; the whole stroke is
-- added as one filled outline when the pen is lifted.

local geom = require "geom"
local nib = require "nib"

name = "Calligraphy"
custom_pen = true
color = "1a1a40"
radius = 8
key = "cmd-5"
menu_position = 50
parameters = { "nib_angle" }
nib_angle = 45
nib_angle_min = 0
nib_angle_max = 180

-- Samples closer than this (view pixels) add nothing, so a resting pen does not pile them up.
local MIN_STEP = 0.5
-- The hairline left when moving along the nib, as a fraction of the full width, and at
-- least a view pixel wide so that it never breaks up on the screen.
local THICKNESS = 0.12
local MIN_THICKNESS = 1

local samples = {}

local function full_radius() return get_pen_radius() / math.max(scale(), 1e-6) end

local function thickness() return math.max(full_radius() * THICKNESS, MIN_THICKNESS / math.max(scale(), 1e-6)) end

function pen_down(point, r)
  samples = { { x = point.x, y = point.y, r = nil } }
end

function pen_move(point, r)
  local last = samples[#samples]
  -- The first sample comes before any pressure; it takes the width of the first move.
  if last.r == nil then last.r = r end
  if geom.dist(last, point) * scale() < MIN_STEP then
    last.r = math.max(last.r, r)
    return
  end
  local s = { x = point.x, y = point.y, r = r }
  samples[#samples + 1] = s
  local piece = bezier_path()
  nib.flat(piece, last, s, nib_angle, thickness())
  preview_fill(piece)
end

function pen_up()
  local count = #samples
  if count >= 2 then
    local outline = bezier_path()
    local t = thickness()
    for i = 2, count do nib.flat(outline, samples[i - 1], samples[i], nib_angle, t) end
    add_fill(outline)
  end
  samples = {}
end
