' With multiple selection every chosen path comes back followed by "|".
d$ = program_directory()
s$ = file_dialog("Pick files", 0, 1, "All files|*.*||", "", 0x200, d$)
want$ = d$ + "a.txt|" + d$ + "b.txt|"
conditional s$ = want$ then console_print "both paths, each followed by a bar"
' box-title: Pick files
' given-file: a.txt = a
' given-file: b.txt = b
' watcher-type: "a.txt" "b.txt"
' expect-box:
' expect-output: both paths, each followed by a bar
