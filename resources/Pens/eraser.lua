-- Rubs out. The tablet's eraser end selects this type by its name.
name = "Eraser"
color = "ffffff"
radius = 12
opacity = 1
mode = "erase"
key = "cmd-0"
menu_position = 90
