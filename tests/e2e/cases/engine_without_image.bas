' The engine started on its own, with no program bound, ends at once and
' shows nothing.
' run: engine
' expect-no-box
' expect-no-output
