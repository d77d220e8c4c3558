' Endless recursion stops with "control stack full" instead of crashing.
declare_variables depth: INT
console_print down()
down:
depth = depth + 1
return down()
' expect-error-box: Line number: 6\nPlease contact the program vendor\n34
