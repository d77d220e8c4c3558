' Choosing Print from the menu bar prints the window's text: its paint
' handler draws the page, and the job reaches the test printer.
declare_variables w: WINDOW
declare_variables done: INT
open_window w, 100, 100, 320, 200, 0x10, 0, "E2E print", on_event
set_menu_bar w, "T,&File,0,0", "I,&Print,0,1", "I,-,0,0", "I,E&xit,0,2"
wait_until done
jump finish
on_event:
conditional EVENT_CODE = WM_PAINT then call draw_text
conditional EVENT_CODE = EV_MENU & EVENT_MENU_ID = 1 then print_window w
conditional EVENT_CODE = EV_MENU & EVENT_MENU_ID = 2 then close_window w
conditional EVENT_CODE = EV_MENU & EVENT_MENU_ID = 2 then done = 1
return
draw_text:
set_print_target w
draw_line w, 20, 20, 20, 20
console_print "Printed from the menu"
set_print_target
return
finish:
' box-title: Print
' expect-box:
' drive: window E2E print
' drive: key alt+F
' drive: key P
' drive: sleep 1500
' drive: key alt+F
' drive: key X
' drive: gone
' expect-printed: Printed from the menu
