' The open dialog appears with the program's title; cancelled, it gives an
' empty text and the program goes on.
s$ = file_dialog("Pick a file", 0, 1, "Text files|*.txt|All files|*.*||", "txt", 0)
console_print "[", s$, "]"
' box-title: Pick a file
' expect-box:
' watcher-press: 2
' expect-output: []
