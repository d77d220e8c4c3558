' A modeless dialog answers Esc with the close request and stays open (the
' driver still finds it for a picture); the title-bar button asks the same.
' The request names no window; the program closes the dialog itself.
declare_variables d: DIALOG
declare_variables f: FILE
declare_variables requests: INT
r = open_file(f, "seen.txt", "w")
create_dialog d, 100, 100, 240, 120, WS_CAPTION | WS_SYSMENU, 0, "E2E modeless", on_event
show_dialog d
wait_until requests >= 2
close_dialog d
close_file f
jump finish
on_event:
conditional EVENT_CODE = EV_CLOSE then write_file f, "close request, no window ", 0 = CURRENT_WINDOW
conditional EVENT_CODE = EV_CLOSE then requests = requests + 1
return
finish:
' drive: window E2E modeless
' drive: key ESC
' drive: sleep 300
' drive: shot still_open
' drive: close
' drive: gone
' expect-file-text: seen.txt = close request, no window 1 \r\nclose request, no window 1 \r\n
