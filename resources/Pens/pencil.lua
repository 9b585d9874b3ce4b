-- A thin graphite line, slightly see-through so that strokes build up.
name = "Pencil"
color = "404040"
radius = 1.5
opacity = 0.85
mode = "normal"
key = "cmd-2"
menu_position = 20
