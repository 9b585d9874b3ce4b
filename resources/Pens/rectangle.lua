-- A filled rectangle dragged from corner to corner and shown as it is dragged. Shift makes
-- it a square; option draws it out from its centre.

local drag_shape = require "drag_shape"

name = "Rectangle"
custom_pen = true
color = "3070c0"
key = "cmd-alt-2"
submenu = "Shapes"
menu_position = 110

pen_down, pen_move, pen_up = drag_shape.callbacks(append_bezier_path_with_rect)
