' Recursive subroutine calls: fib(25), 242,785 calls.
' expect: 75025
declare_variables R:INT
declare_function FIB(N:INT)
R = FIB(25)
console_print R
jump finish
FIB:
conditional N < 2 then return N
return FIB(N - 1) + FIB(N - 2)
finish:
