' notes.bas: a window with a menu bar. File > Print puts the window's text
' on a page of the printer chosen in the print dialog; the Colour menu, or
' a right click anywhere in the window, changes the colour of the text.
' File > Exit or the close button ends it.
'
'   scripts/demo examples/notes.bas
declare_variables w: WINDOW
declare_variables done, colour: INT
open_window w, 80, 80, 440, 220, 0x10, 0, "Ostrin Notes", on_event
set_menu_bar w, "T,&File,0,0", "I,&Print...,0,1", "I,-,0,0", "I,E&xit,0,2", "T,&Colour,0,0", "I,&Black,8,10", "I,B&lue,0,11", "I,&Red,0,12"
wait_until done
jump finish

' Without persistent drawing (flag 0x10) the window asks for its text
' whenever it is shown, and print_window asks for it once more, for the page.
on_event:
conditional EVENT_CODE = WM_PAINT then call draw_notes
conditional EVENT_CODE = WM_RBUTTONUP then popup_menu w, EVENT_X, EVENT_Y, "I,&Black,0,10", "I,B&lue,0,11", "I,&Red,0,12", "I,-,0,0", "I,&Print...,0,1"
conditional EVENT_CODE = EV_MENU then call on_menu
conditional EVENT_CODE = EV_CLOSE then done = 1
return

on_menu:
conditional EVENT_MENU_ID = 1 then print_window w
conditional EVENT_MENU_ID = 2 then done = 1
conditional EVENT_MENU_ID > 9 then call pick_colour
return

pick_colour:
colour = 0
conditional EVENT_MENU_ID = 11 then colour = 0xFF0000
conditional EVENT_MENU_ID = 12 then colour = 0x0000FF
check_menu_item w, 10, EVENT_MENU_ID = 10
check_menu_item w, 11, EVENT_MENU_ID = 11
check_menu_item w, 12, EVENT_MENU_ID = 12
' Repaint: the whole client area is drawn again in the new colour.
clear_window w, 0xFFFFFF
return

draw_notes:
set_drawing_colour w, colour
set_print_target w
draw_line w, 20, 20, 20, 20
console_print "Ostrin notes"
draw_line w, 20, 60, 20, 60
console_print "File > Print puts this text on a page."
draw_line w, 20, 90, 20, 90
console_print "Right-click for a menu of colours."
set_print_target
return

finish:
close_window w
