' hello.bas: a first program. scripts/demo binds it into the engine and
' runs it in this terminal; tools/README.md describes the notation.
open_console
console_print "Hello from Ostrin!"
console_print "2 + 3 * 4 = ", 2 + 3 * 4
