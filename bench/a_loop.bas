' Counted loop with arithmetic: the sum of (I*2) % 7 for I = 1..N.
' expect: 15000001
declare_variables S, I, N:INT
N = 5000000
S = 0
counted_loop I, 1, N
S = S + (I*2) % 7
next_step I
console_print S
