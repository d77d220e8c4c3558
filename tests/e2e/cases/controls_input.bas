' Real input reaches the controls of a window, and each control's
' notification reaches the window's handler with its program id: a click
' on a button, typing into an edit, picking a list item, the arrow of a
' scroll bar. Coloured controls show the program's colours on the screen.
declare_variables w: WINDOW
declare_variables f: FILE
declare_variables done, scrolled: INT
r = open_file(f, "seen.txt", "w")
open_window w, 100, 100, 400, 300, 0, 0, "E2E controls", on_event
add_controls w, "B,Press,10,10,100,30,0,1", "E,,10,50,150,24,0,2", "L,,10,90,150,80,1,3", "S,,180,10,200,20,0,4", "T,,180,50,100,40,0,5"
add_list_item w, 3, "apple"
add_list_item w, 3, "pear"
set_scroll_range w, 4, 0, 10
set_control_colours w, 5, 0, 0x0000FF
set_control_colours w, 1, 0xFFFFFF, 0x00FF00
wait_until done
close_file f
jump finish
on_event:
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 1 then write_file f, "button ", EVENT_NOTIFY
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 2 & EVENT_NOTIFY = 0x300 then write_file f, "edit ", EVENT_NOTIFY
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 3 & EVENT_NOTIFY = 1 then write_file f, "list ", get_selection(w, 3)
conditional EVENT_CODE = WM_HSCROLL & EVENT_CONTROL_ID = 4 & EVENT_WPARAM = 1 & scrolled = 0 then write_file f, "scroll ", EVENT_WPARAM
conditional EVENT_CODE = WM_HSCROLL & EVENT_CONTROL_ID = 4 & EVENT_WPARAM = 1 then scrolled = 1
conditional EVENT_CODE = EV_CLOSE then close_window w
conditional EVENT_CODE = EV_CLOSE then done = 1
return
finish:
' drive: window E2E controls
' drive: shot coloured
' drive: pixel 230 70 FF0000
' drive: pixel 20 15 00FF00
' drive: click 60 25
' drive: click 80 62
' drive: key A
' drive: click 40 115
' drive: click 372 20
' drive: sleep 200
' drive: close
' drive: gone
' expect-file-text: seen.txt = button 0 \r\nedit 768 \r\nlist 1 \r\nscroll 1 \r\n
