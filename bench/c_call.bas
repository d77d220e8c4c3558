' Subroutine calls with two parameters and a returned value.
' expect: 643
declare_variables S, I, N:INT
declare_function F(X:INT, Y:INT)
N = 1000000
S = 0
counted_loop I, 1, N
S = F(S, I)
next_step I
console_print S
jump finish
F:
return (X*3 + Y) % 1009
finish:
