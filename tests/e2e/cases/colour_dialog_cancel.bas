' A cancelled colour dialog answers -1, even after the user typed a colour.
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
' watcher-press: 2
' expect-output: chosen -1
