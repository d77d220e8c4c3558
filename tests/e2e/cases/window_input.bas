' A window's handler sees real clicks and keys with client coordinates and
' key flags, and the title-bar close button only asks the program to close
' the window: it stays until the program closes it.
declare_variables w: WINDOW
declare_variables f: FILE
declare_variables done: INT
r = open_file(f, "seen.txt", "w")
open_window w, 100, 100, 300, 200, 0, 0, "E2E input", on_event
wait_until done
close_file f
jump finish
on_event:
conditional EVENT_CODE = WM_LBUTTONDOWN then write_file f, "down ", EVENT_X, EVENT_Y, EVENT_LPARAM
conditional EVENT_CODE = WM_RBUTTONDOWN then write_file f, "right ", EVENT_X, EVENT_Y
conditional EVENT_CODE = WM_KEYDOWN then write_file f, "key ", EVENT_WPARAM
conditional EVENT_CODE = 16 then write_file f, "close button"
conditional EVENT_CODE = EV_CLOSE then write_file f, "close request, same window ", w = CURRENT_WINDOW
conditional EVENT_CODE = EV_CLOSE then close_window w
conditional EVENT_CODE = EV_CLOSE then done = 1
return
finish:
' drive: window E2E input
' drive: click 30 40
' drive: rclick 100 50
' drive: key A
' drive: close
' drive: gone
' expect-file-text: seen.txt = down 30 40 1 \r\nright 100 50 \r\nkey 65 \r\nclose button\r\nclose request, same window 1 \r\n
