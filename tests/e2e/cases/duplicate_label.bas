done:
done:
{op249}
' The same label twice is accepted and the run goes on to line 3.
' expect-error-box: Line number: 3\n
