' Controls of every kind on one window: push button, check box, radio
' buttons, edit, list box, drop-down list, scroll bar, static texts, list
' view, rich edit and status bar. Click, type, pick and scroll: the line
' near the bottom tells what the window's handler saw. The push button
' changes its colours with every click.
'
'   scripts/demo examples/controls.bas

declare_variables w: WINDOW
declare_variables done, shade, position: INT

open_window w, 60, 60, 520, 400, 0, 0, "Ostrin Controls", on_event
add_controls w, "B,Colour me,10,10,120,30,0,1", "C,Check me,10,50,120,20,0,2", "R,Red,10,75,120,20,0,3", "R,Blue,10,100,120,20,0,4"
add_controls w, "E,,150,10,200,24,0,5", "L,,150,40,200,90,1,6", "M,,370,10,130,120,3,7", "S,,150,140,200,18,0,8"
add_controls w, "T,Position 0,370,140,130,18,0,9", "LV,,10,170,240,120,0x800000,10", "RE,,260,170,240,120,0x800000,11", "T,Nothing yet,10,300,490,20,0,12", "SW,,0,0,0,0,0,13"

add_list_item w, 6, "apple"
add_list_item w, 6, "pear"
add_list_item w, 6, "plum"
add_list_item w, 7, "small"
add_list_item w, 7, "medium"
add_list_item w, 7, "large"
set_selection w, 7, 1
set_scroll_range w, 8, 0, 100
set_button_state w, 3, 1
set_control_colours w, 1, 0xFFFFFF, 0x0000C0
set_control_colours w, 12, 0x800000, 0xE0FFFF
set_control_colours w, 9, 0xFFFFFF, 0x404040
set_control_colours w, 11, 0, 0xF0F0FF
set_focus w, 5

wait_until done
jump finished

on_event:
select EVENT_CODE
case EV_CONTROL
    call control_event
case WM_HSCROLL
    call scroll_event
case EV_CLOSE
    close_window w
    done = 1
end_select
return

control_event:
select EVENT_CONTROL_ID
case 1
    shade = (shade + 1) % 3
    conditional shade = 0 then set_control_colours w, 1, 0xFFFFFF, 0x0000C0
    conditional shade = 1 then set_control_colours w, 1, 0xFFFFFF, 0x008000
    conditional shade = 2 then set_control_colours w, 1, 0xFFFFFF, 0xC00000
    send_message w, 12, 0, "The button was clicked", 12
case 2
    send_message w, 12, 0, "The check box is now " + number_to_text(get_button_state(w, 2)), 12
case 3
    send_message w, 12, 0, "Red it is", 12
case 4
    send_message w, 12, 0, "Blue it is", 12
case 5
    conditional EVENT_NOTIFY = 0x300 then send_message w, 12, 0, "Typing into the edit", 12
case 6
    conditional EVENT_NOTIFY = 1 then send_message w, 12, 0, "Picked " + get_list_item(w, 6, get_selection(w, 6)), 12
case 7
    conditional EVENT_NOTIFY = 1 then send_message w, 12, 0, "Size " + get_list_item(w, 7, get_selection(w, 7)), 12
end_select
return

scroll_event:
conditional EVENT_CONTROL_ID <> 8 then return
position = get_scroll_position(w, 8)
conditional EVENT_WPARAM = 0 then position = position - 1
conditional EVENT_WPARAM = 1 then position = position + 1
conditional EVENT_WPARAM = 2 then position = position - 10
conditional EVENT_WPARAM = 3 then position = position + 10
conditional EVENT_WPARAM = 5 then position = EVENT_LPARAM
set_scroll_position w, 8, position
send_message w, 12, 0, "Position " + number_to_text(get_scroll_position(w, 8)), 9
return

finished:
