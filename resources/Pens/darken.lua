-- Darkens what lies beneath toward the pen colour.
name = "Darken"
color = "404040"
radius = 8
opacity = 0.5
mode = "darker"
key = "cmd-alt-5"
submenu = "Effects"
menu_position = 500
