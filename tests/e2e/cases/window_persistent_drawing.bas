' Drawing lands in the window at once and survives being covered, and
' minimised and restored: the window repaints itself from its backing
' bitmap.
' Colours are COLORREF values (0x00BBGGRR); the driver writes RRGGBB.
declare_variables w: WINDOW
declare_variables done: INT
open_window w, 100, 100, 300, 200, 0, 0, "E2E drawing", on_event
draw_rectangle w, 20, 20, 100, 60, 0, 0x0000FF
draw_circle w, 200, 100, 30, 0xFF0000, 0x00FF00
draw_line w, 10, 150, 280, 150, 0xFF0000
wait_until done
jump finish
on_event:
conditional EVENT_CODE = EV_CLOSE then close_window w
conditional EVENT_CODE = EV_CLOSE then done = 1
return
finish:
' drive: window E2E drawing
' drive: shot drawn
' drive: pixel 60 50 FF0000
' drive: pixel 20 50 000000
' drive: pixel 200 100 00FF00
' drive: pixel 100 150 0000FF
' drive: pixel 250 30 FFFFFF
' drive: cover 300
' drive: shot uncovered
' drive: pixel 60 50 FF0000
' drive: pixel 200 100 00FF00
' drive: minimize 300
' drive: shot restored
' drive: pixel 60 50 FF0000
' drive: pixel 20 50 000000
' drive: pixel 200 100 00FF00
' drive: pixel 100 150 0000FF
' drive: pixel 250 30 FFFFFF
' drive: close
' drive: gone
