{op249}
SYSTEM_INT0:
' A label named like an existing variable stops the run during the label
' pass, before any statement: the statement on line 1 never runs, and the
' engine ends quietly.
' expect-no-box
' expect-no-output
