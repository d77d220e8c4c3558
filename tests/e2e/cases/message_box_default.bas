' Without a style the box has an OK button, whose id comes back.
declare_variables r: INT
r = message_box(0, "Done.", "Notice")
console_print "pressed ", r, "|"
' box-title: Notice
' expect-box: Done.
' expect-output: pressed 1 |
