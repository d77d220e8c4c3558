' Real input reaches the controls of a modeless dialog, and their
' notifications reach the dialog's handler with their program ids; a
' coloured button in the dialog shows its colours on the screen.
declare_variables d: DIALOG
declare_variables f: FILE
declare_variables done, scrolled: INT
r = open_file(f, "seen.txt", "w")
create_dialog d, 100, 100, 400, 260, WS_CAPTION | WS_SYSMENU, 0, "E2E dialog controls", on_event
add_controls d, "B,Done,10,10,100,30,0,1", "E,,10,60,150,24,0,2", "L,,10,100,150,80,1,3", "S,,180,10,200,20,0,4"
show_dialog d
add_list_item d, 3, "apple"
add_list_item d, 3, "pear"
set_scroll_range d, 4, 0, 10
set_control_colours d, 1, 0xFFFFFF, 0x00FF00
wait_until done
close_dialog d
close_file f
jump finish
on_event:
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 2 & EVENT_NOTIFY = 0x300 then write_file f, "edit ", get_control_text(d, 2)
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 3 & EVENT_NOTIFY = 1 then write_file f, "list ", get_list_item(d, 3, get_selection(d, 3))
conditional EVENT_CODE = WM_HSCROLL & EVENT_CONTROL_ID = 4 & EVENT_WPARAM = 1 & scrolled = 0 then write_file f, "scroll ", EVENT_WPARAM
conditional EVENT_CODE = WM_HSCROLL & EVENT_CONTROL_ID = 4 & EVENT_WPARAM = 1 then scrolled = 1
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 1 & EVENT_NOTIFY = 0 then write_file f, "button ", EVENT_NOTIFY
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 1 & EVENT_NOTIFY = 0 then done = 1
return
finish:
' drive: window E2E dialog controls
' drive: shot coloured
' drive: pixel 20 15 00FF00
' drive: click 80 72
' drive: key B
' drive: click 40 125
' drive: click 372 20
' drive: sleep 200
' drive: click 60 25
' drive: gone
' expect-file-text: seen.txt = edit b\r\nlist pear\r\nscroll 1 \r\nbutton 0 \r\n
