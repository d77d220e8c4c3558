' Growing a long string one character at a time, then slicing it.
' expect: 60000 82012
declare_variables T[60000]:ISTRING
declare_variables I, K, C:INT
counted_loop I, 1, 60000
T = T + character(65 + I % 26)
next_step I
C = 0
counted_loop K, 1, 1000
C = C + character_code(substring(T, K*50, 5)) + size_of(substring(T, K*50, 5))
next_step K
console_print size_of(T), C
