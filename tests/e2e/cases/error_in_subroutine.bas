' An error inside a subroutine is reported at the subroutine's line.
call broken
broken:
jump nowhere
' expect-error-box: Line number: 4\nPlease contact the program vendor\n12
