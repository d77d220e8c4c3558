' The watcher presses a modal dialog's button by its Windows id; the
' handler ends the dialog with it and run dialog answers the program's id.
declare_function "user32.dll", CreateWindowExA(ex: INT, cls: STRING, title: STRING, style: INT, x: INT, y: INT, w: INT, h: INT, parent: INT, id: INT, inst: INT, param: INT), INT
declare_variables d: DIALOG
declare_variables r: INT
open_console
create_dialog d, 100, 100, 240, 120, WS_CAPTION, 0, "E2E pressed", on_event
r = run_dialog(d)
console_print "ended with ", r
jump finish
on_event:
conditional EVENT_CODE = WM_INITDIALOG then CreateWindowExA 0, "BUTTON", "Seven", 0x50010000, 20, 20, 80, 30, d, 2031, 0, 0
conditional EVENT_CODE = EV_CONTROL
conditional EVENT_CONTROL_ID = 7 then close_dialog d, EVENT_CONTROL_ID + 2024
end_conditional
return
finish:
' box-title: E2E pressed
' watcher-press: 2031
' expect-box:
' expect-output: ended with 7
