' Event handler calls: each window-text change sends the window a message,
' and every message runs the program's handler label. N = 20,000 changes.
' expect: 1
declare_variables w: WINDOW
declare_variables calls, i, n: INT
n = 20000
open_window w, 0, 0, 200, 100, 0, 0, "bench", on_event
calls = 0
counted_loop i, 1, n
set_window_text w, "x"
next_step i
close_window w
console_print calls >= n
jump finish
on_event:
calls = calls + 1
return 0
finish:
