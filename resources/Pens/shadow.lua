-- A soft shadow laid over the drawing.
name = "Shadow"
color = "000000"
radius = 10
opacity = 0.3
mode = "shadow"
key = "cmd-alt-8"
submenu = "Effects"
menu_position = 530
