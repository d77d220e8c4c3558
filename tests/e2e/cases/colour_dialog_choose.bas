' The colour dialog opens on the program's colour; the user types another
' (red 10, green 20, blue 30) and presses OK, and the program gets it as a
' COLORREF: 10 + 20 * 256 + 30 * 65536.
declare_variables w: WINDOW
declare_variables c: INT
open_window w, 100, 100, 200, 100, 0, 0, "Colours", on_event
c = choose_colour(w, 0x123456)
console_print "chosen ", c
close_window w
jump finish
on_event:
return
finish:
' box-title: Color
' expect-box:
' watcher-set: 706 10
' watcher-set: 707 20
' watcher-set: 708 30
' expect-output: chosen 1971210
