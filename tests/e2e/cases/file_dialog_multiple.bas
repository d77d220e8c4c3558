' With multiple selection every chosen path comes back followed by "|".
declare_variables g: FILE
s$ = file_dialog("Pick files", 0, 1, "All files|*.*||", "", 0x200)
open_file g, "chosen.txt", "w"
write_file g, s$
close_file g
' box-title: Pick files
' given-file: a.txt = a
' given-file: b.txt = b
' watcher-type: "a.txt" "b.txt"
' expect-box:
' expect-file-contains: chosen.txt = \\run\\a.txt|
' expect-file-contains: chosen.txt = \\run\\b.txt|\r\n
