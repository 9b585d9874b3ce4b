-- Tints what lies beneath with the pen's hue, keeping its shading.
name = "Colorize"
color = "d03030"
radius = 8
opacity = 0.6
mode = "colorize"
key = "cmd-alt-7"
submenu = "Effects"
menu_position = 520
