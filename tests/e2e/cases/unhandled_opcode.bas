{op249}
' The first statement has no handler, so the run stops with error 1 and the
' engine reports it.
' expect-error-box: An error has occured\nLine number: 1\nPlease contact the program vendor\n1
