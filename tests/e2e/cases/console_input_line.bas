' A prompt, one line read from the terminal, and the value parsed by the
' type of its target.
declare_variables n: INT
declare_variables name: STRING
console_input "Number? ", n
console_input "Name? ", name
console_print "twice ", n * 2, "for ", name
' input: 0x15
' input: Ada Lovelace
' expect-output: Number?
' expect-output: Name?
' expect-output: twice 42 for Ada Lovelace
