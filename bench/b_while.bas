' While loop with nested block conditionals.
' expect: 333333 666668 999999
declare_variables I, A, B, C, N:INT
N = 1000000
I = 0
A = 0
B = 0
C = 0
while_loop I < N
I = I + 1
conditional I % 3 = 0
A = A + 1
else
conditional I % 3 = 1
B = B + 2
else
C = C + 3
end_conditional
end_conditional
end_while
console_print A, B, C
