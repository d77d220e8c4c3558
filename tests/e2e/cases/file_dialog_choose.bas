' A name typed into the open dialog comes back as the file's full path,
' which the program then opens and reads. The path goes to a file, where
' no terminal width can break it.
declare_variables f, g: FILE
declare_variables text: STRING
s$ = file_dialog("Pick a file", 0, 1, "Text files|*.txt||", "txt", 0)
r = open_file(f, s$, "r")
read_file f, text
console_print "holds: ", text
open_file g, "chosen.txt", "w"
write_file g, s$
close_file g
' box-title: Pick a file
' given-file: notes.txt = first line\r\n
' watcher-type: notes.txt
' expect-box:
' expect-output: holds: first line
' expect-file-contains: chosen.txt = :\\
' expect-file-contains: chosen.txt = \\run\\notes.txt\r\n
