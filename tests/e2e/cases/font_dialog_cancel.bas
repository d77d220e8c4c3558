' A cancelled font dialog answers the empty text and leaves the four
' variables as they were, whatever the user changed before cancelling.
declare_variables w: WINDOW
declare_variables size, weight, style, colour: INT
declare_variables face: STRING
open_window w, 100, 100, 200, 100, 0, 0, "Fonts", on_event
size = 14
weight = 700
style = 0x11
colour = 255
face = choose_font(w, size, weight, style, colour, "Liberation Serif")
console_print "[", face, "] ", size, " ", weight, " ", style, " ", colour
close_window w
jump finish
on_event:
return
finish:
' box-title: Font
' expect-box:
' watcher-select: 1138 20
' watcher-click: 1040
' watcher-press: 2
' expect-output: [] 14  700  17  255
