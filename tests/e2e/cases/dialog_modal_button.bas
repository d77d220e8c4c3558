' A modal dialog ends with the button the user pressed: clicking the button
' (made here with a system call, Windows id 2031) lets the handler close the
' dialog with that id, and run dialog gives back the program's id, 7. Run
' again, the same dialog ends with Esc as Cancel, 2.
declare_function "user32.dll", CreateWindowExA(ex: INT, cls: STRING, title: STRING, style: INT, x: INT, y: INT, w: INT, h: INT, parent: INT, id: INT, inst: INT, param: INT), INT
declare_variables d: DIALOG
declare_variables r: INT
open_console
create_dialog d, 100, 100, 240, 120, WS_CAPTION, 0, "E2E modal", on_event
r = run_dialog(d)
console_print "first ", r
r = run_dialog(d)
console_print "second ", r
jump finish
on_event:
conditional EVENT_CODE = WM_INITDIALOG then CreateWindowExA 0, "BUTTON", "Seven", 0x50010000, 20, 20, 80, 30, d, 2031, 0, 0
conditional EVENT_CODE = EV_CONTROL
conditional EVENT_CONTROL_ID = 7 then close_dialog d, EVENT_CONTROL_ID + 2024
end_conditional
return
finish:
' drive: window E2E modal
' drive: click 50 30
' drive: gone
' drive: window E2E modal
' drive: key ESC
' drive: gone
' expect-output: first 7
' expect-output: second 2
