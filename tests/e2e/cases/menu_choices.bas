' A menu bar chosen from with the keyboard and with the mouse, and a context
' menu shown where the right button went down: the handler sees each
' chosen item's program id as a menu event.
declare_variables w: WINDOW
declare_variables f: FILE
declare_variables done: INT
r = open_file(f, "seen.txt", "w")
open_window w, 100, 100, 300, 200, 0, 0, "E2E menus", on_event
set_menu_bar w, "T,&File,0,0", "I,&Open,0,1", "I,-,0,0", "I,E&xit,0,2", "T,&Help,0,0", "I,&About,0,3"
wait_until done
close_file f
jump finish
on_event:
conditional EVENT_CODE = EV_MENU then write_file f, "menu ", EVENT_MENU_ID
conditional EVENT_CODE = WM_RBUTTONDOWN then popup_menu w, EVENT_X, EVENT_Y, "I,&Copy,0,11", "I,&Paste,0,12"
conditional EVENT_CODE = EV_MENU & EVENT_MENU_ID = 2 then close_window w
conditional EVENT_CODE = EV_MENU & EVENT_MENU_ID = 2 then done = 1
return
finish:
' drive: window E2E menus
' drive: key alt+H
' drive: key A
' drive: menubar 12
' drive: click 20 10
' drive: rclick 150 80
' drive: click 170 92
' drive: key alt+F
' drive: key X
' drive: gone
' expect-file-text: seen.txt = menu 3 \r\nmenu 1 \r\nmenu 11 \r\nmenu 2 \r\n
