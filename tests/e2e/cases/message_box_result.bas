' A message box shows the program's text under its caption and returns the
' button that was pressed: "No" of a Yes/No box.
declare_variables r: INT
r = message_box(0, "Save the changes?", "Question", 4)
console_print "pressed ", r, "|"
' box-title: Question
' expect-box: Save the changes?
' watcher-press: 7
' expect-output: pressed 7 |
