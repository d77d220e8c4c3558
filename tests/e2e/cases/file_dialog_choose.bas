' A name typed into the open dialog, which starts in the directory given
' to it, comes back as the file's full path; the program then opens it.
declare_variables f: FILE
declare_variables text: STRING
d$ = program_directory()
s$ = file_dialog("Pick a file", 0, 1, "Text files|*.txt||", "txt", 0, d$)
want$ = d$ + "notes.txt"
conditional s$ = want$ then console_print "full path in the program's directory"
r = open_file(f, s$, "r")
read_file f, text
console_print "holds: ", text
' box-title: Pick a file
' given-file: notes.txt = first line\r\n
' watcher-type: notes.txt
' expect-box:
' expect-output: full path in the program's directory
' expect-output: holds: first line
