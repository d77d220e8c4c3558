' Real input on common controls reaches the window's handler with their
' notification codes: a click on a list-view item (LVN_ITEMCHANGED, then
' NM_CLICK with the item selected), a click on a toolbar button (a control
' event with the button's program id, then the toolbar's NM_CLICK), and a
' drag of a track bar's thumb (the program makes the bar itself through a
' DLL call; scroll events with its program id, TB_THUMBTRACK while it
' moves, TB_ENDTRACK at the new position).
declare_function "user32.dll", CreateWindowExA(ex: INT, cls: STRING, title: STRING, style: INT, x: INT, y: INT, cx: INT, cy: INT, parent: WINDOW, id: INT, inst: INT, param: INT), INT
declare_variables w: WINDOW
declare_variables f: FILE
declare_variables done, bar, listed, tracked: INT
declare_variables ids[4]: INT
r = open_file(f, "seen.txt", "w")
open_window w, 100, 100, 400, 300, 0, 0, "E2E common controls", on_event
ids[0] = 1
ids[1] = 2
ids[2] = 0
ids[3] = 3
r = add_toolbar(w, "NOBITMAP", 9, ids)
control_operation w, 9, 4, "One|Two|Three|"
control_operation w, 9, 2, 60, 30
add_controls w, "LV,,10,60,200,120,1,1"
control_operation w, 1, 4, 0, "Fruit"
control_operation w, 1, 3, 0, "apple"
control_operation w, 1, 3, 1, "pear"
bar = CreateWindowExA(0, "msctls_trackbar32", "", 0x50000000, 220, 60, 160, 30, w, 2032, 0, 0)
wait_until done
close_file f
jump finish
on_event:
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 1 & EVENT_NOTIFY = NM_CLICK then write_file f, "list click ", control_operation(w, 1, 13, 1)
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 1 & EVENT_NOTIFY = LVN_ITEMCHANGED & listed = 0 then write_file f, "list changed ", control_operation(w, 1, 7)
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 1 & EVENT_NOTIFY = LVN_ITEMCHANGED then listed = 1
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 9 & EVENT_NOTIFY = NM_CLICK then write_file f, "toolbar click"
conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 2 then write_file f, "tool ", EVENT_CONTROL_ID, EVENT_NOTIFY
conditional EVENT_CODE = WM_HSCROLL & EVENT_CONTROL_ID = 8 & EVENT_WPARAM = 5 & tracked = 0 then write_file f, "track drag"
conditional EVENT_CODE = WM_HSCROLL & EVENT_CONTROL_ID = 8 & EVENT_WPARAM = 5 then tracked = 1
conditional EVENT_CODE = WM_HSCROLL & EVENT_CONTROL_ID = 8 & EVENT_WPARAM = 8 & tracked = 1 then write_file f, "track end ", send_message(w, 0x400, 0, 0, 8)
conditional EVENT_CODE = WM_HSCROLL & EVENT_CONTROL_ID = 8 & EVENT_WPARAM = 8 then tracked = 2
conditional EVENT_CODE = EV_CLOSE then close_window w
conditional EVENT_CODE = EV_CLOSE then done = 1
return
finish:
' drive: window E2E common controls
' drive: click 25 99
' drive: click 90 15
' drive: drag 232 75 330 75
' drive: sleep 200
' drive: close
' drive: gone
' expect-file-text: seen.txt = list changed 1 \r\nlist click 1 \r\ntool 2 0 \r\ntoolbar click\r\ntrack drag\r\ntrack end 73 \r\n
