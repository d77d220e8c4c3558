' A small menu loop: a subroutine, selection and a while loop.
' Enter a choice number; 0 ends the program.
'
'   ostrin-tool run examples/menu.bas

declare_variables choice, total: INT
choice = -1

while_loop choice <> 0
    call show_menu
    console_input "Choice? ", choice
    select choice
    case 0
        console_print "Bye."
    case 1
        total = total + 1
        console_print "Total is now ", total
    case 2
        total = 0
        console_print "Total cleared."
    default_case
        console_print "No such choice: ", choice
    end_select
end_while
console_print "Final total: ", total
jump finished

show_menu:
    console_print
    console_print "1  add one"
    console_print "2  clear"
    console_print "0  quit"
    return

finished:
