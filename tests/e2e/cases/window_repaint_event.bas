' A window opened with flag 0x10 keeps no picture of its own: after being
' minimised and restored, only what its handler draws for event 15
' (WM_PAINT) is back.
declare_variables w: WINDOW
declare_variables done: INT
open_window w, 100, 100, 300, 200, 0x10, 0, "E2E repaint", on_event
draw_rectangle w, 20, 20, 100, 60, 0, 0x0000FF
wait_until done
jump finish
on_event:
conditional EVENT_CODE = WM_PAINT then draw_rectangle w, 150, 20, 100, 60, 0, 0x00FF00
conditional EVENT_CODE = EV_CLOSE then close_window w
conditional EVENT_CODE = EV_CLOSE then done = 1
return
finish:
' drive: window E2E repaint
' drive: shot drawn
' drive: pixel 60 50 FF0000
' drive: pixel 200 50 00FF00
' drive: minimize 300
' drive: shot restored
' drive: pixel 60 50 FFFFFF
' drive: pixel 200 50 00FF00
' drive: close
' drive: gone
