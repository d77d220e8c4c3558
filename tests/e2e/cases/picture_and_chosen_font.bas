' A picture loaded from a file is drawn stretched, and text printed after
' a font was chosen in the font dialog shows in that font: ten blanks on
' an opaque green background fill a box as high and wide as the 36-point
' font makes them, far more than the window's first font would.
' The picture is 4 x 4 pixels: red, green (top), blue, black (bottom).
declare_variables w: WINDOW
declare_variables p, size, weight, style, colour, done: INT
declare_variables face: STRING
open_window w, 100, 100, 320, 240, 0, 0, "Picture and font", on_event
p = load_image("quad.bmp", 4)
draw_image w, p, 4, 10, 10, 40, 40
size = 10
weight = 400
face = choose_font(w, size, weight, style, colour, "Liberation Sans")
console_print "face ", face, ", size ", size, ", weight ", weight
set_font w, face, size, weight, style
set_background_mode w, 2
set_background_colour w, 0x00FF00
draw_line w, 10, 100, 10, 100
set_print_target w
console_print "          ";
set_print_target
free_image p, 4
set_window_text w, "Shown"
wait_until done
jump finish
on_event:
conditional EVENT_CODE = EV_CLOSE then close_window w
conditional EVENT_CODE = EV_CLOSE then done = 1
return
finish:
' given-bytes: quad.bmp = 424d660000000000000036000000280000000400000004000000010018000000000030000000130b0000130b00000000000000000000ff0000ff0000000000000000ff0000ff00000000000000000000ff0000ff00ff0000ff000000ff0000ff00ff0000ff00
' box-title: Font
' expect-box:
' watcher-select: 1138 36
' watcher-select: 1137 Bold
' expect-output: face Liberation Sans, size 36 , weight 700
' drive: window Shown
' drive: shot shown
' drive: pixel 15 15 FF0000
' drive: pixel 45 15 00FF00
' drive: pixel 15 45 0000FF
' drive: pixel 45 45 000000
' drive: pixel 55 55 FFFFFF
' drive: pixel 15 140 00FF00
' drive: pixel 100 120 00FF00
' drive: pixel 15 175 FFFFFF
' drive: close
' drive: gone
