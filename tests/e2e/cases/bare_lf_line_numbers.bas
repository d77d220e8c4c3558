' line-ends: lf
start:
{op249}
' With bare LF line ends only comment lines advance the line number, so
' "start:" and the failing statement both report line 2.
' expect-error-box: Line number: 2\n
