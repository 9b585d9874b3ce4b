-- A wide felt tip in translucent ink.
name = "Marker"
color = "1f5fbf"
radius = 10
opacity = 0.5
mode = "normal"
key = "cmd-3"
menu_position = 30
