' Table printer: a multiplication table, then a conversion table with
' fractions printed at a chosen precision.
'
'   ostrin-tool run examples/table.bas

declare_variables row, column, size: INT
declare_variables fahrenheit: INT
declare_variables celsius: DOUBLE
size = 6

console_print "Multiplication table"
counted_loop row, 1, size
    counted_loop column, 1, size
        ' Every integer prints with a trailing blank; pad the short ones.
        conditional row * column < 10 then console_print " ",
        console_print row * column,
    next_step column
    console_print
next_step row

console_print
console_print "Fahrenheit to Celsius"
decimal_precision 1
counted_loop fahrenheit, 0, 100, 20
    celsius = (fahrenheit - 32) * 5 / 9
    console_print fahrenheit, "=>", celsius
next_step fahrenheit
