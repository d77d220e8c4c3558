' Loops, selection and subroutine calls together in a bound program.
declare_variables i, total: INT
counted_loop i, 1, 5
    select i % 3
    case 0
        console_print i, "fizz"
    case 1
    case 2
        call add
    end_select
next_step i
console_print "total ", total
jump finish
add:
    total = total + i
    return
finish:
' expect-line: 3 fizz
' expect-line: total 12
