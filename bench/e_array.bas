' Filling and summing an INT array.
' expect: 499500000
declare_variables A[1000001], I, S, N:INT
N = 1000000
counted_loop I, 1, N
A[I] = I % 1000
next_step I
S = 0
counted_loop I, 1, N
S = S + A[I]
next_step I
console_print S
