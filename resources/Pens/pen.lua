-- The everyday pen: solid black ink that follows the pressure.
name = "Pen"
color = "000000"
radius = 3
opacity = 1
mode = "normal"
key = "cmd-1"
menu_position = 10
default = true
