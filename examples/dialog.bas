' Dialogs built at run time: a modeless one that asks for a name, then a
' modal one that ends with the button pressed.
'
'   scripts/demo examples/dialog.bas
'
' Esc or the close button only ask the modeless dialog to close (the
' program answers with a hint and keeps it open); "Greet" goes on. The
' controls are made with a call into user32 as each dialog initialises;
' their Windows ids are the program's ids + 2024, as controls' always are.
declare_function "user32.dll", CreateWindowExA(ex: INT, cls: STRING, title: STRING, style: INT, x: INT, y: INT, w: INT, h: INT, parent: INT, id: INT, inst: INT, param: INT), INT
declare_variables d, ask: DIALOG
declare_variables done, answer: INT
declare_variables person: STRING
open_console

create_dialog d, 0, 0, 320, 150, WS_CAPTION | WS_SYSMENU, 0, "Ostrin dialog", on_name
show_dialog d
centre_window d
wait_until done
person = get_control_text(d, 1)
close_dialog d
console_print "Hello, ", person

create_dialog ask, 0, 0, 280, 110, WS_CAPTION, 0, "Ostrin question", on_question
answer = run_dialog(ask)
select answer
case 1
    console_print "You liked it."
case 3
    console_print "You did not like it."
default_case
    console_print "No answer (", answer, ")."
end_select
jump finished

on_name:
conditional EVENT_CODE = WM_INITDIALOG
    CreateWindowExA 0, "STATIC", "Your name:", 0x50000000, 10, 14, 90, 20, d, 2026, 0, 0
    CreateWindowExA 0x200, "EDIT", "", 0x50010080, 100, 10, 190, 24, d, 2025, 0, 0
    CreateWindowExA 0, "BUTTON", "Greet", 0x50010000, 100, 50, 80, 28, d, 2027, 0, 0
end_conditional
conditional EVENT_CODE = EV_CONTROL
    conditional EVENT_CONTROL_ID = 3 then done = 1
end_conditional
conditional EVENT_CODE = EV_CLOSE then set_control_text d, 2, "Greet first!"
return

on_question:
conditional EVENT_CODE = WM_INITDIALOG
    centre_window ask
    CreateWindowExA 0, "STATIC", "Did you like it?", 0x50000000, 10, 12, 200, 20, ask, 2030, 0, 0
    CreateWindowExA 0, "BUTTON", "Yes", 0x50010001, 10, 40, 80, 28, ask, 1, 0, 0
    CreateWindowExA 0, "BUTTON", "No", 0x50010000, 100, 40, 80, 28, ask, 2027, 0, 0
end_conditional
conditional EVENT_CODE = EV_CONTROL
    conditional EVENT_CONTROL_ID = 3 then close_dialog ask, 2027
end_conditional
return

finished:
