-- A soft glow laid over the drawing.
name = "Hilight"
color = "ffffff"
radius = 10
opacity = 0.4
mode = "hilight"
key = "cmd-alt-9"
submenu = "Effects"
menu_position = 540
