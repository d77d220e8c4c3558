' The Window menu of an MDI frame, chosen from with the keyboard: the
' program sees the tile and cascade commands as menu events, and the frame
' carries them out.
declare_variables f, a, b: WINDOW
declare_variables s: FILE
declare_variables done: INT
r = open_file(s, "seen.txt", "w")
open_window f, 60, 60, 500, 340, 0x20 | WS_THICKFRAME, 0, "E2E frame", on_event
open_window a, 0, 0, 150, 100, WS_THICKFRAME, f, "child a", on_event
open_window b, 30, 30, 150, 100, WS_THICKFRAME, f, "child b", on_event
wait_until done
close_file s
jump finish
on_event:
conditional EVENT_CODE = EV_MENU then write_file s, "menu ", EVENT_MENU_ID
conditional EVENT_CODE = EV_CLOSE then done = 1
return
finish:
close_window a
close_window b
close_window f
' drive: window E2E frame
' drive: key alt+W
' drive: key T
' drive: sleep 200
' drive: key alt+W
' drive: key C
' drive: sleep 200
' drive: close
' drive: gone
' expect-file-text: seen.txt = menu 30750 \r\nmenu 30749 \r\n
