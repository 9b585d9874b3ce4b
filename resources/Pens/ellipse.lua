-- A filled ellipse dragged out by its bounding box and shown as it is dragged. Shift makes
-- it a circle; option draws it out from its centre.

local drag_shape = require "drag_shape"

name = "Ellipse"
custom_pen = true
color = "c04040"
key = "cmd-alt-3"
submenu = "Shapes"
menu_position = 120

pen_down, pen_move, pen_up = drag_shape.callbacks(append_bezier_path_with_oval_in_rect)
