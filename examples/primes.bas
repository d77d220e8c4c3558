' Prime sieve: marks the multiples of every prime up to a limit and prints
' the primes that remain, ten to a line.
'
'   ostrin-tool run examples/primes.bas

declare_variables composite[201]: INT
declare_variables limit, n, multiple, shown: INT
limit = 200

console_print "Primes up to ", limit, ":"
counted_loop n, 2, limit
    conditional composite[n] = 0
        ' n is prime: strike out its multiples from n * n on.
        multiple = n * n
        while_loop multiple <= limit
            composite[multiple] = 1
            multiple = multiple + n
        end_while
        console_print n,
        shown = shown + 1
        conditional shown % 10 = 0 then console_print
    end_conditional
next_step n
conditional shown % 10 <> 0 then console_print
console_print shown, "primes found."
