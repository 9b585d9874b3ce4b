-- Lightens what lies beneath toward the pen colour.
name = "Lighten"
color = "d0d0d0"
radius = 8
opacity = 0.5
mode = "lighter"
key = "cmd-alt-6"
submenu = "Effects"
menu_position = 510
