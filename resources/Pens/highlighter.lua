-- Yellow highlighting: multiply keeps the text beneath it readable.
name = "Highlighter"
color = "ffe619"
radius = 12
opacity = 1
mode = "multiply"
key = "cmd-4"
menu_position = 40
