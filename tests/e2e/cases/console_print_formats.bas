' Print formats as a bound program writes them to a terminal. The terminal
' shows a trailing blank as an erased line end, so those lines end in the
' last printed character; the in-process tests check the blanks themselves.
console_print 5, 2.5
console_print 3.0
console_print "no line feed, ",
console_print "then one"
console_print
console_print 3000000000, "|"
decimal_precision 4
console_print 0.125, "|"
console_print "100%", " sure"
' expect-line: 5  2.50
' expect-line: 3
' expect-line: no line feed, then one
' expect-line:
' expect-line: 3000000000 |
' expect-line:  0.1250|
' expect-line: 100% sure
