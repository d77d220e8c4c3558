' A program of nothing but comments and blank lines runs nothing.

; a comment may also start with a semicolon
    ' and may be indented

' expect-no-box
' expect-no-output
