' A window opened with the browser flag hosts the web browser control in
' the real engine: navigation requests reach the handler with their URL,
' the handler forbids one of them, and the history stays empty.
declare_variables w: WINDOW
declare_variables f: FILE
declare_variables n: INT
r = open_file(f, "seen.txt", "w")
open_window w, 100, 100, 400, 300, 0x100, 0, "E2E browser", on_event
browser w, 0, "http://example.invalid/blocked"
browser w, 0, "http://example.invalid/open"
counted_loop n, 1, 50
process_events 1
next_step n
write_file f, "back ", browser(w, 7)
write_file f, "last ", browser(w, 12)
close_window w
close_file f
jump finish
on_event:
conditional EVENT_CODE = EV_BEFORE_NAVIGATE
write_file f, "before ", browser(w, 12)
conditional find_text(browser(w, 12), "blocked") > 0 then browser w, 9
end_conditional
return
finish:
' expect-file-text: seen.txt = before http://example.invalid/blocked\r\nbefore http://example.invalid/open\r\nback 0 \r\nlast http://example.invalid/open\r\n
