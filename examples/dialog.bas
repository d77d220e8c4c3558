' Dialogs built at run time: a modeless one that asks for a name and shows
' a control of every kind, then a modal one that ends with the button
' pressed.
'
'   scripts/demo examples/dialog.bas
'
' Esc or the close button only ask the modeless dialog to close (the
' program answers with a hint and keeps it open); "Greet" goes on. Controls
' are described in pixels; each becomes an item of the dialog's template
' and a colour-aware control once the dialog is shown or run. Their Windows
' ids are the program's ids + 2024, as controls' always are.
declare_variables d, ask: DIALOG
declare_variables done, answer, position: INT
declare_variables person, size, fruit: STRING
open_console

create_dialog d, 0, 0, 420, 260, WS_CAPTION | WS_SYSMENU, 0, "Ostrin dialog", on_name
add_controls d, "T,Your name:,10,14,80,20,0,2", "E,,100,10,190,24,0,1", "B,Greet,300,10,80,28,0,3"
add_controls d, "C,Loud,10,45,80,20,0,4", "R,Morning,100,45,90,20,0,5", "R,Evening,200,45,90,20,0,6"
add_controls d, "L,,10,75,130,80,1,7", "M,,150,75,130,100,3,8", "S,,290,75,110,18,0,9", "T,0,290,100,110,20,0,10"
add_controls d, "LV,,10,165,130,60,0x800000,11", "RE,,150,165,250,60,0x800000,12", "SW,,0,0,0,0,0,13"
show_dialog d
centre_window d
add_list_item d, 7, "apple"
add_list_item d, 7, "pear"
add_list_item d, 8, "small"
add_list_item d, 8, "large"
set_selection d, 8, 0
set_selection d, 7, 1
set_button_state d, 5, 1
set_scroll_range d, 9, 0, 20
set_control_colours d, 3, 0xFFFFFF, 0x008000
set_control_colours d, 10, 0xFFFFFF, 0x800000
set_focus d, 1
wait_until done
person = get_control_text(d, 1)
size = get_list_item(d, 8, get_selection(d, 8))
fruit = get_list_item(d, 7, get_selection(d, 7))
position = get_scroll_position(d, 9)
conditional get_button_state(d, 4) = 1 then person = upper_case(person)
close_dialog d
console_print "Hello, ", person
console_print "A ", size, " ", fruit, " at ", position

create_dialog ask, 0, 0, 280, 110, WS_CAPTION, 0, "Ostrin question", on_question
add_controls ask, "T,Did you like it?,10,12,200,20,0,6", "B,Yes,10,40,80,28,0x1,7", "B,No,100,40,80,28,0,3"
answer = run_dialog(ask)
select answer
case 7
    console_print "You liked it."
case 3
    console_print "You did not like it."
default_case
    console_print "No answer (", answer, ")."
end_select
jump finished

on_name:
conditional EVENT_CODE = EV_CONTROL
    conditional EVENT_CONTROL_ID = 3 then done = 1
end_conditional
conditional EVENT_CODE = WM_HSCROLL & EVENT_CONTROL_ID = 9
    position = get_scroll_position(d, 9)
    conditional EVENT_WPARAM = 0 then position = position - 1
    conditional EVENT_WPARAM = 1 then position = position + 1
    set_scroll_position d, 9, position
    set_control_text d, 10, number_to_text(get_scroll_position(d, 9))
end_conditional
conditional EVENT_CODE = EV_CLOSE then set_control_text d, 2, "Greet first!"
return

on_question:
conditional EVENT_CODE = WM_INITDIALOG then centre_window ask
conditional EVENT_CODE = EV_CONTROL
    conditional EVENT_CONTROL_ID = 7 then close_dialog ask, 2031
    conditional EVENT_CONTROL_ID = 3 then close_dialog ask, 2027
end_conditional
return

finished:
